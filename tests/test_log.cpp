// The log manager on real folder trees: inventory, policies, deletion and reports, with the
// time zone and "now" pinned.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "log/log_manager.h"
#include "log/log_retention.h"
#include "platform/clock.h"
#include "platform/clock_seam.h"
#include "platform/files.h"
#include "zttools.h"

namespace {

namespace fs = std::filesystem;
using zt::log::KORALogManager;
using zt::platform::fileTimeOf;
using Names = std::vector<std::string>;
using Ids = std::vector<int32_t>;

// Seconds since 1970 of a UTC calendar time, independent of TZ.
int64_t utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return static_cast<int64_t>(::timegm(&t));
}

// A zone with daylight saving: the system's database when present, else the same rule as a
// POSIX TZ string.
const char* zoneWithDaylightSaving() {
  return fs::exists("/usr/share/zoneinfo/Europe/Berlin") ? "Europe/Berlin"
                                                         : "CET-1CEST,M3.5.0,M10.5.0/3";
}

class TimeZoneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* tz = std::getenv("TZ")) {
      savedTz_ = tz;
    }
    ::setenv("TZ", zoneWithDaylightSaving(), 1);
    ::tzset();
  }
  void TearDown() override {
    zt::platform::testing::unpinNow();
    if (savedTz_) {
      ::setenv("TZ", savedTz_->c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
  }
  static void pinNow(int64_t unixTime) { zt::platform::testing::pinNow(fileTimeOf(unixTime, 0)); }

  std::optional<std::string> savedTz_;
};

// A fresh tree per test: `folder_` is the log folder, `outside_` holds what links point to.
class LogTreeTest : public TimeZoneTest {
 protected:
  void SetUp() override {
    TimeZoneTest::SetUp();
    std::string pattern = (fs::temp_directory_path() / "zt-log-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    ::chmod(root_.c_str(), 0755);  // an unprivileged child process must reach the tree
    folder_ = root_ + "/logs";
    outside_ = root_ + "/outside";
    fs::create_directories(folder_);
    fs::create_directories(outside_);
  }
  void TearDown() override {
    for (const auto& entry :
         fs::recursive_directory_iterator(root_, fs::directory_options::skip_permission_denied)) {
      if (entry.is_directory() && !entry.is_symlink()) {
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add);
      }
    }
    fs::remove_all(root_);
    TimeZoneTest::TearDown();
  }

  [[nodiscard]] std::string at(const std::string& relative) const {
    return folder_ + "/" + relative;
  }

  // A file of `size` bytes (sparse) last written at `unixTime` plus `nanoseconds`.
  std::string file(const std::string& relative, int64_t unixTime, uint64_t size = 0,
                   long nanoseconds = 0) const {
    const std::string path = at(relative);
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary).put('x');
    fs::resize_file(path, size);
    setTime(path, unixTime, nanoseconds);
    return path;
  }

  std::string link(const std::string& target, const std::string& relative,
                   int64_t unixTime = 0) const {
    const std::string path = at(relative);
    fs::create_directories(fs::path(path).parent_path());
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

  std::string root_;
  std::string folder_;
  std::string outside_;
};

// Report lines of one policy report.
std::string logfile(int32_t id, const std::string& path, uint32_t size, int64_t unixTime,
                    const std::string& timestamp) {
  return "      <logfile id=\"" + std::to_string(id) + "\" name=\"" + path + "\" size=\"" +
         std::to_string(size) + "\" time_t=\"" + std::to_string(unixTime) + "\" timestamp=\"" +
         timestamp + "\" />\n";
}

std::string policyReport(const std::string& title, const std::string& folder,
                         const std::string& keep, const std::string& remove) {
  return "<koralogmanager>\n   <report title=\"" + title + "\" path=\"" + folder + "\">\n" +
         "        <keep>\n" + keep + "        </keep>\n        <delete>\n" + remove +
         "        </delete>\n   </report>\n</koralogmanager>\n";
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

// ---------------------------------------------------------------------------------------------
// Platform stand-ins

TEST_F(LogTreeTest, ListingSortsCaseInsensitivelyWithByteOrderBreakingTies) {
  for (const char* name : {"b.log", "B.log", "a.log", "_x", "C", "ab"}) {
    file(name, 0);
  }
  fs::create_directory(at("dir"));
  link("a.log", "link");
  Names names;
  for (const auto& item : zt::platform::listFolder(folder_)) {
    names.push_back(item.name);
  }
  // Letters fold to lower case, so '_' (0x5F) sorts before them.
  EXPECT_EQ(names, (Names{"_x", "a.log", "ab", "B.log", "b.log", "C", "dir", "link"}));

  const auto items = zt::platform::listFolder(folder_);
  EXPECT_EQ(items[1].attributes, zt::platform::kAttributeFile);
  EXPECT_FALSE(items[1].isDirectory);
  EXPECT_EQ(items[6].attributes, zt::platform::kAttributeDirectory);
  EXPECT_TRUE(items[6].isDirectory);
  EXPECT_EQ(items[7].attributes, zt::platform::kAttributeSymbolicLink);
  EXPECT_EQ(items[7].sizeLow, 5u);  // the link's own size: the length of "a.log"

  EXPECT_TRUE(zt::platform::listFolder(at("missing")).empty());
  EXPECT_TRUE(zt::platform::listFolder("").empty());
}

TEST_F(LogTreeTest, ListingReportsSizeHalvesTimeWithNanosecondsAndReadOnly) {
  const std::string big =
      file("big.log", utc(2024, 1, 2, 3, 4, 5), (uint64_t{5} << 32) + 7, 123456789);
  ::chmod(big.c_str(), 0444);
  const auto items = zt::platform::listFolder(folder_);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].sizeHigh, 5u);
  EXPECT_EQ(items[0].sizeLow, 7u);
  EXPECT_EQ(items[0].attributes, zt::platform::kAttributeFile | zt::platform::kAttributeReadOnly);
  EXPECT_EQ(items[0].lastWriteTime,
            static_cast<uint64_t>(utc(2024, 1, 2, 3, 4, 5) + 11644473600) * 10000000 + 1234567);
}

TEST(LogClock, FileTimesAndUnixTimesConvertBothWays) {
  EXPECT_EQ(fileTimeOf(0, 0), 116444736000000000u);
  EXPECT_EQ(zt::platform::unixTimeOf(116444736000000000u), 0);
  EXPECT_EQ(zt::platform::unixTimeOf(fileTimeOf(1700000000, 999999999)), 1700000000);
  // Before 1970 the file time is still positive and the Unix time is negative.
  EXPECT_EQ(zt::platform::unixTimeOf(fileTimeOf(-14182940, 500)), -14182940);
  EXPECT_EQ(fileTimeOf(-11644473601, 0), 0u);  // before 1601
}

TEST_F(TimeZoneTest, TimestampsAreTwentyFourCharactersWithZeroPaddedDays) {
  const struct {
    int64_t unixTime;
    const char* text;
  } cases[] = {
      {utc(1980, 1, 2, 1, 3, 55), "Wed Jan 02 02:03:55 1980"},
      {utc(2024, 7, 1, 12, 0, 0), "Mon Jul 01 14:00:00 2024"},  // daylight saving
      {utc(1969, 7, 20, 20, 17, 40), "Sun Jul 20 21:17:40 1969"},
      {utc(1901, 12, 31, 23, 0, 0), "Wed Jan 01 00:00:00 1902"},
  };
  for (const auto& c : cases) {
    std::tm local{};
    ASSERT_TRUE(zt::platform::localTime(c.unixTime, local));
    EXPECT_EQ(zt::platform::timestampText(local), c.text);
  }
}

TEST(LogErrors, ErrorTextsAreTheSystemsWithoutLineEnds) {
  EXPECT_EQ(zt::platform::errorText(0), "Success");
  EXPECT_EQ(zt::platform::errorText(2), "No such file or directory");
  EXPECT_EQ(zt::platform::errorText(13), "Permission denied");
  EXPECT_EQ(zt::platform::errorText(1223), "The operation was canceled by the user.");
  EXPECT_EQ(zt::platform::errorText(99999), "");
  EXPECT_EQ(zt::platform::errorText(0x80000000u), "");
}

TEST_F(LogTreeTest, DeletingRemovesALinkNotItsTarget) {
  std::ofstream(outside_ + "/target") << "keep me";
  const std::string path = link(outside_ + "/target", "l.log");
  const zt::platform::FolderHandle folder(folder_);
  ASSERT_EQ(folder.openError(), 0);
  EXPECT_EQ(folder.removeFile("l.log"), 0);
  EXPECT_FALSE(fs::is_symlink(path));
  EXPECT_TRUE(fs::exists(outside_ + "/target"));
  EXPECT_EQ(folder.removeFile("l.log"), ENOENT);
  fs::create_directory(at("d.log"));
  EXPECT_EQ(folder.removeFile("d.log"), EISDIR);
  EXPECT_EQ(zt::platform::FolderHandle(root_ + "/missing").removeFile("a.log"), ENOENT);
}

// Deletion walks down from the scanned folder one folder at a time without following a link, so
// a folder replaced between the policy and the deletion can never send it outside the tree.
TEST_F(LogTreeTest, AFolderSwappedAfterThePolicyNeverRedirectsTheDeletion) {
  struct Case {
    const char* name;
    std::function<void(const std::string& sub)> swap;
    std::vector<int> codes;  // a link refused by O_NOFOLLOW gives ELOOP or ENOTDIR by system
  };
  const Case cases[] = {
      {"folder replaced by a link to a folder outside",
       [&](const std::string& sub) {
         fs::remove_all(sub);
         ASSERT_EQ(::symlink((outside_ + "/victim").c_str(), sub.c_str()), 0);
       },
       {ELOOP, ENOTDIR}},
      {"folder replaced by a file",
       [&](const std::string& sub) {
         fs::remove_all(sub);
         std::ofstream(sub) << "now a file";
       },
       {ENOTDIR}},
      {"folder above it replaced by a link",
       [&](const std::string& sub) {
         const std::string parent = fs::path(sub).parent_path();
         fs::remove_all(parent);
         ASSERT_EQ(::symlink(outside_.c_str(), parent.c_str()), 0);
       },
       {ELOOP, ENOTDIR}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(outside_);
    fs::remove_all(folder_);
    // The outside tree mirrors the inside one, so a followed link would find the same names.
    fs::create_directories(outside_ + "/victim");
    fs::create_directories(outside_ + "/a/b");
    std::ofstream(outside_ + "/victim/app.log") << "outside";
    std::ofstream(outside_ + "/a/b/app.log") << "outside";
    std::ofstream(outside_ + "/b/app.log") << "outside";
    const std::string before = snapshot(outside_);
    const std::string kept = file("top.log", utc(2024, 3, 1));
    const std::string inner = file("a/b/app.log", utc(2024, 3, 1));

    KORALogManagerInterface* manager = KORALogManagerFactory_Create();
    manager->setPath(folder_);
    ASSERT_EQ(manager->removeAll(), 2u);
    c.swap(at("a/b"));
    EXPECT_EQ(manager->deleteFiles(), 0);
    const std::string report = manager->getDeleteReport();
    KORALogManagerFactory_Destroy(manager);

    EXPECT_EQ(snapshot(outside_), before);
    EXPECT_FALSE(fs::exists(kept));
    const auto recorded = [&](int code) {
      return report.find("<file name=\"" + inner + "\" >\n       <code>" + std::to_string(code) +
                         "</code>\n       <message><![CDATA[" + zt::platform::errorText(code) +
                         "]]></message>") != std::string::npos;
    };
    EXPECT_TRUE(std::any_of(c.codes.begin(), c.codes.end(), recorded)) << report;
  }
}

// ---------------------------------------------------------------------------------------------
// Inventory

class LogInventoryTest : public LogTreeTest {
 protected:
  void SetUp() override {
    LogTreeTest::SetUp();
    std::ofstream(outside_ + "/target.log") << "target";
    fs::create_directories(outside_ + "/dir");
    std::ofstream(outside_ + "/dir/out.log") << "out";

    file("A.LOG", utc(2024, 3, 5, 9, 20, 30), 3);
    file("b.Log", utc(2024, 3, 9, 23, 30, 0), 10);
    file("c.log.bak", utc(2024, 3, 9));
    file("d.txt", utc(2024, 3, 9));
    file("e.log/inner.log", utc(2023, 12, 31, 23, 59, 59));
    file(".old/hidden.log", utc(2024, 3, 9));
    link("../outside/target.log", "link-file.log", utc(2024, 3, 1));
    link("../outside/dir", "link-dir");
    link(".", "loop");
    link("../..", "old/back");
    file("old/deep/y.log", utc(1969, 7, 20, 20, 17, 40), 1);
    file("old/x.log", utc(2024, 7, 1, 12), 2);
    file("z.log", utc(2024, 3, 10, 13), 4);
    // Sunday 10 March 2024, 15:00 local.
    pinNow(utc(2024, 3, 10, 14));
  }

  [[nodiscard]] std::string line(int32_t id) const {
    switch (id) {
      case 0:
        return logfile(0, at("A.LOG"), 3, utc(2024, 3, 5, 9, 20, 30), "Tue Mar 05 10:20:30 2024");
      case 1:
        return logfile(1, at("b.Log"), 10, utc(2024, 3, 9, 23, 30), "Sun Mar 10 00:30:00 2024");
      case 2:
        return logfile(2, at("e.log/inner.log"), 0, utc(2023, 12, 31, 23, 59, 59),
                       "Mon Jan 01 00:59:59 2024");
      case 3:
        return logfile(3, at("link-file.log"), 21, utc(2024, 3, 1), "Fri Mar 01 01:00:00 2024");
      case 4:
        return logfile(4, at("old/deep/y.log"), 1, utc(1969, 7, 20, 20, 17, 40),
                       "Sun Jul 20 21:17:40 1969");
      case 5:
        return logfile(5, at("old/x.log"), 2, utc(2024, 7, 1, 12), "Mon Jul 01 14:00:00 2024");
      default:
        return logfile(6, at("z.log"), 4, utc(2024, 3, 10, 13), "Sun Mar 10 14:00:00 2024");
    }
  }
  [[nodiscard]] std::string lines(const Ids& ids) const {
    std::string text;
    for (int32_t id : ids) {
      text += line(id);
    }
    return text;
  }

  KORALogManager manager_;
};

TEST_F(LogInventoryTest, RemoveAllListsEveryLogFileInScanOrderByteForByte) {
  const std::string before = snapshot(outside_);
  manager_.setPath(folder_);
  EXPECT_EQ(manager_.removeAll(), 7u);
  EXPECT_EQ(manager_.getReport(),
            policyReport("removeAll", folder_, "", lines({0, 1, 2, 3, 4, 5, 6})));
  EXPECT_EQ(snapshot(outside_), before);
}

TEST_F(LogInventoryTest, EachPeriodPolicyKeepsFilesFromItsStartOnIncludingFutureOnes) {
  const struct {
    std::function<int32_t(KORALogManager&)> run;
    const char* title;
    Ids keep;
    Ids remove;
  } cases[] = {
      // Now is a Sunday: this week starts today.
      {&KORALogManager::keepToday, "m_pimpl->m_keepToday", {1, 5, 6}, {0, 2, 3, 4}},
      {&KORALogManager::keepThisWeek, "m_pimpl->m_keepThisWeek", {1, 5, 6}, {0, 2, 3, 4}},
      {&KORALogManager::keepThisMonth, "m_pimpl->m_keepThisMonth", {0, 1, 3, 5, 6}, {2, 4}},
      {&KORALogManager::keepLatest, "keepLatest", {5}, {6, 1, 0, 3, 2, 4}},
  };
  for (const auto& c : cases) {
    KORALogManager manager;
    manager.setPath(folder_);
    EXPECT_EQ(c.run(manager), 0);
    EXPECT_EQ(manager.getReport(), policyReport(c.title, folder_, lines(c.keep), lines(c.remove)))
        << c.title;
  }
}

TEST_F(LogInventoryTest, PoliciesAppendToTheOtherListAndAnEmptyFolderReusesTheLists) {
  manager_.setPath(folder_);
  manager_.keepLatest();
  manager_.keepLatest();
  EXPECT_EQ(idsIn(manager_.getReport(), "keep"), (Ids{5, 5}));
  manager_.keepToday();  // rescans the delete list, appends to the keep list
  EXPECT_EQ(idsIn(manager_.getReport(), "keep"), (Ids{5, 5, 1, 5, 6}));
  EXPECT_EQ(idsIn(manager_.getReport(), "delete"), (Ids{0, 2, 3, 4}));

  // Without a folder nothing is rescanned: keepThisMonth works on what keepToday left.
  manager_.setPath("");
  manager_.keepThisMonth();
  EXPECT_EQ(idsIn(manager_.getReport(), "keep"), (Ids{5, 5, 1, 5, 6, 0, 3}));
  EXPECT_EQ(idsIn(manager_.getReport(), "delete"), (Ids{2, 4}));
  EXPECT_NE(manager_.getReport().find("<report title=\"m_pimpl->m_keepThisMonth\" path=\"\">"),
            std::string::npos);
}

TEST_F(LogTreeTest, UnreadableSubfoldersAreSkippedAndDeletionFailuresRecorded) {
  file("a.log", utc(2024, 3, 1));
  file("locked/hidden.log", utc(2024, 3, 1));
  const std::string denied = file("ro/c.log", utc(2024, 3, 1));
  file("z.log", utc(2024, 3, 1));
  ::chmod(at("locked").c_str(), 0);
  ::chmod(at("ro").c_str(), 0555);

  // Root reads and deletes anything, so the run happens in a child without privileges.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
      ::_exit(10);
    }
    KORALogManager manager;
    manager.setPath(folder_);
    if (manager.removeAll() != 3) ::_exit(1);
    if (idsIn(manager.getReport(), "delete") != Ids{0, 1, 2}) ::_exit(2);
    if (manager.getReport().find("hidden") != std::string::npos) ::_exit(3);
    manager.deleteFiles([&](const std::string& path) { return path == denied; });
    const std::string expected =
        "     <file name=\"" + at("a.log") + "\" >\n       <code>1223</code>\n" +
        "       <message><![CDATA[The operation was canceled by the user.]]></message>\n" +
        "     </file>\n     <file name=\"" + denied + "\" >\n       <code>13</code>\n" +
        "       <message><![CDATA[Permission denied]]></message>\n     </file>\n";
    ::_exit(manager.getDeleteReport().find(expected) == std::string::npos ? 4 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 10) {
    GTEST_SKIP() << "cannot drop privileges here";
  }
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(fs::exists(denied));
}

// ---------------------------------------------------------------------------------------------
// Periods

TEST_F(TimeZoneTest, PeriodsStartAtLocalMidnightOfTheirFirstDay) {
  const struct {
    const char* what;
    int64_t now;
    zt::log::Period period;
    int64_t start;
  } cases[] = {
      {"Sunday", utc(2024, 3, 10, 14), zt::log::Period::thisWeek, utc(2024, 3, 9, 23)},
      {"Saturday", utc(2024, 3, 16, 22, 59), zt::log::Period::thisWeek, utc(2024, 3, 9, 23)},
      {"today before 01:00 local", utc(2024, 3, 9, 23, 30), zt::log::Period::today,
       utc(2024, 3, 9, 23)},
      // A Tuesday the 2nd in summer time: the week began on the last Sunday of March, the day
      // the clocks went forward, and its start still falls on the Saturday evening before.
      {"Tuesday 2nd", utc(2024, 4, 2, 7), zt::log::Period::thisWeek, utc(2024, 3, 30, 22)},
      {"Tuesday 2nd", utc(2024, 4, 2, 7), zt::log::Period::thisMonth, utc(2024, 3, 31, 22)},
      {"1st of a month", utc(2024, 5, 31, 22, 30), zt::log::Period::thisMonth,
       utc(2024, 5, 31, 22)},
      {"1st of a month", utc(2024, 6, 1, 10), zt::log::Period::thisWeek, utc(2024, 5, 25, 22)},
      {"year end", utc(2025, 1, 1, 10), zt::log::Period::thisWeek, utc(2024, 12, 28, 23)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(zt::log::periodStart(c.period, c.now), c.start) << c.what;
  }
}

TEST_F(LogTreeTest, WeekOnATuesdayTheSecondReachesBackIntoThePreviousMonth) {
  file("fri.log", utc(2024, 3, 29, 12));
  file("sat-late.log", utc(2024, 3, 30, 22, 30));   // Saturday 23:30 local
  file("sun-early.log", utc(2024, 3, 30, 23, 30));  // Sunday 00:30, before the change
  file("sun-late.log", utc(2024, 3, 31, 20));
  file("tue.log", utc(2024, 4, 2, 6));
  pinNow(utc(2024, 4, 2, 7));  // Tuesday 2 April, 09:00 summer time

  KORALogManager week;
  week.setPath(folder_);
  week.keepThisWeek();
  EXPECT_EQ(idsIn(week.getReport(), "keep"), (Ids{2, 3, 4}));
  EXPECT_EQ(idsIn(week.getReport(), "delete"), (Ids{0, 1}));

  KORALogManager month;
  month.setPath(folder_);
  month.keepThisMonth();
  EXPECT_EQ(idsIn(month.getReport(), "keep"), (Ids{4}));
}

// ---------------------------------------------------------------------------------------------
// keepLatest and removeByThreshold

TEST_F(LogTreeTest, KeepLatestKeepsEveryFileOfTheNewestSecondInScanOrder) {
  file("a.log", utc(2024, 3, 1, 10, 0, 0), 0, 900000000);
  file("b.log", utc(2024, 3, 1, 9));
  file("c.log", utc(2024, 3, 1, 10, 0, 0), 0, 100);
  KORALogManager manager;
  manager.setPath(folder_);
  EXPECT_EQ(manager.keepLatest(), 0);
  EXPECT_EQ(idsIn(manager.getReport(), "keep"), (Ids{0, 2}));
  EXPECT_EQ(idsIn(manager.getReport(), "delete"), (Ids{1}));

  KORALogManager empty;
  empty.setPath(at("missing"));
  EXPECT_EQ(empty.keepLatest(), 0);
  EXPECT_EQ(empty.getReport(), policyReport("keepLatest", at("missing"), "", ""));
}

TEST_F(LogTreeTest, RemoveByThresholdDeletesFromTheEndUntilTheRestFits) {
  constexpr uint64_t kMiB = 1 << 20;
  const struct {
    const char* what;
    std::vector<uint64_t> sizes;  // files f0.log, f1.log, … with times growing by an hour
    int32_t megabytes;
    int32_t order;
    Ids keep;
    Ids remove;
  } cases[] = {
      {"one file is always kept", {5 * kMiB}, 0, 0, {0}, {}},
      {"total equal to the limit", {kMiB, kMiB}, 2, 0, {1, 0}, {}},
      {"by time, oldest first", {kMiB, kMiB, kMiB}, 1, 0, {2}, {0, 1}},
      {"one byte over", {kMiB, kMiB, 1}, 2, 0, {2, 1}, {0}},
      {"by size, smallest first", {3 * kMiB, kMiB, 2 * kMiB}, 3, 1, {0}, {1, 2}},
      {"scan order from the last", {kMiB, kMiB, kMiB}, 1, 2, {0}, {2, 1}},
      {"negative order", {kMiB, kMiB, kMiB}, 2, -1, {0, 1}, {2}},
      // Above 2 GiB in total and above 2047 MB of limit.
      {"large limit", {1536 * kMiB, 1536 * kMiB}, 4096, 0, {1, 0}, {}},
      {"large total", {1536 * kMiB, 1536 * kMiB}, 2048, 0, {1}, {0}},
  };
  for (const auto& c : cases) {
    fs::remove_all(folder_);
    for (size_t i = 0; i < c.sizes.size(); ++i) {
      file("f" + std::to_string(i) + ".log", utc(2024, 3, 1, static_cast<int>(i)), c.sizes[i]);
    }
    KORALogManager manager;
    manager.setPath(folder_);
    EXPECT_EQ(manager.removeByThreshold(c.megabytes, c.order), 0);
    EXPECT_EQ(idsIn(manager.getReport(), "keep"), c.keep) << c.what;
    EXPECT_EQ(idsIn(manager.getReport(), "delete"), c.remove) << c.what;
  }
}

TEST_F(LogTreeTest, RemoveByThresholdAppendsToTheDeleteListOfAnEarlierPolicy) {
  file("a.log", utc(2024, 3, 1, 1), 1 << 20);
  file("b.log", utc(2024, 3, 1, 2), 1 << 20);
  KORALogManager manager;
  manager.setPath(folder_);
  manager.removeAll();
  manager.removeByThreshold(1, 0);
  EXPECT_EQ(idsIn(manager.getReport(), "keep"), (Ids{1}));
  EXPECT_EQ(idsIn(manager.getReport(), "delete"), (Ids{0, 1, 0}));
}

// ---------------------------------------------------------------------------------------------
// Deletion, status lines and the public object

// A delete list can hold files of two folders (a policy on one, then removeByThreshold on
// another); each is deleted below the folder it was scanned in, also when that folder was given
// with a trailing slash.
TEST_F(LogTreeTest, DeletionStartsFromTheFolderEachFileWasScannedIn) {
  const std::string first = file("day/a.log", utc(2024, 3, 1, 1), 1 << 20);
  const std::string second = outside_ + "/b.log";
  const std::string third = outside_ + "/c.log";
  std::ofstream(second) << "b";
  std::ofstream(third) << "c";
  setTime(second, utc(2024, 3, 2), 0);
  setTime(third, utc(2024, 3, 1), 0);
  KORALogManager manager;
  manager.setPath(folder_);
  EXPECT_EQ(manager.removeAll(), 1u);
  manager.setPath(outside_ + "/");
  manager.removeByThreshold(0, 0);
  EXPECT_EQ(manager.deleteFiles(), 0);
  const std::string report = manager.getDeleteReport();
  for (const std::string& path : {first, outside_ + "//c.log"}) {
    EXPECT_NE(report.find("<file name=\"" + path + "\" >\n       <code>0</code>"),
              std::string::npos)
        << path << "\n"
        << report;
  }
  EXPECT_FALSE(fs::exists(first));
  EXPECT_FALSE(fs::exists(third));
  EXPECT_TRUE(fs::exists(second)) << "the newest is kept";
}

TEST_F(LogTreeTest, DeletionRecordsEachResultAndTouchesNothingElse) {
  std::ofstream(outside_ + "/target.log") << "target";
  fs::create_directories(outside_ + "/dir");
  std::ofstream(outside_ + "/dir/out.log") << "out";
  const std::string before = snapshot(outside_);
  const std::string a = file("a&\"b/a.log", utc(2024, 3, 1));
  const std::string keep = file("keep.txt", utc(2024, 3, 1));
  const std::string linked = link(outside_ + "/target.log", "t.log");
  link(outside_ + "/dir", "dir.log");  // a link to a folder, inventoried as the link
  const std::string dirLink = at("dir.log");

  KORALogManagerInterface* manager = KORALogManagerFactory_Create();
  std::vector<std::string> lines;
  manager->setStatusCallback([&](const std::string& line) { lines.push_back(line); });
  manager->setPath(folder_);
  ASSERT_EQ(manager->removeAll(), 3u);
  EXPECT_NE(manager->getReport().find("name=\"" + a + "\""), std::string::npos);
  EXPECT_EQ(manager->deleteFiles([&](const std::string& path) { return path != linked; }), 0);

  const auto fileElement = [](const std::string& path, int code, const std::string& message) {
    return "     <file name=\"" + path + "\" >\n       <code>" + std::to_string(code) +
           "</code>\n       <message><![CDATA[" + message + "]]></message>\n     </file>\n";
  };
  const std::string head =
      "<koralogmanager>\n   <report title=\"deleteFiles\" path=\"" + folder_ + "\">\n";
  const std::string tail = "   </report>\n</koralogmanager>\n";
  EXPECT_EQ(manager->getDeleteReport(),
            head + fileElement(a, 0, "Success") + fileElement(dirLink, 0, "Success") +
                fileElement(linked, 1223, "The operation was canceled by the user.") + tail);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "deleting: " + a + ", status: Success",
                       "deleting: " + dirLink + ", status: Success",
                       "deleting: " + linked + ", status: The operation was canceled by the user.",
                   }));
  EXPECT_FALSE(fs::exists(a));
  EXPECT_TRUE(fs::is_symlink(linked));
  EXPECT_TRUE(fs::exists(keep));
  EXPECT_EQ(snapshot(outside_), before);

  // The delete list stays: a second run finds the files gone. An empty status callable is off.
  lines.clear();
  manager->setStatusCallback({});
  EXPECT_EQ(manager->deleteFiles(), 0);
  EXPECT_EQ(manager->getDeleteReport(), head + fileElement(a, 2, "No such file or directory") +
                                            fileElement(dirLink, 2, "No such file or directory") +
                                            fileElement(linked, 0, "Success") + tail);
  EXPECT_TRUE(lines.empty());
  EXPECT_FALSE(fs::is_symlink(linked));
  EXPECT_EQ(snapshot(outside_), before);
  EXPECT_EQ(KORALogManagerFactory_Destroy(manager), nullptr);
}

TEST(LogManager, FreshObjectAnswersWithEmptyTexts) {
  KORALogManagerInterface* manager = KORALogManagerFactory_Create();
  EXPECT_EQ(manager->getVersion(), "1.0.12001.24001");
  EXPECT_EQ(manager->getReport(), "");
  EXPECT_EQ(manager->getDeleteReport(), "");
  EXPECT_EQ(manager->removeAll(), 0u);
  EXPECT_EQ(manager->getReport(), policyReport("removeAll", "", "", ""));
  EXPECT_EQ(manager->deleteFiles(), 0);
  EXPECT_EQ(manager->getDeleteReport(),
            "<koralogmanager>\n   <report title=\"deleteFiles\" path=\"\">\n   </report>\n"
            "</koralogmanager>\n");
  EXPECT_EQ(KORALogManagerFactory_Destroy(manager), nullptr);
}

// The parameterless deleteFiles goes through the table, so a replaced confirming one is used.
TEST(LogManager, DeleteFilesWithoutConfirmDispatchesVirtually) {
  struct Counting : KORALogManager {
    int calls = 0;
    int32_t deleteFiles(std::function<bool(const std::string&)> confirm) override {
      ++calls;
      EXPECT_FALSE(confirm);
      return KORALogManager::deleteFiles(std::move(confirm));
    }
    using KORALogManager::deleteFiles;
  } manager;
  EXPECT_EQ(manager.deleteFiles(), 0);
  EXPECT_EQ(manager.calls, 1);
}

}  // namespace
