// What the fuzz targets share: a check that aborts with a message, so that libFuzzer records the
// input that broke an invariant as a crash; a reader that cuts the input into choices and
// NUL-free strings; and a UTF-8 check of its own, independent of the library's.
#ifndef ZT_FUZZ_FUZZ_SUPPORT_H
#define ZT_FUZZ_FUZZ_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#define ZT_FUZZ_CHECK(condition)                                                             \
  do {                                                                                       \
    if (!(condition)) {                                                                      \
      std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                          \
    }                                                                                        \
  } while (false)

namespace zt::fuzz {

// Reads the input front to back; past its end every choice is 0 and every string empty.
class InputReader {
 public:
  InputReader(const uint8_t* data, std::size_t size)
      : text_(reinterpret_cast<const char*>(data), size) {}

  bool done() const { return text_.empty(); }

  uint8_t byte() {
    if (text_.empty()) {
      return 0;
    }
    const auto b = static_cast<uint8_t>(text_.front());
    text_.remove_prefix(1);
    return b;
  }

  // The bytes up to the next NUL (which is consumed), or up to the end.
  std::string string() {
    const std::size_t end = text_.find('\0');
    std::string out(text_.substr(0, end));
    text_.remove_prefix(end == std::string_view::npos ? text_.size() : end + 1);
    return out;
  }

  // Whatever is left.
  std::string rest() {
    std::string out(text_);
    text_ = {};
    return out;
  }

 private:
  std::string_view text_;
};

// Whether `text` is well-formed UTF-8: no stray continuation bytes, no overlong forms, no
// surrogates, nothing above U+10FFFF.
inline bool isUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b = static_cast<uint8_t>(text[i]);
    std::size_t extra = 0;
    uint32_t cp = 0;
    uint32_t minimum = 0;
    if (b < 0x80) {
      ++i;
      continue;
    } else if ((b & 0xE0) == 0xC0) {
      extra = 1, cp = b & 0x1F, minimum = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2, cp = b & 0x0F, minimum = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3, cp = b & 0x07, minimum = 0x10000;
    } else {
      return false;
    }
    if (text.size() - i <= extra) {
      return false;
    }
    for (std::size_t k = 1; k <= extra; ++k) {
      const auto c = static_cast<uint8_t>(text[i + k]);
      if ((c & 0xC0) != 0x80) {
        return false;
      }
      cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      return false;
    }
    i += extra + 1;
  }
  return true;
}

}  // namespace zt::fuzz

#endif  // ZT_FUZZ_FUZZ_SUPPORT_H
