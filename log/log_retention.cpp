#include "log/log_retention.h"

#include <algorithm>
#include <optional>
#include <set>
#include <string_view>

#include "log/log_report.h"
#include "platform/clock.h"
#include "platform/files.h"

namespace zt::log {

namespace {

bool isLogName(std::string_view name) {
  static constexpr std::string_view kSuffix = ".log";
  if (name.size() < kSuffix.size()) {
    return false;
  }
  return std::equal(kSuffix.begin(), kSuffix.end(), name.end() - kSuffix.size(),
                    [](char want, char have) {
                      return want == ((have >= 'A' && have <= 'Z') ? have - 'A' + 'a' : have);
                    });
}

void scanBelow(const std::string& folder, std::size_t rootLength, int32_t& nextId,
               LogList& target) {
  for (platform::FolderItem& item : platform::listFolder(folder, isLogName)) {
    if (item.isDirectory) {
      if (item.name.front() != '.') {
        scanBelow(folder + "/" + item.name, rootLength, nextId, target);
      }
      continue;
    }
    KORALogEntry& entry = target.emplace_back();
    entry.id = nextId++;
    entry.path.reserve(folder.size() + 1 + item.name.size());
    entry.path.append(folder).append(1, '/').append(item.name);
    entry.folderLength = rootLength;
    entry.attributes = item.attributes;
    entry.sizeHigh = item.sizeHigh;
    entry.sizeLow = item.sizeLow;
    entry.time = KORALogEntryTime(item.lastWriteTime);
  }
}

// Where deletion of `entry` starts: the scanned folder, or for an entry that knows none the
// file system's root or the current folder.
std::string_view startFolder(const KORALogEntry& entry) {
  if (entry.folderLength != 0) {
    return std::string_view(entry.path).substr(0, entry.folderLength);
  }
  return entry.path.starts_with('/') ? "/" : "";
}

}  // namespace

void scanFolder(const std::string& folder, int32_t& nextId, LogList& target) {
  scanBelow(folder, folder.size(), nextId, target);
}

int64_t dayStart(int64_t unixTime) {
  std::tm local{};
  if (!platform::localTime(unixTime, local)) {
    return unixTime;
  }
  local.tm_sec = local.tm_min = local.tm_hour = 0;
  return platform::fromLocalTime(local);
}

int64_t periodStart(Period period, int64_t now) {
  std::tm local{};
  if (!platform::localTime(now, local)) {
    return now;
  }
  if (period == Period::thisWeek) {
    local.tm_mday -= local.tm_wday;  // mktime carries a day of 0 or less into the month before
  } else if (period == Period::thisMonth) {
    local.tm_mday = 1;
  }
  local.tm_sec = local.tm_min = local.tm_hour = 0;
  return platform::fromLocalTime(local);
}

void keepLatest(LogList& keep, LogList& remove) {
  if (remove.empty()) {
    return;
  }
  remove.sort([](const KORALogEntry& a, const KORALogEntry& b) {
    return a.time.unixTime > b.time.unixTime;
  });
  const int64_t latest = remove.front().time.unixTime;
  auto end = remove.begin();
  while (end != remove.end() && end->time.unixTime == latest) {
    ++end;
  }
  keep.splice(keep.end(), remove, remove.begin(), end);
}

void keepSince(int64_t start, LogList& keep, LogList& remove) {
  for (auto it = remove.begin(); it != remove.end();) {
    const auto next = std::next(it);
    if (dayStart(it->time.unixTime) >= start) {
      keep.splice(keep.end(), remove, it);
    }
    it = next;
  }
}

void removeByThreshold(int32_t megabytes, int32_t order, LogList& keep, LogList& remove) {
  if (keep.empty()) {
    return;
  }
  if (order == 0) {
    keep.sort([](const KORALogEntry& a, const KORALogEntry& b) {
      return a.time.unixTime > b.time.unixTime;
    });
  } else if (order == 1) {
    keep.sort([](const KORALogEntry& a, const KORALogEntry& b) { return a.sizeLow > b.sizeLow; });
  }
  // 64-bit, so that limits above 2047 MB and folders of 2 GiB or more compare as intended.
  int64_t total = 0;
  for (const KORALogEntry& entry : keep) {
    total += entry.sizeLow;
  }
  size_t count = keep.size();
  const int64_t limit = static_cast<int64_t>(megabytes) * (int64_t{1} << 20);
  std::set<int32_t> chosen;
  for (auto it = keep.rbegin(); it != keep.rend() && total > limit && count >= 2; ++it) {
    --count;
    total -= it->sizeLow;
    chosen.insert(it->id);
    remove.push_back(*it);
  }
  // By id, as a keep list left by earlier calls may hold the same file more than once.
  keep.remove_if([&](const KORALogEntry& entry) { return chosen.count(entry.id) != 0; });
}

void deleteFiles(const LogList& remove, LogList& results, const ConfirmCallable& confirm,
                 const StatusCallable& status) {
  results.clear();
  // Entries normally share one scanned folder, opened once; lists kept from earlier calls on
  // other folders reopen it as they change.
  std::optional<platform::FolderHandle> folder;
  std::string folderName;
  auto removeFile = [&](const KORALogEntry& entry) {
    const std::string_view start = startFolder(entry);
    if (!folder || folderName != start) {
      folderName = start;
      folder.emplace(folderName);
    }
    return static_cast<uint32_t>(
        folder->removeFile(std::string_view(entry.path).substr(start.size())));
  };
  for (const KORALogEntry& original : remove) {
    KORALogEntry entry = original;
    const bool refused = confirm && !confirm(entry.path);
    entry.result.done = true;
    entry.result.code = refused ? platform::kCancelledError : removeFile(entry);
    entry.result.message.clear();
    KORALogEntry& recorded = results.emplace_back(std::move(entry));
    if (status) {
      status(statusLine(recorded));
    }
  }
}

}  // namespace zt::log
