#include "reference_formatter.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <ostream>

namespace zt::cli {

const std::string_view kReferenceRules = R"(Reference formatter rules:
  date  %Y  modifier 1 or none: YYYY-MM-DD   2: DD-MM-YYYY   3: MM-DD-YYYY
            4: YY-MM-DD   5: DD-MM-YY   6: MM-DD-YY   7: YYYY-DDD   8: YY-DDD   9: DDD
            (DDD is the day of the year, 001 to 366). The separator is the first of the
            delimiter's characters that is / . - or _ (_ prints a space); without a
            delimiter the fields are not separated: %Y prints 20240501, %1/Y 2024/05/01.
  time  %T  modifier 1 or none: HH:MM:SS   2: HH:MM   3: HHMMSS   4: HHMM
            5: hh:MM:SS AM   6: hh:MM AM (12-hour clock)   7: HH   8: MM:SS
            9: seconds since midnight, 5 digits.
  counter %S  the value of --counter (default 1). A width of 1 to 9 prints the value's
            lowest digits in exactly that many places, padded with zeros, or with spaces
            when the counter flag is 1 (%15S); # or no width prints the whole value.
  message text as written; blank (a space between tokens) one space; %N a line feed.
  extended only: %A to %F print {A} to {F} (image-address fields are filled at scan
            time); %L prints L and its level digit (L1 when none is given).
Dates and times come from --now YYYY-MM-DDTHH:MM:SS, or from the local clock.
)";

namespace {

std::string digits(long value, int width) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%0*ld", width, value);
  return buffer;
}

char dateSeparator(std::string_view delimiter) {
  for (char c : delimiter) {
    if (c == '/' || c == '.' || c == '-') {
      return c;
    }
    if (c == '_') {
      return ' ';
    }
  }
  return '\0';
}

void renderDate(const Clock& clock, std::string_view modifier, std::string_view delimiter,
                std::ostream& out) {
  const std::string yyyy = digits(clock.year, 4);
  const std::string yy = digits(clock.year % 100, 2);
  const std::string mm = digits(clock.month, 2);
  const std::string dd = digits(clock.day, 2);
  const std::string ddd = digits(clock.dayOfYear, 3);
  const char separator = dateSeparator(delimiter);
  auto join = [&](std::initializer_list<std::string_view> fields) {
    bool first = true;
    for (std::string_view field : fields) {
      if (!first && separator != '\0') {
        out << separator;
      }
      out << field;
      first = false;
    }
  };
  switch (modifier.empty() ? '1' : modifier[0]) {
    case '2':
      return join({dd, mm, yyyy});
    case '3':
      return join({mm, dd, yyyy});
    case '4':
      return join({yy, mm, dd});
    case '5':
      return join({dd, mm, yy});
    case '6':
      return join({mm, dd, yy});
    case '7':
      return join({yyyy, ddd});
    case '8':
      return join({yy, ddd});
    case '9':
      return join({ddd});
    default:
      return join({yyyy, mm, dd});
  }
}

void renderTime(const Clock& clock, std::string_view modifier, std::ostream& out) {
  const std::string hh = digits(clock.hour, 2);
  const std::string mm = digits(clock.minute, 2);
  const std::string ss = digits(clock.second, 2);
  const std::string hh12 = digits(clock.hour % 12 == 0 ? 12 : clock.hour % 12, 2);
  const char* half = clock.hour < 12 ? " AM" : " PM";
  switch (modifier.empty() ? '1' : modifier[0]) {
    case '2':
      out << hh << ':' << mm;
      break;
    case '3':
      out << hh << mm << ss;
      break;
    case '4':
      out << hh << mm;
      break;
    case '5':
      out << hh12 << ':' << mm << ':' << ss << half;
      break;
    case '6':
      out << hh12 << ':' << mm << half;
      break;
    case '7':
      out << hh;
      break;
    case '8':
      out << mm << ':' << ss;
      break;
    case '9':
      out << digits(clock.hour * 3600L + clock.minute * 60L + clock.second, 5);
      break;
    default:
      out << hh << ':' << mm << ':' << ss;
  }
}

void renderCounter(uint64_t value, std::string_view width, std::string_view flag,
                   std::ostream& out) {
  const std::string whole = std::to_string(value);
  if (width.empty() || width == "#") {
    out << whole;
    return;
  }
  // The validator lets only widths 1 to 9 through; a longer value shows its lowest digits, as a
  // numbering wheel of that many places would.
  const auto places = static_cast<std::size_t>(width.back() - '0');
  if (whole.size() >= places) {
    out << whole.substr(whole.size() - places);
  } else {
    out << std::string(places - whole.size(), flag == "1" ? ' ' : '0') << whole;
  }
}

}  // namespace

std::optional<Clock> parseClock(std::string_view text) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  char tail = 0;
  const std::string copy(text);
  if (copy.size() != 19 || copy[4] != '-' || copy[7] != '-' || copy[10] != 'T' || copy[13] != ':' ||
      copy[16] != ':' ||
      std::sscanf(copy.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &year, &month, &day, &hour, &minute,
                  &second, &tail) != 6) {
    return std::nullopt;
  }
  using namespace std::chrono;
  const year_month_day date{std::chrono::year(year), std::chrono::month(month),
                            std::chrono::day(day)};
  if (!date.ok() || hour > 23 || minute > 59 || second > 59 || hour < 0 || minute < 0 ||
      second < 0) {
    return std::nullopt;
  }
  const auto newYear = sys_days(year_month_day{date.year(), January, std::chrono::day(1)});
  const int dayOfYear = static_cast<int>((sys_days(date) - newYear).count()) + 1;
  return Clock{year, month, day, hour, minute, second, dayOfYear};
}

Clock localClock() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return Clock{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,    local.tm_hour,
               local.tm_min,         local.tm_sec,     local.tm_yday + 1};
}

void renderToken(const RenderInputs& inputs, std::string_view specifier, std::string_view modifier,
                 std::string_view delimiter, std::string_view text, std::ostream& out) {
  const char kind = specifier.empty() ? '\0' : specifier[0];
  switch (kind) {
    case 'Y':
      renderDate(inputs.clock, modifier, delimiter, out);
      break;
    case 'T':
      renderTime(inputs.clock, modifier, out);
      break;
    case 'S':
      renderCounter(inputs.counter, modifier, delimiter, out);
      break;
    case 'M':
      out << text;
      break;
    case 'N':
      out << '\n';
      break;
    case '_':
      out << ' ';
      break;
    case 'L':
      out << 'L' << (modifier.empty() ? std::string_view("1") : modifier);
      break;
    default:
      if (kind >= 'A' && kind <= 'F') {
        out << '{' << kind << '}';
      }
  }
}

int ReferenceFormatter::formatToken(const std::string& specifier, const std::string& modifier,
                                    const std::string& delimiter, const std::string& text,
                                    std::stringstream& out) {
  renderToken(inputs_, specifier, modifier, delimiter, text, out);
  return 0;
}

bool ReferenceFormatter::acceptToken(char specifier, char, char) {
  return refused_.find(specifier) == std::string::npos;
}

}  // namespace zt::cli
