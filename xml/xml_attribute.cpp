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
  if (name != nullptr && value != nullptr) {
    try {
      entries_.try_emplace(name, value);
    } catch (const std::bad_alloc&) {
      lostPair_ = true;
    }
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

IKORAXmlAttribute* KORAXmlAttribute::clear() {
  entries_.clear();
  lostPair_ = false;
  return this;
}

}  // namespace zt::xml
