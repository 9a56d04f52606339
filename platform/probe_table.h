// ProbeTable: an open-addressed hash table of references whose keys live in what they refer to.
//
// The table keeps, per slot, the key's hash and the reference; the caller hashes the key and says
// whether a held reference has it. Keys are only ever added or given a new reference, never
// removed, so a run of slots ends at the first empty one and no tombstones are needed.
#ifndef ZT_PLATFORM_PROBE_TABLE_H
#define ZT_PLATFORM_PROBE_TABLE_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

namespace zt::platform {

// `Ref` is a pointer or a number; its value-initialised state (null, 0) marks an empty slot and
// is never filed. `Hash` is what a slot keeps of the key's hash: a 32-bit one halves the slots of
// a table of 32-bit references, and still places and tells apart far more keys than fit in memory.
template <typename Ref, typename Hash = uint64_t>
class ProbeTable {
 public:
  // The reference filed under the key that `matches(ref)` recognises, or Ref{} when there is none.
  template <typename Matches>
  [[nodiscard]] Ref find(uint64_t fullHash, Matches matches) const {
    if (slots_.empty()) {
      return Ref{};
    }
    const auto hash = static_cast<Hash>(fullHash);
    for (std::size_t at = hash & mask();; at = (at + 1) & mask()) {
      const Slot& slot = slots_[at];
      if (slot.ref == Ref{} || (slot.hash == hash && matches(slot.ref))) {
        return slot.ref;
      }
    }
  }

  // Files `ref` under its key (hashed to `hash`), in place of the reference filed there, which
  // it returns; Ref{} when the key is new.
  template <typename Matches>
  Ref assign(uint64_t fullHash, Ref ref, Matches matches) {
    reserveOne();
    const auto hash = static_cast<Hash>(fullHash);
    for (std::size_t at = hash & mask();; at = (at + 1) & mask()) {
      Slot& slot = slots_[at];
      if (slot.ref == Ref{}) {
        slot = {hash, ref};
        ++size_;
        return Ref{};
      }
      if (slot.hash == hash && matches(slot.ref)) {
        return std::exchange(slot.ref, ref);
      }
    }
  }

  // Makes room for one more key, so that the assign that follows allocates nothing. At most half
  // the slots are used, so that runs stay short and a search always ends.
  void reserveOne() {
    if ((size_ + 1) * 2 > slots_.size()) {
      grow();
    }
  }

  // Brings the slot where a search for the key would start into the cache, for a search that
  // follows soon after; nothing else changes.
  void prefetch(uint64_t fullHash) const {
    if (!slots_.empty()) {
      __builtin_prefetch(&slots_[static_cast<Hash>(fullHash) & mask()]);
    }
  }

  [[nodiscard]] std::size_t size() const { return size_; }

  // Every reference filed, in no particular order.
  template <typename Visit>
  void forEach(Visit visit) const {
    for (const Slot& slot : slots_) {
      if (slot.ref != Ref{}) {
        visit(slot.ref);
      }
    }
  }

 private:
  struct Slot {
    Hash hash = 0;
    Ref ref{};
  };

  [[nodiscard]] std::size_t mask() const { return slots_.size() - 1; }

  // Doubles the slots; the stored hashes place every reference again without its key.
  void grow() {
    const std::size_t slots = std::max<std::size_t>(16, slots_.size() * 2);
    std::vector<Slot> old = std::exchange(slots_, std::vector<Slot>(slots));
    for (const Slot& slot : old) {
      if (slot.ref != Ref{}) {
        std::size_t at = slot.hash & mask();
        while (slots_[at].ref != Ref{}) {
          at = (at + 1) & mask();
        }
        slots_[at] = slot;
      }
    }
  }

  std::vector<Slot> slots_;
  std::size_t size_ = 0;
};

// Hashes for the tables' keys.
// Folds `word` into `hash`: a multiply carries each bit upwards, the shift brings high bits down.
inline uint64_t hashStep(uint64_t hash, uint64_t word) {
  hash = (hash ^ word) * 0x9e3779b97f4a7c15u;
  return hash ^ (hash >> 32);
}

// Makes every bit of `hash` reach every low bit, which pick the slot.
inline uint64_t hashFinish(uint64_t hash) {
  hash = (hash ^ (hash >> 33)) * 0xff51afd7ed558ccdu;
  hash = (hash ^ (hash >> 33)) * 0xc4ceb9fe1a85ec53u;
  return hash ^ (hash >> 33);
}

// Eight bytes at a time; the last word overlaps the one before rather than being read byte by
// byte, and names under eight bytes are read as two overlapping halves (or three bytes). Every
// byte counts, and the length is folded in first.
inline uint64_t hashName(std::string_view name) {
  const auto load = [](const char* at, auto word) {
    std::memcpy(&word, at, sizeof word);
    return static_cast<uint64_t>(word);
  };
  const char* at = name.data();
  const char* end = at + name.size();
  uint64_t hash = hashStep(0, name.size());
  if (name.size() >= 8) {
    for (; end - at > 8; at += 8) {
      hash = hashStep(hash, load(at, uint64_t{}));
    }
    hash = hashStep(hash, load(end - 8, uint64_t{}));
  } else if (name.size() >= 4) {
    hash = hashStep(hash, load(at, uint32_t{}) << 32 | load(end - 4, uint32_t{}));
  } else if (!name.empty()) {
    const auto byte = [](char c) { return static_cast<uint64_t>(static_cast<unsigned char>(c)); };
    hash = hashStep(hash, byte(at[0]) << 16 | byte(at[name.size() / 2]) << 8 | byte(end[-1]));
  }
  return hashFinish(hash);
}

inline uint64_t hashId(int32_t id) {
  return hashFinish(static_cast<uint32_t>(id));
}

}  // namespace zt::platform

#endif  // ZT_PLATFORM_PROBE_TABLE_H
