// The extended token-parser tool handed out by KORATokenParserExFactory_Create.
#ifndef ZT_TOKEN_KORA_TOKEN_PARSER_EX_H
#define ZT_TOKEN_KORA_TOKEN_PARSER_EX_H

#include "zttools.h"

namespace zt::token {

// Carries no state: every operation builds its scanner, builder, parser or writer and destroys
// them before it returns. The scans use the calling thread's extended position counters.
class KORATokenParserEx final : public KORATokenParserExInterface {
 public:
  // A null formatter accepts every token.
  uint32_t processTokens(const char* formatString, std::string& xmlOut,
                         KORATokenFormatterExInterface* formatter) override;
  uint32_t buildTokenString(const char* processedTokensXml, std::string& formatOut,
                            KORATokenFormatterExInterface* formatter) override;
  uint32_t buildTemplateString(const char* templateXml, std::string& templateOut,
                               KORATokenFormatterExInterface* formatter) override;
  uint32_t formatTokens(const char* formatString, std::string& textOut,
                        KORATokenFormatterExInterface* formatter) override;
  [[noreturn]] void raiseError(int code, int position) override;
};

}  // namespace zt::token

#endif  // ZT_TOKEN_KORA_TOKEN_PARSER_EX_H
