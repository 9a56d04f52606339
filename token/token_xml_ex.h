// The extended token XML: the result document written from a TokenParserEx, and the two readers
// that turn a result document back into a format string and a template document into a template
// string. Both go through the public XML objects (writer, attribute sets, parser), built here
// directly; the readers know the extended kinds as well as the classic ones.
#ifndef ZT_TOKEN_TOKEN_XML_EX_H
#define ZT_TOKEN_TOKEN_XML_EX_H

#include <string>

#include "token/token_parser_ex.h"

namespace zt::token {

// The result document: "processedtokens" holding "messages" (only when there are message
// pieces; each "message" carries "index" and "length" and its piece as CDATA) and "tokens" (one
// element per accepted token, with "modifier" and "delimiter" when not empty and message text as
// CDATA). Refused tokens are left out; the message pieces are written whatever the verdicts.
// Empty when the writer component is missing.
std::string writeProcessedTokensEx(const TokenParserEx& parser);

// Result document -> format string; empty when the document cannot be read or holds "error".
std::string convertTokenXmlEx(const std::string& xml);
// Template document -> template string (kind letters, message numbers); empty when unreadable.
std::string convertTemplateXmlEx(const std::string& xml);

}  // namespace zt::token

#endif  // ZT_TOKEN_TOKEN_XML_EX_H
