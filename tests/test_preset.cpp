// Preset files and the preset manager on real files.
#include <dlfcn.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "preset/preset_file.h"
#include "preset/preset_manager.h"
#include "profile_files.h"

// The order in which a save calls fsync and rename, seen at the calls themselves: the library's
// objects are linked into this program, so these definitions stand in for the C library's, note
// each call while `syncLog` is set and pass it on.
static std::vector<std::string>* syncLog = nullptr;

extern "C" int fsync(int fd) {
  static auto* const real = reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "fsync"));
  if (syncLog != nullptr) {
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    syncLog->push_back("fsync " + std::filesystem::read_symlink(link).string());
  }
  return real(fd);
}

extern "C" int rename(const char* from, const char* to) noexcept {
  static auto* const real =
      reinterpret_cast<int (*)(const char*, const char*)>(::dlsym(RTLD_NEXT, "rename"));
  if (syncLog != nullptr) syncLog->push_back(std::string("rename ") + from + " " + to);
  return real(from, to);
}

namespace {

using zt::preset::KORAPresetFile;
using zt::preset::KORAPresetManager;
using Values = std::map<std::string, std::string>;

class PresetFile : public zt::testing::ProfileFilesTest {};

// A failed load (no file, no section, an empty one) keeps the settings but takes the path.
TEST_F(PresetFile, LoadsKeysInFileOrderWithTheLastValueOfARepeatedKeyAndSavesThem) {
  KORAPresetFile preset;
  ASSERT_TRUE(preset.load(write("p.ini", "[Preset]\nk=1\na=b=c\n=x\nnoequals\nk=2\nempty=\n")));
  for (const std::string& other : {path("missing.ini"), write("nosection.ini", "[Other]\nb=2\n"),
                                   write("emptysection.ini", "[Preset]\n; nothing\n")}) {
    EXPECT_FALSE(preset.load(other));
    EXPECT_EQ(preset.path(), other);
  }
  Values values;
  for (const KORAPresetFile::Setting key : preset.settings()) {
    values.emplace(key, KORAPresetFile::valueOf(key));
  }
  EXPECT_EQ(values, (Values{{"", "x"}, {"a", "b=c"}, {"empty", ""}, {"k", "2"}}));

  // The keys in file order: the repeated key is written twice with its one value; the line without
  // '=' is gone.
  ASSERT_TRUE(preset.save(path("p.ini")));
  EXPECT_EQ(readFile(path("p.ini")), "[Preset]\nk=2\na=b=c\n=x\nk=2\nempty=\n");
  ASSERT_TRUE(KORAPresetFile().save(path("p.ini")));
  EXPECT_EQ(readFile(path("p.ini")), "[Preset]\n") << "saving no keys empties the section";
}

TEST_F(PresetFile, LargeSectionsLoadWhole) {
  // Sizes around 8 KiB, where a fixed first buffer would end, and one large enough to show a
  // load that is not linear.
  for (size_t settings : {800u, 819u, 820u, 200000u}) {
    std::string file = "[Preset]\n";
    for (size_t i = 0; i < settings; ++i) {
      file.append("k").append(std::to_string(100000 + i)).append("=v\n");
    }
    KORAPresetFile preset;
    ASSERT_TRUE(preset.load(write("big.ini", file))) << settings;
    ASSERT_EQ(preset.keys().size(), settings);
    EXPECT_EQ(preset.keys().back(), std::string("k").append(std::to_string(100000 + settings - 1)));
  }
}

// ---------------------------------------------------------------------------------------------

// The manager notes every call of its addMissing, to show which calls go through the table of
// virtual operations.
class PresetManager : public zt::testing::ProfileFilesTest {
 protected:
  using Calls = std::vector<std::pair<uint32_t, uint32_t>>;
  struct Recording : KORAPresetManager {
    bool addMissing(uint32_t from, uint32_t to) override {
      calls.emplace_back(from, to);
      return KORAPresetManager::addMissing(from, to);
    }
    Calls calls;
  } manager;
};

// Closing an invalid handle changes nothing; every operation on one fails or gives nothing.
TEST_F(PresetManager, HandlesAreTimeBasedAndStepBySixteenAndInvalidOnesChangeNothing) {
  const std::string file = write("p.ini", "[Preset]\na=1\n");
  const uint32_t first = manager.open(file);
  ASSERT_NE(first, 0u);
  EXPECT_EQ(first & 0xFFu, 0u);
  // The base is the time the manager was made, with its low 8 bits cleared.
  EXPECT_LT(static_cast<uint32_t>(std::time(nullptr)) - first, 600u);
  EXPECT_EQ(manager.open(path("missing.ini")), 0u);
  const uint32_t handle = manager.open(file);
  EXPECT_EQ(handle, first + 16);
  // Every absent value is the library's one empty text, which outlives any manager.
  const char* absent = manager.getValue(handle, "none");
  EXPECT_STREQ(absent, "");
  EXPECT_EQ(KORAPresetManager().getValue(1, "x"), absent);

  EXPECT_EQ(manager.close(0), 0);
  EXPECT_EQ(manager.close(handle + 1), 0);
  EXPECT_STREQ(manager.getValue(handle, "a"), "1");
  EXPECT_EQ(manager.close(handle), 0);
  EXPECT_EQ(manager.close(handle), 0);
  EXPECT_EQ(manager.open(file), first + 32) << "a handle was issued twice";
  for (uint32_t bad : {0u, handle, first + 48}) {
    EXPECT_EQ(manager.getValue(bad, "a"), absent);
    EXPECT_EQ(errnoOf([&] { return manager.save(bad); }), EBADF);
    EXPECT_EQ(errnoOf([&] { return manager.saveAs(bad, path("x.ini")); }), EBADF);
    EXPECT_TRUE(manager.getDifferences(bad, bad).empty());
    EXPECT_FALSE(manager.addMissing(bad, bad));
  }
  EXPECT_FALSE(std::filesystem::exists(path("x.ini")));
}

TEST_F(PresetManager, SaveAsThenSaveWriteToTheRightFilesAndAFailureKeepsTheSystemsError) {
  const std::string opened = write("opened.ini", "[Preset]\na=1\n");
  const std::string copy = path("copy.ini");
  const uint32_t handle = manager.open(opened);
  const uint32_t extra = manager.open(write("extra.ini", "[Preset]\nb=2\nPreset Driver=D\n"));
  ASSERT_TRUE(manager.saveAs(handle, copy));
  EXPECT_EQ(readFile(copy), "[Preset]\na=1\n");
  ASSERT_TRUE(manager.addMissing(extra, handle));
  ASSERT_TRUE(manager.save(handle));
  // The driver's key is completed like any other.
  EXPECT_EQ(readFile(opened), "[Preset]\na=1\nPreset Driver=D\nb=2\n");
  EXPECT_EQ(readFile(copy), "[Preset]\na=1\n");
  EXPECT_EQ(errnoOf([&] { return manager.saveAs(handle, path("no/folder.ini")); }), ENOENT)
      << "the system's error is kept";
  EXPECT_FALSE(std::filesystem::exists(path("no"))) << "a missing folder is not made";
}

// A save is durable before it is visible: the temporary file's data reaches the disk before the
// rename puts it in place, and the folder is synced after, so that the rename lasts too.
TEST_F(PresetManager, SaveSyncsTheDataBeforeTheRenameAndTheFolderAfter) {
  const uint32_t handle = manager.open(write("opened.ini", "[Preset]\na=1\n"));
  std::vector<std::string> calls;
  syncLog = &calls;
  const bool saved = manager.save(handle);
  syncLog = nullptr;
  ASSERT_TRUE(saved);
  const std::string temporary = calls.at(0).substr(std::string("fsync ").size());
  EXPECT_EQ(calls, (std::vector<std::string>{"fsync " + temporary,
                                             "rename " + temporary + " " + path("opened.ini"),
                                             "fsync " + scratch_.path().string()}));
}

// Differences name the shared keys whose values differ byte for byte, except the driver's;
// completion appends the missing keys in key order and never overwrites.
TEST_F(PresetManager, DifferencesAndCompletionFromTheDefault) {
  const uint32_t defaults = manager.open(
      write("default.ini",
            "[Preset]\nPreset Driver=A\nsame=1\nlen=ab\nz=1\nz=2\ncase=a\nb=2\na=1\nb=3\n"));
  const uint32_t mine = manager.open(
      write("mine.ini", "[Preset]\nPreset Driver=B\nsame=1\nlen=abc\nonly=y\nz=3\ncase=A\n"));
  EXPECT_EQ(manager.getDifferences(defaults, mine),
            (Values{{"case", "A"}, {"len", "abc"}, {"z", "3"}}));
  EXPECT_EQ(manager.getDifferences(mine, defaults),
            (Values{{"case", "a"}, {"len", "ab"}, {"z", "2"}}));

  EXPECT_FALSE(manager.addMissingFromDefault(mine)) << "no default chosen yet";
  const char* own = manager.getValue(mine, "len");
  manager.setDefault(defaults);
  EXPECT_TRUE(manager.addMissingFromDefault(mine));
  EXPECT_FALSE(manager.addMissingFromDefault(mine)) << "nothing is missing any more";
  ASSERT_TRUE(manager.save(mine));
  EXPECT_EQ(readFile(path("mine.ini")),
            "[Preset]\nPreset Driver=B\nsame=1\nlen=abc\nonly=y\nz=3\ncase=A\na=1\nb=3\n");

  manager.close(defaults);
  EXPECT_FALSE(manager.addMissingFromDefault(mine)) << "the default handle is closed";
  // Completion keeps earlier values where they were and copies the added ones.
  EXPECT_STREQ(own, "abc");
  EXPECT_STREQ(manager.getValue(mine, "b"), "3");
  EXPECT_EQ(manager.calls,
            (Calls{{0, mine}, {defaults, mine}, {defaults, mine}, {defaults, mine}}));
}

// A file its owner may not write is read-only: a save (save and saveAs share the writing) leaves
// it as it is and fails with EACCES, also in a process that the system would let replace it
// (these tests may run as root); a file it replaces keeps its permission bits. A save replaces the
// name it writes: another hard link keeps the old content.
TEST_F(PresetManager, SavesNeverReplaceAReadOnlyFileAndReplaceOnlyTheirOwnName) {
  const std::pair<mode_t, bool> modes[] = {{0644, true},  {0600, true},  {0444, false},
                                           {0400, false}, {0555, false}, {0044, false}};
  const uint32_t handle = manager.open(write("source.ini", "[Preset]\na=2\n"));
  for (const auto& [mode, replaced] : modes) {
    const std::string file = write("file.ini", "[Preset]\na=1\n");
    ASSERT_EQ(::chmod(file.c_str(), mode), 0);
    EXPECT_EQ(errnoOf([&] { return manager.saveAs(handle, file); }), replaced ? -1 : EACCES)
        << std::oct << mode;
    EXPECT_EQ(readFile(file), replaced ? "[Preset]\na=2\n" : "[Preset]\na=1\n") << std::oct << mode;
    EXPECT_EQ(static_cast<mode_t>(std::filesystem::status(file).permissions()), mode)
        << "the permission bits are kept";
    EXPECT_EQ(entries(), 2u) << "a temporary file was left behind";
    std::filesystem::remove(file);
  }
  const std::string linked = write("linked.ini", "[Preset]\na=1\n");
  std::filesystem::create_hard_link(linked, path("other-name.ini"));
  // A symbolic link is followed: its target is replaced and the link stays.
  std::filesystem::create_symlink(linked, path("symlink.ini"));
  EXPECT_TRUE(manager.saveAs(handle, path("symlink.ini")));
  EXPECT_TRUE(std::filesystem::is_symlink(path("symlink.ini")));
  EXPECT_EQ(readFile(linked), "[Preset]\na=2\n");
  EXPECT_EQ(readFile(path("other-name.ini")), "[Preset]\na=1\n");
}

// A save killed before its rename leaves its temporary; the next save of the same file removes
// every temporary of this library's naming for that file whose process is gone, and nothing else.
TEST_F(PresetManager, ASaveRemovesTheTemporariesOfDeadWritersOfTheSameFile) {
  // Process ids stay below pid_max, so no process has that one.
  std::string dead;
  std::ifstream("/proc/sys/kernel/pid_max") >> dead;
  const std::string live = std::to_string(::getppid());
  const std::string self = std::to_string(::getpid());
  const std::pair<std::string, bool> temporaries[] = {
      {".p.ini." + dead + ".1.18f3a.tmp", true},
      {".p.ini." + dead + ".12.0.tmp", true},
      {".p.ini." + live + ".1.18f3a.tmp", false},
      {".p.ini." + self + ".1.18f3a.tmp", false},  // another thread's save may be writing it
      {".q.ini." + dead + ".1.18f3a.tmp", false},
      {".p.ini." + dead + ".18f3a.tmp", false},
      {".p.ini." + dead + ".1.18f3g.tmp", false},
      {".p.ini.x" + dead + ".1.18f3a.tmp", false},
      {"p.ini." + dead + ".1.18f3a.tmp", false},
  };
  for (const auto& [name, removed] : temporaries) {
    std::ofstream(path(name)) << "partial";
  }
  const uint32_t handle = manager.open(write("p.ini", "[Preset]\na=1\n"));
  ASSERT_TRUE(manager.save(handle));
  for (const auto& [name, removed] : temporaries) {
    EXPECT_NE(std::filesystem::exists(path(name)), removed) << name;
  }
}

}  // namespace
