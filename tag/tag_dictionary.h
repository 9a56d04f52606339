// The tag dictionary: tags by id and by name, each with its named values.
#ifndef ZT_TAG_TAG_DICTIONARY_H
#define ZT_TAG_TAG_DICTIONARY_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/probe_table.h"
#include "tag/tag_values.h"

namespace zt::tag {

// One tag. Items belong to the dictionary, which files each under its id and its name.
struct LumtagsDictItem {
  // The tag's name (zero-terminated) and its values.
  TagValues values;
  uint16_t id = 0;
  // How many of the two indexes hold the item (0 while it waits in the pool for reuse).
  uint8_t holders = 0;
  // Its place among the dictionary's items, by which the by-name index holds it.
  uint32_t number = 0;

  // Zero-terminated.
  [[nodiscard]] std::string_view name() const { return values.name(); }
  // The values reduced to what the lookups answer: name by id, id by name.
  [[nodiscard]] std::map<int32_t, std::string> valueNames() const;
  [[nodiscard]] std::map<std::string, int32_t> valueIds() const;
};

class TagDictionary {
 public:
  TagDictionary();
  ~TagDictionary();
  TagDictionary(const TagDictionary&) = delete;
  TagDictionary& operator=(const TagDictionary&) = delete;

  // A new item without values, filed under its id and its name, replacing what was there. An
  // item replaced under only one of the two keys stays reachable through the other; one that
  // neither key holds any more goes back to the pool for reuse, which ends its name's validity.
  LumtagsDictItem* createItem(uint16_t id, std::string_view name);
  // The same for a load, with the name's hash (platform::hashName) already taken, except that
  // the item is filed under its name only when the next item is created or fileNames is called,
  // which the load does at its end: until then the lookups by name do not see it. Filing the
  // name takes a load from a random place in the by-name table; done one tag later, the place
  // that expectName fetched has long arrived. Every change to the indexes still happens in the
  // order of the calls.
  LumtagsDictItem* createItemNamedLater(uint16_t id, std::string_view name, uint64_t nameHash);
  void fileNames();
  // Says that an item of the name hashed to `nameHash` is about to be created, so that the place
  // where the by-name index files it can be fetched meanwhile.
  void expectName(uint64_t nameHash) const { tagsByName_.prefetch(nameHash); }
  // Files the value under its id and its name in `item`; a null item is left alone.
  static void addValue(int32_t valueId, std::string_view valueName, LumtagsDictItem* item) {
    if (item != nullptr) {
      item->values.add(valueId, valueName);
    }
  }

  // Null when nothing is filed under the key (ids outside 0 to 65535 never are).
  [[nodiscard]] const LumtagsDictItem* byId(int32_t id) const;
  [[nodiscard]] const LumtagsDictItem* byName(std::string_view name) const;

  // Inspection: the items by id in ascending order, visit(id, item); the items by name in no
  // particular order, visit(item), the key being the item's name; the sizes of both indexes;
  // and how many items the pool has made, in use or waiting for reuse.
  template <typename Visit>
  void forEachById(Visit visit) const;
  template <typename Visit>
  void forEachByName(Visit visit) const {
    tagsByName_.forEach([&](uint32_t held) { visit(*at(held - 1)); });
  }
  [[nodiscard]] std::size_t idCount() const { return idCount_; }
  [[nodiscard]] std::size_t nameCount() const { return tagsByName_.size(); }
  [[nodiscard]] std::size_t itemsMade() const;

 private:
  static constexpr std::size_t kPageSize = 256;
  static constexpr std::size_t kChunkSize = 1024;
  using Page = std::array<LumtagsDictItem*, kPageSize>;
  // Room for an item, made into one only when the item is first taken: a chunk's items are
  // written once, as they are used, rather than all at once when the chunk is made.
  union Slot {
    Slot() {}  // NOLINT: leaves the item unmade
    ~Slot() {}
    LumtagsDictItem item;
  };

  // The item numbered `index`, counting across the chunks in the order made.
  [[nodiscard]] LumtagsDictItem* at(std::size_t index) const {
    return &chunks_[index / kChunkSize][index % kChunkSize].item;
  }
  uint32_t take();
  void addChunk();
  void drop(LumtagsDictItem* item);
  // A new item named `name`, filed under its id (and counted as held by both indexes).
  uint32_t make(uint16_t id, std::string_view name);
  void fileName(uint32_t number, uint64_t nameHash);
  void fileWaitingName();

  // Items live in chunks that never move, so that both indexes and the name pointers handed
  // out stay valid; released items wait in `free_` by number.
  std::vector<std::unique_ptr<Slot[]>> chunks_;
  std::size_t usedInLastChunk_ = kChunkSize;
  std::vector<uint32_t> free_;

  // By id: the high byte picks a page, made on first use, the low byte the slot.
  std::array<std::unique_ptr<Page>, kPageSize> tagsById_;
  std::size_t idCount_ = 0;
  // By name: items by number plus one, with 32 bits of each name's hash, eight bytes a slot.
  platform::ProbeTable<uint32_t, uint32_t> tagsByName_;
  // The item created last by createItemNamedLater, by number plus one, while its name waits to
  // be filed (0 when none does), with its name's hash.
  uint32_t nameWaiting_ = 0;
  uint64_t waitingHash_ = 0;
};

template <typename Visit>
void TagDictionary::forEachById(Visit visit) const {
  for (std::size_t high = 0; high < kPageSize; ++high) {
    if (!tagsById_[high]) {
      continue;
    }
    for (std::size_t low = 0; low < kPageSize; ++low) {
      if (const LumtagsDictItem* item = (*tagsById_[high])[low]) {
        visit(static_cast<int32_t>(high * kPageSize + low), *item);
      }
    }
  }
}

}  // namespace zt::tag

#endif  // ZT_TAG_TAG_DICTIONARY_H
