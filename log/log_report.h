// The XML texts that the policies and the deletion run leave, and the per-file status line.
// Nothing is escaped: paths and titles go into attribute values as they are.
#ifndef ZT_LOG_LOG_REPORT_H
#define ZT_LOG_LOG_REPORT_H

#include <string>

#include "log/log_entry.h"

namespace zt::log {

// Appends `<logfile id="…" name="…" size="…" time_t="…" timestamp="…" />`, without line end.
void appendLogfileElement(std::string& out, const KORALogEntry& entry);

std::string policyReport(const std::string& title, const std::string& folder, const LogList& keep,
                         const LogList& remove);

// Fetches (and caches) the status text of every result.
std::string deletionReport(const std::string& title, const std::string& folder, LogList& results);

// "deleting: <path>, status: <status text>", caching the status text in the entry.
std::string statusLine(KORALogEntry& entry);

}  // namespace zt::log

#endif  // ZT_LOG_LOG_REPORT_H
