// The private-profile stand-in on real files: what a read returns, what a write keeps, and that
// an interrupted write leaves the original file as it was.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "platform/profile.h"
#include "platform/profile_fault.h"
#include "profile_files.h"

namespace {

using namespace std::string_literals;
using zt::platform::readProfileSection;
using zt::platform::writePrivateProfileSection;
using zt::platform::testing::ProfileWriteFault;
using zt::platform::testing::setProfileWriteFault;

using Profile = zt::testing::ProfileFilesTest;

// A missing or empty section shows in the preset load test: the load fails.
TEST_F(Profile, ReadTrimsSkipsCommentsAndTakesTheFirstSectionOfTheName) {
  errno = 0;
  EXPECT_EQ(readProfileSection("Preset", path("none.ini").c_str()).view(), "");
  EXPECT_EQ(errno, ENOENT);
  const struct {
    const char* name;
    std::string file;
    std::string lines;
  } cases[] = {
      {"trims key and value", "[Preset]\n  spaced key  =  spaced value  \n",
       "spaced key=spaced value\0"s},
      {"line without =", "[Preset]\n  bare word \n", "bare word\0"s},
      {"comments and blanks", "[Preset]\n; c\n\n   \n\ta=1\n  ;indented\nb=2", "a=1\0b=2\0"s},
      {"CRLF", "[Preset]\r\na=1\r\nb=2\r\n", "a=1\0b=2\0"s},
      {"name without case", "[pReSeT]\na=1\n", "a=1\0"s},
      {"header spaced", "  [ Preset ]  ; note\na=1\n", "a=1\0"s},
      {"first section only", "[Preset]\na=1\n[Other]\nb=2\n[preset]\nc=3\n", "a=1\0"s},
      {"byte-order mark", "\xEF\xBB\xBF[Preset]\na=1\n", "a=1\0"s},
      {"after other sections", "top=0\n[Other]\nb=2\n[Preset]\na=1\n", "a=1\0"s},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(readProfileSection("Preset", write("case.ini", c.file).c_str()).view(), c.lines)
        << c.name;
  }
}

TEST_F(Profile, WriteReplacesTheSectionAndKeepsEveryOtherByte) {
  const struct {
    const char* name;
    std::string before;
    std::string lines;  // exchange form without the final zero
    std::string after;
  } cases[] = {
      {"CRLF file, neighbours kept",
       "; head\r\n[Other]\r\nx = 1\r\n\r\n[preset]  ; mine\r\nold=1\r\n; inside\r\nold=2\r\n\r\n"
       "; about next\r\n[Next]\r\ny=2\r\n[Preset]\r\nsecond=1\r\n",
       "k=v\0k2=v2\0"s,
       "; head\r\n[Other]\r\nx = 1\r\n\r\n[preset]  ; mine\r\nk=v\r\nk2=v2\r\n\r\n"
       "; about next\r\n[Next]\r\ny=2\r\n[Preset]\r\nsecond=1\r\n"},
      {"empty text leaves the header", "[Preset]\na=1\n[Next]\n", ""s, "[Preset]\n[Next]\n"},
      {"section at the end without line end", "[Other]\nx=1\n[Preset]\na=1", "b=2\0"s,
       "[Other]\nx=1\n[Preset]\nb=2\n"},
      {"header without line end", "[Preset]", "b=2\0"s, "[Preset]\nb=2\n"},
      {"missing section appended", "[Other]\r\nx=1\r\n", "a=1\0"s,
       "[Other]\r\nx=1\r\n[Preset]\r\na=1\r\n"},
      {"appended after an unended line", "[Other]\nx=1", "a=1\0"s, "[Other]\nx=1\n[Preset]\na=1\n"},
      {"a lone CR ending the only line makes it CRLF", "[Other]\r", "a=1\0"s,
       "[Other]\r\n[Preset]\r\na=1\r\n"},
      {"a header ended by a lone CR", "[Preset]\r", "a=1\0"s, "[Preset]\r\na=1\r\n"},
  };
  for (const auto& c : cases) {
    const std::string path = write("case.ini", c.before);
    const std::string lines = c.lines + '\0';
    EXPECT_TRUE(writePrivateProfileSection("Preset", lines.c_str(), path.c_str())) << c.name;
    EXPECT_EQ(readFile(path), c.after) << c.name;
    // Writing the same lines again changes no byte.
    EXPECT_TRUE(writePrivateProfileSection("Preset", lines.c_str(), path.c_str())) << c.name;
    EXPECT_EQ(readFile(path), c.after) << c.name << " (second write)";
  }
  EXPECT_EQ(entries(), 1u) << "a temporary file was left behind";
}

TEST_F(Profile, InterruptedWriteLeavesTheOriginalIntact) {
  const std::string original = "; keep me\r\n[Preset]\r\na=1\r\n";
  for (ProfileWriteFault fault :
       {ProfileWriteFault::write, ProfileWriteFault::sync, ProfileWriteFault::rename}) {
    const std::string path = write("keep.ini", original);
    setProfileWriteFault(fault);
    EXPECT_EQ(errnoOf([&] { return writePrivateProfileSection("Preset", "b=2\0", path.c_str()); }),
              EIO);
    EXPECT_EQ(readFile(path), original);
    EXPECT_EQ(entries(), 1u) << "a temporary file was left behind";
  }
  setProfileWriteFault(ProfileWriteFault::none);
}

}  // namespace
