#include "token/token_xml.h"

#include <cctype>

#include "sax/sax_content_handler.h"
#include "sax/sax_parser.h"
#include "sax/sax_writer.h"
#include "token/token_readers.h"

namespace zt::token {

namespace {

// The SAX layer's handler answers.
constexpr int kGoOn = 3;
constexpr int kStop = 0;
using StringHandler = TokenStringHandler<sax::SDKSAXContentHandlerC, kGoOn, kStop>;
using TemplateHandler = TokenTemplateHandler<sax::SDKSAXContentHandlerC, kGoOn>;

template <class Handler>
std::string convert(const std::string& xml) {
  Handler handler(TokenKinds::kClassic);
  sax::SDKSAXXMLParserC parser;
  parser.setTarget(&handler);
  return parser.parse(xml) == platform::kOk ? handler.output() : std::string();
}

}  // namespace

const char* elementName(char kind) {
  switch (std::toupper(static_cast<unsigned char>(kind))) {
    case 'Y':
      return "date";
    case 'T':
      return "time";
    case 'S':
      return "counter";
    case 'M':
      return "message";
    case 'N':
      return "newline";
    case '_':
      return "blank";
    default:
      return "error";
  }
}

std::string writeProcessedTokens(const TokenParser& parser) {
  sax::SAXWriterC writer;
  writer.putOmitXMLDeclaration(true);
  writer.putIndent(true);
  writer.putEncoding("utf-8");
  writer.beginDocument(nullptr);
  writer.openElement("processedtokens", nullptr);
  if (!parser.messages().empty()) {
    writer.openElement("messages", nullptr);
    std::size_t index = 1;
    for (const std::string& piece : parser.messages()) {
      sax::SAXAttributeC attributes;
      attributes.addAttribute("index", std::to_string(index++));
      attributes.addAttribute("length", std::to_string(piece.size()));
      writer.writeElement("message", piece.c_str(), true, &attributes);
    }
    writer.closeElement(nullptr);
  }
  writer.openElement("tokens", nullptr);
  for (const auto& token : parser.tokens()) {
    sax::SAXAttributeC attributes;
    if (!token->modifier.empty()) {
      attributes.addAttribute("modifier", token->modifier);
    }
    if (!token->delimiter.empty()) {
      attributes.addAttribute("delimiter", token->delimiter);
    }
    const char kind = token->specifier.empty() ? '\0' : token->specifier[0];
    writer.openElement(elementName(kind), &attributes);
    if (!token->text.empty()) {
      writer.writeText(token->text.c_str(), true);
    }
    writer.closeElement(nullptr);
  }
  writer.closeElement(nullptr);
  writer.closeElement(nullptr);
  writer.endDocument();
  std::string document;
  writer.getOutput(document);
  return document;
}

std::string convertTokenXml(const std::string& xml) {
  return convert<StringHandler>(xml);
}

std::string convertTemplateXml(const std::string& xml) {
  return convert<TemplateHandler>(xml);
}

}  // namespace zt::token
