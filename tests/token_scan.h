// A format string scanned by a builder of either family: its tokens written as
// kind(modifier,delimiter,text), or the refusal it raised; and a formatter for both families.
#ifndef ZT_TESTS_TOKEN_SCAN_H
#define ZT_TESTS_TOKEN_SCAN_H

#include <functional>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "token/token_parser.h"
#include "token/token_parser_ex.h"
#include "token/token_scanner.h"
#include "zttools.h"

namespace zt::token {

using Tokens = std::vector<std::string>;

template <class Parser = TokenParser>
Tokens scanTokens(const std::string& format) {
  Parser parser;
  TokenStringScanner().scan(&parser, format);
  Tokens out;
  for (const auto& t : parser.tokens()) {
    out.push_back(t->specifier + "(" + t->modifier + "," + t->delimiter + "," + t->text + ")");
  }
  return out;
}

struct Rejection {
  int code;
  int position;
  bool operator==(const Rejection&) const = default;
  friend std::ostream& operator<<(std::ostream& out, const Rejection& r) {
    return out << "error " << r.code << " at " << r.position;
  }
};

// What `run` raises, or {0, -1}.
inline Rejection rejection(const std::function<void()>& run) {
  try {
    run();
  } catch (const kora_token_parser_exception& e) {
    return {e.code, e.position};
  }
  return {0, -1};
}

// `arguments` go to the builder's constructor (the extended builder takes a formatter).
template <class Parser = TokenParser, class... Arguments>
Rejection scanRejection(const std::string& format, Arguments... arguments) {
  Parser parser(arguments...);
  return rejection([&] { TokenStringScanner().scan(&parser, format); });
}

// A formatter of either family. It records every acceptToken call as "s,m,d" (an empty field
// written as '0'), runs `whenAsked` and refuses the kinds in `refused`. It writes each token as
// [specifier|modifier|delimiter|text] followed by `after`, then throws if `throws` is set.
class Formatter final : public KORATokenFormatterInterface, public KORATokenFormatterExInterface {
 public:
  explicit Formatter(std::string refusedKinds = "") : refused(std::move(refusedKinds)) {}
  bool acceptToken(char specifier, char modifier, char delimiter) override {
    auto shown = [](char c) { return c == '\0' ? '0' : c; };
    asked.push_back({shown(specifier), ',', shown(modifier), ',', shown(delimiter)});
    if (whenAsked) {
      whenAsked();
    }
    return refused.find(specifier) == std::string::npos;
  }
  int formatToken(const std::string& specifier, const std::string& modifier,
                  const std::string& delimiter, const std::string& text,
                  std::stringstream& out) override {
    out << '[' << specifier << '|' << modifier << '|' << delimiter << '|' << text << ']' << after;
    if (throws) {
      throw std::runtime_error("formatter");
    }
    return 0;
  }

  std::string refused;
  std::string after;
  bool throws = false;
  std::function<void()> whenAsked;
  Tokens asked;
};

}  // namespace zt::token

#endif  // ZT_TESTS_TOKEN_SCAN_H
