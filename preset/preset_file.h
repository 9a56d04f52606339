// KORAPresetFile: the in-memory image of the "Preset" section of one private-profile file.
#ifndef ZT_PRESET_PRESET_FILE_H
#define ZT_PRESET_PRESET_FILE_H

#include <forward_list>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zt::preset {

// Keys in the order of their lines (a key on two lines is listed twice) and the value of each key
// (the last line's value for a repeated key). Every key of keys has a value and every value has
// its key in keys.
//
// Keys and values are views of the section's lines, read into one buffer that the preset keeps
// (each '=' and line end made a zero byte), and of one more buffer for each completion: opening
// a preset makes a handful of allocations however many settings it has.
class KORAPresetFile {
 public:
  // A key, ended by a zero byte that its value follows (itself ended by a zero byte): a setting
  // is its key alone, so that the lists of an open preset stay small beside its text.
  using Setting = std::string_view;

  [[nodiscard]] static const char* valueOf(Setting setting) {
    return setting.data() + setting.size() + 1;
  }

  KORAPresetFile() = default;
  KORAPresetFile(const KORAPresetFile&) = delete;
  KORAPresetFile& operator=(const KORAPresetFile&) = delete;
  virtual ~KORAPresetFile() = default;

  // Remembers `path` whatever happens, then reads its "Preset" section. False, with the settings
  // unchanged, when the file or the section is missing or the section has no lines. Lines without
  // '=' are dropped; a key or value is taken byte for byte, further '=' belonging to the value.
  bool load(const std::string& path);

  // Replaces the file's "Preset" section with one key=value line per key, in key order of the
  // list. False with the thread's last error set when the file cannot be written.
  [[nodiscard]] bool save(const std::string& path) const;

  // The keys of this preset (except "Preset Driver") that `second` also has with another value,
  // mapped to second's value.
  [[nodiscard]] std::map<std::string, std::string> differences(const KORAPresetFile& second) const;

  // Appends to `to`, in ascending key order, every key of `from` that `to` lacks, with from's
  // value. False, changing nothing, when `to` lacks none.
  static bool addMissing(const KORAPresetFile& from, KORAPresetFile& to);

  // The value of `key`, or null when the preset lacks it. The pointer stays valid until the next
  // load: addMissing only adds values and never replaces one.
  [[nodiscard]] const char* value(std::string_view key) const;

  // The keys in the order of their lines.
  [[nodiscard]] const std::vector<const char*>& keys() const { return keys_; }
  // One setting for each key, in ascending key order.
  [[nodiscard]] const std::vector<Setting>& settings() const { return settings_; }
  [[nodiscard]] const std::string& path() const { return path_; }

 private:
  std::unique_ptr<char[]> lines_;
  std::forward_list<std::unique_ptr<char[]>> added_;
  std::vector<const char*> keys_;
  std::vector<Setting> settings_;
  std::string path_;
};

}  // namespace zt::preset

#endif  // ZT_PRESET_PRESET_FILE_H
