// The folder scan, the retention policies and the deletion run over the manager's three lists.
#ifndef ZT_LOG_LOG_RETENTION_H
#define ZT_LOG_LOG_RETENTION_H

#include <cstdint>
#include <functional>
#include <string>

#include "log/log_entry.h"

namespace zt::log {

using ConfirmCallable = std::function<bool(const std::string&)>;
using StatusCallable = std::function<void(const std::string&)>;

// Appends an entry for every file below `folder` whose name ends in ".log" (any case), numbering
// them from `nextId` in the order they are appended. Subfolders are scanned where the listing
// meets them, dot-named ones skipped; symbolic links are never followed. Paths are the folder as
// given, "/", and the name as listed.
void scanFolder(const std::string& folder, int32_t& nextId, LogList& target);

// Local midnight at the start of the day of `unixTime`.
int64_t dayStart(int64_t unixTime);

enum class Period { today, thisWeek, thisMonth };

// Local midnight at the start of the period that contains `now`; weeks start on Sunday.
int64_t periodStart(Period period, int64_t now);

// Moves the entries with the newest second from `remove` to the end of `keep`; `remove` is left
// sorted newest first.
void keepLatest(LogList& keep, LogList& remove);

// Moves every entry dated on or after the day of `start` from `remove` to the end of `keep`.
void keepSince(int64_t start, LogList& keep, LogList& remove);

// Sorts `keep` (order 0 newest first, 1 largest first, else as scanned) and moves entries from
// its end to the end of `remove` while the kept sizes add up to more than `megabytes` and more
// than one file is kept.
void removeByThreshold(int32_t megabytes, int32_t order, LogList& keep, LogList& remove);

// Deletes every file of `remove` that `confirm` (if set) allows, walking down from the folder it
// was scanned in without following links, recording each result in a copy
// appended to `results` (emptied first) and reporting it to `status` (if set).
void deleteFiles(const LogList& remove, LogList& results, const ConfirmCallable& confirm,
                 const StatusCallable& status);

}  // namespace zt::log

#endif  // ZT_LOG_LOG_RETENTION_H
