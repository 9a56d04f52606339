// The floor of the writer pair: the same document as the writer pair's, byte for byte (layout,
// escaping, attribute order), appended to a std::string with nothing else done. No writer can
// write it with less work.
#ifndef ZT_BENCH_FLOOR_WRITER_H
#define ZT_BENCH_FLOOR_WRITER_H

#include <string>

namespace zt::bench {

std::string floorDocument(int elements);

}  // namespace zt::bench

#endif  // ZT_BENCH_FLOOR_WRITER_H
