// The comparison: both sides of a pair run in alternating rounds, and each round's ratio of
// ours to the baseline is one sample, so that load that comes and goes on the machine touches
// both sides of a round alike. A verdict is given only when the interquartile range of the
// ratio lies wholly on one side of the goal.
#ifndef ZT_BENCH_ROUNDS_H
#define ZT_BENCH_ROUNDS_H

#include <vector>

#include "pairs.h"

namespace zt::bench {

// Runs `rounds` rounds of each pair and prints a line per pair; returns whether no pair failed.
bool compare(const std::vector<Pair>& selected, int rounds);

}  // namespace zt::bench

#endif  // ZT_BENCH_ROUNDS_H
