// Real files for the private-profile and preset suites: a fresh temporary folder per test and
// whole-file reads and writes.
#ifndef ZT_TESTS_PROFILE_FILES_H
#define ZT_TESTS_PROFILE_FILES_H

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <iterator>
#include <string>

#include "scratch_dir.h"

namespace zt::testing {

class ProfileFilesTest : public ::testing::Test {
 protected:
  [[nodiscard]] std::string path(const std::string& name) const {
    return (scratch_.path() / name).string();
  }

  [[nodiscard]] std::string write(const std::string& name, const std::string& content) const {
    return scratch_.write(name, content);
  }

  // The errno a failing call leaves, or -1 when the call succeeds.
  static int errnoOf(const std::function<bool()>& call) {
    errno = 0;
    return call() ? -1 : errno;
  }

  // Names in the folder, to see that no temporary file is left behind.
  [[nodiscard]] size_t entries() const {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(scratch_.path()),
                                             std::filesystem::directory_iterator()));
  }

  ScratchDir scratch_;
};

}  // namespace zt::testing

#endif  // ZT_TESTS_PROFILE_FILES_H
