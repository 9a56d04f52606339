// readId: the number at the start of a store's id or value text.
#ifndef ZT_TAG_TAG_ID_READER_H
#define ZT_TAG_TAG_ID_READER_H

#include <cstdint>

namespace zt::tag {

// Every form of number readId accepts, and the clamp; readUsualId reads the usual ones.
int32_t readAnyId(const char* text);

// What readId answers for the texts a store is made of, read at every id and value, inline: a
// plain decimal number of up to nine digits, or a lone 0 (a 0 followed by neither an octal
// digit nor an x, which strtol reads as 0). False, with `id` left alone, for every other text.
inline bool readUsualId(const char* text, int32_t& id) {
  const auto* at = reinterpret_cast<const unsigned char*>(text);
  unsigned digit = *at - '0';
  if (digit - 1 < 9) {
    // Nine digits or fewer always fit, so the sum is not capped at every digit; a longer
    // number, which may saturate (and may have wrapped here), is left to the full reader.
    const auto* first = at;
    uint64_t magnitude = digit;
    while ((digit = static_cast<unsigned>(*++at - '0')) < 10) {
      magnitude = magnitude * 10 + digit;
    }
    if (at - first > 9) {
      return false;
    }
    id = static_cast<int32_t>(magnitude);
    return true;
  }
  if (digit == 0 && static_cast<unsigned>(at[1] - '0') >= 8 && (at[1] | 0x20) != 'x') {
    id = 0;
    return true;
  }
  return false;
}

// Reads `text` (NUL-terminated) exactly as strtol(text, nullptr, 0) clamped to 32 bits would:
// leading white space, an optional sign, then decimal, 0x hexadecimal or 0 octal digits up to
// the first that does not fit; values past 32 bits saturate; no digits give 0.
inline int32_t readId(const char* text) {
  int32_t id = 0;
  return readUsualId(text, id) ? id : readAnyId(text);
}

}  // namespace zt::tag

#endif  // ZT_TAG_TAG_ID_READER_H
