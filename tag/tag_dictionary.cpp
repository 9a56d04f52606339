#include "tag/tag_dictionary.h"

namespace zt::tag {

LumtagsDictItemPtr TagDictionary::createItem(uint16_t id, const std::string& name) {
  auto item = std::make_shared<LumtagsDictItem>();
  item->id = id;
  item->name = name;
  tagsById[id] = item;
  tagsByName[name] = item;
  return item;
}

void TagDictionary::addValue(int32_t valueId, const std::string& valueName,
                             const LumtagsDictItemPtr& item) {
  if (item) {
    item->valueNames[valueId] = valueName;
    item->valueIds[valueName] = valueId;
  }
}

}  // namespace zt::tag
