#include "log/log_report.h"

#include <sstream>

#include "platform/clock.h"

namespace zt::log {

namespace {

// The listing always carries a 24-character timestamp; a time the local conversion rejects is
// written as the start of the Unix epoch in UTC rather than as a shorter text.
std::string timestampOf(int64_t unixTime) {
  std::tm local{};
  if (!platform::localTime(unixTime, local)) {
    return "Thu Jan 01 00:00:00 1970";
  }
  return platform::timestampText(local);
}

void openReport(std::ostringstream& out, const std::string& title, const std::string& folder) {
  out << "<koralogmanager>\n"
      << "   <report title=\"" << title << "\" path=\"" << folder << "\">\n";
}

void closeReport(std::ostringstream& out) {
  out << "   </report>\n"
      << "</koralogmanager>\n";
}

void writeSection(std::ostringstream& out, const char* name, const LogList& entries) {
  out << "        <" << name << ">\n";
  for (const KORALogEntry& entry : entries) {
    out << "      " << logfileElement(entry) << '\n';
  }
  out << "        </" << name << ">\n";
}

}  // namespace

std::string logfileElement(const KORALogEntry& entry) {
  std::ostringstream out;
  out << "<logfile id=\"" << entry.id << "\" name=\"" << entry.path << "\" size=\"" << entry.sizeLow
      << "\" time_t=\"" << entry.time.unixTime << "\" timestamp=\""
      << timestampOf(entry.time.unixTime) << "\" />";
  return out.str();
}

std::string policyReport(const std::string& title, const std::string& folder, const LogList& keep,
                         const LogList& remove) {
  std::ostringstream out;
  openReport(out, title, folder);
  writeSection(out, "keep", keep);
  writeSection(out, "delete", remove);
  closeReport(out);
  return out.str();
}

std::string deletionReport(const std::string& title, const std::string& folder, LogList& results) {
  std::ostringstream out;
  openReport(out, title, folder);
  for (KORALogEntry& entry : results) {
    out << "     <file name=\"" << entry.path << "\" >\n"
        << "       <code>" << entry.result.code << "</code>\n"
        << "       <message><![CDATA[" << entry.result.statusText() << "]]></message>\n"
        << "     </file>\n";
  }
  closeReport(out);
  return out.str();
}

std::string statusLine(KORALogEntry& entry) {
  return "deleting: " + entry.path + ", status: " + entry.result.statusText();
}

}  // namespace zt::log
