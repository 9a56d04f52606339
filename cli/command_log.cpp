// log plan and log clean: a folder of .log files split by one retention policy, reported, and on
// request deleted file by file.
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "commands.h"
#include "tools.h"

namespace zt::cli {

namespace {

// Above this many files a deletion on a terminal shows a progress bar.
constexpr std::size_t kProgressThreshold = 300;

const std::vector<OptionSpec> kPlanOptions = {
    {"--policy", true}, {"--megabytes", true}, {"--order", true}};
const std::vector<OptionSpec> kCleanOptions = {
    {"--policy", true}, {"--megabytes", true}, {"--order", true}, {"--yes", false}};

// Sets the folder and runs the policy the command line names; returns false when the folder
// cannot be listed (the library would report it as empty).
bool runPolicy(const Args& args, KORALogManagerInterface& logs, Io& io) {
  args.expectPositionals(1, 1, "DIR");
  const std::string policy = args.value("--policy").value_or("");
  if (policy.empty()) {
    throw UsageError("missing --policy all|latest|today|week|month|threshold");
  }
  const bool threshold = policy == "threshold";
  if (!threshold && (args.has("--megabytes") || args.has("--order"))) {
    throw UsageError("--megabytes and --order belong to --policy threshold");
  }
  // Limits above 2047 megabytes do not fit the library's 32-bit byte count.
  const std::optional<int64_t> megabytes = args.number("--megabytes", 0, 2047);
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

  const std::string& folder = args.positional(0);
  struct stat info {};
  const int error = stat(folder.c_str(), &info) == 0 ? ENOTDIR : errno;
  if (error != ENOTDIR || !S_ISDIR(info.st_mode)) {
    io.err << folder << ": " << std::strerror(error) << '\n';
    return false;
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
  return true;
}

// The number of files the policy report marks for deletion.
std::size_t plannedDeletions(const std::string& report) {
  const std::size_t start = report.find("\n        <delete>\n");
  std::size_t count = 0;
  for (std::size_t at = report.find("\n      <logfile ", start); at != std::string::npos;
       at = report.find("\n      <logfile ", at + 1)) {
    ++count;
  }
  return start == std::string::npos ? 0 : count;
}

// Deletions that neither succeeded (0) nor were refused (1223), read from the report's codes.
std::size_t failedDeletions(const std::string& report) {
  std::size_t failed = 0;
  // Matched with its indentation: a path in a name attribute may hold any text.
  const std::string_view open = "\n       <code>";
  for (std::size_t at = report.find(open); at != std::string::npos;
       at = report.find(open, at + 1)) {
    const std::size_t value = at + open.size();
    const std::string code = report.substr(value, report.find('<', value) - value);
    failed += code != "0" && code != "1223" ? 1 : 0;
  }
  return failed;
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

// Asks on the error stream, reads the answer from the input: y deletes, a deletes this and
// every later file, q refuses this and every later one; anything else, and the end of the
// input, refuses.
class Confirmation {
 public:
  explicit Confirmation(Io& io) : io_(io) {}
  bool operator()(const std::string& path) {
    if (all_ || none_) {
      return all_;
    }
    io_.err << "delete " << path << "? [y/N/a/q] " << std::flush;
    std::string answer;
    if (!std::getline(io_.in, answer)) {
      io_.err << '\n';
      none_ = true;
      return false;
    }
    all_ = answer == "a";
    none_ = answer == "q";
    return all_ || answer == "y" || answer == "yes";
  }

 private:
  Io& io_;
  bool all_ = false;
  bool none_ = false;
};

int plan(const Args& args, Io& io) {
  auto logs = makeLogManager();
  if (!runPolicy(args, *logs, io)) {
    return kRejected;
  }
  io.out << logs->getReport();
  return kSuccess;
}

int clean(const Args& args, Io& io) {
  auto logs = makeLogManager();
  if (!runPolicy(args, *logs, io)) {
    return kRejected;
  }
  const std::size_t planned = plannedDeletions(logs->getReport());
  std::optional<ProgressBar> progress;
  if (args.has("--yes") && io.errIsTerminal && planned > kProgressThreshold) {
    progress.emplace(io.err, planned);
    logs->setStatusCallback([&](const std::string&) { progress->step(); });
  }
  if (args.has("--yes")) {
    logs->deleteFiles();
  } else {
    Confirmation confirm(io);
    logs->deleteFiles(std::ref(confirm));
  }
  const std::string& report = logs->getDeleteReport();
  io.out << report;
  const std::size_t failed = failedDeletions(report);
  if (failed != 0) {
    io.err << "zttools: " << failed << " of " << planned << " files could not be deleted\n";
    return kRejected;
  }
  return kSuccess;
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
    "begins with a dot.";

}  // namespace

std::vector<Command> logCommands() {
  static const std::string planDetails =
      "Prints the policy report: the files to keep and the files to delete. Nothing is\n"
      "deleted.\n\n" +
      std::string(kPolicies);
  static const std::string cleanDetails =
      "Selects as 'log plan' does, then deletes the selected files, asking for each on the\n"
      "terminal (y yes, n no, a all remaining, q none remaining; the end of the input\n"
      "answers no) unless --yes is given. With --yes and more than " +
      std::to_string(kProgressThreshold) +
      " files, a progress bar\n"
      "is drawn on standard error when it is a terminal. Prints the deletion report: code 0\n"
      "for a deleted file, 1223 for a refused one, otherwise the system's error number.\n"
      "Exit status 1 when a file could not be deleted.\n\n" +
      std::string(kPolicies);
  return {
      {"log", "plan",
       "DIR --policy all|latest|today|week|month|threshold [--megabytes N] "
       "[--order time|size|none]",
       "show which log files a retention policy keeps and deletes", planDetails, kPlanOptions,
       plan},
      {"log", "clean",
       "DIR --policy all|latest|today|week|month|threshold [--megabytes N] "
       "[--order time|size|none] [--yes]",
       "delete the log files a retention policy selects", cleanDetails, kCleanOptions, clean},
  };
}

}  // namespace zt::cli
