#include "xml/xml_attribute.h"

#include <array>
#include <charconv>
#include <new>

#include "platform/xml_name.h"

namespace zt::xml {

namespace {

template <typename Integer>
std::string decimal(Integer value) {
  std::array<char, 16> digits{};
  const char* end = std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr;
  return {digits.data(), static_cast<size_t>(end - digits.data())};
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

const KORAXmlAttribute::Entries& KORAXmlAttribute::entries() const {
  if (lostPair_) {
    throw std::bad_alloc();
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
    if (spare_.empty()) {
      if (entries_.try_emplace(std::string(key), value).second && !platform::isXmlName(key)) {
        ++otherNames_;
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
    if (!added.inserted) {
      spare.node = std::move(added.node);
      spare_.push_back(std::move(spare));  // into the room just freed: cannot fail
    } else if (!spare.nameIsXmlName && !platform::isXmlName(key)) {
      ++otherNames_;
    }
  } catch (const std::bad_alloc&) {
    lostPair_ = true;
  }
  return this;
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
// allocates nothing once it has been filled. The map keeps its buckets as clear() would, so the
// pairs added next come out in the same order.
IKORAXmlAttribute* KORAXmlAttribute::clear() {
  lostPair_ = false;
  const bool allXmlNames = otherNames_ == 0;
  otherNames_ = 0;
  try {
    spare_.reserve(spare_.size() + entries_.size());
  } catch (const std::bad_alloc&) {
    entries_.clear();
    return this;
  }
  while (!entries_.empty()) {
    spare_.push_back({entries_.extract(entries_.begin()), allXmlNames});
  }
  return this;
}

}  // namespace zt::xml
