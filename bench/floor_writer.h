// The floor of the writer pair: the same document as the writer pair's, byte for byte (layout,
// escaping, attribute order), appended to a std::string with nothing else done. No writer can
// write it with less work.
#ifndef ZT_BENCH_FLOOR_WRITER_H
#define ZT_BENCH_FLOOR_WRITER_H

#include <string>

namespace zt::bench {

std::string floorDocument(int elements);

// The same document again, with the one piece of work every writer behind the attribute-set
// interface must do: each element's two pairs go through the hash map a set keeps them in (the
// number formatted into it) and are written in that map's own order. Done the cheapest way the
// map allows, the values given to the pairs already in it, so that its cost over floorDocument
// is a lower bound for the writer's.
std::string mapFloorDocument(int elements);

}  // namespace zt::bench

#endif  // ZT_BENCH_FLOOR_WRITER_H
