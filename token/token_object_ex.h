// One token of the extended token parser: the classic token's four fields plus the verdict of
// the caller's formatter.
#ifndef ZT_TOKEN_TOKEN_OBJECT_EX_H
#define ZT_TOKEN_TOKEN_OBJECT_EX_H

#include "token/token_object.h"

namespace zt::token {

// Kinds by the first character of `specifier`: the classic Y, T, S, M, N and _, plus A to F
// (image-address fields) and L (level). `clear` empties the four fields; the verdict stays.
struct TokenObjectEx : TokenObject {
  // Whether the formatter can render the token. True when made; a committed copy keeps it. The
  // public processTokens stamps the formatter's verdict on committed, shared tokens, so it is the
  // one field that may change after commit.
  mutable bool accepted = true;
};

}  // namespace zt::token

#endif  // ZT_TOKEN_TOKEN_OBJECT_EX_H
