// What the log manager's XML reports say, read back for the command's summary and --json. The
// reports escape nothing, so a name is told apart from the markup around it by what the command
// knows: the files it lists exist, and the deleted ones are the paths the manager asked about.
#ifndef ZTTOOLS_CLI_LOG_REPORTS_H
#define ZTTOOLS_CLI_LOG_REPORTS_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zt::cli {

struct LogFile {
  std::string path;
  uint64_t size = 0;
  int64_t time = 0;  // seconds since the Unix epoch
};

struct PolicyReport {
  std::vector<LogFile> keep;
  std::vector<LogFile> remove;
};

// The keep and delete lists of a policy report on `folder`.
PolicyReport readPolicyReport(std::string_view report, std::string_view folder);

struct Deletion {
  std::string path;
  uint32_t code = 0;  // 0 deleted, kRefusedCode refused, else the system's error number
  std::string message;
};

inline constexpr uint32_t kRefusedCode = 1223;

// The results of a deletion report whose files are `paths`, in that order.
std::vector<Deletion> readDeleteReport(std::string_view report,
                                       const std::vector<std::string>& paths);

struct Unreadable {
  std::string folder;
  int error = 0;  // errno
};

// Each folder below `root` (root first) that the log manager would scan and that cannot be
// listed, so that the files it holds are not silently left out.
std::vector<Unreadable> unreadableFolders(const std::string& root);

}  // namespace zt::cli

#endif  // ZTTOOLS_CLI_LOG_REPORTS_H
