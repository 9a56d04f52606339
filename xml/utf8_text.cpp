#include "xml/utf8_text.h"

#include "platform/utf8.h"

namespace zt::xml {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

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

std::wstring toWide(std::string_view text, size_t maxCharacters) {
  std::wstring out;
  char32_t c = 0;
  for (size_t pos = 0; pos < text.size() && out.size() < maxCharacters;) {
    const size_t length = platform::utf8SequenceAt(text, pos, c);
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
    platform::appendUtf8(out, valid ? value : kReplacement);
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
    const size_t length = platform::utf8SequenceAt(text, pos, c);
    if (length == 0 || !isSpace(c)) {
      break;
    }
    pos += length;
  }
  return text.substr(pos);
}

}  // namespace zt::xml
