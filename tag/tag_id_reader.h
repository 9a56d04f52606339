// readId: the number at the start of a store's id or value text.
#ifndef ZT_TAG_TAG_ID_READER_H
#define ZT_TAG_TAG_ID_READER_H

#include <cstdint>

namespace zt::tag {

// Reads `text` (NUL-terminated) exactly as strtol(text, nullptr, 0) clamped to 32 bits would:
// leading white space, an optional sign, then decimal, 0x hexadecimal or 0 octal digits up to
// the first that does not fit; values past 32 bits saturate; no digits give 0.
int32_t readId(const char* text);

}  // namespace zt::tag

#endif  // ZT_TAG_TAG_ID_READER_H
