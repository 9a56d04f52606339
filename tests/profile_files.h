// Real files for the private-profile and preset suites: a fresh temporary folder per test and
// whole-file reads and writes.
#ifndef ZT_TESTS_PROFILE_FILES_H
#define ZT_TESTS_PROFILE_FILES_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace zt::testing {

class ProfileFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "zt-profile-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  [[nodiscard]] std::string path(const std::string& name) const {
    return (folder_ / name).string();
  }

  [[nodiscard]] std::string write(const std::string& name, const std::string& content) const {
    std::ofstream(path(name), std::ios::binary) << content;
    return path(name);
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

  std::filesystem::path folder_;
};

}  // namespace zt::testing

#endif  // ZT_TESTS_PROFILE_FILES_H
