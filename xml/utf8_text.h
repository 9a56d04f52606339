// UTF-8 helpers of the XML objects: narrow text is UTF-8 throughout, and these keep it whole.
#ifndef ZT_XML_UTF8_TEXT_H
#define ZT_XML_UTF8_TEXT_H

#include <string>
#include <string_view>

namespace zt::xml {

// Decodes UTF-8 into wide characters (one per code point); bad bytes become U+FFFD. At most
// `maxCharacters` characters are decoded.
std::wstring toWide(std::string_view text, size_t maxCharacters = std::wstring::npos);
std::string toUtf8(std::wstring_view text);

// `text` without its leading white space (ASCII and the Unicode space characters). Inline for
// the usual case, text that starts with a printable ASCII character.
namespace detail {
std::string_view trimLeadingSpace(std::string_view text);
}  // namespace detail
inline std::string_view trimLeadingSpace(std::string_view text) {
  if (!text.empty()) {
    const auto first = static_cast<unsigned char>(text.front());
    if (first > ' ' && first < 0x80) {
      return text;
    }
  }
  return detail::trimLeadingSpace(text);
}

}  // namespace zt::xml

#endif  // ZT_XML_UTF8_TEXT_H
