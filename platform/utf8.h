// UTF-8 checking for text going into XML. Narrow text is UTF-8: a byte that is not part of a
// well-formed sequence is read as U+FFFD, and the writer also replaces every character XML 1.0
// cannot carry.
#ifndef ZT_PLATFORM_UTF8_H
#define ZT_PLATFORM_UTF8_H

#include <cstddef>
#include <string>
#include <string_view>

namespace zt::platform {

inline constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

// Length of the valid UTF-8 sequence at the start of `text` that encodes a character XML 1.0
// allows, or 0 when the first byte must be replaced. `text` must not be empty.
std::size_t xmlCharacterLength(std::string_view text);

// Length of the well-formed sequence starting at `pos` (with its code point in `out`), or 0 when
// the byte there does not start one. Overlong forms, surrogates and values above U+10FFFF are
// not well-formed.
std::size_t utf8SequenceAt(std::string_view text, std::size_t pos, char32_t& out);

// Whether every byte of `text` belongs to a well-formed sequence (checked first, so that valid
// text, the usual case, is never copied).
bool isValidUtf8(std::string_view text);
// Appends `text` to `out` with each byte that is not part of a well-formed sequence replaced by
// U+FFFD.
void appendRepairedUtf8(std::string& out, std::string_view text);
// `text` so repaired.
std::string replaceInvalidUtf8(std::string_view text);

// Appends the UTF-8 form of `c`, which must be a Unicode scalar value.
void appendUtf8(std::string& out, char32_t c);

}  // namespace zt::platform

#endif  // ZT_PLATFORM_UTF8_H
