#include "xml/xml_attribute.h"

#include <array>
#include <charconv>
#include <new>

#include "platform/short_bytes.h"
#include "platform/xml_name.h"

namespace zt::xml {

namespace {

template <typename Integer>
std::string decimal(Integer value) {
  std::array<char, 16> digits{};
  const char* end = std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr;
  return {digits.data(), static_cast<size_t>(end - digits.data())};
}

// Gives `to` the bytes of `from`. A refilled set's values mostly keep their length (the same
// texts, numbers of as many digits), and one no longer than the value before is copied into the
// string's own room without a call.
void assignValue(std::string& to, std::string_view from) {
  if (from.size() <= to.size()) {
    platform::copyShort(to.data(), from.data(), from.size());
    to.resize(from.size());
  } else {
    to.assign(from);
  }
}

}  // namespace

std::string decimalText(int32_t value) {
  return decimal(value);
}

std::string decimalText(uint32_t value) {
  return decimal(value);
}

std::string hexText(uint32_t value) {
  std::string text = "0x00000000";
  for (size_t i = text.size(); value != 0; value >>= 4) {
    text[--i] = "0123456789abcdef"[value & 0xF];
  }
  return text;
}

const char* boolText(bool value) {
  return value ? "true" : "false";
}

const KORAXmlAttribute::Entries& KORAXmlAttribute::entries() {
  if (lostPair_) {
    throw std::bad_alloc();
  }
  if (cleared_ && readded_ < added_.size()) {
    carryOutClear();
  }
  return entries_;
}

bool KORAXmlAttribute::namesAreXmlNames() const {
  if (lostPair_) {
    throw std::bad_alloc();
  }
  return otherNames_ == 0;
}

IKORAXmlAttribute* KORAXmlAttribute::addAttribute(const char* name, const char* value) {
  // A null value is no value: the pair is left out rather than written empty.
  if (value == nullptr) {
    return this;
  }
  return add(name, value);
}

IKORAXmlAttribute* KORAXmlAttribute::add(const char* name, std::string_view value) {
  if (name == nullptr) {
    return this;
  }
  const std::string_view key(name);
  try {
    if (cleared_) {
      if (readded_ < added_.size() && platform::sameShort(added_[readded_].pair->first, key)) {
        const Added& again = added_[readded_];
        assignValue(again.pair->second, value);
        otherNames_ += again.nameIsXmlName ? 0 : 1;
        ++readded_;
        return this;
      }
      carryOutClear();
    }
    added_.reserve(added_.size() + 1);
    if (spare_.empty()) {
      const auto [at, inserted] = entries_.try_emplace(std::string(key), value);
      if (inserted) {
        noteAdded(*at, platform::isXmlName(key));
      }
      return this;
    }
    Spare spare = std::move(spare_.back());
    spare_.pop_back();
    if (spare.node.key() != key) {
      spare.node.key().assign(key);
      spare.nameIsXmlName = false;
    }
    spare.node.mapped().assign(value);
    Entries::insert_return_type added = entries_.insert(std::move(spare.node));
    if (added.inserted) {
      noteAdded(*added.position, spare.nameIsXmlName || platform::isXmlName(key));
    } else {
      spare.node = std::move(added.node);
      spare_.push_back(std::move(spare));  // into the room just freed: cannot fail
    }
  } catch (const std::bad_alloc&) {
    lostPair_ = true;
  }
  return this;
}

// Room was reserved for it.
void KORAXmlAttribute::noteAdded(Entries::value_type& pair, bool nameIsXmlName) {
  added_.push_back({&pair, nameIsXmlName});
  otherNames_ += nameIsXmlName ? 0 : 1;
}

// Leaves the map as a clear done at once and the adds since would have: the pairs not added again
// are taken out, and those added again are taken out too and put back in their order, as into an
// emptied map, so that they come out in the same order. Only the first step allocates, so running
// out of memory leaves the set as it was.
void KORAXmlAttribute::carryOutClear() {
  spare_.reserve(spare_.size() + added_.size());
  cleared_ = false;
  // The last added goes first, so that adds in the old order take back the pairs of their names.
  for (std::size_t i = added_.size(); i > readded_; --i) {
    const Added& gone = added_[i - 1];
    spare_.push_back({entries_.extract(gone.pair->first), gone.nameIsXmlName});
  }
  const std::size_t spares = spare_.size();
  for (std::size_t i = 0; i < readded_; ++i) {
    spare_.push_back({entries_.extract(added_[i].pair->first), added_[i].nameIsXmlName});
  }
  for (std::size_t i = spares; i < spare_.size(); ++i) {
    entries_.insert(std::move(spare_[i].node));
  }
  spare_.resize(spares);
  added_.resize(readded_);
}

template <typename Integer>
IKORAXmlAttribute* KORAXmlAttribute::addDecimal(const char* name, Integer value) {
  std::array<char, 16> digits{};
  const char* end = std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr;
  return add(name, std::string_view(digits.data(), static_cast<size_t>(end - digits.data())));
}

IKORAXmlAttribute* KORAXmlAttribute::addAttribute(const char* name, bool value) {
  return addAttribute(name, boolText(value));
}

IKORAXmlAttribute* KORAXmlAttribute::addAttribute(const char* name, unsigned long value) {
  return addDecimal(name, static_cast<uint32_t>(value));
}

IKORAXmlAttribute* KORAXmlAttribute::addAttribute(const char* name, long value) {
  return addDecimal(name, static_cast<int32_t>(value));
}

IKORAXmlAttribute* KORAXmlAttribute::addAttribute(const char* name, int value) {
  return addDecimal(name, static_cast<int32_t>(value));
}

IKORAXmlAttribute* KORAXmlAttribute::addHexAttribute(const char* name, unsigned long value) {
  return add(name, hexText(static_cast<uint32_t>(value)));
}

IKORAXmlAttribute* KORAXmlAttribute::addHexAttribute(const char* name, long value) {
  return add(name, hexText(static_cast<uint32_t>(value)));
}

IKORAXmlAttribute* KORAXmlAttribute::addHexAttribute(const char* name, int value) {
  return add(name, hexText(static_cast<uint32_t>(value)));
}

// The pairs are kept for the next ones, so that a set refilled for every element, the usual use,
// allocates nothing once it has been filled; see cleared_.
IKORAXmlAttribute* KORAXmlAttribute::clear() {
  lostPair_ = false;
  cleared_ = true;
  readded_ = 0;
  otherNames_ = 0;
  // A map that grew its buckets while its pairs went in holds them in the order the growth left
  // them, which the same adds into an emptied map of the grown size need not repeat: such a clear
  // is carried out at once.
  if (entries_.bucket_count() != clearedBuckets_) {
    try {
      carryOutClear();
    } catch (const std::bad_alloc&) {
      entries_.clear();
      added_.clear();
      cleared_ = false;
    }
    clearedBuckets_ = entries_.bucket_count();
  }
  return this;
}

}  // namespace zt::xml
