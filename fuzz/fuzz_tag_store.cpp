// The tag store loader on an arbitrary file. Whatever the file holds, both indexes stay
// consistent (ids 0 to 65535 filed under themselves, names under themselves), every lookup
// answers what the indexes hold, all names are valid UTF-8, and loading the same file into a
// second manager gives the same dictionary. The id reader answers what strtol does on every
// suffix of the file's head.
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "fuzz_support.h"
#include "tag/tag_id_reader.h"
#include "tag/tag_manager.h"
#include "zttools.h"

namespace {

std::string dump(const zt::tag::TagDictionary& dictionary) {
  std::string out;
  for (const auto& [id, item] : dictionary.tagsById) {
    out += std::to_string(id) + ":" + item->name + "{";
    for (const auto& [valueId, name] : item->valueNames) {
      out += std::to_string(valueId) + "=" + name + ",";
    }
    out += "}";
  }
  for (const auto& [name, item] : dictionary.tagsByName) {
    out += name + "->" + std::to_string(item->id) + ";";
  }
  return out;
}

void checkConsistent(zt::tag::KORATagManager& manager) {
  const auto& dictionary = manager.dictionary();
  for (const auto& [id, item] : dictionary.tagsById) {
    ZT_FUZZ_CHECK(id >= 0 && id <= 65535 && id == item->id);
    ZT_FUZZ_CHECK(zt::fuzz::isUtf8(item->name));
    ZT_FUZZ_CHECK(manager.getTagName(id) == item->name);
    for (const auto& [valueId, name] : item->valueNames) {
      ZT_FUZZ_CHECK(zt::fuzz::isUtf8(name));
      ZT_FUZZ_CHECK(manager.getValueName(id, valueId) == name);
    }
    for (const auto& [name, valueId] : item->valueIds) {
      ZT_FUZZ_CHECK(manager.getValueId(id, name.c_str()) == valueId);
    }
  }
  for (const auto& [name, item] : dictionary.tagsByName) {
    ZT_FUZZ_CHECK(name == item->name);
    ZT_FUZZ_CHECK(manager.getTagId(name.c_str()) == item->id);
  }
}

void checkIdReader(const uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (std::size_t from = 0; from < std::min<std::size_t>(size, 64); ++from) {
    const char* start = text.c_str() + from;
    const long expected = std::strtol(start, nullptr, 0);
    ZT_FUZZ_CHECK(zt::tag::readId(start) == std::clamp<long>(expected, INT32_MIN, INT32_MAX));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  checkIdReader(data, size);
  static const std::string path = "/tmp/zt-fuzz-tag-" + std::to_string(getpid()) + ".xml";
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

  zt::tag::KORATagManager first;
  const bool loaded = first.load(path.c_str());
  const std::string before = dump(first.dictionary());
  checkConsistent(first);
  // Checking made no tag (every id asked for was present).
  ZT_FUZZ_CHECK(dump(first.dictionary()) == before);

  zt::tag::KORATagManager second;
  ZT_FUZZ_CHECK(second.load(path.c_str()) == loaded);
  ZT_FUZZ_CHECK(dump(second.dictionary()) == before);
  std::remove(path.c_str());
  return 0;
}
