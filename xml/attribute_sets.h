// AttributeSets: the attribute sets one writer made, and the test of whether a caller's pointer
// is one of them.
#ifndef ZT_XML_ATTRIBUTE_SETS_H
#define ZT_XML_ATTRIBUTE_SETS_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <memory_resource>
#include <vector>

#include "platform/probe_table.h"
#include "xml/xml_attribute.h"
#include "zttools.h"

namespace zt::xml {

// Sets are made in blocks and never move or go before the owner does. A caller may make one set
// per element, so both making a set and finding one cost constant time and touch little memory:
// a pointer is looked up by the stretch of addresses it falls in, which holds at most two blocks,
// and is never dereferenced unless it is one of the sets. The sets' pairs are carved out of one
// arena that goes with the writer, as the sets do, so a set per element costs no heap call of its
// own.
class AttributeSets {
 public:
  KORAXmlAttribute& make();
  // The set `handle` points to, or null when it is not one made here.
  [[nodiscard]] KORAXmlAttribute* find(const IKORAXmlAttribute* handle) const;

 private:
  static constexpr std::size_t kBlockSets = 256;
  static constexpr uintptr_t kStretch = kBlockSets * sizeof(KORAXmlAttribute);

  struct Block {
    Block() { sets.reserve(kBlockSets); }  // never grows past this, so no set moves
    std::vector<KORAXmlAttribute> sets;

    [[nodiscard]] uintptr_t start() const;
    // The index of the set at `address`, or kBlockSets when no set made here starts there.
    [[nodiscard]] std::size_t indexOf(uintptr_t address) const;
  };

  // Declared first, so that it goes after every set that holds pairs from it.
  std::pmr::monotonic_buffer_resource pairs_;
  std::vector<std::unique_ptr<Block>> blocks_;
  // Each block filed under the one or two stretches (addresses / kStretch) it overlaps.
  platform::ProbeTable<Block*> byStretch_;
  // The set found last, which is usually the one asked for next: a caller refills one set for
  // element after element. Only sets are kept here, and a set never moves or goes before this
  // does, so the answer stays right.
  mutable const IKORAXmlAttribute* lastHandle_ = nullptr;
  mutable KORAXmlAttribute* lastFound_ = nullptr;
};

}  // namespace zt::xml

#endif  // ZT_XML_ATTRIBUTE_SETS_H
