// The log manager on real folder trees: inventory, policies, deletion and reports, with the
// time zone and "now" pinned.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "log/log_manager.h"
#include "platform/clock.h"
#include "platform/clock_seam.h"
#include "platform/files.h"
#include "scratch_dir.h"
#include "zttools.h"

namespace {

namespace fs = std::filesystem;
using zt::log::KORALogManager;
using Ids = std::vector<int32_t>;
using Plan = std::pair<Ids, Ids>;  // the ids a policy keeps, and those it deletes

// Seconds since 1970 of a UTC calendar time, independent of TZ.
int64_t utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  const std::chrono::sys_days date = std::chrono::year(year) / month / day;
  return date.time_since_epoch() / std::chrono::seconds(1) + (hour * 60 + minute) * 60 + second;
}

// A fresh tree per test in a zone with daylight saving (the system's database when present, else
// the same rule as a POSIX TZ string; no test here needs the caller's zone back): `folder_` is the
// log folder, `outside_` holds what links point to, a file and a folder with a log file.
class LogTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const bool database = fs::exists("/usr/share/zoneinfo/Europe/Berlin");
    ::setenv("TZ", database ? "Europe/Berlin" : "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    ::tzset();
    ::chmod(root_.c_str(), 0755);  // an unprivileged child process must reach the tree
    fs::create_directories(folder_);
    scratch_.write("outside/target.log", "target");
    scratch_.write("outside/dir/out.log", "out");
  }
  void TearDown() override { zt::platform::testing::unpinNow(); }

  [[nodiscard]] std::string at(const std::string& name) const { return folder_ + "/" + name; }

  // A file of `size` bytes (sparse) last written at `unixTime` plus `nanoseconds`.
  std::string file(const std::string& relative, int64_t unixTime, uint64_t size = 0,
                   long nanoseconds = 0) const {
    const std::string path = scratch_.write("logs/" + relative, "");
    fs::resize_file(path, size);
    setTime(path, unixTime, nanoseconds);
    return path;
  }

  std::string link(const std::string& target, const std::string& relative,
                   int64_t unixTime = 0) const {
    const std::string path = at(relative);
    EXPECT_EQ(::symlink(target.c_str(), path.c_str()), 0);
    setTime(path, unixTime, 0);
    return path;
  }

  static void setTime(const std::string& path, int64_t unixTime, long nanoseconds) {
    const timespec times[2] = {{static_cast<time_t>(unixTime), nanoseconds},
                               {static_cast<time_t>(unixTime), nanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
  }

  // Every path below `folder` with its size and time, to see that nothing changed.
  static std::string snapshot(const std::string& folder) {
    std::string text;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
      struct stat info {};
      ::lstat(entry.path().c_str(), &info);
      text += entry.path().string() + " " + std::to_string(info.st_size) + " " +
              std::to_string(info.st_mtim.tv_sec) + "\n";
    }
    return text;
  }

  const ScratchDir scratch_;
  const std::string root_ = scratch_.path().string();
  const std::string folder_ = root_ + "/logs";
  const std::string outside_ = root_ + "/outside";
};

// A manager with its folder set.
struct ManagerAt : KORALogManager {
  explicit ManagerAt(const std::string& folder) { setPath(folder); }
};

// The reports as the manager writes them: `keep` and `remove` are logfile lines, `files` the
// elements that `deleted` makes.
std::string policyReport(const std::string& title, const std::string& folder,
                         const std::string& keep, const std::string& remove) {
  return "<koralogmanager>\n   <report title=\"" + title + "\" path=\"" + folder + "\">\n" +
         "        <keep>\n" + keep + "        </keep>\n        <delete>\n" + remove +
         "        </delete>\n   </report>\n</koralogmanager>\n";
}

std::string deletionReport(const std::string& folder, const std::string& files) {
  return "<koralogmanager>\n   <report title=\"deleteFiles\" path=\"" + folder + "\">\n" + files +
         "   </report>\n</koralogmanager>\n";
}

std::string deleted(const std::string& path, int code, const std::string& message) {
  return "     <file name=\"" + path + "\" >\n       <code>" + std::to_string(code) +
         "</code>\n       <message><![CDATA[" + message + "]]></message>\n     </file>\n";
}

// The ids of the logfile elements in one section ("keep" or "delete") of a policy report.
Ids idsIn(const std::string& report, const std::string& section) {
  const size_t begin = report.find("<" + section + ">");
  const size_t end = report.find("</" + section + ">");
  Ids ids;
  for (size_t at = report.find("id=\"", begin); at < end; at = report.find("id=\"", at + 1)) {
    ids.push_back(std::stoi(report.substr(at + 4)));
  }
  return ids;
}

Plan planIn(const std::string& report) {
  return {idsIn(report, "keep"), idsIn(report, "delete")};
}

// What `policy` plans for `folder` on a fresh manager; every policy here answers 0.
Plan plan(const std::string& folder, const std::function<int64_t(KORALogManager&)>& policy) {
  ManagerAt manager(folder);
  EXPECT_EQ(policy(manager), 0);
  return planIn(manager.getReport());
}

// ---------------------------------------------------------------------------------------------
// Platform stand-ins

// What the listing gives per item, which reports do not show whole (the order of names shows in
// the keepLatest test); removal of a folder or below a folder that did not open; values the
// system has no answer for.
TEST_F(LogTreeTest, PlatformListsEachItemAsItselfRemovesOnlyFilesAndRefusesValuesOutOfRange) {
  const std::string big =
      file("a.log", utc(2024, 1, 2, 3, 4, 5), (uint64_t{5} << 32) + 7, 123456789);
  ::chmod(big.c_str(), 0444);
  file("b", 0);
  fs::create_directory(at("dir"));
  link("a.log", "link");
  const auto items = zt::platform::listFolder(folder_);
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[0].sizeHigh, 5u);
  EXPECT_EQ(items[0].sizeLow, 7u);
  EXPECT_EQ(items[0].lastWriteTime, 133486382451234567u);  // in 100 ns since 1601, UTC
  EXPECT_EQ(items[0].attributes, zt::platform::kAttributeFile | zt::platform::kAttributeReadOnly);
  EXPECT_EQ(items[1].attributes, zt::platform::kAttributeFile);
  EXPECT_EQ(items[2].attributes, zt::platform::kAttributeDirectory);
  EXPECT_EQ(items[3].attributes, zt::platform::kAttributeSymbolicLink);
  EXPECT_TRUE(zt::platform::listFolder(at("missing")).empty());

  EXPECT_EQ(zt::platform::FolderHandle(folder_).removeFile("dir"), EISDIR);
  const zt::platform::FolderHandle missing(root_ + "/missing");
  EXPECT_EQ(missing.openError(), ENOENT);
  EXPECT_EQ(missing.removeFile("a.log"), ENOENT);

  EXPECT_EQ(zt::platform::fileTimeOf(-11644473601, 0), 0u);  // before 1601
  EXPECT_EQ(zt::platform::errorText(99999), "");
  EXPECT_EQ(zt::platform::errorText(0x80000000u), "");
}

// Names that share their first eight bytes or differ in case only within them: the order is the
// one without case, names equal but for case in byte order, a shorter name first.
TEST_F(LogTreeTest, ListingOrdersLongNamesWithoutCaseThenByBytes) {
  const std::vector<std::string> sorted = {"batch_0.log",   "batch_001.log", "batch_00_.log",
                                           "Batch_00A.lo",  "bAtch_00A.log", "batch_00A.LOG",
                                           "batch_00A.log", "batch_00a.log", "BATCH_00b.log"};
  for (auto name = sorted.rbegin(); name != sorted.rend(); ++name) {
    file(*name, 0);
  }
  std::vector<std::string> listed;
  for (const auto& item : zt::platform::listFolder(folder_)) {
    listed.push_back(item.name);
  }
  EXPECT_EQ(listed, sorted);
}

// Deletion walks down from the scanned folder one folder at a time without following a link, so
// a folder replaced between the policy and the deletion can never send it outside the tree.
TEST_F(LogTreeTest, AFolderSwappedAfterThePolicyNeverRedirectsTheDeletion) {
  const struct {
    const char* replaced;
    const char* by;          // what outside_ + by names, linked to; null: a file
    std::vector<int> codes;  // a link refused by O_NOFOLLOW gives ELOOP or ENOTDIR by system
  } cases[] = {
      {"a/b", "/victim", {ELOOP, ENOTDIR}},
      {"a/b", nullptr, {ENOTDIR}},
      {"a", "", {ELOOP, ENOTDIR}},
  };
  // The outside tree mirrors the inside one, so a followed link would find the same names.
  for (const char* name : {"victim/app.log", "a/b/app.log", "b/app.log"}) {
    scratch_.write("outside/" + std::string(name), "outside");
  }
  const std::string before = snapshot(outside_);
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.replaced) + (c.by ? " replaced by a link" : " replaced by a file"));
    fs::remove_all(folder_);
    const std::string kept = file("top.log", utc(2024, 3, 1));
    const std::string inner = file("a/b/app.log", utc(2024, 3, 1));

    ManagerAt manager(folder_);
    ASSERT_EQ(manager.removeAll(), 2u);
    fs::remove_all(at(c.replaced));
    if (c.by != nullptr) {
      ASSERT_EQ(::symlink((outside_ + c.by).c_str(), at(c.replaced).c_str()), 0);
    } else {
      std::ofstream(at(c.replaced)) << "now a file";
    }
    EXPECT_EQ(manager.deleteFiles(), 0);

    EXPECT_EQ(snapshot(outside_), before);
    EXPECT_FALSE(fs::exists(kept));
    const std::string& report = manager.getDeleteReport();
    EXPECT_TRUE(std::any_of(c.codes.begin(), c.codes.end(), [&](int code) {
      return report.find(deleted(inner, code, zt::platform::errorText(code))) != std::string::npos;
    })) << report;
  }
}

// ---------------------------------------------------------------------------------------------
// Inventory and policies

// A tree of log files, other files, hidden folders and links; "now" is Sunday 10 March 2024,
// 15:00 local.
class LogInventoryTest : public LogTreeTest {
 protected:
  struct Listed {
    std::string path;
    uint32_t size;
    int64_t time;
    const char* timestamp;
  };
  // What the inventory finds, in scan order (the order of the ids).
  const std::vector<Listed> listed_ = {
      {"A.LOG", 3, utc(2024, 3, 5, 9, 20, 30), "Tue Mar 05 10:20:30 2024"},
      {"b.Log", 10, utc(2024, 3, 9, 23, 30), "Sun Mar 10 00:30:00 2024"},
      {"e.log/inner.log", 0, utc(2023, 12, 31, 23, 59, 59), "Mon Jan 01 00:59:59 2024"},
      {"link-file.log", 21, utc(2024, 3, 1), "Fri Mar 01 01:00:00 2024"},  // the link's own size
      {"old/deep/y.log", 1, utc(1969, 7, 20, 20, 17, 40), "Sun Jul 20 21:17:40 1969"},
      {"old/x.log", 2, utc(2024, 7, 1, 12), "Mon Jul 01 14:00:00 2024"},  // summer time
      {"z.log", 4, utc(2024, 3, 10, 13), "Sun Mar 10 14:00:00 2024"},
  };

  void SetUp() override {
    LogTreeTest::SetUp();
    for (const Listed& l : listed_) {
      if (l.path != "link-file.log") {
        file(l.path, l.time, l.size);
      }
    }
    link("../outside/target.log", "link-file.log", listed_[3].time);
    file("c.log.bak", utc(2024, 3, 9));
    file("d.txt", utc(2024, 3, 9));
    file(".old/hidden.log", utc(2024, 3, 9));
    link("../outside/dir", "link-dir");
    link(".", "loop");
    link("../..", "old/back");
    zt::platform::testing::pinNow(zt::platform::fileTimeOf(utc(2024, 3, 10, 14), 0));
  }

  [[nodiscard]] std::string lines(const Ids& ids) const {
    std::string text;
    for (int32_t id : ids) {
      const Listed& l = listed_[id];
      text += "      <logfile id=\"" + std::to_string(id) + "\" name=\"" + at(l.path) +
              "\" size=\"" + std::to_string(l.size) + "\" time_t=\"" + std::to_string(l.time) +
              "\" timestamp=\"" + l.timestamp + "\" />\n";
    }
    return text;
  }
};

TEST_F(LogInventoryTest, EachPolicyListsTheTreeByteForByteKeepingFromThePeriodsStartOn) {
  const struct {
    std::function<int64_t(KORALogManager&)> run;
    const char* title;
    int64_t result;
    Ids keep;
    Ids remove;
  } cases[] = {
      {&KORALogManager::removeAll, "removeAll", 7, {}, {0, 1, 2, 3, 4, 5, 6}},
      // Now is a Sunday: this week starts today. Files from the future are kept.
      {&KORALogManager::keepToday, "m_pimpl->m_keepToday", 0, {1, 5, 6}, {0, 2, 3, 4}},
      {&KORALogManager::keepThisWeek, "m_pimpl->m_keepThisWeek", 0, {1, 5, 6}, {0, 2, 3, 4}},
      {&KORALogManager::keepThisMonth, "m_pimpl->m_keepThisMonth", 0, {0, 1, 3, 5, 6}, {2, 4}},
      {&KORALogManager::keepLatest, "keepLatest", 0, {5}, {6, 1, 0, 3, 2, 4}},
  };
  for (const auto& c : cases) {
    ManagerAt manager(folder_);
    EXPECT_EQ(c.run(manager), c.result) << c.title;
    EXPECT_EQ(manager.getReport(), policyReport(c.title, folder_, lines(c.keep), lines(c.remove)))
        << c.title;
  }
}

TEST_F(LogInventoryTest, PoliciesAppendToTheOtherListAndAnEmptyFolderReusesTheLists) {
  ManagerAt manager(folder_);
  manager.keepLatest();
  manager.keepLatest();
  EXPECT_EQ(planIn(manager.getReport()), (Plan{{5, 5}, {6, 1, 0, 3, 2, 4}}));
  manager.keepToday();  // rescans the delete list, appends to the keep list
  EXPECT_EQ(planIn(manager.getReport()), (Plan{{5, 5, 1, 5, 6}, {0, 2, 3, 4}}));

  // Without a folder nothing is rescanned: keepThisMonth works on what keepToday left.
  manager.setPath("");
  manager.keepThisMonth();
  EXPECT_EQ(planIn(manager.getReport()), (Plan{{5, 5, 1, 5, 6, 0, 3}, {2, 4}}));
}

TEST_F(LogTreeTest, UnreadableSubfoldersAreSkippedAndDeletionFailuresRecorded) {
  file("locked/hidden.log", utc(2024, 3, 1));
  const std::string denied = file("ro/c.log", utc(2024, 3, 1));
  const std::string last = file("z.log", utc(2024, 3, 1));
  ::chmod(folder_.c_str(), 0777);  // the child may delete here, but not in ro/
  ::chmod(at("locked").c_str(), 0);
  ::chmod(at("ro").c_str(), 0555);

  // Root reads and deletes anything, so the run happens in a child without privileges.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
      ::_exit(10);
    }
    // The delete report shows all that was listed: nothing of locked/.
    ManagerAt manager(folder_);
    manager.removeAll();
    manager.deleteFiles();
    const std::string expected = deletionReport(
        folder_, deleted(denied, 13, "Permission denied") + deleted(last, 0, "Success"));
    ::_exit(manager.getDeleteReport() == expected ? 0 : 2);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ::chmod(at("locked").c_str(), 0755);
  ::chmod(at("ro").c_str(), 0755);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 10) {
    GTEST_SKIP() << "cannot drop privileges here";
  }
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

// ---------------------------------------------------------------------------------------------
// Periods

// Periods start at local midnight of their first day. A Tuesday the 2nd in summer time: the week
// began on the last Sunday of March, the day the clocks went forward, and its start falls on the
// Saturday evening before; files are kept by the day they were written, so that hour keeps
// nothing from the Saturday.
TEST_F(LogTreeTest, WeekOnATuesdayTheSecondReachesBackIntoThePreviousMonth) {
  file("fri.log", utc(2024, 3, 29, 12));
  file("sat-late.log", utc(2024, 3, 30, 22, 30));   // Saturday 23:30 local
  file("sun-early.log", utc(2024, 3, 30, 23, 30));  // Sunday 00:30, before the change
  file("sun-late.log", utc(2024, 3, 31, 20));
  file("tue.log", utc(2024, 4, 2, 6));
  // Tuesday 2 April, 09:00 summer time.
  zt::platform::testing::pinNow(zt::platform::fileTimeOf(utc(2024, 4, 2, 7), 0));
  EXPECT_EQ(plan(folder_, &KORALogManager::keepThisWeek), (Plan{{2, 3, 4}, {0, 1}}));
  EXPECT_EQ(plan(folder_, &KORALogManager::keepThisMonth), (Plan{{4}, {0, 1, 2, 3}}));
}

// ---------------------------------------------------------------------------------------------
// keepLatest and removeByThreshold

// Names are listed without regard to case, so '_' (0x5F) sorts before the letters; names equal
// but for case keep byte order. The ids show that order.
TEST_F(LogTreeTest, KeepLatestKeepsEveryFileOfTheNewestSecondInScanOrder) {
  file("_x.log", utc(2024, 3, 1, 10, 0, 0), 0, 900000000);
  file("B.log", utc(2024, 3, 1, 9));
  file("b.log", utc(2024, 3, 1, 10, 0, 0), 0, 100);
  EXPECT_EQ(plan(folder_, &KORALogManager::keepLatest), (Plan{{0, 2}, {1}}));
}

TEST_F(LogTreeTest, RemoveByThresholdDeletesFromTheEndUntilTheRestFits) {
  constexpr uint64_t kMiB = 1 << 20;
  const struct {
    const char* what;
    std::vector<uint64_t> sizes;  // files f0.log, f1.log, … with times growing by an hour
    int32_t limit;                // in MB
    int32_t order;
    Plan plan;
  } cases[] = {
      {"one file is always kept", {5 * kMiB}, 0, 0, {{0}, {}}},
      {"total equal to the limit", {kMiB, kMiB}, 2, 0, {{1, 0}, {}}},
      {"by time, one byte over", {kMiB, kMiB, 1}, 2, 0, {{2, 1}, {0}}},
      {"by size, smallest first", {3 * kMiB, kMiB, 2 * kMiB}, 3, 1, {{0}, {1, 2}}},
      {"scan order from the last", {kMiB, kMiB, kMiB}, 1, 2, {{0}, {2, 1}}},
      // Above 2 GiB in total and above 2047 MB of limit.
      {"large limit", {1536 * kMiB, 1536 * kMiB}, 4096, 0, {{1, 0}, {}}},
      {"large total", {1536 * kMiB, 1536 * kMiB}, 2048, 0, {{1}, {0}}},
  };
  for (const auto& c : cases) {
    fs::remove_all(folder_);
    for (size_t i = 0; i < c.sizes.size(); ++i) {
      file("f" + std::to_string(i) + ".log", utc(2024, 3, 1, static_cast<int>(i)), c.sizes[i]);
    }
    const auto policy = [&](KORALogManager& m) { return m.removeByThreshold(c.limit, c.order); };
    EXPECT_EQ(plan(folder_, policy), c.plan) << c.what;
  }
}

// ---------------------------------------------------------------------------------------------
// Deletion, status lines and the public object

// A delete list can hold files of two folders (a policy on one, then removeByThreshold appending
// from another); each is deleted below the folder it was scanned in, also when that folder was
// given with a trailing slash.
TEST_F(LogTreeTest, DeletionStartsFromTheFolderEachFileWasScannedIn) {
  const std::string first = file("day/a.log", utc(2024, 3, 1, 1), 1 << 20);
  const std::string second = file("../other/b.log", utc(2024, 3, 2), 1);
  file("../other/c.log", utc(2024, 3, 1), 1);
  ManagerAt manager(folder_);
  EXPECT_EQ(manager.removeAll(), 1u);
  manager.setPath(root_ + "/other/");
  manager.removeByThreshold(0, 0);
  EXPECT_EQ(manager.deleteFiles(), 0);
  EXPECT_EQ(manager.getDeleteReport(),
            deletionReport(root_ + "/other/", deleted(first, 0, "Success") +
                                                  deleted(root_ + "/other//c.log", 0, "Success")));
  EXPECT_FALSE(fs::exists(first));
  EXPECT_TRUE(fs::exists(second)) << "the newest is kept";
}

TEST_F(LogTreeTest, DeletionRecordsEachResultAndTouchesNothingElse) {
  const std::string before = snapshot(outside_);
  const std::string a = file("a&\"b/a.log", utc(2024, 3, 1));
  const std::string linked = link(outside_ + "/target.log", "t.log");
  const std::string dirLink = link(outside_ + "/dir", "dir.log");  // inventoried as the link

  ManagerAt manager(folder_);
  std::vector<std::string> lines;
  manager.setStatusCallback([&](const std::string& line) { lines.push_back(line); });
  ASSERT_EQ(manager.removeAll(), 3u);
  EXPECT_EQ(manager.deleteFiles([&](const std::string& path) { return path != linked; }), 0);

  const std::string cancelled = "The operation was canceled by the user.";
  EXPECT_EQ(manager.getDeleteReport(),
            deletionReport(folder_, deleted(a, 0, "Success") + deleted(dirLink, 0, "Success") +
                                        deleted(linked, 1223, cancelled)));
  EXPECT_EQ(lines, (std::vector<std::string>{"deleting: " + a + ", status: Success",
                                             "deleting: " + dirLink + ", status: Success",
                                             "deleting: " + linked + ", status: " + cancelled}));

  // The delete list stays: a second run finds the files gone and the refused link still there.
  EXPECT_EQ(manager.deleteFiles(), 0);
  EXPECT_EQ(manager.getDeleteReport(),
            deletionReport(folder_, deleted(a, 2, "No such file or directory") +
                                        deleted(dirLink, 2, "No such file or directory") +
                                        deleted(linked, 0, "Success")));
  EXPECT_FALSE(fs::is_symlink(linked));
  EXPECT_EQ(snapshot(outside_), before);
}

// A fresh object answers with empty texts, and its reports have an empty path and empty lists;
// the parameterless deleteFiles goes through the table, so a replaced confirming one is used.
TEST(LogManager, FreshObjectAndDeleteFilesWithoutConfirmDispatchingVirtually) {
  struct Counting : KORALogManager {
    int calls = 0;
    int32_t deleteFiles(std::function<bool(const std::string&)> confirm) override {
      ++calls;
      EXPECT_FALSE(confirm);
      return KORALogManager::deleteFiles(std::move(confirm));
    }
    using KORALogManager::deleteFiles;
  } manager;
  EXPECT_EQ(manager.getReport(), "");
  EXPECT_EQ(manager.getDeleteReport(), "");
  EXPECT_EQ(manager.deleteFiles(), 0);
  EXPECT_EQ(manager.calls, 1);
  EXPECT_EQ(manager.getDeleteReport(), deletionReport("", ""));
  EXPECT_EQ(manager.keepLatest(), 0);
  EXPECT_EQ(manager.getReport(), policyReport("keepLatest", "", "", ""));
}

}  // namespace
