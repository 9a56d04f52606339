// Private-profile files: an arbitrary file, then a section written into it and read back. The
// lines read back are the written ones as reading presents them (trimmed around key and value,
// comments and blank lines left out); another section reads the same before and after; writing
// the same lines again changes no byte (when they end with a setting).
//
// Input: file bytes, NUL, section name, NUL, other section name, NUL, then the lines, each ended
// by a NUL. Names lose the characters a header cannot carry; lines lose line ends and are kept
// from starting a header, since those are the caller's errors, not the file's.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "platform/profile.h"

namespace {

constexpr std::string_view kBlank = " \t\r\v\f";

std::string_view trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlank);
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(kBlank) - first + 1);
}

std::string sectionName(std::string name) {
  for (char& c : name) {
    if (std::string_view("[]\n \t\r\v\f").find(c) != std::string_view::npos) {
      c = '_';
    }
  }
  return name.empty() ? "S" : name;
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) {
      return false;
    }
  }
  return true;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const std::string folder = [] {
    std::string name = "/tmp/zt-fuzz-profile-" + std::to_string(getpid());
    mkdir(name.c_str(), 0700);
    return name;
  }();
  const std::string path = folder + "/file.ini";

  zt::fuzz::InputReader input(data, size);
  const std::string original = input.string();
  const std::string section = sectionName(input.string());
  const std::string other = sectionName(input.string());
  std::string exchange;  // "k=v\0k2=v2\0" plus the final empty line
  std::string expected;  // what reading gives back
  bool endsWithSetting = false;
  while (!input.done()) {
    std::string line = input.string();
    for (char& c : line) {
      c = c == '\r' || c == '\n' ? ' ' : c;
    }
    if (trim(line).starts_with("[")) {
      line.insert(line.begin(), 'k');
    }
    if (line.empty()) {
      continue;
    }
    exchange += line;
    exchange += '\0';
    const std::string_view trimmed = trim(line);
    endsWithSetting = !trimmed.empty() && trimmed.front() != ';';
    if (!endsWithSetting) {
      continue;
    }
    const std::size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos) {
      expected += trimmed;
    } else {
      expected += trim(trimmed.substr(0, equals));
      expected += '=';
      expected += trim(trimmed.substr(equals + 1));
    }
    expected += '\0';
  }
  exchange += '\0';

  std::ofstream(path, std::ios::binary | std::ios::trunc) << original;
  const std::string otherBefore(zt::platform::readProfileSection(other, path.c_str()).view());
  ZT_FUZZ_CHECK(
      zt::platform::writePrivateProfileSection(section.c_str(), exchange.data(), path.c_str()));
  ZT_FUZZ_CHECK(zt::platform::readProfileSection(section, path.c_str()).view() == expected);
  if (!sameIgnoringCase(section, other)) {
    ZT_FUZZ_CHECK(zt::platform::readProfileSection(other, path.c_str()).view() == otherBefore);
  }
  const std::string written = readFile(path);
  ZT_FUZZ_CHECK(
      zt::platform::writePrivateProfileSection(section.c_str(), exchange.data(), path.c_str()));
  if (endsWithSetting) {
    ZT_FUZZ_CHECK(readFile(path) == written);
  }

  return 0;
}
