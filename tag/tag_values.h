// TagValues: a tag's name and its named values, as a list in the order they were added, kept
// together in one block of bytes.
//
// A value is added under its id and under its name, each replacing what was filed under that
// key before, and the two are independent: after (1, A), (2, A) and (1, B), id 1 names B, id 2
// names A, A has id 2 and B id 1. Looking for the last entry with a given id (or name) answers
// exactly that, so the list is never rewritten, only appended to. Short lists, the usual case,
// are scanned; a long one gets two hash indexes that point at those last entries.
//
// The block starts with the tag's name and then holds each value as a TagValue header followed
// by its name, every name zero-terminated and every header at a multiple of four bytes. A tag
// whose name and values fit in the room inside the object, as most do, needs no allocation; a
// larger one moves to a block of its own, which it keeps when the tag is reset for reuse.
// Adding values may move the block: names handed out stay valid only once a tag's values are
// complete, which the dictionary ensures by adding values only to the tag it made last in a load.
#ifndef ZT_TAG_TAG_VALUES_H
#define ZT_TAG_TAG_VALUES_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/probe_table.h"

namespace zt::tag {

// One value in a tag's block; its name's bytes follow it.
struct TagValue {
  int32_t id;
  uint32_t length;

  // Zero-terminated.
  [[nodiscard]] std::string_view name() const {
    return {reinterpret_cast<const char*>(this + 1), length};
  }
};

class TagValues {
 public:
  TagValues() { inline_[0] = '\0'; }
  TagValues(const TagValues&) = delete;
  TagValues& operator=(const TagValues&) = delete;

  // Names the tag and forgets every value, keeping the room for the values to come.
  void reset(std::string_view name);
  // Zero-terminated.
  [[nodiscard]] std::string_view name() const { return {data_, nameLength_}; }

  void add(int32_t id, std::string_view name);
  // The entry added last with that id, resp. that name; null when there is none.
  [[nodiscard]] const TagValue* lastWithId(int32_t id) const;
  [[nodiscard]] const TagValue* lastWithName(std::string_view name) const;

  // Every entry in the order added, including the ones that later entries shadow.
  [[nodiscard]] std::size_t size() const { return count_; }
  template <typename Visit>
  void forEach(Visit visit) const {
    for (uint32_t at = firstValue(); at < used_; at = next(at)) {
      visit(entry(at));
    }
  }

 private:
  // The room inside the object: with the fields around it a tag takes 144 bytes, which holds a
  // name and three or four values of up to about 15 bytes each (8 bytes a value more, for its id
  // and length), so that names in scripts of two or three bytes a character seldom need a block
  // of their own. 56 bytes (a tag of 96) held the short ASCII names of most stores, but a tag of
  // non-ASCII names then needed an allocation and a block of 128 bytes beside its 96.
  static constexpr uint32_t kInline = 104;

  // Offsets of entries plus one (0 marks an empty slot).
  struct Indexes {
    platform::ProbeTable<uint32_t, uint32_t> byId;
    platform::ProbeTable<uint32_t, uint32_t> byName;
  };
  // What a tag that outgrows the room inside keeps apart, behind one pointer so that the tag stays
  // small: its block, and the indexes of a long list.
  struct Spill {
    std::unique_ptr<char[]> block;
    std::optional<Indexes> indexes;
  };
  [[nodiscard]] const Indexes* indexes() const {
    return spill_ && spill_->indexes ? &*spill_->indexes : nullptr;
  }

  static constexpr uint32_t aligned(std::size_t bytes) {
    return static_cast<uint32_t>((bytes + 3) & ~std::size_t{3});
  }
  [[nodiscard]] uint32_t firstValue() const { return aligned(nameLength_ + 1); }
  [[nodiscard]] uint32_t next(uint32_t at) const {
    return at + sizeof(TagValue) + aligned(entry(at).length + 1);
  }
  [[nodiscard]] const TagValue& entry(uint32_t at) const {
    return *reinterpret_cast<const TagValue*>(data_ + at);
  }

  void addGrowing(int32_t id, std::string_view name);
  void grow(uint32_t needed, bool keep);
  void index(uint32_t at);
  void indexAll();
  template <typename Matches>
  [[nodiscard]] const TagValue* lastWhere(const platform::ProbeTable<uint32_t, uint32_t>* index,
                                          uint64_t hash, Matches matches) const;

  // The block: `inline_` or the spill's, `room_` bytes of which `used_` hold the name and the
  // entries.
  char* data_ = inline_;
  uint32_t used_ = 4;
  uint32_t room_ = kInline;
  uint32_t count_ = 0;
  uint32_t nameLength_ = 0;
  std::unique_ptr<Spill> spill_;  // null while the tag fits inside and is short
  // Left unwritten until used: a tag is made in fresh memory, and only the bytes its name and
  // values take are worth touching.
  alignas(alignof(TagValue)) char inline_[kInline];
};

}  // namespace zt::tag

#endif  // ZT_TAG_TAG_VALUES_H
