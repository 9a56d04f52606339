// KORAPresetFile: the in-memory image of the "Preset" section of one private-profile file.
#ifndef ZT_PRESET_PRESET_FILE_H
#define ZT_PRESET_PRESET_FILE_H

#include <map>
#include <string>
#include <vector>

namespace zt::preset {

// Keys in the order of their lines (a key on two lines is listed twice) and the value of each key
// (the last line's value for a repeated key). Every key of keys has a value and every value has
// its key in keys.
class KORAPresetFile {
 public:
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
  [[nodiscard]] const char* value(const std::string& key) const;

  [[nodiscard]] const std::vector<std::string>& keys() const { return keys_; }
  [[nodiscard]] const std::map<std::string, std::string>& values() const { return values_; }
  [[nodiscard]] const std::string& path() const { return path_; }

 private:
  std::vector<std::string> keys_;
  std::map<std::string, std::string> values_;
  std::string path_;
};

}  // namespace zt::preset

#endif  // ZT_PRESET_PRESET_FILE_H
