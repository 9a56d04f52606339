// Narrow-text helpers of the internal SAX layer.
#ifndef ZT_SAX_SAX_TEXT_H
#define ZT_SAX_SAX_TEXT_H

#include <array>
#include <cstddef>
#include <string_view>

#include "platform/utf8.h"

namespace zt::sax {

// Size of the name, value and qualified-name buffers, terminator included.
inline constexpr std::size_t kSaxBufferSize = 1024;

// Copies `text` into `buffer` as a zero-terminated string, cut as above to fit.
inline const char* copyToBuffer(std::array<char, kSaxBufferSize>& buffer, std::string_view text) {
  const std::string_view fitting = platform::cutAtCharacter(text, buffer.size() - 1);
  fitting.copy(buffer.data(), fitting.size());
  buffer[fitting.size()] = '\0';
  return buffer.data();
}

// A name the reader ends with a zero byte: handed on where it lies when it fits `buffer`, copied
// into it, cut, otherwise.
inline const char* handOnName(std::array<char, kSaxBufferSize>& buffer, std::string_view name) {
  return name.size() < buffer.size() ? name.data() : copyToBuffer(buffer, name);
}

}  // namespace zt::sax

#endif  // ZT_SAX_SAX_TEXT_H
