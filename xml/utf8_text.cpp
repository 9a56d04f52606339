#include "xml/utf8_text.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace zt::xml {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Length of the well-formed sequence starting at `pos` (with its code point in `out`), or 0 when
// the byte there does not start one. Overlong forms, surrogates and values above U+10FFFF are
// not well-formed.
size_t decodeAt(std::string_view text, size_t pos, char32_t& out) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(text[pos + i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) {
    out = lead;
    return 1;
  }
  size_t length = 0;
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
  for (size_t i = 1; i < length; ++i) {
    const unsigned char next = byte(i);
    if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) {
      return 0;
    }
    value = (value << 6) | (next & 0x3F);
  }
  out = value;
  return length;
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

bool isSpace(char32_t c) {
  switch (c) {
    case 0x09:
    case 0x0A:
    case 0x0B:
    case 0x0C:
    case 0x0D:
    case 0x20:
    case 0x85:
    case 0xA0:
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x3000:
      return true;
    default:
      return c >= 0x2000 && c <= 0x200A;
  }
}

}  // namespace

bool isValidUtf8(std::string_view text) {
  char32_t ignored = 0;
  for (size_t pos = 0; pos < text.size();) {
    // Thirty-two ASCII bytes at a time: documents are mostly ASCII.
    std::array<uint64_t, 4> words{};
    if (pos + sizeof words <= text.size()) {
      std::memcpy(words.data(), text.data() + pos, sizeof words);
      if (((words[0] | words[1] | words[2] | words[3]) & 0x8080808080808080u) == 0) {
        pos += sizeof words;
        continue;
      }
    }
    if (static_cast<unsigned char>(text[pos]) < 0x80) {
      ++pos;
      continue;
    }
    const size_t length = decodeAt(text, pos, ignored);
    if (length == 0) {
      return false;
    }
    pos += length;
  }
  return true;
}

std::string replaceInvalidUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  char32_t c = 0;
  for (size_t pos = 0; pos < text.size();) {
    const size_t length = decodeAt(text, pos, c);
    if (length == 0) {
      appendUtf8(out, kReplacement);
      ++pos;
    } else {
      out.append(text.substr(pos, length));
      pos += length;
    }
  }
  return out;
}

std::wstring toWide(std::string_view text, size_t maxCharacters) {
  std::wstring out;
  char32_t c = 0;
  for (size_t pos = 0; pos < text.size() && out.size() < maxCharacters;) {
    const size_t length = decodeAt(text, pos, c);
    out += static_cast<wchar_t>(length == 0 ? kReplacement : c);
    pos += length == 0 ? 1 : length;
  }
  return out;
}

std::string toUtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t c : text) {
    const auto value = static_cast<char32_t>(c);
    const bool valid = value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF);
    appendUtf8(out, valid ? value : kReplacement);
  }
  return out;
}

std::string_view detail::trimLeadingSpace(std::string_view text) {
  char32_t c = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    // ASCII is settled without decoding: it is nearly all the white space there is.
    const auto byte = static_cast<unsigned char>(text[pos]);
    if (byte < 0x80) {
      if (byte != ' ' && (byte < 0x09 || byte > 0x0D)) {
        break;
      }
      ++pos;
      continue;
    }
    const size_t length = decodeAt(text, pos, c);
    if (length == 0 || !isSpace(c)) {
      break;
    }
    pos += length;
  }
  return text.substr(pos);
}

}  // namespace zt::xml
