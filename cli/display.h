// Echoed input as a terminal shows it: escaped where it could disturb the terminal, measured in
// columns, and cut to a window around the place a diagnostic points at.
#ifndef ZTTOOLS_CLI_DISPLAY_H
#define ZTTOOLS_CLI_DISPLAY_H

#include <cstddef>
#include <string>
#include <string_view>

namespace zt::cli {

// Columns of a diagnostic's excerpt, "..." marks included.
inline constexpr std::size_t kExcerptColumns = 80;

// `text` safe to echo: control characters (C0, DEL, C1) and bytes that are not UTF-8 escaped as
// \t, \n, \r or \xNN; everything else as it is.
std::string printable(std::string_view text);

// A line of input and the caret line to print under it.
struct Excerpt {
  std::string line;
  std::string caret;
};

// At most kExcerptColumns columns of `text` around byte `offset`, shown as printable() shows
// them, with "..." where the text was cut (also where the caller already cut it: `cutBefore`,
// `cutAfter`), and a caret under the character at `offset` (just after the last one when
// `offset` is past the end). Columns count East Asian wide characters as two, combining marks
// as none.
Excerpt excerpt(std::string_view text, std::size_t offset, bool cutBefore = false,
                bool cutAfter = false);

}  // namespace zt::cli

#endif  // ZTTOOLS_CLI_DISPLAY_H
