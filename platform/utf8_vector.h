#ifndef ZT_PLATFORM_UTF8_VECTOR_H
#define ZT_PLATFORM_UTF8_VECTOR_H

// The vectorised UTF-8 check. Every byte is classified at once against the three bytes before
// it: a continuation byte (80-BF) must stand exactly where a lead before it asks for one (a lead
// C0 and up one byte back, E0 and up two back, F0 and up three back); C0, C1 and F5-FF never
// appear; and the byte after E0, ED, F0 and F4 keeps to the narrower range that rules out
// overlong forms, surrogates and values above U+10FFFF. The test is branch-free over each block,
// and blocks of plain ASCII that follow a complete character are passed over. SSE2 is the x86-64
// baseline; an AVX2 form of the same test is chosen at run time where the processor has it.
//
// A vector type V provides: Vector, kSize, load, zero, splat, ascii (no byte above 7F), any (a
// byte not zero), orv, andv, xorv, eq and gt (signed bytes), saturatingSub (unsigned bytes),
// back1-back3 (the block moved on by one to three bytes, the end of the block before moving in)
// and pendingLimits (bytes that, less than or equal, leave no character unfinished at the end).
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace zt::platform::utf8_vector {

// Byte comparisons are signed, so bytes are compared with 0x80 flipped: `flip(x) > flip(t)`
// is the unsigned x > t.
constexpr int flipped(int byte) {
  return static_cast<int8_t>(static_cast<uint8_t>(byte ^ 0x80));
}

template <typename V>
[[gnu::always_inline]] inline typename V::Vector check(typename V::Vector v,
                                                       typename V::Vector before) {
  using Vector = typename V::Vector;
  const Vector sign = V::splat(0x80);
  const Vector x = V::xorv(v, sign);
  const Vector p1 = V::xorv(V::back1(v, before), sign);
  const Vector p2 = V::xorv(V::back2(v, before), sign);
  const Vector p3 = V::xorv(V::back3(v, before), sign);
  const auto above = [](Vector a, int byte) { return V::gt(a, V::splat(flipped(byte))); };
  const auto below = [](Vector a, int byte) { return V::gt(V::splat(flipped(byte)), a); };
  const auto is = [](Vector a, int byte) { return V::eq(a, V::splat(flipped(byte))); };

  // 80-BF: flipped, 00-3F.
  const Vector continuation = V::andv(above(x, 0x7F), below(x, 0xC0));
  const Vector wanted = V::orv(V::orv(above(p1, 0xBF), above(p2, 0xDF)), above(p3, 0xEF));
  Vector error = V::xorv(continuation, wanted);
  error = V::orv(error, V::orv(is(x, 0xC0), V::orv(is(x, 0xC1), above(x, 0xF4))));
  error = V::orv(error, V::andv(is(p1, 0xE0), below(x, 0xA0)));
  error = V::orv(error, V::andv(is(p1, 0xED), above(x, 0x9F)));
  error = V::orv(error, V::andv(is(p1, 0xF0), below(x, 0x90)));
  return V::orv(error, V::andv(is(p1, 0xF4), above(x, 0x8F)));
}

template <typename V>
inline bool validate(const char* text, std::size_t size) {
  using Vector = typename V::Vector;
  constexpr std::size_t kGroup = 64;  // blocks between two looks at the error
  Vector error = V::zero();
  Vector before = V::zero();
  std::size_t at = 0;
  const auto step = [&](Vector v) {
    // An ASCII block after a finished character is right; only an unfinished one can be wrong.
    error = V::orv(
        error, V::ascii(v) ? V::saturatingSub(before, V::pendingLimits()) : check<V>(v, before));
    before = v;
  };
  for (; at + kGroup <= size; at += kGroup) {
    for (std::size_t i = 0; i < kGroup; i += V::kSize) {
      step(V::load(text + at + i));
    }
    if (V::any(error)) {
      return false;
    }
  }
  for (; at + V::kSize <= size; at += V::kSize) {
    step(V::load(text + at));
  }
  if (at < size) {
    char last[V::kSize] = {};
    std::memcpy(last, text + at, size - at);
    step(V::load(last));
  }
  step(V::zero());  // a character left unfinished at the end
  return !V::any(error);
}

// The AVX2 instance (utf8_avx2.cpp); only for a processor that has AVX2.
bool validateAvx2(const char* text, std::size_t size);

}  // namespace zt::platform::utf8_vector

#endif  // ZT_PLATFORM_UTF8_VECTOR_H
