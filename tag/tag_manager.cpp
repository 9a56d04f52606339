#include "tag/tag_manager.h"

#include <array>
#include <cstdio>

#include "tag/tag_content_handler.h"
#include "xml/xml_parser.h"

namespace zt::tag {
namespace {

// Returned for every absent name; it lives as long as the library.
constexpr const char* kEmptyText = "";

}  // namespace

KORATagManager::KORATagManager() : record_(std::make_unique<Record>()) {}

KORATagManager::~KORATagManager() = default;

const char* KORATagManager::getPath() {
  return record_->path.c_str();
}

// The dictionary is not emptied first: a load adds to and replaces what earlier loads left, and
// what it read before a failure stays.
bool KORATagManager::load(const char* path) {
  record_->path = path != nullptr ? path : "";
  if (path == nullptr) {
    return false;
  }
  CLumtagsContentHandler handler(record_->dictionary);
  xml::KORAXmlParser parser;
  // The handler has its tags filed under their names one tag late: the last one's is filed
  // here, also when the parse ends in an exception.
  bool loaded = false;
  try {
    loaded = parser.parseFile(path, &handler, nullptr) >= 0;
  } catch (...) {
    record_->dictionary.fileNames();
    throw;
  }
  record_->dictionary.fileNames();
  return loaded;
}

const char* KORATagManager::lookupTagName(int32_t tagId) {
  return getTagName(tagId);
}

int32_t KORATagManager::lookupTagId(const char* tagName) {
  return getTagId(tagName);
}

const LumtagsDictItem* KORATagManager::find(int32_t tagId) const {
  return record_->dictionary.byId(tagId);
}

int32_t KORATagManager::getTagId(const char* tagName) {
  if (tagName == nullptr) {
    return KORA_TAG_NOT_FOUND;
  }
  const LumtagsDictItem* item = record_->dictionary.byName(tagName);
  return item == nullptr ? KORA_TAG_NOT_FOUND : item->id;
}

int32_t KORATagManager::getValueId(int32_t tagId, const char* valueName) {
  const LumtagsDictItem* item = find(tagId);
  if (item == nullptr || valueName == nullptr) {
    return KORA_TAG_NOT_FOUND;
  }
  const TagValue* value = item->values.lastWithName(valueName);
  return value == nullptr ? KORA_TAG_NOT_FOUND : value->id;
}

// An absent id gets a tag named after it ("0x001a"), so that the name can be looked up again.
// Ids outside 0 to 65535 cannot be filed under themselves: they get the empty text and change
// nothing, rather than replace the tag filed under their low 16 bits.
const char* KORATagManager::getTagName(int32_t tagId) {
  if (const LumtagsDictItem* item = find(tagId)) {
    return item->name().data();
  }
  if (tagId < 0 || tagId > UINT16_MAX) {
    return kEmptyText;
  }
  std::array<char, 16> name{};
  std::snprintf(name.data(), name.size(), "0x%04x", static_cast<unsigned>(tagId));
  return record_->dictionary.createItem(static_cast<uint16_t>(tagId), name.data())->name().data();
}

const char* KORATagManager::getValueName(int32_t tagId, int32_t valueId) {
  const LumtagsDictItem* item = find(tagId);
  if (item == nullptr) {
    return kEmptyText;
  }
  const TagValue* value = item->values.lastWithId(valueId);
  return value == nullptr ? kEmptyText : value->name().data();
}

}  // namespace zt::tag
