// The command's built-in reference formatter: renders tokens from a pinned or local clock and a
// counter value, by fixed rules that --help and docs/CLI.md state.
#ifndef ZTTOOLS_CLI_REFERENCE_FORMATTER_H
#define ZTTOOLS_CLI_REFERENCE_FORMATTER_H

#include <zttools.h>

#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>

namespace zt::cli {

struct Clock {
  int year = 1970;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int dayOfYear = 1;  // 1 to 366
};

// "YYYY-MM-DDTHH:MM:SS" naming a real date and time, or nothing.
std::optional<Clock> parseClock(std::string_view text);
Clock localClock();

struct RenderInputs {
  Clock clock;
  uint64_t counter = 1;
};

// Writes one token by the rules of kReferenceRules.
void renderToken(const RenderInputs& inputs, std::string_view specifier, std::string_view modifier,
                 std::string_view delimiter, std::string_view text, std::ostream& out);

// The rules, as --help of the format commands prints them.
extern const std::string_view kReferenceRules;

// Serves both parsers: one formatToken overrides the operation of both formatter interfaces.
// The extended parser's formatter refuses every kind letter in `refused`.
class ReferenceFormatter final : public KORATokenFormatterInterface,
                                 public KORATokenFormatterExInterface {
 public:
  explicit ReferenceFormatter(const RenderInputs& inputs, std::string refused = "")
      : inputs_(inputs), refused_(std::move(refused)) {}
  bool acceptToken(char specifier, char modifier, char delimiter) override;
  int formatToken(const std::string& specifier, const std::string& modifier,
                  const std::string& delimiter, const std::string& text,
                  std::stringstream& out) override;

 private:
  RenderInputs inputs_;
  std::string refused_;
};

}  // namespace zt::cli

#endif  // ZTTOOLS_CLI_REFERENCE_FORMATTER_H
