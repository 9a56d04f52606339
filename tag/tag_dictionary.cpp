#include "tag/tag_dictionary.h"

#include <utility>

namespace zt::tag {

std::map<int32_t, std::string> LumtagsDictItem::valueNames() const {
  std::map<int32_t, std::string> names;
  for (std::size_t position = 0; position < values.size(); ++position) {
    names[values[position].id] = values[position].name;
  }
  return names;
}

std::map<std::string, int32_t> LumtagsDictItem::valueIds() const {
  std::map<std::string, int32_t> ids;
  for (std::size_t position = 0; position < values.size(); ++position) {
    ids[values[position].name] = values[position].id;
  }
  return ids;
}

TagDictionary::TagDictionary() = default;
TagDictionary::~TagDictionary() = default;

// Once every 1 024 items, and out of line, so that taking an item sets up no frame for it (not
// marked cold: that would compile the making of the items for size, at twice the instructions).
[[gnu::noinline]] void TagDictionary::addChunk() {
  // Default-initialised: the members' own initialisers are all an item needs, and zeroing the
  // chunk first would only be written over.
  chunks_.push_back(std::make_unique_for_overwrite<LumtagsDictItem[]>(kChunkSize));
  lastChunk_ = chunks_.back().get();
  usedInLastChunk_ = 0;
}

LumtagsDictItem* TagDictionary::take() {
  if (!free_.empty()) {
    LumtagsDictItem* item = free_.back();
    free_.pop_back();
    return item;
  }
  if (usedInLastChunk_ == kChunkSize) [[unlikely]] {
    addChunk();
  }
  return &lastChunk_[usedInLastChunk_++];
}

void TagDictionary::drop(LumtagsDictItem* item) {
  if (item != nullptr && --item->holders == 0) {
    // The room of its values and its name stays with the item for the tag that reuses it.
    item->values.clear();
    free_.push_back(item);
  }
}

LumtagsDictItem* TagDictionary::createItem(uint16_t id, std::string_view name) {
  // Taken before the items it replaces are dropped, so the new item is never one of them.
  LumtagsDictItem* item = take();
  item->id = id;
  item->name.assign(name);
  item->holders = 2;

  std::unique_ptr<Page>& page = tagsById_[id / kPageSize];
  if (!page) {
    page = std::make_unique<Page>();
  }
  LumtagsDictItem* replacedById = std::exchange((*page)[id % kPageSize], item);
  if (replacedById == nullptr) {
    ++idCount_;
  }
  drop(replacedById);
  drop(tagsByName_.assign(platform::hashName(item->name), item,
                          [&](const LumtagsDictItem* held) { return held->name == item->name; }));
  return item;
}

const LumtagsDictItem* TagDictionary::byId(int32_t id) const {
  if (id < 0 || static_cast<std::size_t>(id) >= kPageSize * kPageSize) {
    return nullptr;
  }
  const std::unique_ptr<Page>& page = tagsById_[static_cast<std::size_t>(id) / kPageSize];
  return page ? (*page)[static_cast<std::size_t>(id) % kPageSize] : nullptr;
}

const LumtagsDictItem* TagDictionary::byName(std::string_view name) const {
  return tagsByName_.find(platform::hashName(name),
                          [&](const LumtagsDictItem* held) { return held->name == name; });
}

std::size_t TagDictionary::itemsMade() const {
  return chunks_.empty() ? 0 : (chunks_.size() - 1) * kChunkSize + usedInLastChunk_;
}

}  // namespace zt::tag
