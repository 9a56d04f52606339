#include "platform/clock.h"

#include <array>
#include <cstdio>
#include <cstring>
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

void appendTimestamp(std::string& out, const std::tm& local) {
  static constexpr std::array<const char*, 7> kDays = {"Sun", "Mon", "Tue", "Wed",
                                                       "Thu", "Fri", "Sat"};
  static constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const auto pick = [](const auto& names, int index) {
    return (index >= 0 && static_cast<size_t>(index) < names.size()) ? names[index] : "???";
  };
  const auto twoDigits = [](int value) { return value >= 0 && value <= 99; };
  const int year = local.tm_year + 1900;
  // A listing writes one of these for every file: the usual fields are put together directly,
  // anything out of the ordinary goes through the formatting the text is defined by.
  if (local.tm_wday >= 0 && local.tm_wday < 7 && local.tm_mon >= 0 && local.tm_mon < 12 &&
      twoDigits(local.tm_mday) && twoDigits(local.tm_hour) && twoDigits(local.tm_min) &&
      twoDigits(local.tm_sec) && year >= 1000 && year <= 9999) {
    char text[24];
    const auto put2 = [&text](int at, int value) {
      text[at] = static_cast<char>('0' + value / 10);
      text[at + 1] = static_cast<char>('0' + value % 10);
    };
    std::memcpy(text, kDays[local.tm_wday], 3);
    text[3] = ' ';
    std::memcpy(text + 4, kMonths[local.tm_mon], 3);
    text[7] = ' ';
    put2(8, local.tm_mday);
    text[10] = ' ';
    put2(11, local.tm_hour);
    text[13] = ':';
    put2(14, local.tm_min);
    text[16] = ':';
    put2(17, local.tm_sec);
    text[19] = ' ';
    put2(20, year / 100);
    put2(22, year % 100);
    out.append(text, sizeof text);
    return;
  }
  std::array<char, 64> text{};
  const int length =
      std::snprintf(text.data(), text.size(), "%s %s %02d %02d:%02d:%02d %d",
                    pick(kDays, local.tm_wday), pick(kMonths, local.tm_mon), local.tm_mday,
                    local.tm_hour, local.tm_min, local.tm_sec, local.tm_year + 1900);
  out.append(text.data(), static_cast<size_t>(length > 0 ? length : 0));
}

}  // namespace zt::platform
