// KORATokenParser: the public token parser, converting between format strings, processedtokens
// XML, template XML and printed text.
#ifndef ZT_TOKEN_KORA_TOKEN_PARSER_H
#define ZT_TOKEN_KORA_TOKEN_PARSER_H

#include "zttools.h"

namespace zt::token {

// Holds no state: every operation builds its scanner, builder, readers and writers and drops
// them before it returns. Out-strings are assigned only once a result is complete, so every
// failure leaves them as they were.
class KORATokenParser final : public KORATokenParserInterface {
 public:
  uint32_t processTokens(const char* formatString, std::string& xmlOut) override;
  uint32_t buildTokenString(const char* processedTokensXml, std::string& formatOut) override;
  uint32_t buildTemplateString(const char* templateXml, std::string& templateOut) override;
  uint32_t formatTokens(const char* formatString, std::string& textOut,
                        KORATokenFormatterInterface* formatter) override;
  [[noreturn]] void raiseError(int code, int position) override;
};

}  // namespace zt::token

#endif  // ZT_TOKEN_KORA_TOKEN_PARSER_H
