// The current time as a file time, local broken-down time and its listing text.
#ifndef ZT_PLATFORM_CLOCK_H
#define ZT_PLATFORM_CLOCK_H

#include <cstdint>
#include <ctime>
#include <string>

namespace zt::platform {

// Seconds between 1601-01-01 and 1970-01-01 (UTC), and file-time ticks per second.
inline constexpr int64_t kFileTimeEpochOffset = 11644473600;
inline constexpr uint64_t kFileTimeTicksPerSecond = 10000000;

// The current time as a file time (100-ns intervals since 1601-01-01 UTC).
uint64_t fileTimeNow();

// A POSIX time with nanoseconds as a file time; times before 1601 give 0.
uint64_t fileTimeOf(int64_t seconds, int64_t nanoseconds);

// Seconds since 1970 of a file time, the remainder of a second dropped.
int64_t unixTimeOf(uint64_t fileTime);

// Local broken-down time of a POSIX time under the current TZ; false when it cannot be
// represented.
bool localTime(int64_t unixTime, std::tm& out);

// The POSIX time of a local broken-down time, out-of-range fields carried (mktime).
int64_t fromLocalTime(std::tm& local);

// Appends "Www Mmm DD hh:mm:ss YYYY" to `out`: 24 characters for years 1000 to 9999, the day
// zero-padded.
void appendTimestamp(std::string& out, const std::tm& local);

}  // namespace zt::platform

#endif  // ZT_PLATFORM_CLOCK_H
