#include "token/kora_token_parser_ex.h"

#include <algorithm>
#include <new>
#include <sstream>
#include <utility>

#include "token/token_error.h"
#include "token/token_parser_ex.h"
#include "token/token_scanner.h"
#include "token/token_xml_ex.h"

namespace zt::token {
namespace {

char firstOf(const std::string& field) {
  return field.empty() ? '\0' : field[0];
}

uint32_t assign(std::string& out, std::string value) {
  out = std::move(value);
  return static_cast<uint32_t>(out.size());
}

}  // namespace

uint32_t KORATokenParserEx::processTokens(const char* formatString, std::string& xmlOut,
                                          KORATokenFormatterExInterface* formatter) {
  // No formatter is installed for the scan: the verdicts are asked per token afterwards, with
  // the tokens' real first characters, and only decide what the document leaves out.
  TokenParserEx parser;
  TokenStringScanner().scan(&parser, std::string(formatString));
  if (formatter != nullptr) {
    for (const auto& token : parser.tokens()) {
      token->accepted = formatter->acceptToken(firstOf(token->specifier), firstOf(token->modifier),
                                               firstOf(token->delimiter));
    }
  }
  return assign(xmlOut, writeProcessedTokensEx(parser));
}

uint32_t KORATokenParserEx::buildTokenString(const char* processedTokensXml, std::string& formatOut,
                                             KORATokenFormatterExInterface*) {
  return assign(formatOut, convertTokenXmlEx(processedTokensXml));
}

uint32_t KORATokenParserEx::buildTemplateString(const char* templateXml, std::string& templateOut,
                                                KORATokenFormatterExInterface*) {
  return assign(templateOut, convertTemplateXmlEx(templateXml));
}

uint32_t KORATokenParserEx::formatTokens(const char* formatString, std::string& textOut,
                                         KORATokenFormatterExInterface* formatter) {
  std::stringstream stream(std::ios::in | std::ios::out);
  if (formatter != nullptr) {
    // Installed, the formatter is asked about every kind while the string is validated.
    TokenParserEx parser(formatter);
    TokenStringScanner().scan(&parser, std::string(formatString));
    const TokenParserEx::TokenList tokens = parser.tokens();
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
  text.resize(std::min(text.find('\0'), text.size()));  // up to the first NUL
  return assign(textOut, std::move(text));
}

void KORATokenParserEx::raiseError(int code, int position) {
  raiseTokenError(code, position);
}

}  // namespace zt::token
