// One token of an imprinter template: the kind letter and the three fields it may use.
#ifndef ZT_TOKEN_TOKEN_OBJECT_H
#define ZT_TOKEN_TOKEN_OBJECT_H

#include <string>

namespace zt::token {

// Kinds by the first character of `specifier`: Y date, T time, S counter, M message (fixed
// text), N newline, _ blank. A committed token is never changed again; the token list shares it.
struct TokenObject {
  std::string specifier;  // the kind letter
  std::string modifier;   // date/time modifier digit, counter width or "#"
  std::string delimiter;  // date separators, counter flag
  std::string text;       // message text

  void clear() {
    specifier.clear();
    modifier.clear();
    delimiter.clear();
    text.clear();
  }
};

}  // namespace zt::token

#endif  // ZT_TOKEN_TOKEN_OBJECT_H
