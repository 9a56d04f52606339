// The extended result document, written through a directly constructed public XML writer.
#include <cctype>
#include <cstdlib>
#include <memory>

#include "token/token_xml.h"
#include "token/token_xml_ex.h"
#include "xml/xml_writer.h"

namespace zt::token {
namespace {

// Element name of a token by its kind letter, upper-cased first: the image-address fields and
// the level, else the classic name.
const char* extendedElementName(const std::string& specifier) {
  const char kind = specifier.empty()
                        ? '\0'
                        : static_cast<char>(std::toupper(static_cast<unsigned char>(specifier[0])));
  static constexpr const char* kFields[] = {"iafielda", "iafieldb", "iafieldc",
                                            "iafieldd", "iafielde", "iafieldf"};
  if (kind >= 'A' && kind <= 'F') {
    return kFields[kind - 'A'];
  }
  return kind == 'L' ? "level" : elementName(kind);
}

}  // namespace

std::string writeProcessedTokensEx(const TokenParserEx& parser) {
  // The writer's own defaults are the document's: no declaration, indented, "utf-8". It only
  // writes attribute sets it made itself, so every set comes from its createAttribute.
  xml::KORAXmlWriter writer;
  writer.startDocument();
  writer.startElement("processedtokens", nullptr);
  if (!parser.messages().empty()) {
    writer.startElement("messages", nullptr);
    int index = 1;
    for (const std::string& piece : parser.messages()) {
      IKORAXmlAttribute* attributes = writer.createAttribute();
      attributes->addAttribute("index", index++);
      attributes->addAttribute("length", static_cast<int>(piece.size()));
      writer.writeElement("message", piece.c_str(), true, attributes);
    }
    writer.endElement();
  }
  writer.startElement("tokens", nullptr);
  for (const auto& token : parser.tokens()) {
    if (!token->accepted) {
      continue;  // the formatter cannot render it
    }
    IKORAXmlAttribute* attributes = nullptr;
    if (!token->modifier.empty() || !token->delimiter.empty()) {
      attributes = writer.createAttribute();
      if (!token->modifier.empty()) {
        attributes->addAttribute("modifier", token->modifier.c_str());
      }
      if (!token->delimiter.empty()) {
        attributes->addAttribute("delimiter", token->delimiter.c_str());
      }
    }
    writer.startElement(extendedElementName(token->specifier), attributes);
    if (!token->text.empty()) {
      writer.characters(token->text.c_str(), true);
    }
    writer.endElement();
  }
  writer.endElement();
  writer.endElement();
  writer.endDocument();

  // Without a writer component there is no text: the document is then empty.
  char* text = nullptr;
  if (writer.getXml(&text) != 0 || text == nullptr) {
    return {};
  }
  const std::unique_ptr<char, decltype(&std::free)> owned(text, &std::free);
  return {owned.get()};
}

}  // namespace zt::token
