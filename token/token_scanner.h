// The format-string scanner: cuts a format string such as `Lot %1/Y %05S` into tokens and fields
// and drives a token builder with them. It knows no token rule and counts no position; the
// builder validates each token when the scanner commits it.
#ifndef ZT_TOKEN_TOKEN_SCANNER_H
#define ZT_TOKEN_TOKEN_SCANNER_H

#include <cstddef>
#include <string>

#include "token/token_parser.h"
#include "token/token_parser_ex.h"

namespace zt::token {

// Grammar, as the scanner reads it:
//   %<digits and punctuation, in any mix><letter>  a field token: the digits form the modifier,
//                                                  the punctuation the delimiter (%1/Y, %05S)
//   %% and ##                                      a literal % or # inside message text
//   #                                              a counter with modifier # (the width)
//   a space between tokens                         a blank
//   any other run of characters                    message text
// A space inside text stays text unless another space, a % or a # follows. A % token that the
// string ends before its letter is dropped without an error.
class TokenStringScanner {
 public:
  // Always 0. A null builder reads nothing. Exceptions from the builder pass out unchanged and
  // finish is then not called.
  int scan(TokenParserInterface* builder, const std::string& formatString);
  // The same scan driving the extended builder.
  int scan(TokenParserExInterface* builder, const std::string& formatString);
  // A bare null names neither builder; it reads nothing either.
  int scan(std::nullptr_t, const std::string&) { return 0; }
};

}  // namespace zt::token

#endif  // ZT_TOKEN_TOKEN_SCANNER_H
