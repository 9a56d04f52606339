#include "log/log_entry.h"

#include "platform/clock.h"
#include "platform/files.h"

namespace zt::log {

KORALogEntryTime::KORALogEntryTime() : KORALogEntryTime(platform::fileTimeNow()) {}

KORALogEntryTime::KORALogEntryTime(uint64_t fileTime)
    : fileTimeLow(static_cast<uint32_t>(fileTime)),
      fileTimeHigh(static_cast<uint32_t>(fileTime >> 32)),
      unixTime(platform::unixTimeOf(fileTime)) {}

const std::string& KORALogEntryResult::statusText() {
  if (done && message.empty()) {
    message = platform::errorText(code);
  }
  return message;
}

}  // namespace zt::log
