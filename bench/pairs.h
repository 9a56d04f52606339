// The pairs of the benchmark: for each, the library doing a piece of work through its public
// factories as a driver would ("ours") and a baseline doing the same work ("base"): the engine
// underneath called directly, a plain appender, or the same call on a smaller input.
#ifndef ZT_BENCH_PAIRS_H
#define ZT_BENCH_PAIRS_H

#include <functional>
#include <string>
#include <vector>

namespace zt::bench {

struct Pair {
  std::string name;  // short name: the benchmark names are "<name>/ours" and "<name>/base"
  std::string what;
  // The goal for ours / base; for a pair without a baseline, a limit on ours in milliseconds.
  double goal = 1.0;
  // The goal for the ratio of instructions where it differs from the goal in time.
  double instructionGoal = 0.0;
  // One repetition of each side. Inputs are made on a side's first call, so each side is called
  // once before anything is measured.
  std::function<void()> ours;
  std::function<void()> base;
};

std::vector<Pair> pairs();

}  // namespace zt::bench

#endif  // ZT_BENCH_PAIRS_H
