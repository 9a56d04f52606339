#include "platform/xml_name.h"

#include <array>
#include <cstdint>

#include "platform/utf8.h"

namespace zt::platform {

namespace {

enum AsciiClass : uint8_t { kNot = 0, kInside = 1, kStart = 2 };

// Names are nearly always ASCII, so one table answers for every ASCII character; bytes above
// ASCII are in no class, which sends them to the decoding path.
constexpr std::array<uint8_t, 256> kAscii = [] {
  std::array<uint8_t, 256> table{};
  for (char c = 'a'; c <= 'z'; ++c) {
    table[static_cast<uint8_t>(c)] = kStart | kInside;
    table[static_cast<uint8_t>(c - 'a' + 'A')] = kStart | kInside;
  }
  for (char c = '0'; c <= '9'; ++c) {
    table[static_cast<uint8_t>(c)] = kInside;
  }
  table[':'] = table['_'] = kStart | kInside;
  table['-'] = table['.'] = kInside;
  return table;
}();

struct Range {
  char32_t first;
  char32_t last;
};

// NameStartChar above ASCII.
constexpr Range kStartRanges[] = {
    {0xC0, 0xD6},     {0xD8, 0xF6},     {0xF8, 0x2FF},    {0x370, 0x37D},
    {0x37F, 0x1FFF},  {0x200C, 0x200D}, {0x2070, 0x218F}, {0x2C00, 0x2FEF},
    {0x3001, 0xD7FF}, {0xF900, 0xFDCF}, {0xFDF0, 0xFFFD}, {0x10000, 0xEFFFF},
};

// What NameChar adds to NameStartChar above ASCII.
constexpr Range kInsideRanges[] = {{0xB7, 0xB7}, {0x300, 0x36F}, {0x203F, 0x2040}};

template <std::size_t N>
bool inRanges(char32_t c, const Range (&ranges)[N]) {
  for (const Range& range : ranges) {
    if (c >= range.first && c <= range.last) {
      return true;
    }
  }
  return false;
}

}  // namespace

bool isXmlName(std::string_view text) {
  if (text.empty()) {
    return false;
  }
  const auto classOf = [&](std::size_t pos) { return kAscii[static_cast<uint8_t>(text[pos])]; };
  std::size_t pos = 0;
  if (static_cast<uint8_t>(text[0]) < 0x80) {
    if ((classOf(0) & kStart) == 0) {
      return false;
    }
    pos = 1;
  }
  for (;;) {
    // The usual name is ASCII to its end: one table look-up a byte.
    while (pos < text.size() && (classOf(pos) & kInside) != 0) {
      ++pos;
    }
    if (pos == text.size()) {
      return true;
    }
    if (static_cast<uint8_t>(text[pos]) < 0x80) {
      return false;  // an ASCII character no name may hold there
    }
    char32_t c = 0;
    const std::size_t length = utf8SequenceAt(text, pos, c);
    if (length == 0 || !(inRanges(c, kStartRanges) || (pos != 0 && inRanges(c, kInsideRanges)))) {
      return false;
    }
    pos += length;
  }
}

}  // namespace zt::platform
