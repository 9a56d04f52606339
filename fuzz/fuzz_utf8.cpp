// The vectorised UTF-8 check and the piecewise repair against their byte-by-byte references,
// and the check against the fuzz targets' own UTF-8 test. The input's first byte shifts the text
// behind up to 127 ASCII bytes, so that every byte meets every position of a vector block and of
// a 64-byte group; its second byte asks for the text to be repeated past a few repair pieces
// (about 9 KB), so that pieces are cut inside characters and bad bytes sit on their edges.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "platform/utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  zt::fuzz::InputReader input(data, size);
  const uint8_t shift = input.byte();
  const uint8_t repeat = input.byte();
  const std::string rest = input.rest();
  std::string text(shift & 0x7F, 'a');
  text += rest;
  if ((repeat & 1) != 0 && !rest.empty()) {
    while (text.size() < 9000) {
      text += rest;
    }
  }

  const bool valid = zt::platform::isValidUtf8Scalar(text);
  ZT_FUZZ_CHECK(valid == zt::fuzz::isUtf8(text));
  ZT_FUZZ_CHECK(zt::platform::isValidUtf8(text) == valid);
#if defined(__x86_64__)
  ZT_FUZZ_CHECK(zt::platform::isValidUtf8Sse2(text) == valid);
  if (zt::platform::hasAvx2()) {
    ZT_FUZZ_CHECK(zt::platform::isValidUtf8Avx2(text) == valid);
  }
#endif

  std::string repaired;
  std::string reference;
  zt::platform::appendRepairedUtf8(repaired, text);
  zt::platform::appendRepairedUtf8Scalar(reference, text);
  ZT_FUZZ_CHECK(repaired == reference);
  ZT_FUZZ_CHECK(valid == (repaired == text));
  ZT_FUZZ_CHECK(zt::platform::isValidUtf8(repaired));
  return 0;
}
