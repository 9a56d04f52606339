#include "log/log_report.h"

#include <charconv>

#include "platform/clock.h"

namespace zt::log {

namespace {

// A report holds every file of a folder, so it is written straight into one string: no stream,
// no string of its own for each element.
template <typename Number>
void appendNumber(std::string& out, Number value) {
  char digits[24];
  const auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, end);
}

// The listing always carries a 24-character timestamp; a time the local conversion rejects is
// written as the start of the Unix epoch in UTC rather than as a shorter text.
void appendTimestampOf(std::string& out, int64_t unixTime) {
  std::tm local{};
  if (!platform::localTime(unixTime, local)) {
    out += "Thu Jan 01 00:00:00 1970";
    return;
  }
  platform::appendTimestamp(out, local);
}

void openReport(std::string& out, const std::string& title, const std::string& folder) {
  out += "<koralogmanager>\n   <report title=\"";
  out += title;
  out += "\" path=\"";
  out += folder;
  out += "\">\n";
}

void closeReport(std::string& out) {
  out += "   </report>\n</koralogmanager>\n";
}

void appendSection(std::string& out, const char* name, const LogList& entries) {
  out += "        <";
  out += name;
  out += ">\n";
  for (const KORALogEntry& entry : entries) {
    out += "      ";
    appendLogfileElement(out, entry);
    out += '\n';
  }
  out += "        </";
  out += name;
  out += ">\n";
}

}  // namespace

void appendLogfileElement(std::string& out, const KORALogEntry& entry) {
  out += "<logfile id=\"";
  appendNumber(out, entry.id);
  out += "\" name=\"";
  out += entry.path;
  out += "\" size=\"";
  appendNumber(out, entry.sizeLow);
  out += "\" time_t=\"";
  appendNumber(out, entry.time.unixTime);
  out += "\" timestamp=\"";
  appendTimestampOf(out, entry.time.unixTime);
  out += "\" />";
}

std::string policyReport(const std::string& title, const std::string& folder, const LogList& keep,
                         const LogList& remove) {
  // Room for every element up front: a report of a large folder runs to megabytes, which growing
  // by doubling would copy over and over.
  constexpr std::size_t kElementBytes = 128;  // all of an element but its path, generously
  std::size_t bytes = 256 + 2 * title.size() + folder.size();
  for (const LogList* entries : {&keep, &remove}) {
    for (const KORALogEntry& entry : *entries) {
      bytes += kElementBytes + entry.path.size();
    }
  }
  std::string out;
  out.reserve(bytes);
  openReport(out, title, folder);
  appendSection(out, "keep", keep);
  appendSection(out, "delete", remove);
  closeReport(out);
  return out;
}

std::string deletionReport(const std::string& title, const std::string& folder, LogList& results) {
  std::string out;
  openReport(out, title, folder);
  for (KORALogEntry& entry : results) {
    out += "     <file name=\"";
    out += entry.path;
    out += "\" >\n       <code>";
    appendNumber(out, entry.result.code);
    out += "</code>\n       <message><![CDATA[";
    out += entry.result.statusText();
    out += "]]></message>\n     </file>\n";
  }
  closeReport(out);
  return out;
}

std::string statusLine(KORALogEntry& entry) {
  return "deleting: " + entry.path + ", status: " + entry.result.statusText();
}

}  // namespace zt::log
