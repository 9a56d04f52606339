// The token parser's two XML forms: the processedtokens document, written from a finished
// TokenParser and read back into a format string, and the template document, read into a
// template string of kind letters and message numbers.
#ifndef ZT_TOKEN_TOKEN_XML_H
#define ZT_TOKEN_TOKEN_XML_H

#include <string>

#include "token/token_parser.h"

namespace zt::token {

// Element name of a classic token by its kind letter, either case; "error" for any other.
const char* elementName(char kind);

// The processedtokens document of a finished parse: "messages" (when there are message pieces)
// and "tokens", indented, without an XML declaration.
std::string writeProcessedTokens(const TokenParser& parser);

// processedtokens document -> format string; "" when the document cannot be read or holds an
// "error" element.
std::string convertTokenXml(const std::string& xml);
// Template document -> template string; "" when the document cannot be read.
std::string convertTemplateXml(const std::string& xml);

}  // namespace zt::token

#endif  // ZT_TOKEN_TOKEN_XML_H
