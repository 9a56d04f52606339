#include "xml/xml_attribute.h"

#include <array>
#include <charconv>
#include <new>

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

IKORAXmlAttribute* KORAXmlAttribute::addAttribute(const char* name, const char* value) {
  // A null value is no value: the pair is left out rather than written empty.
  if (name == nullptr || value == nullptr) {
    return this;
  }
  try {
    if (spare_.empty()) {
      entries_.try_emplace(name, value);
      return this;
    }
    Entries::node_type node = std::move(spare_.back());
    spare_.pop_back();
    node.key() = name;
    node.mapped() = value;
    Entries::insert_return_type added = entries_.insert(std::move(node));
    if (!added.inserted) {
      spare_.push_back(std::move(added.node));  // into the room just freed: cannot fail
    }
  } catch (const std::bad_alloc&) {
    lostPair_ = true;
  }
  return this;
}

IKORAXmlAttribute* KORAXmlAttribute::add(const char* name, const std::string& value) {
  return addAttribute(name, value.c_str());
}

IKORAXmlAttribute* KORAXmlAttribute::addAttribute(const char* name, bool value) {
  return addAttribute(name, boolText(value));
}

IKORAXmlAttribute* KORAXmlAttribute::addAttribute(const char* name, unsigned long value) {
  return add(name, decimalText(static_cast<uint32_t>(value)));
}

IKORAXmlAttribute* KORAXmlAttribute::addAttribute(const char* name, long value) {
  return add(name, decimalText(static_cast<int32_t>(value)));
}

IKORAXmlAttribute* KORAXmlAttribute::addAttribute(const char* name, int value) {
  return add(name, decimalText(static_cast<int32_t>(value)));
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
  try {
    spare_.reserve(spare_.size() + entries_.size());
  } catch (const std::bad_alloc&) {
    entries_.clear();
    return this;
  }
  while (!entries_.empty()) {
    spare_.push_back(entries_.extract(entries_.begin()));
  }
  return this;
}

}  // namespace zt::xml
