// Pins the clock for the tests, so that periods like "this week" have a known start. Not part
// of the platform interface that the subsystems use.
#ifndef ZT_PLATFORM_CLOCK_SEAM_H
#define ZT_PLATFORM_CLOCK_SEAM_H

#include <cstdint>

namespace zt::platform::testing {

// Makes fileTimeNow() return `fileTime` on the calling thread until unpinNow().
void pinNow(uint64_t fileTime);
void unpinNow();

}  // namespace zt::platform::testing

#endif  // ZT_PLATFORM_CLOCK_SEAM_H
