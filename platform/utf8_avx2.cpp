// AVX2 form of the vectorised UTF-8 check. This file alone is compiled for AVX2, and it includes
// no library header with inline code that other files also compile, so that no AVX2 instruction
// can reach a processor without it: utf8_sse2.cpp calls it only where the processor has AVX2.
#if defined(__x86_64__)
#include <immintrin.h>

#include "platform/utf8_vector.h"

namespace zt::platform {

namespace {

struct Avx2 {
  using Vector = __m256i;
  static constexpr std::size_t kSize = 32;

  static Vector load(const char* at) {
    return _mm256_loadu_si256(reinterpret_cast<const Vector*>(at));
  }
  static Vector zero() { return _mm256_setzero_si256(); }
  static Vector splat(int byte) { return _mm256_set1_epi8(static_cast<char>(byte)); }
  static bool ascii(Vector v) { return _mm256_movemask_epi8(v) == 0; }
  static bool any(Vector v) { return _mm256_testz_si256(v, v) == 0; }
  static Vector orv(Vector a, Vector b) { return _mm256_or_si256(a, b); }
  static Vector andv(Vector a, Vector b) { return _mm256_and_si256(a, b); }
  static Vector xorv(Vector a, Vector b) { return _mm256_xor_si256(a, b); }
  static Vector eq(Vector a, Vector b) { return _mm256_cmpeq_epi8(a, b); }
  static Vector gt(Vector a, Vector b) { return _mm256_cmpgt_epi8(a, b); }
  static Vector saturatingSub(Vector a, Vector b) { return _mm256_subs_epu8(a, b); }
  // alignr works within each 128-bit lane, so the lane boundary is bridged by a block made of
  // the upper half of `before` and the lower half of `v`.
  static Vector bridge(Vector v, Vector before) {
    return _mm256_permute2x128_si256(before, v, 0x21);
  }
  static Vector back1(Vector v, Vector before) {
    return _mm256_alignr_epi8(v, bridge(v, before), 15);
  }
  static Vector back2(Vector v, Vector before) {
    return _mm256_alignr_epi8(v, bridge(v, before), 14);
  }
  static Vector back3(Vector v, Vector before) {
    return _mm256_alignr_epi8(v, bridge(v, before), 13);
  }
  static Vector pendingLimits() {
    return _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                            -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, '\xEF', '\xDF', '\xBF');
  }
};

}  // namespace

bool utf8_vector::validateAvx2(const char* text, std::size_t size) {
  return validate<Avx2>(text, size);
}

}  // namespace zt::platform

#endif
