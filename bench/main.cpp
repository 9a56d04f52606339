// The benchmark program.
//
//   zt_bench --compare [REGEX] [ROUNDS]   alternating rounds of every pair whose name matches
//   zt_bench --measure NAME/SIDE          one repetition of one side, inside zt_bench_measured
//                                         (for callgrind's --toggle-collect), after a first one
//   zt_bench [benchmark options]          each side as a Google Benchmark "<pair>/<side>", for
//                                         profiling one side
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <regex>
#include <string>

#include "pairs.h"
#include "rounds.h"

// Runs one repetition; callgrind collects only inside this function.
extern "C" [[gnu::noinline]] void zt_bench_measured(const std::function<void()>* side) {
  (*side)();
}

namespace {

int measureOne(const std::string& which) {
  for (const zt::bench::Pair& pair : zt::bench::pairs()) {
    const std::function<void()>* run = which == pair.name + "/ours"   ? &pair.ours
                                       : which == pair.name + "/base" ? &pair.base
                                                                      : nullptr;
    if (run != nullptr && *run) {
      (*run)();
      zt_bench_measured(run);
      return 0;
    }
  }
  std::fprintf(stderr, "no benchmark side '%s'\n", which.c_str());
  return 2;
}

int compareAll(int argc, char** argv) {
  const std::regex filter(argc > 2 ? argv[2] : ".");
  const int rounds = argc > 3 ? std::atoi(argv[3]) : 21;
  std::vector<zt::bench::Pair> selected;
  for (zt::bench::Pair& pair : zt::bench::pairs()) {
    if (std::regex_search(pair.name, filter)) {
      selected.push_back(std::move(pair));
    }
  }
  return zt::bench::compare(selected, rounds < 3 ? 3 : rounds) ? 0 : 1;
}

}  // namespace

namespace {

int run(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--compare") == 0) {
    return compareAll(argc, argv);
  }
  if (argc == 3 && std::strcmp(argv[1], "--measure") == 0) {
    return measureOne(argv[2]);
  }
  for (const zt::bench::Pair& pair : zt::bench::pairs()) {
    const auto add = [](const std::string& name, const std::function<void()>& run,
                        const std::function<void()>& release) {
      benchmark::RegisterBenchmark(name.c_str(),
                                   [run, release](benchmark::State& state) {
                                     for (auto _ : state) {
                                       run();
                                       if (release) {
                                         state.PauseTiming();
                                         release();
                                         state.ResumeTiming();
                                       }
                                     }
                                   })
          ->UseRealTime()
          ->Unit(benchmark::kMillisecond);
    };
    add(pair.name + "/ours", pair.ours, pair.release);
    if (pair.base) {
      add(pair.name + "/base", pair.base, {});
    }
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

}  // namespace

// A failure to make an input or a side that finds its work undone ends the program with a message.
int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "zt_bench: %s\n", error.what());
    return 1;
  }
}
