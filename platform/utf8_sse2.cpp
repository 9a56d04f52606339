// SSE2 form of the vectorised UTF-8 check, and the choice between it and the AVX2 form.
#include <cstddef>
#include <string_view>

#include "platform/utf8.h"

#if defined(__x86_64__)
#include <emmintrin.h>

#include "platform/utf8_vector.h"

namespace zt::platform {

namespace {

struct Sse2 {
  using Vector = __m128i;
  static constexpr std::size_t kSize = 16;

  static Vector load(const char* at) {
    return _mm_loadu_si128(reinterpret_cast<const Vector*>(at));
  }
  static Vector zero() { return _mm_setzero_si128(); }
  static Vector splat(int byte) { return _mm_set1_epi8(static_cast<char>(byte)); }
  static bool ascii(Vector v) { return _mm_movemask_epi8(v) == 0; }
  static bool any(Vector v) { return _mm_movemask_epi8(_mm_cmpeq_epi8(v, zero())) != 0xFFFF; }
  static Vector orv(Vector a, Vector b) { return _mm_or_si128(a, b); }
  static Vector andv(Vector a, Vector b) { return _mm_and_si128(a, b); }
  static Vector xorv(Vector a, Vector b) { return _mm_xor_si128(a, b); }
  static Vector eq(Vector a, Vector b) { return _mm_cmpeq_epi8(a, b); }
  static Vector gt(Vector a, Vector b) { return _mm_cmpgt_epi8(a, b); }
  static Vector saturatingSub(Vector a, Vector b) { return _mm_subs_epu8(a, b); }
  // The block shifted by one, two and three bytes, the last bytes of `before` moving in.
  static Vector back1(Vector v, Vector before) {
    return _mm_or_si128(_mm_slli_si128(v, 1), _mm_srli_si128(before, 15));
  }
  static Vector back2(Vector v, Vector before) {
    return _mm_or_si128(_mm_slli_si128(v, 2), _mm_srli_si128(before, 14));
  }
  static Vector back3(Vector v, Vector before) {
    return _mm_or_si128(_mm_slli_si128(v, 3), _mm_srli_si128(before, 13));
  }
  // Lowest values of the last three bytes that leave a character unfinished, less one.
  static Vector pendingLimits() {
    return _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, '\xEF', '\xDF',
                         '\xBF');
  }
};

}  // namespace

bool isValidUtf8Avx2(std::string_view text) {
  return utf8_vector::validateAvx2(text.data(), text.size());
}

bool isValidUtf8Sse2(std::string_view text) {
  return utf8_vector::validate<Sse2>(text.data(), text.size());
}

bool hasAvx2() {
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return has;
}

bool isValidUtf8(std::string_view text) {
  static const auto validator = hasAvx2() ? isValidUtf8Avx2 : isValidUtf8Sse2;
  return validator(text);
}

}  // namespace zt::platform

#else

namespace zt::platform {

bool isValidUtf8(std::string_view text) {
  return isValidUtf8Scalar(text);
}

}  // namespace zt::platform

#endif
