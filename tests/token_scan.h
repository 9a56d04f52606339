// A format string scanned by a builder of either family: its tokens written as
// kind(modifier,delimiter,text), or the refusal it raised.
#ifndef ZT_TESTS_TOKEN_SCAN_H
#define ZT_TESTS_TOKEN_SCAN_H

#include <functional>
#include <ostream>
#include <string>
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

template <class Parser = TokenParser>
Rejection scanRejection(const std::string& format) {
  Parser parser;
  return rejection([&] { TokenStringScanner().scan(&parser, format); });
}

}  // namespace zt::token

#endif  // ZT_TESTS_TOKEN_SCAN_H
