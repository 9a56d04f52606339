// The classic token builder: the builder interface the format-string scanner drives, and the
// token parser that implements it.
#ifndef ZT_TOKEN_TOKEN_PARSER_H
#define ZT_TOKEN_TOKEN_PARSER_H

#include <cstddef>
#include <string>
#include <vector>

#include "token/token_builder.h"
#include "token/token_object.h"

namespace zt::token {

// Results carry no information and are always 0; validateToken raises
// kora_token_parser_exception.
class TokenParserInterface {
 public:
  virtual ~TokenParserInterface() = default;
  virtual int reset() = 0;
  virtual int finish() = 0;
  virtual int beginToken(char c) = 0;
  virtual int commitToken() = 0;
  virtual int addModifier(char c) = 0;
  virtual int addDelimiter(char c) = 0;
  virtual int addSpecifier(char c) = 0;
  virtual int addText(char c) = 0;
  virtual void validateToken(TokenObject& token) = 0;
  virtual std::size_t normaliseMessages(std::vector<std::string>& list) = 0;
};

// Serves one scan: made empty, reset by the scanner, filled, finished, read, destroyed. After
// finish, messages() holds the normalised message pieces and tokens() the committed tokens.
class TokenParser final : public BasicTokenParser<TokenParserInterface, TokenObject> {
 public:
  TokenParser();

  void validateToken(TokenObject& token) override;
};

// The classic family's position counters of the calling thread.
PositionCounters& classicPositionCounters();

}  // namespace zt::token

#endif  // ZT_TOKEN_TOKEN_PARSER_H
