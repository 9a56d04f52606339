#include "tag/tag_id_reader.h"

#include <algorithm>
#include <cstdint>

namespace zt::tag {
namespace {

// Past this the result saturates anyway; capping here keeps the sum from overflowing.
constexpr uint64_t kMagnitudeCap = uint64_t{1} << 32;
constexpr unsigned kNoDigit = 36;

// 0-9, then a-z and A-Z as 10-35, as strtol reads digits; anything else is no digit.
unsigned digitOf(unsigned char c) {
  if (static_cast<unsigned>(c - '0') < 10) {
    return c - '0';
  }
  // Folding bit 5 maps exactly the upper-case letters onto the lower-case ones.
  const auto letter = static_cast<unsigned>((c | 0x20) - 'a');
  return letter < 26 ? letter + 10 : kNoDigit;
}

bool isCSpace(unsigned char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace

// strtol itself costs a call through the locale machinery per id, and a store holds hundreds of
// thousands of them.
int32_t readAnyId(const char* text) {
  const auto* at = reinterpret_cast<const unsigned char*>(text);
  uint64_t magnitude = 0;
  while (isCSpace(*at)) {
    ++at;
  }
  const bool negative = *at == '-';
  if (*at == '-' || *at == '+') {
    ++at;
  }
  unsigned base = 10;
  if (*at == '0') {
    // "0x" counts as a prefix only before a hexadecimal digit; otherwise the 0 is read alone.
    if ((at[1] | 0x20) == 'x' && digitOf(at[2]) < 16) {
      base = 16;
      at += 2;
    } else {
      base = 8;
    }
  }
  for (unsigned digit = digitOf(*at); digit < base; digit = digitOf(*++at)) {
    magnitude = std::min(magnitude * base + digit, kMagnitudeCap);
  }
  const auto value = static_cast<int64_t>(magnitude);
  return static_cast<int32_t>(std::clamp<int64_t>(negative ? -value : value, INT32_MIN, INT32_MAX));
}

}  // namespace zt::tag
