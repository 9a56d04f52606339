// Real files for the private-profile and preset suites: a fresh temporary folder per test and
// whole-file reads and writes.
#ifndef ZT_TESTS_PROFILE_FILES_H
#define ZT_TESTS_PROFILE_FILES_H

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "scratch_dir.h"

namespace zt::testing {

class ProfileFilesTest : public ::testing::Test {
 protected:
  [[nodiscard]] std::string path(const std::string& name) const {
    return (folder_ / name).string();
  }

  [[nodiscard]] std::string write(const std::string& name, const std::string& content) const {
    return scratch_.write(name, content);
  }

  static std::string read(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  // Names in the folder, to see that no temporary file is left behind.
  [[nodiscard]] size_t entries() const {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder_),
                                             std::filesystem::directory_iterator()));
  }

  ScratchDir scratch_;
  const std::filesystem::path folder_ = scratch_.path();
};

}  // namespace zt::testing

#endif  // ZT_TESTS_PROFILE_FILES_H
