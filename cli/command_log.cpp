// log plan and log clean: a folder of .log files split by one retention policy, reported, and on
// request deleted file by file.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <istream>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "commands.h"
#include "display.h"
#include "io.h"
#include "json.h"
#include "log_reports.h"
#include "tools.h"

namespace zt::cli {

namespace {

// Above this many files a deletion on a terminal shows a progress bar.
constexpr std::size_t kProgressThreshold = 300;

// The largest --megabytes: limits above it do not fit the library's 32-bit byte count.
constexpr int64_t kMaxMegabytes = 2047;

const std::vector<OptionSpec> kPlanOptions = {
    {"--policy", true}, {"--megabytes", true}, {"--order", true}, {"--json", false}};
const std::vector<OptionSpec> kCleanOptions = {{"--policy", true},
                                               {"--megabytes", true},
                                               {"--order", true},
                                               {"--yes", false},
                                               {"--json", false}};

// DIR as the manager is given it: without trailing slashes, which it would double in every
// path it reports.
std::string folderArgument(const Args& args) {
  std::string folder = args.positional(0);
  while (folder.size() > 1 && folder.back() == '/') {
    folder.pop_back();
  }
  return folder;
}

// Sets the folder and runs the policy the command line names, after warning on standard error
// about every folder below it that cannot be listed (the manager leaves them out silently).
// Throws when the folder itself cannot be listed, which the manager would report as empty.
std::string runPolicy(const Args& args, KORALogManagerInterface& logs, Io& io) {
  args.expectPositionals(1, 1, "DIR");
  const std::string policy = args.value("--policy").value_or("");
  if (policy.empty()) {
    throw UsageError("missing --policy all|latest|today|week|month|threshold");
  }
  const bool threshold = policy == "threshold";
  if (!threshold && (args.has("--megabytes") || args.has("--order"))) {
    throw UsageError("--megabytes and --order belong to --policy threshold");
  }
  const std::optional<int64_t> megabytes = args.number("--megabytes", 0, kMaxMegabytes);
  if (threshold && !megabytes) {
    throw UsageError("--policy threshold needs --megabytes N");
  }
  const std::string order = args.value("--order").value_or("time");
  if (order != "time" && order != "size" && order != "none") {
    throw UsageError("--order takes time, size or none, not '" + order + "'");
  }
  static const std::vector<std::pair<std::string_view, int32_t (KORALogManagerInterface::*)()>>
      kKeepPolicies = {{"latest", &KORALogManagerInterface::keepLatest},
                       {"today", &KORALogManagerInterface::keepToday},
                       {"week", &KORALogManagerInterface::keepThisWeek},
                       {"month", &KORALogManagerInterface::keepThisMonth}};
  auto keep = kKeepPolicies.end();
  for (auto it = kKeepPolicies.begin(); it != kKeepPolicies.end(); ++it) {
    keep = it->first == policy ? it : keep;
  }
  if (policy != "all" && !threshold && keep == kKeepPolicies.end()) {
    throw UsageError("unknown policy '" + policy + "'");
  }

  std::string folder = folderArgument(args);
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0) {
    throw std::runtime_error(reasonText(folder, errno));
  }
  if (!S_ISDIR(info.st_mode)) {
    throw std::runtime_error(reasonText(folder, ENOTDIR));
  }
  const std::vector<Unreadable> unreadable = unreadableFolders(folder);
  for (const Unreadable& problem : unreadable) {
    if (problem.folder == folder) {
      throw std::runtime_error(reasonText(folder, problem.error));
    }
    io.err << "zttools: warning: " << reasonText(problem.folder, problem.error)
           << " (its files are left out)\n";
  }
  logs.setPath(folder);
  if (policy == "all") {
    logs.removeAll();
  } else if (threshold) {
    logs.removeByThreshold(static_cast<int32_t>(*megabytes), order == "time"   ? 0
                                                             : order == "size" ? 1
                                                                               : 2);
  } else {
    (logs.*(keep->second))();
  }
  return folder;
}

Json filesJson(const std::vector<LogFile>& files) {
  Json list = Json::array();
  for (const LogFile& file : files) {
    list.push_back({{"path", file.path}, {"size", file.size}, {"time", file.time}});
  }
  return list;
}

// One line redrawn in place on the terminal.
class ProgressBar {
 public:
  ProgressBar(std::ostream& err, std::size_t total) : err_(err), total_(total) {}
  void step() {
    ++done_;
    const std::size_t width = 40;
    const std::size_t filled = done_ * width / total_;
    err_ << "\rdeleting [" << std::string(filled, '#') << std::string(width - filled, ' ') << "] "
         << done_ << '/' << total_ << (done_ == total_ ? "\n" : "") << std::flush;
  }

 private:
  std::ostream& err_;
  std::size_t total_;
  std::size_t done_ = 0;
};

// Asks on the error stream, reads the answer from the input: y or yes (either case) deletes, a
// deletes this and every later file, q refuses this and every later one; anything else, and
// the end of the input, refuses.
class Confirmation {
 public:
  explicit Confirmation(Io& io)
      : io_(io), echo_(!io.inIsProcessInput || isatty(STDIN_FILENO) == 0) {}
  bool operator()(const std::string& path) {
    if (all_ || none_) {
      return all_;
    }
    io_.err << "delete " << printable(path) << "? [y/N/a/q] " << std::flush;
    const std::optional<std::string> answer = readAnswer();
    // Answers that do not come from a terminal are shown, so that each prompt keeps its line.
    io_.err << (echo_ ? printable(answer.value_or("")) : "") << (echo_ || !answer ? "\n" : "");
    if (!answer) {
      none_ = true;
      return false;
    }
    all_ = answer == "a" || answer == "A";
    none_ = answer == "q" || answer == "Q";
    return all_ || answer == "y" || answer == "Y" || answer == "yes" || answer == "YES";
  }

 private:
  // One line of the input, of which only the start can matter; nothing at the end of the input.
  std::optional<std::string> readAnswer() {
    std::string answer;
    std::streambuf& in = *io_.in.rdbuf();
    for (auto c = in.sbumpc(); c != '\n'; c = in.sbumpc()) {
      if (c == std::streambuf::traits_type::eof()) {
        return answer.empty() ? std::nullopt : std::optional(answer);
      }
      if (answer.size() < 8) {
        answer += static_cast<char>(c);
      }
    }
    return answer;
  }

  Io& io_;
  bool echo_;
  bool all_ = false;
  bool none_ = false;
};

int plan(const Args& args, Io& io) {
  auto logs = makeLogManager();
  const std::string folder = runPolicy(args, *logs, io);
  if (!args.has("--json")) {
    io.out << logs->getReport();
    return kSuccess;
  }
  const PolicyReport report = readPolicyReport(logs->getReport(), folder);
  printJson(io.out, {{"folder", folder},
                     {"policy", *args.value("--policy")},
                     {"keep", filesJson(report.keep)},
                     {"delete", filesJson(report.remove)}});
  return kSuccess;
}

int clean(const Args& args, Io& io) {
  auto logs = makeLogManager();
  const std::string folder = runPolicy(args, *logs, io);
  const std::size_t planned = readPolicyReport(logs->getReport(), folder).remove.size();
  std::optional<ProgressBar> progress;
  if (args.has("--yes") && io.errIsTerminal && planned > kProgressThreshold) {
    progress.emplace(io.err, planned);
    logs->setStatusCallback([&](const std::string&) { progress->step(); });
  }
  // The manager hands every file to the confirmation, in the order of its report: the exact
  // paths, whatever bytes they hold.
  std::vector<std::string> asked;
  Confirmation confirm(io);
  const bool yes = args.has("--yes");
  logs->deleteFiles([&](const std::string& path) {
    asked.push_back(path);
    return yes || confirm(path);
  });
  const std::vector<Deletion> results = readDeleteReport(logs->getDeleteReport(), asked);
  std::size_t counts[3] = {0, 0, 0};  // deleted, refused, failed
  Json files = Json::array();
  for (const Deletion& result : results) {
    const std::size_t kind = result.code == 0 ? 0 : result.code == kRefusedCode ? 1 : 2;
    ++counts[kind];
    static constexpr const char* kResults[] = {"deleted", "refused", "failed"};
    files.push_back({{"path", result.path},
                     {"result", kResults[kind]},
                     {"code", result.code},
                     {"message", result.message}});
  }
  if (args.has("--json")) {
    printJson(io.out, {{"folder", folder},
                       {"policy", *args.value("--policy")},
                       {"files", std::move(files)},
                       {"deleted", counts[0]},
                       {"refused", counts[1]},
                       {"failed", counts[2]}});
  } else {
    io.out << logs->getDeleteReport();
  }
  io.err << "deleted " << counts[0] << ", refused " << counts[1] << ", failed " << counts[2]
         << '\n';
  return counts[2] == 0 ? kSuccess : kRejected;
}

constexpr std::string_view kPolicies =
    "Policies (the files not named are marked for deletion):\n"
    "  all        keep nothing\n"
    "  latest     keep the files with the newest modification time (to the second)\n"
    "  today      keep the files dated today or later (local time)\n"
    "  week       keep the files dated since the last Sunday\n"
    "  month      keep the files dated since the first of the month\n"
    "  threshold  keep files until their sizes add up to --megabytes N (0 to 2047); the\n"
    "             first file by --order time (newest first, the default), size (largest\n"
    "             first) or none (listing order) is always kept\n"
    "Every *.log file (any case) below DIR is considered, except in folders whose name\n"
    "begins with a dot. A folder below DIR that cannot be listed is named in a warning on\n"
    "standard error. --json prints one JSON document instead of the XML report.";

}  // namespace

std::vector<Command> logCommands() {
  static const std::string planDetails =
      "Prints the policy report: the files to keep and the files to delete. Nothing is\n"
      "deleted. --json prints {folder, policy, keep, delete}, each file as {path, size, "
      "time}.\n\n" +
      std::string(kPolicies);
  static const std::string cleanDetails =
      "Selects as 'log plan' does, then deletes the selected files, asking for each on the\n"
      "terminal (y or yes in either case: yes; a all remaining, q none remaining; anything\n"
      "else, and the end of the input, no) unless --yes is given. With --yes and more than " +
      std::to_string(kProgressThreshold) +
      " files, a progress bar\n"
      "is drawn on standard error when it is a terminal. Prints the deletion report: code 0\n"
      "for a deleted file, 1223 for a refused one, otherwise the system's error number\n"
      "(--json: {folder, policy, files, deleted, refused, failed}, each file as {path,\n"
      "result, code, message}), then 'deleted N, refused N, failed N' on standard error.\n"
      "Exit status 1 when a file could not be deleted.\n\n" +
      std::string(kPolicies);
  return {
      {"log", "plan",
       "DIR --policy all|latest|today|week|month|threshold [--megabytes N] "
       "[--order time|size|none] [--json]",
       "show which log files a retention policy keeps and deletes", planDetails, kPlanOptions,
       plan},
      {"log", "clean",
       "DIR --policy all|latest|today|week|month|threshold [--megabytes N] "
       "[--order time|size|none] [--yes] [--json]",
       "delete the log files a retention policy selects", cleanDetails, kCleanOptions, clean},
  };
}

}  // namespace zt::cli
