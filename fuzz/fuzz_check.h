// What every fuzz target shares: a check that aborts with a message, so that libFuzzer records
// the input that broke an invariant as a crash.
#ifndef ZT_FUZZ_FUZZ_CHECK_H
#define ZT_FUZZ_FUZZ_CHECK_H

#include <cstdio>
#include <cstdlib>

#define ZT_FUZZ_CHECK(condition)                                                             \
  do {                                                                                       \
    if (!(condition)) {                                                                      \
      std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                          \
    }                                                                                        \
  } while (false)

#endif  // ZT_FUZZ_FUZZ_CHECK_H
