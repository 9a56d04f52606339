#include "tag/tag_values.h"

namespace zt::tag {
namespace {

// Up to this many entries a scan from the back beats hashing; past it the list is indexed.
constexpr std::size_t kScanLimit = 16;

}  // namespace

void TagValues::add(int32_t id, std::string_view name) {
  if (size_ < kInline) {
    // Overwritten in place: an entry left from the item's earlier use keeps its name's room.
    inline_[size_].id = id;
    inline_[size_].name.assign(name);
  } else {
    spill_.push_back({id, std::string(name)});
  }
  ++size_;
  if (indexes_) {
    index(size_ - 1);
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
  indexes_->byId.assign(hashId(entry.id), position + 1,
                        [&](uint32_t held) { return values[held - 1].id == entry.id; });
  indexes_->byName.assign(hashName(entry.name), position + 1,
                          [&](uint32_t held) { return values[held - 1].name == entry.name; });
}

const TagValue* TagValues::lastWithId(int32_t id) const {
  if (indexes_) {
    const uint32_t held = indexes_->byId.find(
        hashId(id), [&](uint32_t candidate) { return (*this)[candidate - 1].id == id; });
    return held == 0 ? nullptr : &(*this)[held - 1];
  }
  for (uint32_t position = size_; position-- > 0;) {
    if ((*this)[position].id == id) {
      return &(*this)[position];
    }
  }
  return nullptr;
}

const TagValue* TagValues::lastWithName(std::string_view name) const {
  if (indexes_) {
    const uint32_t held = indexes_->byName.find(
        hashName(name), [&](uint32_t candidate) { return (*this)[candidate - 1].name == name; });
    return held == 0 ? nullptr : &(*this)[held - 1];
  }
  for (uint32_t position = size_; position-- > 0;) {
    if ((*this)[position].name == name) {
      return &(*this)[position];
    }
  }
  return nullptr;
}

void TagValues::clear() {
  size_ = 0;
  spill_.clear();
  indexes_.reset();
}

}  // namespace zt::tag
