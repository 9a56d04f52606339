// Strict UTF-8 checking for text going into XML: every byte that does not start a valid
// sequence, and every character XML 1.0 cannot carry, becomes U+FFFD.
#ifndef ZT_PLATFORM_UTF8_H
#define ZT_PLATFORM_UTF8_H

#include <cstddef>
#include <string_view>

namespace zt::platform {

inline constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

// Length of the valid UTF-8 sequence at the start of `text` that encodes a character XML 1.0
// allows, or 0 when the first byte must be replaced. `text` must not be empty.
std::size_t xmlCharacterLength(std::string_view text);

}  // namespace zt::platform

#endif  // ZT_PLATFORM_UTF8_H
