#include "platform/utf8.h"

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

}  // namespace zt::platform
