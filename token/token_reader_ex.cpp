// The two extended readers: the shared reading rules, knowing the extended kinds, driven through
// the public XML parser.
#include "token/token_readers.h"
#include "token/token_xml_ex.h"
#include "xml/xml_content_handler.h"
#include "xml/xml_parser.h"

namespace zt::token {
namespace {

// The public parser's handler answers: 0 goes on, anything else stops the parse.
constexpr int kGoOn = 0;
constexpr int kStop = 1;
using StringHandler = TokenStringHandler<xml::KORAXmlContentHandler, kGoOn, kStop>;
using TemplateHandler = TokenTemplateHandler<xml::KORAXmlContentHandler, kGoOn>;

// Parses `xml` as the public parser's parseString does, with no error sink; only a complete,
// accepted parse counts.
template <class Handler>
std::string convertWith(const std::string& xml) {
  Handler handler(TokenKinds::kExtended);
  xml::KORAXmlParser parser;
  if (parser.parseString(xml.c_str(), &handler, nullptr) != 0) {
    return {};
  }
  return handler.output();
}

}  // namespace

std::string convertTokenXmlEx(const std::string& xml) {
  return convertWith<StringHandler>(xml);
}

std::string convertTemplateXmlEx(const std::string& xml) {
  return convertWith<TemplateHandler>(xml);
}

}  // namespace zt::token
