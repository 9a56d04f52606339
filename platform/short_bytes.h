// Copying and comparing short byte strings without a call into the C library. Names and values
// are mostly a few bytes, for which memcpy and memcmp cost more in the call and their dispatch on
// the length than in the work: lengths from 4 to 16 are two fixed-size pieces that overlap,
// shorter ones are taken byte by byte.
#ifndef ZT_PLATFORM_SHORT_BYTES_H
#define ZT_PLATFORM_SHORT_BYTES_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace zt::platform {

// Copies `length` bytes from `from` to `to` (which do not overlap).
inline void copyShort(char* to, const char* from, std::size_t length) {
  const auto copyEnds = [&](auto piece) {
    std::memcpy(&piece, from, sizeof piece);
    std::memcpy(to, &piece, sizeof piece);
    std::memcpy(&piece, from + length - sizeof piece, sizeof piece);
    std::memcpy(to + length - sizeof piece, &piece, sizeof piece);
  };
  if (length > 16) {
    std::memcpy(to, from, length);
  } else if (length >= 8) {
    copyEnds(uint64_t{});
  } else if (length >= 4) {
    copyEnds(uint32_t{});
  } else if (length != 0) {
    to[0] = from[0];
    to[length / 2] = from[length / 2];
    to[length - 1] = from[length - 1];
  }
}

// Whether `a` and `b` hold the same bytes.
inline bool sameShort(std::string_view a, std::string_view b) {
  const std::size_t length = a.size();
  if (length != b.size()) {
    return false;
  }
  const auto sameEnds = [&](auto piece) {
    decltype(piece) other{};
    std::memcpy(&piece, a.data(), sizeof piece);
    std::memcpy(&other, b.data(), sizeof piece);
    if (piece != other) {
      return false;
    }
    std::memcpy(&piece, a.data() + length - sizeof piece, sizeof piece);
    std::memcpy(&other, b.data() + length - sizeof piece, sizeof piece);
    return piece == other;
  };
  if (length > 16) {
    return a == b;
  }
  if (length >= 8) {
    return sameEnds(uint64_t{});
  }
  if (length >= 4) {
    return sameEnds(uint32_t{});
  }
  for (std::size_t i = 0; i < length; ++i) {
    if (a[i] != b[i]) {
      return false;
    }
  }
  return true;
}

}  // namespace zt::platform

#endif  // ZT_PLATFORM_SHORT_BYTES_H
