#include "floor_writer.h"

#include <charconv>
#include <string_view>

namespace zt::bench {

namespace {

void appendEscaped(std::string& out, std::string_view text, bool attribute) {
  std::size_t plain = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const char* replacement = c == '&'                ? "&amp;"
                              : c == '<'              ? "&lt;"
                              : c == '>'              ? "&gt;"
                              : attribute && c == '"' ? "&quot;"
                              : c == '\r'             ? "&#13;"
                                                      : nullptr;
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
