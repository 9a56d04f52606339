#include "platform/clock.h"

#include <array>
#include <cstdio>
#include <optional>

#include "platform/clock_seam.h"

namespace zt::platform {

namespace testing {

namespace {
thread_local std::optional<uint64_t> pinnedNow;
}  // namespace

void pinNow(uint64_t fileTime) {
  pinnedNow = fileTime;
}
void unpinNow() {
  pinnedNow.reset();
}

}  // namespace testing

uint64_t fileTimeNow() {
  if (testing::pinnedNow) {
    return *testing::pinnedNow;
  }
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return fileTimeOf(now.tv_sec, now.tv_nsec);
}

uint64_t fileTimeOf(int64_t seconds, int64_t nanoseconds) {
  const int64_t since1601 = seconds + kFileTimeEpochOffset;
  if (since1601 < 0) {
    return 0;
  }
  return static_cast<uint64_t>(since1601) * kFileTimeTicksPerSecond +
         static_cast<uint64_t>(nanoseconds / 100);
}

int64_t unixTimeOf(uint64_t fileTime) {
  return static_cast<int64_t>(fileTime / kFileTimeTicksPerSecond) - kFileTimeEpochOffset;
}

bool localTime(int64_t unixTime, std::tm& out) {
  const auto seconds = static_cast<time_t>(unixTime);
  return ::localtime_r(&seconds, &out) != nullptr;
}

int64_t fromLocalTime(std::tm& local) {
  return static_cast<int64_t>(std::mktime(&local));
}

std::string timestampText(const std::tm& local) {
  static constexpr std::array<const char*, 7> kDays = {"Sun", "Mon", "Tue", "Wed",
                                                       "Thu", "Fri", "Sat"};
  static constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const auto pick = [](const auto& names, int index) {
    return (index >= 0 && static_cast<size_t>(index) < names.size()) ? names[index] : "???";
  };
  std::array<char, 64> text{};
  const int length =
      std::snprintf(text.data(), text.size(), "%s %s %02d %02d:%02d:%02d %d",
                    pick(kDays, local.tm_wday), pick(kMonths, local.tm_mon), local.tm_mday,
                    local.tm_hour, local.tm_min, local.tm_sec, local.tm_year + 1900);
  return {text.data(), static_cast<size_t>(length > 0 ? length : 0)};
}

}  // namespace zt::platform
