#include "token/token_parser_ex.h"

#include "zttools.h"

namespace zt::token {
namespace {

// Codes of the extended rules. The error table has no text for them, so what() gives the
// fallback message.
constexpr int kNotFormattable = 21;  // an image-address field or level with a delimiter
constexpr int kRefused = 27;         // refused by the formatter, or a field with a modifier
constexpr int kBadLevel = 9;         // shares the counter-width code
constexpr int kUnknown = 26;
constexpr uint64_t kMaxLevel = 3;

bool isImageAddressField(char kind) {
  return kind >= 'A' && kind <= 'F';
}

}  // namespace

PositionCounters& extendedPositionCounters() {
  thread_local PositionCounters counters;
  return counters;
}

TokenParserEx::TokenParserEx(KORATokenFormatterExInterface* formatter)
    : BasicTokenParser(extendedPositionCounters()), formatter_(formatter) {}

void TokenParserEx::validateToken(TokenObjectEx& token) {
  const PositionCounters& at = counters();
  const char kind = token.specifier.empty() ? '\0' : token.specifier[0];
  // The formatter is asked before the letter is checked, so a formatter that refuses an unknown
  // letter turns error 26 into 27.
  if (formatter_ != nullptr && !formatter_->acceptToken(kind, 'z', 'z')) {
    raiseTokenError(kRefused, at.specifierPosition);
  }
  if (isImageAddressField(kind)) {
    if (!token.delimiter.empty()) {
      raiseTokenError(kNotFormattable, at.delimiterPosition);
    }
    if (!token.modifier.empty()) {
      raiseTokenError(kRefused, at.modifierPosition);
    }
    return;
  }
  if (kind == 'L') {
    if (!token.delimiter.empty()) {
      raiseTokenError(kNotFormattable, at.delimiterPosition);
    }
    if (!token.modifier.empty() &&
        (!isAllDigits(token.modifier) || decimalValue(token.modifier) == 0 ||
         decimalValue(token.modifier) > kMaxLevel)) {
      raiseTokenError(kBadLevel, at.modifierPosition);
    }
    return;
  }
  // The classic kinds keep their rules; every other letter of A to _ (G to K, O to R, U to X, Z,
  // [, \, ], ^) and everything outside that range is unknown.
  if (!validateClassicKind(token)) {
    raiseTokenError(kUnknown, at.specifierPosition);
  }
}

}  // namespace zt::token
