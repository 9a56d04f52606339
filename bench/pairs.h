// The pairs of the benchmark: for each, the library doing a piece of work through its public
// factories as a driver would ("ours") and a baseline doing the same work ("base"): the engine
// underneath called directly, a plain appender, or the same call on a smaller input.
#ifndef ZT_BENCH_PAIRS_H
#define ZT_BENCH_PAIRS_H

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace zt::bench {

struct Pair {
  Pair(std::string name, std::string what, double goal, std::function<void()> ours,
       std::function<void()> base = {}, std::function<void()> release = {})
      : name(std::move(name)),
        what(std::move(what)),
        goal(goal),
        ours(std::move(ours)),
        base(std::move(base)),
        release(std::move(release)) {}

  std::string name;  // short name: the benchmark names are "<name>/ours" and "<name>/base"
  std::string what;
  // The goal for ours / base in CPU time; for a pair without a baseline, a limit on ours in
  // milliseconds.
  double goal;
  // One repetition of each side. Inputs are made on a side's first call, so each side is called
  // once before anything is measured.
  std::function<void()> ours;
  std::function<void()> base;
  // Run after each batch of repetitions of ours, outside the measurement: releases what ours
  // made when releasing it is not part of the work measured.
  std::function<void()> release;
};

std::vector<Pair> pairs();

}  // namespace zt::bench

#endif  // ZT_BENCH_PAIRS_H
