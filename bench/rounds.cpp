#include "rounds.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <string>

namespace zt::bench {

namespace {

// A round of one side lasts at least this long: short operations are repeated within it.
constexpr double kRoundSeconds = 0.02;

struct Times {
  double wall = 0;  // seconds
  double cpu = 0;   // seconds of this thread, and of the children it waited for (find)
};

double seconds(const timespec& t) {
  return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}
double seconds(const timeval& t) {
  return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6;
}

Times now() {
  timespec thread{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &thread);
  rusage children{};
  getrusage(RUSAGE_CHILDREN, &children);
  const auto wall = std::chrono::steady_clock::now().time_since_epoch();
  return {std::chrono::duration<double>(wall).count(),
          seconds(thread) + seconds(children.ru_utime) + seconds(children.ru_stime)};
}

// One repetition's times, over `repetitions` of them; `release` runs after them, unmeasured.
Times measure(const std::function<void()>& side, int repetitions,
              const std::function<void()>& release = {}) {
  const Times start = now();
  for (int i = 0; i < repetitions; ++i) {
    side();
  }
  const Times end = now();
  if (release) {
    release();
  }
  return {(end.wall - start.wall) / repetitions, (end.cpu - start.cpu) / repetitions};
}

struct Spread {
  double median = 0;
  double low = 0;   // first quartile
  double high = 0;  // third quartile
};

Spread spread(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  const auto at = [&](double fraction) {
    const double position = fraction * static_cast<double>(samples.size() - 1);
    const auto below = static_cast<std::size_t>(position);
    const std::size_t above = std::min(below + 1, samples.size() - 1);
    return samples[below] + (samples[above] - samples[below]) * (position - below);
  };
  return {at(0.5), at(0.25), at(0.75)};
}

std::string text(const Spread& s, const char* format) {
  char line[96];
  std::snprintf(line, sizeof line, format, s.median, s.low, s.high);
  return line;
}

// PASS when the whole range is at or under the goal, FAIL when it is wholly over it.
const char* verdict(const Spread& s, double goal) {
  return s.high <= goal ? "PASS" : s.low > goal ? "FAIL" : "inconclusive (noisy)";
}

}  // namespace

bool compare(const std::vector<Pair>& selected, int rounds) {
  std::printf(
      "%d rounds per pair, sides alternating; ms: CPU time of one repetition, median "
      "(interquartile range);\nratio: ours / base in each round, median (interquartile "
      "range); the verdict is on the CPU ratio.\n\n",
      rounds);
  std::printf("%-13s %-27s %-27s %-20s %-20s %6s  %s\n", "pair", "ours ms", "base ms", "CPU ratio",
              "wall ratio", "goal", "verdict");
  bool passed = true;
  for (const Pair& pair : selected) {
    const bool limit = !pair.base;
    // The first call makes the inputs and warms the caches; the second sets the repetitions.
    pair.ours();
    if (pair.release) {
      pair.release();
    }
    Times one = measure(pair.ours, 1, pair.release);
    if (!limit) {
      pair.base();
      const Times base = measure(pair.base, 1);
      one.wall = std::max(one.wall, base.wall);
    }
    const int repetitions = std::max(1, static_cast<int>(std::ceil(kRoundSeconds / one.wall)));
    std::vector<double> ours;
    std::vector<double> base;
    std::vector<double> cpuRatio;
    std::vector<double> wallRatio;
    for (int round = 0; round < rounds; ++round) {
      Times o;
      Times b;
      if (limit) {
        o = measure(pair.ours, repetitions, pair.release);
      } else if (round % 2 == 0) {
        o = measure(pair.ours, repetitions, pair.release);
        b = measure(pair.base, repetitions);
      } else {
        b = measure(pair.base, repetitions);
        o = measure(pair.ours, repetitions, pair.release);
      }
      ours.push_back(o.cpu * 1e3);
      base.push_back(b.cpu * 1e3);
      if (!limit) {
        cpuRatio.push_back(o.cpu / b.cpu);
        wallRatio.push_back(o.wall / b.wall);
      }
    }
    const Spread oursSpread = spread(ours);
    const char* result = nullptr;
    if (limit) {
      result = verdict(oursSpread, pair.goal);
      std::printf("%-13s %-27s %-27s %-20s %-20s %4.0fms  %s\n", pair.name.c_str(),
                  text(oursSpread, "%.4g (%.4g-%.4g)").c_str(), "-", "-", "-", pair.goal, result);
    } else {
      const Spread cpu = spread(cpuRatio);
      result = verdict(cpu, pair.goal);
      std::printf("%-13s %-27s %-27s %-20s %-20s %6.2f  %s\n", pair.name.c_str(),
                  text(oursSpread, "%.4g (%.4g-%.4g)").c_str(),
                  text(spread(base), "%.4g (%.4g-%.4g)").c_str(),
                  text(cpu, "%.3f (%.3f-%.3f)").c_str(),
                  text(spread(wallRatio), "%.3f (%.3f-%.3f)").c_str(), pair.goal, result);
    }
    std::fflush(stdout);
    passed = passed && std::string(result) != "FAIL";
  }
  std::printf("\n");
  for (const Pair& pair : selected) {
    std::printf("  %-13s %s\n", pair.name.c_str(), pair.what.c_str());
  }
  return passed;
}

}  // namespace zt::bench
