#include "tag/tag_dictionary.h"

#include <memory>
#include <new>
#include <utility>

namespace zt::tag {

std::map<int32_t, std::string> LumtagsDictItem::valueNames() const {
  std::map<int32_t, std::string> names;
  values.forEach([&](const TagValue& value) { names[value.id] = value.name(); });
  return names;
}

std::map<std::string, int32_t> LumtagsDictItem::valueIds() const {
  std::map<std::string, int32_t> ids;
  values.forEach([&](const TagValue& value) { ids[std::string(value.name())] = value.id; });
  return ids;
}

TagDictionary::TagDictionary() = default;

// Only the items taken were made: every one in the full chunks, the first ones in the last.
TagDictionary::~TagDictionary() {
  for (std::size_t chunk = 0; chunk < chunks_.size(); ++chunk) {
    const std::size_t made = chunk + 1 == chunks_.size() ? usedInLastChunk_ : kChunkSize;
    for (std::size_t index = 0; index < made; ++index) {
      std::destroy_at(&chunks_[chunk][index].item);
    }
  }
}

// Once every 1 024 items, and out of line, so that taking an item sets up no frame for it (not
// marked cold: that would compile the making of the items for size, at twice the instructions).
[[gnu::noinline]] void TagDictionary::addChunk() {
  if (chunks_.size() * kChunkSize >= UINT32_MAX) {
    throw std::bad_alloc();  // the by-name index numbers items in 32 bits
  }
  // Reserved first, so that the push cannot fail with the chunk made and not kept.
  chunks_.reserve(chunks_.size() + 1);
  chunks_.push_back(std::make_unique<Slot[]>(kChunkSize));
  usedInLastChunk_ = 0;
}

uint32_t TagDictionary::take() {
  if (!free_.empty()) {
    const uint32_t index = free_.back();
    free_.pop_back();
    return index;
  }
  if (usedInLastChunk_ == kChunkSize) [[unlikely]] {
    addChunk();
  }
  const std::size_t index = (chunks_.size() - 1) * kChunkSize + usedInLastChunk_;
  // Default-initialised, not value-initialised: the members' own initialisers are all an item
  // needs, where the latter would first clear all of it, the room for its values included.
  ::new (static_cast<void*>(&chunks_.back()[usedInLastChunk_].item)) LumtagsDictItem;
  ++usedInLastChunk_;
  return static_cast<uint32_t>(index);
}

void TagDictionary::drop(LumtagsDictItem* item) {
  if (item != nullptr && --item->holders == 0) {
    // The room of its values and its name stays with the item for the tag that reuses it.
    free_.push_back(item->number);
  }
}

[[gnu::always_inline]] inline uint32_t TagDictionary::make(uint16_t id, std::string_view name) {
  // Taken before the items it replaces are dropped, so the new item is never one of them.
  const uint32_t number = take();
  LumtagsDictItem* item = at(number);
  item->values.reset(name);
  item->id = id;
  item->holders = 2;
  item->number = number;

  std::unique_ptr<Page>& page = tagsById_[id / kPageSize];
  if (!page) {
    page = std::make_unique<Page>();
  }
  LumtagsDictItem* replacedById = std::exchange((*page)[id % kPageSize], item);
  if (replacedById == nullptr) {
    ++idCount_;
  }
  drop(replacedById);
  return number;
}

[[gnu::always_inline]] inline void TagDictionary::fileName(uint32_t number, uint64_t nameHash) {
  const std::string_view filed = at(number)->name();
  const uint32_t replacedByName = tagsByName_.assign(
      nameHash, number + 1, [&](uint32_t held) { return at(held - 1)->name() == filed; });
  if (replacedByName != 0) {
    drop(at(replacedByName - 1));
  }
}

// The table allocates nothing here: createItemNamedLater made room for the name that waits. The
// name is no longer waiting before it is filed, so that it is never filed twice, even should
// the item it replaces fail to go back to the pool.
[[gnu::always_inline]] inline void TagDictionary::fileWaitingName() {
  if (nameWaiting_ != 0) {
    const uint32_t number = nameWaiting_ - 1;
    nameWaiting_ = 0;
    fileName(number, waitingHash_);
  }
}

void TagDictionary::fileNames() {
  fileWaitingName();
}

LumtagsDictItem* TagDictionary::createItem(uint16_t id, std::string_view name) {
  fileWaitingName();
  const uint32_t number = make(id, name);
  fileName(number, platform::hashName(name));
  return at(number);
}

LumtagsDictItem* TagDictionary::createItemNamedLater(uint16_t id, std::string_view name,
                                                     uint64_t nameHash) {
  fileWaitingName();
  const uint32_t number = make(id, name);
  // Room for the name now, so that a failure to allocate it comes where filing it at once would
  // have met it, and filing it later cannot fail.
  tagsByName_.reserveOne();
  nameWaiting_ = number + 1;
  waitingHash_ = nameHash;
  return at(number);
}

const LumtagsDictItem* TagDictionary::byId(int32_t id) const {
  if (id < 0 || static_cast<std::size_t>(id) >= kPageSize * kPageSize) {
    return nullptr;
  }
  const std::unique_ptr<Page>& page = tagsById_[static_cast<std::size_t>(id) / kPageSize];
  return page ? (*page)[static_cast<std::size_t>(id) % kPageSize] : nullptr;
}

const LumtagsDictItem* TagDictionary::byName(std::string_view name) const {
  const uint32_t held = tagsByName_.find(platform::hashName(name), [&](uint32_t candidate) {
    return at(candidate - 1)->name() == name;
  });
  return held == 0 ? nullptr : at(held - 1);
}

std::size_t TagDictionary::itemsMade() const {
  return chunks_.empty() ? 0 : (chunks_.size() - 1) * kChunkSize + usedInLastChunk_;
}

}  // namespace zt::tag
