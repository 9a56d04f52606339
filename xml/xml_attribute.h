// KORAXmlAttribute: the attribute set of one element about to be written, and the fixed,
// locale-free number texts the XML objects write.
#ifndef ZT_XML_XML_ATTRIBUTE_H
#define ZT_XML_XML_ATTRIBUTE_H

#include <cstdint>
#include <memory_resource>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "zttools.h"

namespace zt::xml {

// Shortest decimal form, '-' only for negative values.
std::string decimalText(int32_t value);
std::string decimalText(uint32_t value);
// "0x" and exactly 8 lower-case digits; negative values as their 32-bit two's complement.
std::string hexText(uint32_t value);
const char* boolText(bool value);

// Names are unique and compared byte by byte; the first value given for a name stays. The writer
// emits the pairs in the map's own iteration order. The `long` slots are 64 bits wide here and
// keep only their low 32 bits, so that every integer slot writes a 32-bit value.
class KORAXmlAttribute final : public IKORAXmlAttribute {
 public:
  // The map's pairs and buckets, and the set's list of them, come from the memory the set is
  // given, so that a writer can make many sets without a trip to the heap for each; iteration
  // order is unchanged by it.
  using Entries = std::pmr::unordered_map<std::string, std::string>;

  KORAXmlAttribute() = default;
  explicit KORAXmlAttribute(std::pmr::memory_resource* memory)
      : entries_(Entries::allocator_type(memory)), added_(memory) {}
  // Moved only as a whole, pairs and all, where the set's own pointers to its pairs stay right.
  KORAXmlAttribute(KORAXmlAttribute&&) = default;
  KORAXmlAttribute(const KORAXmlAttribute&) = delete;
  KORAXmlAttribute& operator=(const KORAXmlAttribute&) = delete;
  KORAXmlAttribute& operator=(KORAXmlAttribute&&) = delete;

  IKORAXmlAttribute* addAttribute(const char* name, const char* value) override;
  IKORAXmlAttribute* addAttribute(const char* name, bool value) override;
  IKORAXmlAttribute* addAttribute(const char* name, unsigned long value) override;
  IKORAXmlAttribute* addAttribute(const char* name, long value) override;
  IKORAXmlAttribute* addAttribute(const char* name, int value) override;
  IKORAXmlAttribute* addHexAttribute(const char* name, unsigned long value) override;
  IKORAXmlAttribute* addHexAttribute(const char* name, long value) override;
  IKORAXmlAttribute* addHexAttribute(const char* name, int value) override;
  IKORAXmlAttribute* clear() override;

  // The pairs to write. A set that lost a pair for lack of memory (its callers have no status
  // to see that) throws std::bad_alloc here instead, so that the element it is given to fails
  // rather than being written without the pair; clear() makes it whole again.
  const Entries& entries();
  // Whether every name in the set is an XML Name (checked once, when the name went in), so that
  // a writer need not check them again for every element; throws as entries() does.
  bool namesAreXmlNames() const;

 private:
  // A pair taken out of the map, reused by the next add. Its name is left in place, so that a
  // set refilled with the same names neither copies nor checks them again.
  struct Spare {
    Entries::node_type node;
    bool nameIsXmlName = false;  // known to be; false when not known
  };
  // A pair in the map, in the order the pairs went in.
  struct Added {
    Entries::value_type* pair;
    bool nameIsXmlName;
  };

  IKORAXmlAttribute* add(const char* name, std::string_view value);
  template <typename Integer>
  IKORAXmlAttribute* addDecimal(const char* name, Integer value);
  void noteAdded(Entries::value_type& pair, bool nameIsXmlName);
  void carryOutClear();

  Entries entries_;
  std::pmr::vector<Added> added_;  // from the same memory as the pairs
  std::vector<Spare> spare_;
  // clear() only notes that it was called. A set is nearly always refilled with the names it
  // held, in the same order: while that goes on, each add gives its pair's value to the pair
  // already in the map, which is then neither taken out, hashed nor linked again. The set then
  // holds added_[0, readded_); the first add that differs, or entries(), carries the clear out
  // as if it had been done at once.
  bool cleared_ = false;
  std::size_t readded_ = 0;
  // The map's bucket count when the last clear was carried out (or the set was made).
  std::size_t clearedBuckets_ = entries_.bucket_count();
  std::size_t otherNames_ = 0;  // names the set holds that are not XML Names
  bool lostPair_ = false;
};

}  // namespace zt::xml

#endif  // ZT_XML_XML_ATTRIBUTE_H
