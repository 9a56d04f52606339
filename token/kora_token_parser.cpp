#include "token/kora_token_parser.h"

#include <new>
#include <sstream>
#include <string>

#include "token/token_error.h"
#include "token/token_parser.h"
#include "token/token_scanner.h"
#include "token/token_xml.h"

namespace zt::token {

namespace {

uint32_t assign(std::string& out, std::string&& text) {
  out = std::move(text);
  return static_cast<uint32_t>(out.size());
}

}  // namespace

uint32_t KORATokenParser::processTokens(const char* formatString, std::string& xmlOut) {
  TokenParser parser;
  TokenStringScanner().scan(&parser, formatString);
  return assign(xmlOut, writeProcessedTokens(parser));
}

uint32_t KORATokenParser::buildTokenString(const char* processedTokensXml, std::string& formatOut) {
  return assign(formatOut, convertTokenXml(processedTokensXml));
}

uint32_t KORATokenParser::buildTemplateString(const char* templateXml, std::string& templateOut) {
  return assign(templateOut, convertTemplateXml(templateXml));
}

// Message tokens reach the formatter whole (escapes resolved), not cut into pieces; counters
// arrive rewritten into width and flag.
uint32_t KORATokenParser::formatTokens(const char* formatString, std::string& textOut,
                                       KORATokenFormatterInterface* formatter) {
  std::stringstream stream;
  if (formatter != nullptr) {
    TokenParser parser;
    TokenStringScanner().scan(&parser, formatString);
    const TokenParser::TokenList tokens = parser.tokens();
    for (const auto& token : tokens) {
      formatter->formatToken(token->specifier, token->modifier, token->delimiter, token->text,
                             stream);
    }
  }
  // A stream whose buffer cannot grow goes bad instead of throwing: the text would be cut short,
  // so the call fails as it does when any other allocation fails.
  if (stream.bad()) {
    throw std::bad_alloc();
  }
  std::string text = stream.str();
  text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
  return assign(textOut, std::move(text));
}

void KORATokenParser::raiseError(int code, int position) {
  raiseTokenError(code, position);
}

}  // namespace zt::token
