// The tag store loader on an arbitrary file. Whatever the file holds, both indexes stay
// consistent (ids 0 to 65535 filed under themselves, names under themselves, each item counting
// exactly the indexes that hold it), every lookup answers what the values replayed in order
// answer, all names are valid UTF-8, and loading the same file again, into the same manager or
// a second one, gives the same dictionary; from the second reload on, no new item is made. The
// id reader answers what strtol does on every suffix of the file's head.
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "tag/tag_id_reader.h"
#include "tag/tag_manager.h"
#include "zttools.h"

namespace {

using zt::tag::LumtagsDictItem;

std::string dump(const zt::tag::TagDictionary& dictionary) {
  std::string out;
  dictionary.forEachById([&](int32_t id, const LumtagsDictItem& item) {
    out += std::to_string(id) + ":" + std::string(item.name()) + "{";
    for (const auto& [valueId, name] : item.valueNames()) {
      out += std::to_string(valueId) + "=" + name + ",";
    }
    out += "}";
  });
  std::vector<std::string> names;
  dictionary.forEachByName([&](const LumtagsDictItem& item) {
    names.push_back(std::string(item.name()) + "->" + std::to_string(item.id) + ";");
  });
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    out += name;
  }
  return out;
}

void checkItem(zt::tag::KORATagManager& manager, const LumtagsDictItem& item) {
  const auto& dictionary = manager.dictionary();
  const int held = (dictionary.byId(item.id) == &item ? 1 : 0) +
                   (dictionary.byName(item.name()) == &item ? 1 : 0);
  ZT_FUZZ_CHECK(held >= 1 && held == item.holders);
  ZT_FUZZ_CHECK(zt::fuzz::isUtf8(item.name()));
  for (const auto& [valueId, name] : item.valueNames()) {
    ZT_FUZZ_CHECK(zt::fuzz::isUtf8(name));
    ZT_FUZZ_CHECK(item.values.lastWithId(valueId)->name() == name);
  }
  for (const auto& [name, valueId] : item.valueIds()) {
    ZT_FUZZ_CHECK(item.values.lastWithName(name)->id == valueId);
  }
}

void checkConsistent(zt::tag::KORATagManager& manager) {
  const auto& dictionary = manager.dictionary();
  std::size_t ids = 0;
  dictionary.forEachById([&](int32_t id, const LumtagsDictItem& item) {
    ++ids;
    ZT_FUZZ_CHECK(id >= 0 && id <= 65535 && id == item.id);
    ZT_FUZZ_CHECK(manager.getTagName(id) == item.name().data());
    for (const auto& [valueId, name] : item.valueNames()) {
      ZT_FUZZ_CHECK(manager.getValueName(id, valueId) == name);
    }
    for (const auto& [name, valueId] : item.valueIds()) {
      ZT_FUZZ_CHECK(manager.getValueId(id, name.c_str()) == valueId);
    }
    checkItem(manager, item);
  });
  ZT_FUZZ_CHECK(ids == dictionary.idCount());
  std::set<std::string> names;
  dictionary.forEachByName([&](const LumtagsDictItem& item) {
    ZT_FUZZ_CHECK(names.insert(std::string(item.name())).second);
    ZT_FUZZ_CHECK(dictionary.byName(item.name()) == &item);
    ZT_FUZZ_CHECK(manager.getTagId(item.name().data()) == item.id);
    checkItem(manager, item);
  });
  ZT_FUZZ_CHECK(names.size() == dictionary.nameCount());
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

  // Reloads replace every item by an equal one and recycle the replaced ones.
  ZT_FUZZ_CHECK(first.load(path.c_str()) == loaded);
  const std::size_t made = first.dictionary().itemsMade();
  ZT_FUZZ_CHECK(first.load(path.c_str()) == loaded);
  ZT_FUZZ_CHECK(first.dictionary().itemsMade() == made);
  ZT_FUZZ_CHECK(dump(first.dictionary()) == before);
  checkConsistent(first);
  std::remove(path.c_str());
  return 0;
}
