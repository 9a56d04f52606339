#include "preset/preset_file.h"

#include <cstring>
#include <string_view>
#include <vector>

#include "platform/profile.h"

namespace zt::preset {

namespace {

constexpr const char* kSection = "Preset";
constexpr std::string_view kDriverKey = "Preset Driver";
constexpr uint32_t kInitialBuffer = 8192;
constexpr uint32_t kBufferGrowth = 4096;

// The buffer size at which the section text (`length` characters and the final zero) fits: the
// first of 8192, 8192 + 4096, ... that can hold it. Reaching it by retrying at every smaller size
// would copy the text again each time, which makes a large section quadratic to load.
uint32_t firstFittingSize(size_t length) {
  if (length + 1 <= kInitialBuffer) {
    return kInitialBuffer;
  }
  const size_t steps = (length + 1 - kInitialBuffer + kBufferGrowth - 1) / kBufferGrowth;
  return static_cast<uint32_t>(kInitialBuffer + steps * kBufferGrowth);
}

}  // namespace

bool KORAPresetFile::load(const std::string& path) {
  path_ = path;
  // The section is read from the file once; the copy protocol below then runs on that text.
  const std::string section = platform::readProfileSection(kSection, path.c_str());
  std::vector<char> buffer(firstFittingSize(section.size()), '\0');
  uint32_t copied = 0;
  for (;;) {
    const auto size = static_cast<uint32_t>(buffer.size());
    copied = platform::copyProfileSection(section, buffer.data(), size);
    // size - 2 is also what a section of exactly that length gives: retry once larger to be sure.
    if (copied != size - 2) {
      break;
    }
    buffer.resize(size + kBufferGrowth, '\0');
  }
  if (copied == 0) {
    return false;
  }

  keys_.clear();
  values_.clear();
  for (const char* line = buffer.data(); *line != '\0'; line += std::strlen(line) + 1) {
    const std::string_view text(line);
    const size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
      continue;
    }
    std::string key(text.substr(0, equals));
    // Sections are usually written in key order; with the end as the hint such a key is placed
    // without a search, and any other still lands right after one.
    values_.insert_or_assign(values_.end(), key, std::string(text.substr(equals + 1)));
    keys_.push_back(std::move(key));
  }
  return true;
}

bool KORAPresetFile::save(const std::string& path) const {
  // Lines ended by a zero byte, the section ended by one more; c_str() adds the last one.
  std::string lines;
  for (const std::string& key : keys_) {
    lines += key;
    lines += '=';
    lines += values_.at(key);
    lines += '\0';
  }
  return platform::writePrivateProfileSection(kSection, lines.c_str(), path.c_str());
}

std::map<std::string, std::string> KORAPresetFile::differences(const KORAPresetFile& second) const {
  std::map<std::string, std::string> result;
  for (const std::string& key : keys_) {
    if (key == kDriverKey) {
      continue;
    }
    const auto other = second.values_.find(key);
    if (other != second.values_.end() && other->second != values_.at(key)) {
      result.insert_or_assign(key, other->second);
    }
  }
  return result;
}

bool KORAPresetFile::addMissing(const KORAPresetFile& from, KORAPresetFile& to) {
  // values is ordered by key and holds each key once: its keys absent from `to` are exactly the
  // settings to add, already in the order they are appended in.
  std::vector<std::pair<std::string, std::string>> missing;
  for (const auto& [key, value] : from.values_) {
    if (!to.values_.contains(key)) {
      missing.emplace_back(key, value);
    }
  }
  if (missing.empty()) {
    return false;
  }
  for (auto& [key, value] : missing) {
    to.keys_.push_back(key);
    to.values_.emplace(std::move(key), std::move(value));
  }
  return true;
}

const char* KORAPresetFile::value(const std::string& key) const {
  const auto found = values_.find(key);
  return found == values_.end() ? nullptr : found->second.c_str();
}

}  // namespace zt::preset
