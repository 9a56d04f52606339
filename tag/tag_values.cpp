#include "tag/tag_values.h"

namespace zt::tag {
namespace {

// Up to this many entries a scan from the back beats hashing; past it the list is indexed.
constexpr std::size_t kScanLimit = 16;

}  // namespace

void TagValues::add(int32_t id, std::string_view name) {
  // Read once: the name's bytes are written through a char pointer, which the compiler must
  // assume may change the count, and would read again after every write.
  const uint32_t position = size_;
  if (position >= kInline) {
    addSpilled(id, name);
    return;
  }
  // Overwritten in place: an entry left from the item's earlier use keeps its name's room. A
  // list this short has no indexes (they come past kScanLimit entries).
  static_assert(kScanLimit >= kInline);
  TagValue& entry = inline_[position];
  entry.id = id;
  entry.name.assign(name);
  size_ = position + 1;
}

// Past the entries inside the item; out of line, so that the short path sets up no frame for
// the growth of the list and its indexes.
[[gnu::noinline]] void TagValues::addSpilled(int32_t id, std::string_view name) {
  spill_.push_back({id, std::string(name)});
  const uint32_t position = size_++;
  if (indexes_) {
    index(position);
  } else if (size_ > kScanLimit) {
    indexes_ = std::make_unique<Indexes>();
    // In the order added, so that each key ends up at its last entry.
    for (uint32_t position = 0; position < size_; ++position) {
      index(position);
    }
  }
}

void TagValues::index(uint32_t position) {
  const TagValue& entry = (*this)[position];
  const auto& values = *this;
  indexes_->byId.assign(platform::hashId(entry.id), position + 1,
                        [&](uint32_t held) { return values[held - 1].id == entry.id; });
  indexes_->byName.assign(platform::hashName(entry.name), position + 1,
                          [&](uint32_t held) { return values[held - 1].name == entry.name; });
}

// The last entry `matches` accepts: through `index` when the list has one, else by a scan from
// the back.
template <typename Matches>
const TagValue* TagValues::lastWhere(const platform::ProbeTable<uint32_t>* index, uint64_t hash,
                                     Matches matches) const {
  if (index != nullptr) {
    const uint32_t held =
        index->find(hash, [&](uint32_t candidate) { return matches((*this)[candidate - 1]); });
    return held == 0 ? nullptr : &(*this)[held - 1];
  }
  for (uint32_t position = size_; position-- > 0;) {
    if (matches((*this)[position])) {
      return &(*this)[position];
    }
  }
  return nullptr;
}

const TagValue* TagValues::lastWithId(int32_t id) const {
  return lastWhere(indexes_ ? &indexes_->byId : nullptr, platform::hashId(id),
                   [&](const TagValue& entry) { return entry.id == id; });
}

const TagValue* TagValues::lastWithName(std::string_view name) const {
  return lastWhere(indexes_ ? &indexes_->byName : nullptr, platform::hashName(name),
                   [&](const TagValue& entry) { return entry.name == name; });
}

void TagValues::clear() {
  size_ = 0;
  spill_.clear();
  indexes_.reset();
}

}  // namespace zt::tag
