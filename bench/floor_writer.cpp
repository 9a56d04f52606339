#include "floor_writer.h"

#include <array>
#include <charconv>
#include <memory_resource>
#include <string_view>
#include <unordered_map>

namespace zt::bench {

namespace {

// Appends `text`, escaped, in runs between the bytes that need a reference, found through a
// table. Inlined into each document's loop, where the texts are constants or short, so that
// neither document pays a call for it.
[[gnu::always_inline]] inline void appendEscaped(std::string& out, std::string_view text,
                                                 bool attribute) {
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

std::string mapFloorDocument(int elements) {
  // The map type of an attribute set, its pairs and buckets from an arena as a writer's are.
  using Entries = std::pmr::unordered_map<std::string, std::string>;
  std::pmr::monotonic_buffer_resource arena;
  Entries entries(&arena);
  // The pairs in the order they went in. Refilled with the same names in the same order, the map
  // would hold the same pairs in the same order, so each name is compared with the pair's and the
  // new value given to that pair: no pair is taken out of the map, hashed or linked in again.
  std::array<Entries::value_type*, 2> added{};
  std::string out = "<pages>";
  char number[16];
  for (int i = 0; i < elements; ++i) {
    const auto end = std::to_chars(number, number + sizeof number, i).ptr;
    const std::string_view id(number, static_cast<std::size_t>(end - number));
    if (added[0] == nullptr) {
      added[0] = &*entries.try_emplace("id", id).first;
      added[1] = &*entries.try_emplace("kind", "scan").first;
    } else if (added[0]->first == std::string_view("id") &&
               added[1]->first == std::string_view("kind")) {
      added[0]->second = id;
      added[1]->second = "scan";
    }
    out += "\r\n\t<page";
    for (const auto& [name, value] : entries) {
      out += ' ';
      out += name;
      out += "=\"";
      appendEscaped(out, value, true);
      out += '"';
    }
    out += '>';
    appendEscaped(out, "front side", false);
    out += "</page>";
  }
  out += "\r\n</pages>";
  return out;
}

}  // namespace zt::bench
