// The extended token builder: the classic builder with image-address field tokens (A to F), a
// level token (L) and a caller's formatter that may refuse token kinds.
#ifndef ZT_TOKEN_TOKEN_PARSER_EX_H
#define ZT_TOKEN_TOKEN_PARSER_EX_H

#include <cstddef>
#include <string>
#include <vector>

#include "token/token_builder.h"
#include "token/token_object_ex.h"

class KORATokenFormatterExInterface;

namespace zt::token {

// The same operations, in the same order, as TokenParserInterface, on extended tokens.
class TokenParserExInterface {
 public:
  virtual ~TokenParserExInterface() = default;
  virtual int reset() = 0;
  virtual int finish() = 0;
  virtual int beginToken(char c) = 0;
  virtual int commitToken() = 0;
  virtual int addModifier(char c) = 0;
  virtual int addDelimiter(char c) = 0;
  virtual int addSpecifier(char c) = 0;
  virtual int addText(char c) = 0;
  virtual void validateToken(TokenObjectEx& token) = 0;
  virtual std::size_t normaliseMessages(std::vector<std::string>& list) = 0;
};

// Serves one scan, like TokenParser, on the extended family's own position counters: an
// extended scan never disturbs a classic one. With a formatter installed, every token is first
// offered to it (`acceptToken(letter, 'z', 'z')`) and a refusal is error 27.
class TokenParserEx final : public BasicTokenParser<TokenParserExInterface, TokenObjectEx> {
 public:
  // `formatter` is not owned and may be null (no token is then offered).
  explicit TokenParserEx(KORATokenFormatterExInterface* formatter = nullptr);

  KORATokenFormatterExInterface* formatter() const { return formatter_; }

  void validateToken(TokenObjectEx& token) override;

 private:
  KORATokenFormatterExInterface* formatter_;
};

// The extended family's position counters of the calling thread.
PositionCounters& extendedPositionCounters();

}  // namespace zt::token

#endif  // ZT_TOKEN_TOKEN_PARSER_EX_H
