#include "tag/tag_values.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "platform/short_bytes.h"

namespace zt::tag {
namespace {

// Up to this many entries a scan beats hashing; past it the list is indexed.
constexpr uint32_t kScanLimit = 16;

// The bytes an entry or a name takes in the block, refused when the block could not count them.
uint32_t bytesFor(std::size_t bytes) {
  if (bytes > UINT32_MAX / 2) {
    throw std::bad_alloc();
  }
  return static_cast<uint32_t>((bytes + 3) & ~std::size_t{3});
}

// Writes one entry at `to`: its header, then its name, zero-terminated.
void place(char* to, int32_t id, std::string_view name) {
  const TagValue header{id, static_cast<uint32_t>(name.size())};
  std::memcpy(to, &header, sizeof header);
  platform::copyShort(to + sizeof header, name.data(), name.size());
  to[sizeof header + name.size()] = '\0';
}

}  // namespace

// A block of the tag's own with room for `needed` bytes at least; the bytes in use come along
// when `keep`.
void TagValues::grow(uint32_t needed, bool keep) {
  // Doubled, as far as the block's counts allow.
  const uint32_t doubled = room_ <= UINT32_MAX / 4 ? 2 * room_ : needed;
  const uint32_t room = std::max({needed, doubled, uint32_t{128}});
  auto block = std::make_unique_for_overwrite<char[]>(room);
  if (keep) {
    std::memcpy(block.get(), data_, used_);
  }
  if (!spill_) {
    spill_ = std::make_unique<Spill>();
  }
  spill_->block = std::move(block);
  data_ = spill_->block.get();
  room_ = room;
}

void TagValues::reset(std::string_view name) {
  const uint32_t used = bytesFor(name.size() + 1);
  if (used > room_) {
    grow(used, false);
  }
  platform::copyShort(data_, name.data(), name.size());
  data_[name.size()] = '\0';
  nameLength_ = static_cast<uint32_t>(name.size());
  used_ = used;
  count_ = 0;
  if (spill_) {
    spill_->indexes.reset();
  }
}

void TagValues::add(int32_t id, std::string_view name) {
  // Read once: the name's bytes are written through a char pointer, which the compiler must
  // assume may change the members, and would read them again after every write.
  const uint32_t at = used_;
  const uint32_t count = count_;
  const std::size_t size = sizeof(TagValue) + ((name.size() + 4) & ~std::size_t{3});
  if (size > room_ - at || count >= kScanLimit) [[unlikely]] {
    addGrowing(id, name);
    return;
  }
  place(data_ + at, id, name);
  used_ = at + static_cast<uint32_t>(size);
  count_ = count + 1;
}

// A block too small for the entry, or a list long enough to be indexed; out of line, so that the
// usual path sets up no frame for either.
[[gnu::noinline]] void TagValues::addGrowing(int32_t id, std::string_view name) {
  const uint32_t size = sizeof(TagValue) + bytesFor(name.size() + 1);
  if (size > room_ - used_) {
    grow(bytesFor(std::size_t{used_} + size), true);
  }
  const uint32_t at = used_;
  place(data_ + at, id, name);
  used_ = at + size;
  ++count_;
  if (indexes() != nullptr) {
    index(at);
  } else if (count_ > kScanLimit) {
    indexAll();
  }
}

void TagValues::indexAll() {
  if (!spill_) {
    spill_ = std::make_unique<Spill>();
  }
  spill_->indexes.emplace();
  // In the order added, so that each key ends up at its last entry.
  forEach([&](const TagValue& value) {
    index(static_cast<uint32_t>(reinterpret_cast<const char*>(&value) - data_));
  });
}

void TagValues::index(uint32_t at) {
  const TagValue& value = entry(at);
  Indexes& indexes = *spill_->indexes;
  indexes.byId.assign(platform::hashId(value.id), at + 1,
                      [&](uint32_t held) { return entry(held - 1).id == value.id; });
  indexes.byName.assign(platform::hashName(value.name()), at + 1,
                        [&](uint32_t held) { return entry(held - 1).name() == value.name(); });
}

// The last entry `matches` accepts: through `index` when the list has one, else by a scan.
template <typename Matches>
const TagValue* TagValues::lastWhere(const platform::ProbeTable<uint32_t, uint32_t>* index,
                                     uint64_t hash, Matches matches) const {
  if (index != nullptr) {
    const uint32_t held =
        index->find(hash, [&](uint32_t candidate) { return matches(entry(candidate - 1)); });
    return held == 0 ? nullptr : &entry(held - 1);
  }
  const TagValue* last = nullptr;
  forEach([&](const TagValue& value) {
    if (matches(value)) {
      last = &value;
    }
  });
  return last;
}

const TagValue* TagValues::lastWithId(int32_t id) const {
  const Indexes* held = indexes();
  return lastWhere(held != nullptr ? &held->byId : nullptr,
                   held != nullptr ? platform::hashId(id) : 0,
                   [&](const TagValue& value) { return value.id == id; });
}

const TagValue* TagValues::lastWithName(std::string_view name) const {
  const Indexes* held = indexes();
  return lastWhere(held != nullptr ? &held->byName : nullptr,
                   held != nullptr ? platform::hashName(name) : 0,
                   [&](const TagValue& value) { return value.name() == name; });
}

}  // namespace zt::tag
