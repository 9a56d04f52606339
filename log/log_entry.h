// One log file of the inventory: its time, its deletion result and the entry itself.
#ifndef ZT_LOG_LOG_ENTRY_H
#define ZT_LOG_LOG_ENTRY_H

#include <cstddef>
#include <cstdint>
#include <list>
#include <string>

namespace zt::log {

// A point in time as a file time (two 32-bit halves, low first) and the Unix seconds derived
// from it.
class KORALogEntryTime {
 public:
  // The current time.
  KORALogEntryTime();
  explicit KORALogEntryTime(uint64_t fileTime);
  KORALogEntryTime(const KORALogEntryTime&) = default;
  KORALogEntryTime& operator=(const KORALogEntryTime&) = default;
  virtual ~KORALogEntryTime() = default;

  [[nodiscard]] uint64_t fileTime() const {
    return (static_cast<uint64_t>(fileTimeHigh) << 32) | fileTimeLow;
  }

  uint32_t fileTimeLow = 0;
  uint32_t fileTimeHigh = 0;
  int64_t unixTime = 0;
};

// What deleting one file did.
struct KORALogEntryResult {
  bool done = false;
  uint32_t code = 0;
  std::string message;

  // The system's text for code once the file has been processed, fetched at most once.
  const std::string& statusText();
};

class KORALogEntry {
 public:
  KORALogEntry() = default;
  KORALogEntry(const KORALogEntry&) = default;
  KORALogEntry& operator=(const KORALogEntry&) = default;
  virtual ~KORALogEntry() = default;

  int32_t id = 0;
  std::string path;
  // The first folderLength characters of path name the folder that was scanned; deletion walks
  // from there down, never following a link (0: the path is walked from its start).
  std::size_t folderLength = 0;
  uint32_t attributes = 0;
  uint32_t sizeHigh = 0;
  uint32_t sizeLow = 0;  // the only size that policies, sorting and listings use
  KORALogEntryTime time{0};
  KORALogEntryResult result;
};

using LogList = std::list<KORALogEntry>;

}  // namespace zt::log

#endif  // ZT_LOG_LOG_ENTRY_H
