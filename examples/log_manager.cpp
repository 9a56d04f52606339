// A driver's housekeeping step: a log folder is inventoried, split by each retention policy,
// the deletion is first refused and then carried out, and both reports are checked.
#include <fcntl.h>
#include <sys/stat.h>
#include <zttools.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

int failures = 0;

void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "FAILED: %s\n", what);
    ++failures;
  }
}

void writeFile(const std::string& path, size_t size, time_t when) {
  std::ofstream(path, std::ios::binary) << std::string(size, 'x');
  const timespec times[2] = {{when, 0}, {when, 0}};
  utimensat(AT_FDCWD, path.c_str(), times, 0);
}

// The text between <section> and </section> of a policy report.
std::string section(const std::string& report, const std::string& name) {
  const size_t begin = report.find("<" + name + ">");
  const size_t end = report.find("</" + name + ">");
  return begin == std::string::npos || end == std::string::npos ? ""
                                                                : report.substr(begin, end - begin);
}

size_t count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

}  // namespace

int main() {
  char folderName[] = "/tmp/zt-log-example-XXXXXX";
  if (mkdtemp(folderName) == nullptr) return 1;
  const std::string folder = folderName;
  std::filesystem::create_directory(folder + "/sub");
  const std::string old = folder + "/old.log";
  const std::string fresh = folder + "/sub/new.LOG";
  const std::string notes = folder + "/notes.txt";
  // The fresh file is dated tomorrow so that every period counts it as current.
  writeFile(old, 100, 946684800);  // 1 January 2000
  writeFile(fresh, 10, std::time(nullptr) + 86400);
  writeFile(notes, 5, 946684800);

  KORALogManagerInterface* logs = KORALogManagerFactory_Create();
  check(logs->getVersion() == "1.0.12001.24001", "version");
  check(logs->getReport().empty() && logs->getDeleteReport().empty(), "fresh reports are empty");
  logs->setPath(folder);

  check(logs->removeAll() == 2, "removeAll finds both log files");
  check(section(logs->getReport(), "delete").find("name=\"" + fresh + "\"") != std::string::npos,
        "log files in subfolders are listed with their full path");
  check(logs->getReport().find("notes.txt") == std::string::npos, "other files are ignored");

  // Each policy rescans the delete list and keeps the fresh file; the keep list grows.
  struct Policy {
    int32_t (KORALogManagerInterface::*run)();
    const char* title;
  };
  const std::vector<Policy> policies = {
      {&KORALogManagerInterface::keepLatest, "keepLatest"},
      {&KORALogManagerInterface::keepToday, "m_pimpl->m_keepToday"},
      {&KORALogManagerInterface::keepThisWeek, "m_pimpl->m_keepThisWeek"},
      {&KORALogManagerInterface::keepThisMonth, "m_pimpl->m_keepThisMonth"},
  };
  for (const Policy& policy : policies) {
    check((logs->*policy.run)() == 0, policy.title);
    const std::string& report = logs->getReport();
    check(report.find(std::string("title=\"") + policy.title + "\"") != std::string::npos,
          "policy title");
    const std::string removed = section(report, "delete");
    check(count(removed, "<logfile ") == 1 && removed.find(old) != std::string::npos,
          "only the old file is marked for deletion");
  }
  check(count(section(logs->getReport(), "keep"), fresh) == 4, "keep list grows by one per call");

  // Under no limit the newest file stays and the old one is added to the delete list again.
  check(logs->removeByThreshold(0, 0) == 0, "removeByThreshold");
  check(count(section(logs->getReport(), "keep"), "<logfile ") == 1, "the newest file is kept");
  check(count(section(logs->getReport(), "delete"), old) == 2, "old file marked twice");

  std::vector<std::string> lines;
  logs->setStatusCallback([&](const std::string& line) { lines.push_back(line); });
  check(logs->deleteFiles([](const std::string&) { return false; }) == 0, "refused deletion");
  check(std::filesystem::exists(old), "a refused file stays");
  check(count(logs->getDeleteReport(), "<code>1223</code>") == 2, "refusals are recorded");
  check(lines.size() == 2 &&
            lines[0] == "deleting: " + old + ", status: The operation was canceled by the user.",
        "status lines");

  logs->setStatusCallback({});
  check(logs->deleteFiles() == 0, "deletion");
  const std::string& report = logs->getDeleteReport();
  check(report.find("<code>0</code>\n       <message><![CDATA[Success]]></message>") !=
            std::string::npos,
        "deleted file reports success");
  check(report.find("<code>2</code>") != std::string::npos, "second attempt finds it gone");
  check(lines.size() == 2, "an empty status callable switches status lines off");
  check(!std::filesystem::exists(old), "old file deleted");
  check(std::filesystem::exists(fresh) && std::filesystem::exists(notes), "others untouched");

  logs = KORALogManagerFactory_Destroy(logs);
  check(logs == nullptr, "destroy returns null");

  std::filesystem::remove_all(folder);
  std::puts(failures == 0 ? "log manager ok" : "log manager failed");
  return failures == 0 ? 0 : 1;
}
