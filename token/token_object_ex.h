// One token of the extended token parser: the classic token's four fields plus the verdict of
// the caller's formatter.
#ifndef ZT_TOKEN_TOKEN_OBJECT_EX_H
#define ZT_TOKEN_TOKEN_OBJECT_EX_H

#include <string>

namespace zt::token {

// Kinds by the first character of `specifier`: the classic Y, T, S, M, N and _, plus A to F
// (image-address fields) and L (level).
struct TokenObjectEx {
  // Whether the formatter can render the token. True when made; a committed copy keeps it. The
  // public processTokens stamps the formatter's verdict on committed, shared tokens, so it is the
  // one field that may change after commit.
  mutable bool accepted = true;
  std::string specifier;
  std::string modifier;
  std::string delimiter;
  std::string text;

  // Empties the four fields; the verdict stays.
  void clear() {
    specifier.clear();
    modifier.clear();
    delimiter.clear();
    text.clear();
  }
};

}  // namespace zt::token

#endif  // ZT_TOKEN_TOKEN_OBJECT_EX_H
