#include "preset/preset_file.h"

#include <algorithm>
#include <iterator>
#include <string_view>
#include <vector>

#include "platform/profile.h"

namespace zt::preset {

namespace {

constexpr const char* kSection = "Preset";
constexpr std::string_view kDriverKey = "Preset Driver";

}  // namespace

bool KORAPresetFile::load(const std::string& path) {
  path_ = path;
  // The section comes back whole, however long, so there is no buffer to grow and retry with.
  const std::string section = platform::readProfileSection(kSection, path.c_str());
  if (section.empty()) {
    return false;
  }

  keys_.clear();
  values_.clear();
  keys_.reserve(std::count(section.begin(), section.end(), '\0'));
  const std::string_view lines(section);
  for (size_t begin = 0; begin < lines.size();) {
    const size_t end = lines.find('\0', begin);
    const std::string_view text = lines.substr(begin, end - begin);
    begin = end + 1;
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
  // settings to add, already in the order they are appended in. Everything that can fail happens
  // before `to` changes, so that it never holds a key without its value: the new settings are made
  // in a map of their own and spliced in.
  std::map<std::string, std::string> added;
  for (const auto& [key, value] : from.values_) {
    if (!to.values_.contains(key)) {
      added.emplace_hint(added.end(), key, value);
    }
  }
  if (added.empty()) {
    return false;
  }
  std::vector<std::string> keys;
  keys.reserve(added.size());
  for (const auto& setting : added) {
    keys.push_back(setting.first);
  }
  to.keys_.reserve(to.keys_.size() + keys.size());
  to.values_.merge(added);
  std::move(keys.begin(), keys.end(), std::back_inserter(to.keys_));
  return true;
}

const char* KORAPresetFile::value(const std::string& key) const {
  const auto found = values_.find(key);
  return found == values_.end() ? nullptr : found->second.c_str();
}

}  // namespace zt::preset
