// Character classes of the format-string grammar, fixed to 7-bit ASCII whatever the locale:
// bytes 0x80 to 0xFF are letters like any other, never digits, punctuation or space.
#ifndef ZT_TOKEN_CHAR_CLASS_H
#define ZT_TOKEN_CHAR_CLASS_H

#include <cstdint>
#include <string_view>

namespace zt::token {

constexpr bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// The 32 printable characters that are neither letters, digits nor space.
constexpr bool isPunctuation(char c) {
  return (c >= 0x21 && c <= 0x2F) || (c >= 0x3A && c <= 0x40) || (c >= 0x5B && c <= 0x60) ||
         (c >= 0x7B && c <= 0x7E);
}

constexpr bool isSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

constexpr bool isAllDigits(std::string_view text) {
  for (char c : text) {
    if (!isDigit(c)) {
      return false;
    }
  }
  return true;
}

// The value of the leading digits of `text` (0 when there are none). A long run of digits is
// simply a large value: it saturates instead of overflowing.
constexpr uint64_t decimalValue(std::string_view text) {
  constexpr uint64_t kMax = UINT64_MAX / 10 - 9;
  uint64_t value = 0;
  for (char c : text) {
    if (!isDigit(c)) {
      break;
    }
    if (value > kMax) {
      return UINT64_MAX;
    }
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  return value;
}

}  // namespace zt::token

#endif  // ZT_TOKEN_CHAR_CLASS_H
