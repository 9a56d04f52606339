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
// text, the usual case, is never copied). Vectorised: about as fast on non-ASCII text as on ASCII.
bool isValidUtf8(std::string_view text);
// Appends `text` to `out` with each byte that is not part of a well-formed sequence replaced by
// U+FFFD. The text is checked in pieces by the vectorised check; only a piece it rejects is
// walked byte by byte.
void appendRepairedUtf8(std::string& out, std::string_view text);

// The byte-by-byte forms of the two above: the reference the vectorised ones are tested against.
bool isValidUtf8Scalar(std::string_view text);
void appendRepairedUtf8Scalar(std::string& out, std::string_view text);

#if defined(__x86_64__)
// Each vectorised form of isValidUtf8, for tests that compare them with the reference;
// isValidUtf8Avx2 only where hasAvx2().
bool isValidUtf8Sse2(std::string_view text);
bool isValidUtf8Avx2(std::string_view text);
bool hasAvx2();
#endif
// `text` so repaired.
std::string replaceInvalidUtf8(std::string_view text);

// Appends the UTF-8 form of `c`, which must be a Unicode scalar value.
void appendUtf8(std::string& out, char32_t c);

// The longest prefix of `text` of at most `maxBytes` bytes that does not split a character, so
// that a cut name or value never ends in half a character. Inline: every name and value a
// handler receives passes through it, and nearly all fit.
constexpr std::string_view cutAtCharacter(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) {
    return text;
  }
  std::size_t cut = maxBytes;
  // Back up over continuation bytes to the start of the character that would be split.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
    --cut;
  }
  return text.substr(0, cut);
}

}  // namespace zt::platform

#endif  // ZT_PLATFORM_UTF8_H
