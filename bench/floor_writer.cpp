#include "floor_writer.h"

#include <array>
#include <charconv>
#include <string_view>

namespace zt::bench {

namespace {

// Appends `text`, escaped, in runs between the bytes that need a reference, found through a
// table.
void appendEscaped(std::string& out, std::string_view text, bool attribute) {
  static constexpr auto kEscapes = [] {
    std::array<std::array<const char*, 256>, 2> table{};
    for (auto& escapes : table) {
      escapes['&'] = "&amp;";
      escapes['<'] = "&lt;";
      escapes['>'] = "&gt;";
      escapes['\r'] = "&#13;";
    }
    table[1]['"'] = "&quot;";
    table[1]['\n'] = "&#10;";
    table[1]['\t'] = "&#9;";
    return table;
  }();
  const auto& escapes = kEscapes[attribute ? 1 : 0];
  std::size_t plain = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char* replacement = escapes[static_cast<unsigned char>(text[i])];
    if (replacement != nullptr) {
      out.append(text.substr(plain, i - plain));
      out += replacement;
      plain = i + 1;
    }
  }
  out.append(text.substr(plain));
}

}  // namespace

std::string floorDocument(int elements) {
  std::string out = "<pages>";
  char number[16];
  for (int i = 0; i < elements; ++i) {
    // The writer's attribute sets keep their names in a hash table and write them in its
    // order, which for these two names is "kind" first; the pair checks that the bytes agree.
    out += "\r\n\t<page kind=\"";
    appendEscaped(out, "scan", true);
    out += "\" id=\"";
    const auto end = std::to_chars(number, number + sizeof number, i).ptr;
    appendEscaped(out, std::string_view(number, static_cast<std::size_t>(end - number)), true);
    out += "\">";
    appendEscaped(out, "front side", false);
    out += "</page>";
  }
  out += "\r\n</pages>";
  return out;
}

}  // namespace zt::bench
