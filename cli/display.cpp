#include "display.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace zt::cli {

namespace {

// One character of the text as it is shown.
struct Glyph {
  std::size_t size = 1;  // bytes of the text it stands for
  std::string shown;
  std::size_t width = 0;  // columns
};

// The code point of a well-formed UTF-8 sequence at the start of `text`, with its length, or
// nothing (length 0) for a byte that does not start one.
std::pair<char32_t, std::size_t> decode(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  char32_t code = 0;
  char32_t lowest = 0;
  if (lead < 0x80) {
    return {lead, 1};
  }
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, code = lead & 0x1F, lowest = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, code = lead & 0x0F, lowest = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, code = lead & 0x07, lowest = 0x10000;
  } else {
    return {0, 0};
  }
  if (text.size() < length) {
    return {0, 0};
  }
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) {
      return {0, 0};
    }
    code = (code << 6) | (byte(i) & 0x3F);
  }
  if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    return {0, 0};
  }
  return {code, length};
}

bool within(char32_t code, const std::pair<char32_t, char32_t>* ranges, std::size_t count) {
  return std::any_of(ranges, ranges + count, [&](const auto& range) {
    return code >= range.first && code <= range.second;
  });
}

// Columns a terminal gives a printable character: East Asian wide and fullwidth ones take two,
// combining marks and zero-width characters none.
std::size_t columns(char32_t code) {
  static constexpr std::pair<char32_t, char32_t> kWide[] = {
      {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x2E80, 0x303E},
      {0x3041, 0x33FF},   {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},
      {0xA960, 0xA97F},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE10, 0xFE19},
      {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x16FE0, 0x18AFF},
      {0x1B000, 0x1B2FF}, {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF}, {0x20000, 0x3FFFD}};
  static constexpr std::pair<char32_t, char32_t> kZero[] = {
      {0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x0610, 0x061A}, {0x064B, 0x065F},
      {0x200B, 0x200F}, {0x20D0, 0x20FF}, {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F}, {0xE0100, 0xE01EF}};
  if (within(code, kZero, std::size(kZero))) {
    return 0;
  }
  return within(code, kWide, std::size(kWide)) ? 2 : 1;
}

std::string hexEscape(unsigned char c) {
  static constexpr char kHex[] = "0123456789abcdef";
  return {'\\', 'x', kHex[c >> 4], kHex[c & 15]};
}

Glyph nextGlyph(std::string_view text) {
  const auto [code, length] = decode(text);
  if (length == 0) {
    return {1, hexEscape(static_cast<unsigned char>(text[0])), 4};
  }
  switch (code) {
    case '\t':
      return {1, "\\t", 2};
    case '\n':
      return {1, "\\n", 2};
    case '\r':
      return {1, "\\r", 2};
    default:
      break;
  }
  if (code < 0x20 || code == 0x7F) {
    return {1, hexEscape(static_cast<unsigned char>(code)), 4};
  }
  if (code >= 0x80 && code <= 0x9F) {  // C1 controls, two bytes each
    return {2,
            hexEscape(static_cast<unsigned char>(text[0])) +
                hexEscape(static_cast<unsigned char>(text[1])),
            8};
  }
  return {length, std::string(text.substr(0, length)), columns(code)};
}

}  // namespace

std::string printable(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  while (!text.empty()) {
    const Glyph glyph = nextGlyph(text);
    result += glyph.shown;
    text.remove_prefix(glyph.size);
  }
  return result;
}

Excerpt excerpt(std::string_view text, std::size_t offset, bool cutBefore, bool cutAfter) {
  std::vector<Glyph> glyphs;
  std::size_t caretGlyph = 0;
  for (std::size_t at = 0; at < text.size();) {
    Glyph glyph = nextGlyph(text.substr(at));
    caretGlyph += at + glyph.size <= offset ? 1 : 0;
    at += glyph.size;
    glyphs.push_back(std::move(glyph));
  }
  std::vector<std::size_t> startColumn{0};  // the column each glyph starts at, then the end
  for (const Glyph& glyph : glyphs) {
    startColumn.push_back(startColumn.back() + glyph.width);
  }
  const std::size_t total = startColumn.back();
  const std::size_t caretColumn = startColumn[caretGlyph];
  const std::size_t marks = 3;  // "..."
  // The window of text columns [first, last): the caret in its middle where the text allows.
  const std::size_t room = kExcerptColumns - 2 * marks;
  std::size_t first = 0;
  std::size_t last = total;
  if (total + (cutBefore ? marks : 0) + (cutAfter ? marks : 0) > kExcerptColumns) {
    first = caretColumn > room / 2 ? caretColumn - room / 2 : 0;
    last = std::min(total, first + room);
    first = last - first < room && last >= room ? last - room : first;
  }
  Excerpt result;
  const bool openStart = cutBefore || first > 0;
  result.line = openStart ? "..." : "";
  std::size_t caretAt = openStart ? marks : 0;
  for (std::size_t i = 0; i < glyphs.size(); ++i) {
    if (startColumn[i] >= first && startColumn[i + 1] <= last) {
      result.line += glyphs[i].shown;
      caretAt += i < caretGlyph ? glyphs[i].width : 0;
    }
  }
  if (cutAfter || last < total) {
    result.line += "...";
  }
  result.caret = std::string(caretAt, ' ') + "^";
  return result;
}

}  // namespace zt::cli
