// TagValues: the named values of one tag, as a list in the order they were added.
//
// A value is added under its id and under its name, each replacing what was filed under that
// key before, and the two are independent: after (1, A), (2, A) and (1, B), id 1 names B, id 2
// names A, A has id 2 and B id 1. Looking for the last entry with a given id (or name) answers
// exactly that, so the list is never rewritten, only appended to. Short lists, the usual case,
// are scanned from the back; a long one gets two hash indexes that point at those last entries.
#ifndef ZT_TAG_TAG_VALUES_H
#define ZT_TAG_TAG_VALUES_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/probe_table.h"

namespace zt::tag {

struct TagValue {
  int32_t id = 0;
  std::string name;
};

class TagValues {
 public:
  void add(int32_t id, std::string_view name);
  // The entry added last with that id, resp. that name; null when there is none.
  [[nodiscard]] const TagValue* lastWithId(int32_t id) const;
  [[nodiscard]] const TagValue* lastWithName(std::string_view name) const;
  // Forgets every value but keeps the room, for the next tag that uses it.
  void clear();

  // Every entry in the order added, including the ones that later entries shadow.
  [[nodiscard]] std::size_t size() const { return size_; }
  [[nodiscard]] const TagValue& operator[](std::size_t position) const {
    return position < kInline ? inline_[position] : spill_[position - kInline];
  }

 private:
  // Most tags have a handful of values: those live in the item itself, which saves an
  // allocation per tag on load and a release per tag when the dictionary ends.
  static constexpr std::size_t kInline = 4;

  // Positions plus one (0 marks an empty slot).
  struct Indexes {
    platform::ProbeTable<uint32_t> byId;
    platform::ProbeTable<uint32_t> byName;
  };

  void addSpilled(int32_t id, std::string_view name);
  void index(uint32_t position);
  template <typename Matches>
  [[nodiscard]] const TagValue* lastWhere(const platform::ProbeTable<uint32_t>* index,
                                          uint64_t hash, Matches matches) const;

  std::array<TagValue, kInline> inline_;
  std::vector<TagValue> spill_;
  uint32_t size_ = 0;
  std::unique_ptr<Indexes> indexes_;
};

}  // namespace zt::tag

#endif  // ZT_TAG_TAG_VALUES_H
