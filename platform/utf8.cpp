#include "platform/utf8.h"

#include <algorithm>
#include <cstdint>

namespace zt::platform {

std::size_t xmlCharacterLength(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<uint8_t>(text[i]); };
  const uint8_t first = byte(0);
  if (first < 0x80) {
    // C0 controls other than TAB, LF and CR cannot appear in XML 1.0.
    return (first >= 0x20 || first == '\t' || first == '\n' || first == '\r') ? 1 : 0;
  }
  std::size_t length = 0;
  uint32_t code = 0;
  uint32_t minimum = 0;
  if (first >= 0xC2 && first <= 0xDF) {
    length = 2, code = first & 0x1F, minimum = 0x80;
  } else if (first >= 0xE0 && first <= 0xEF) {
    length = 3, code = first & 0x0F, minimum = 0x800;
  } else if (first >= 0xF0 && first <= 0xF4) {
    length = 4, code = first & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (text.size() < length) {
    return 0;
  }
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) {
      return 0;
    }
    code = (code << 6) | (byte(i) & 0x3F);
  }
  const bool overlong = code < minimum;
  const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  const bool nonCharacter = code == 0xFFFE || code == 0xFFFF;
  if (overlong || surrogate || nonCharacter || code > 0x10FFFF) {
    return 0;
  }
  return length;
}

std::size_t utf8SequenceAt(std::string_view text, std::size_t pos, char32_t& out) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[pos + i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) {
    out = lead;
    return 1;
  }
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    low = lead == 0xE0 ? 0xA0 : 0x80;
    high = lead == 0xED ? 0x9F : 0xBF;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;
  } else {
    return 0;
  }
  if (pos + length > text.size()) {
    return 0;
  }
  char32_t value = lead & (0xFF >> (length + 1));
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char next = byte(i);
    if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) {
      return 0;
    }
    value = (value << 6) | (next & 0x3F);
  }
  out = value;
  return length;
}

bool isValidUtf8Scalar(std::string_view text) {
  char32_t ignored = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    if (static_cast<unsigned char>(text[pos]) < 0x80) {
      ++pos;
      continue;
    }
    const std::size_t length = utf8SequenceAt(text, pos, ignored);
    if (length == 0) {
      return false;
    }
    pos += length;
  }
  return true;
}

namespace {

// Repairs `text` from `pos`, a character boundary, until at least `end`; returns where it stopped
// (past `end` when the last character crosses it).
std::size_t repairFrom(std::string& out, std::string_view text, std::size_t pos, std::size_t end) {
  char32_t c = 0;
  while (pos < end) {
    const std::size_t length = utf8SequenceAt(text, pos, c);
    if (length == 0) {
      out.append(kReplacementCharacter);
      ++pos;
    } else {
      out.append(text.substr(pos, length));
      pos += length;
    }
  }
  return pos;
}

bool isContinuation(char byte) {
  return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

}  // namespace

void appendRepairedUtf8Scalar(std::string& out, std::string_view text) {
  repairFrom(out, text, 0, text.size());
}

// Pieces end before the lead byte of a character they would cut, so that a valid piece is one
// the byte walk would also pass whole; a rejected piece is walked from its start, which is a
// character boundary of the walk, and the walk's stop becomes the next piece's start.
void appendRepairedUtf8(std::string& out, std::string_view text) {
  constexpr std::size_t kPiece = 4096;
  for (std::size_t pos = 0; pos < text.size();) {
    std::size_t end = std::min(text.size(), pos + kPiece);
    std::size_t cut = end;
    for (int back = 0; back < 3 && cut < text.size() && cut > pos && isContinuation(text[cut]);
         ++back) {
      --cut;
    }
    if (cut > pos && (cut == text.size() || !isContinuation(text[cut]))) {
      end = cut;
    }
    const std::string_view piece = text.substr(pos, end - pos);
    if (isValidUtf8(piece)) {
      out.append(piece);
      pos = end;
    } else {
      pos = repairFrom(out, text, pos, end);
    }
  }
}

std::string replaceInvalidUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  appendRepairedUtf8(out, text);
  return out;
}

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace zt::platform
