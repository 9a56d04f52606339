// The token parser's two XML forms: the processedtokens document, written from a finished
// TokenParser and read back into a format string, and the template document, read into a
// template string of kind letters and message numbers.
#ifndef ZT_TOKEN_TOKEN_XML_H
#define ZT_TOKEN_TOKEN_XML_H

#include <sstream>
#include <string>
#include <vector>

#include "sax/sax_content_handler.h"
#include "token/token_object.h"
#include "token/token_parser.h"

namespace zt::token {

// The processedtokens document of a finished parse: "messages" (when there are message pieces)
// and "tokens", indented, without an XML declaration.
// Element name of a classic token by its kind letter, either case; "error" for any other.
const char* elementName(char kind);

std::string writeProcessedTokens(const TokenParser& parser);

// processedtokens document -> format string; "" when the document cannot be read or holds an
// "error" element.
std::string convertTokenXml(const std::string& xml);
// Template document -> template string; "" when the document cannot be read.
std::string convertTemplateXml(const std::string& xml);

// Elements are recognised by exact name and tracked on a stack of ids; unknown elements are
// ignored but their children are still read.
class TokenXmlHandler : public sax::SDKSAXContentHandlerC {
 public:
  [[nodiscard]] std::string output() const { return output_.str(); }

 protected:
  enum Id {
    kRoot = 0,
    kUnknown = 2,
    kProcessedTokens = 1,
    kTokens = 3,
    kDate = 4,
    kTime = 5,
    kCounter = 6,
    kMessages = 7,
    kMessage = 8,
    kNewline = 12,
    kBlank = 13,
    kError = 15,
  };
  static int elementId(const char* name);
  int top() const { return elementStack_.back(); }
  // Pops the element that ends and returns its id; the parent is then on top.
  int pop();
  void push(int id) { elementStack_.push_back(id); }

  std::ostringstream output_;

 private:
  std::vector<int> elementStack_{kRoot};
};

// Reads a processedtokens document. Percent signs of message texts are doubled so that the
// format string reads them back as text; a message inside "messages" writes nothing.
class TokenStringHandler final : public TokenXmlHandler {
 public:
  [[nodiscard]] const char* handlerName() const override { return "TokenStringHandler"; }
  int32_t startElement(const char* name) override;
  int32_t attribute(const char* name, const char* value) override;
  int32_t characters(const char* text) override;
  int32_t endElement(const char* name) override;

 private:
  TokenObject current_;
};

// Reads a template document: kind letters for the tokens, message texts as written, and at the
// end each message definition replaced by its number.
class TokenTemplateHandler final : public TokenXmlHandler {
 public:
  [[nodiscard]] const char* handlerName() const override { return "TokenTemplateHandler"; }
  int32_t startElement(const char* name) override;
  int32_t characters(const char* text) override;
  int32_t endElement(const char* name) override;
  int32_t endDocument() override;

 private:
  // Not cleared between message elements: one without text repeats the text before it.
  std::string messageText_;
  std::vector<std::string> messageList_;
};

}  // namespace zt::token

#endif  // ZT_TOKEN_TOKEN_XML_H
