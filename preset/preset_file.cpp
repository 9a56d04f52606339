#include "preset/preset_file.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string_view>
#include <vector>

#include "platform/profile.h"

namespace zt::preset {

namespace {

constexpr const char* kSection = "Preset";
constexpr std::string_view kDriverKey = "Preset Driver";

using Setting = KORAPresetFile::Setting;

// Sorts settings taken in line order by key and keeps, of a key on several lines, the last line.
void sortByKey(std::vector<Setting>& settings) {
  std::stable_sort(settings.begin(), settings.end());
  auto kept = settings.begin();
  for (auto it = settings.begin(); it != settings.end(); ++it) {
    const auto next = std::next(it);
    if (next == settings.end() || *next != *it) {
      *kept++ = *it;
    }
  }
  settings.erase(kept, settings.end());
}

// The value of `key`, or null.
const char* find(const std::vector<Setting>& settings, std::string_view key) {
  const auto found = std::lower_bound(settings.begin(), settings.end(), key);
  return found != settings.end() && *found == key ? KORAPresetFile::valueOf(*found) : nullptr;
}

}  // namespace

bool KORAPresetFile::load(const std::string& path) {
  path_ = path;
  // The section comes back whole, however long, so there is no buffer to grow and retry with.
  platform::ProfileLines section = platform::readProfileSection(kSection, path.c_str());
  if (section.size == 0) {
    return false;
  }

  // The number of lines is known, so neither list grows by copying itself.
  std::vector<const char*> keys;
  std::vector<Setting> settings;
  keys.reserve(section.count);
  settings.reserve(section.count);
  // Sections are usually written in key order; only one that is not is sorted.
  bool ascending = true;
  char* const text = section.text.get();
  for (std::size_t begin = 0; begin < section.size;) {
    char* const line = text + begin;
    const std::size_t length = std::strlen(line);
    begin += length + 1;
    char* const equals = static_cast<char*>(std::memchr(line, '=', length));
    if (equals == nullptr) {
      continue;
    }
    *equals = '\0';
    const std::string_view key(line, static_cast<std::size_t>(equals - line));
    ascending = ascending && (settings.empty() || settings.back() < key);
    keys.push_back(line);
    settings.push_back(key);
  }
  if (!ascending) {
    sortByKey(settings);
  }

  // Nothing below can fail: the preset changes whole or not at all.
  lines_ = std::move(section.text);
  added_.clear();
  keys_ = std::move(keys);
  settings_ = std::move(settings);
  return true;
}

bool KORAPresetFile::save(const std::string& path) const {
  // Lines ended by a zero byte, the section ended by one more; c_str() adds the last one.
  std::string lines;
  for (const char* key : keys_) {
    lines += key;
    lines += '=';
    lines += find(settings_, key);
    lines += '\0';
  }
  return platform::writePrivateProfileSection(kSection, lines.c_str(), path.c_str());
}

std::map<std::string, std::string> KORAPresetFile::differences(const KORAPresetFile& second) const {
  // Both lists are in key order: one walk through them meets every shared key.
  std::map<std::string, std::string> result;
  auto other = second.settings_.begin();
  for (const Setting& setting : settings_) {
    while (other != second.settings_.end() && *other < setting) {
      ++other;
    }
    if (other == second.settings_.end()) {
      break;
    }
    if (*other == setting && setting != kDriverKey &&
        std::strcmp(valueOf(*other), valueOf(setting)) != 0) {
      result.emplace_hint(result.end(), *other, valueOf(*other));
    }
  }
  return result;
}

bool KORAPresetFile::addMissing(const KORAPresetFile& from, KORAPresetFile& to) {
  // from's settings are in key order and hold each key once: those absent from `to` are exactly
  // the settings to add, already in the order they are appended in. Everything that can fail
  // happens before `to` changes, so that it never holds a key without its value.
  std::vector<Setting> missing;
  std::size_t bytes = 0;
  auto mine = to.settings_.begin();
  for (const Setting setting : from.settings_) {
    while (mine != to.settings_.end() && *mine < setting) {
      ++mine;
    }
    if (mine == to.settings_.end() || *mine != setting) {
      missing.push_back(setting);
      bytes += setting.size() + std::strlen(valueOf(setting)) + 2;
    }
  }
  if (missing.empty()) {
    return false;
  }

  // The added keys and values are copied into one buffer of `to`'s own, as `from` may be closed
  // first; `missing` is made to point at the copies.
  auto buffer = std::make_unique_for_overwrite<char[]>(bytes);
  char* out = buffer.get();
  for (Setting& setting : missing) {
    // The key's zero and the value with its own are one piece.
    const std::size_t size = setting.size() + std::strlen(valueOf(setting)) + 2;
    std::memcpy(out, setting.data(), size);
    setting = Setting(out, setting.size());
    out += size;
  }
  std::vector<Setting> merged;
  merged.reserve(to.settings_.size() + missing.size());
  std::merge(to.settings_.begin(), to.settings_.end(), missing.begin(), missing.end(),
             std::back_inserter(merged));
  to.keys_.reserve(to.keys_.size() + missing.size());
  to.added_.emplace_front();

  to.added_.front() = std::move(buffer);
  to.settings_ = std::move(merged);
  for (const Setting setting : missing) {
    to.keys_.push_back(setting.data());
  }
  return true;
}

const char* KORAPresetFile::value(std::string_view key) const {
  return find(settings_, key);
}

}  // namespace zt::preset
