// The extended token XML: the result document written from a TokenParserEx, and the two readers
// that turn a result document back into a format string and a template document into a template
// string. Both go through the public XML objects (writer, attribute sets, parser), built here
// directly.
#ifndef ZT_TOKEN_TOKEN_XML_EX_H
#define ZT_TOKEN_TOKEN_XML_EX_H

#include <string>
#include <string_view>
#include <vector>

#include "token/token_object_ex.h"
#include "token/token_parser_ex.h"
#include "xml/xml_content_handler.h"

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

// What both readers keep: the element-id map, the stack of open element ids (it starts with 0,
// so the parent of the root is 0) and the text written so far. Every handler result is 0 (go
// on) unless a reader says otherwise; events a reader does not override are ignored.
class TokenHandlerExBase : public xml::KORAXmlContentHandler {
 public:
  // Element ids; names not listed are kUnknown.
  enum Id : int {
    kNone = 0,  // below the root
    kProcessedTokens = 1,
    kUnknown = 2,
    kTokens = 3,
    kDate = 4,
    kTime = 5,
    kCounter = 6,
    kMessages = 7,
    kMessage = 8,
    kSpecifierAttribute = 9,
    kDelimiterAttribute = 10,
    kModifierAttribute = 11,
    kNewline = 12,
    kBlank = 13,
    kFieldA = 14,  // "iafielda"; "iafieldb" to "iafieldf" follow
    kFieldF = 19,
    kLevel = 20,
    kIndexAttribute = 21,
    kError = 22,
  };

  const std::string& output() const { return output_; }

 protected:
  static int idOf(std::string_view name);
  int top() const { return stack_.back(); }
  void push(int id) { stack_.push_back(id); }
  // Removes the top id and returns it; the parent is then on top.
  int pop();

  std::string output_;

 private:
  std::vector<int> stack_{kNone};
};

// Result document -> format string.
class TokenStringHandlerEx final : public TokenHandlerExBase {
 public:
  int startElement(const char* name) override;
  int characters(const char* text) override;
  int endElement(const char* name) override;
  int attribute(const char* name, const char* value) override;
  const char* handlerName() const override { return "TokenStringHandler"; }

 private:
  TokenObjectEx current_;
};

// Template document -> template string: kind letters, one space per blank, and message texts
// with every text of a message definition replaced by its number.
class TokenTemplateHandlerEx final : public TokenHandlerExBase {
 public:
  int endDocument() override;
  int startElement(const char* name) override;
  int characters(const char* text) override;
  int endElement(const char* name) override;
  const char* handlerName() const override { return "TokenTemplateHandler"; }

 private:
  std::string messageText_;
  std::vector<std::string> messageList_;
};

}  // namespace zt::token

#endif  // ZT_TOKEN_TOKEN_XML_EX_H
