// The tag dictionary: tags by id and by name, each with its named values.
#ifndef ZT_TAG_TAG_DICTIONARY_H
#define ZT_TAG_TAG_DICTIONARY_H

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>

namespace zt::tag {

// One tag. Items are shared by both indexes (and, while a store loads, by its handler).
struct LumtagsDictItem {
  uint16_t id = 0;
  std::string name;
  std::map<int32_t, std::string> valueNames;
  std::map<std::string, int32_t> valueIds;
};

using LumtagsDictItemPtr = std::shared_ptr<LumtagsDictItem>;

// Tags are only ever looked up, never listed, so the two indexes are hash maps.
struct TagDictionary {
  // Keys hold 0 to 65535.
  std::unordered_map<int32_t, LumtagsDictItemPtr> tagsById;
  std::unordered_map<std::string, LumtagsDictItemPtr> tagsByName;

  // A new item without values, filed under its id and its name, replacing what was there. An
  // item replaced under only one of the two keys stays reachable through the other.
  LumtagsDictItemPtr createItem(uint16_t id, const std::string& name);
  // Files the value under its id and its name in `item`; an empty item is left alone.
  static void addValue(int32_t valueId, const std::string& valueName,
                       const LumtagsDictItemPtr& item);
};

}  // namespace zt::tag

#endif  // ZT_TAG_TAG_DICTIONARY_H
