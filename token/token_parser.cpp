#include "token/token_parser.h"

namespace zt::token {

PositionCounters& classicPositionCounters() {
  thread_local PositionCounters counters;
  return counters;
}

TokenParser::TokenParser() : BasicTokenParser(classicPositionCounters()) {}

void TokenParser::validateToken(TokenObject& token) {
  // Every kind outside the six classic letters, lower case included, is unknown.
  if (!validateClassicKind(token)) {
    raiseTokenError(26, counters().specifierPosition);
  }
}

}  // namespace zt::token
