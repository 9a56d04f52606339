#include "token/token_xml.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <unordered_map>

#include "sax/sax_parser.h"
#include "sax/sax_writer.h"
#include "token/char_class.h"

namespace zt::token {

namespace {

constexpr int32_t kGoOn = 3;
constexpr int32_t kStop = 0;

bool isAllSpace(std::string_view text) {
  return std::all_of(text.begin(), text.end(), isSpace);
}

template <class Handler>
std::string convert(const std::string& xml) {
  Handler handler;
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
  return convert<TokenStringHandler>(xml);
}

std::string convertTemplateXml(const std::string& xml) {
  return convert<TokenTemplateHandler>(xml);
}

int TokenXmlHandler::elementId(const char* name) {
  static const std::unordered_map<std::string_view, int> kIds = {
      {"processedtokens", kProcessedTokens},
      {"tokens", kTokens},
      {"date", kDate},
      {"time", kTime},
      {"counter", kCounter},
      {"messages", kMessages},
      {"message", kMessage},
      {"specifier", 9},
      {"delimiter", 10},
      {"modifier", 11},
      {"newline", kNewline},
      {"blank", kBlank},
      {"index", 14},
      {"error", kError},
  };
  auto found = kIds.find(name);
  return found == kIds.end() ? kUnknown : found->second;
}

// Start and end tags come in pairs, so the root entry is never popped.
int TokenXmlHandler::pop() {
  const int id = elementStack_.back();
  elementStack_.pop_back();
  return id;
}

int32_t TokenStringHandler::startElement(const char* name) {
  const int id = elementId(name);
  if (id == kError) {
    return kStop;
  }
  push(id);
  if (id != kMessage && id != kTokens) {
    current_.clear();
  }
  switch (id) {
    case kDate:
      current_.specifier = "Y";
      break;
    case kTime:
      current_.specifier = "T";
      break;
    case kCounter:
      current_.specifier = "S";
      break;
    case kMessage:
      current_.specifier = "M";
      break;
    case kBlank:
      current_.specifier = "B";
      break;
    default:
      break;
  }
  return kGoOn;
}

int32_t TokenStringHandler::attribute(const char* name, const char* value) {
  if (top() != kDate && top() != kTime && top() != kCounter) {
    return kGoOn;
  }
  const std::string_view field = name;
  if (field == "specifier") {
    current_.specifier = value;
  } else if (field == "modifier") {
    current_.modifier = value;
  } else if (field == "delimiter") {
    current_.delimiter = value;
  }
  return kGoOn;
}

int32_t TokenStringHandler::characters(const char* text) {
  const std::string_view chunk = text;
  if (top() != kMessage || isAllSpace(chunk)) {
    return kGoOn;
  }
  current_.text.clear();
  for (char c : chunk) {
    current_.text += c;
    if (c == '%') {
      current_.text += '%';
    }
  }
  return kGoOn;
}

int32_t TokenStringHandler::endElement(const char* /*name*/) {
  const int id = pop();
  switch (id) {
    case kDate:
    case kTime:
      output_ << '%' << current_.modifier << current_.delimiter << current_.specifier;
      break;
    case kCounter:
      if (current_.modifier == "#") {
        output_ << '#';
      } else {
        output_ << '%' << current_.modifier << current_.delimiter << current_.specifier;
      }
      break;
    case kMessage:
      if (top() == kTokens) {
        output_ << current_.text;
      }
      break;
    case kNewline:
      output_ << "%N";
      break;
    case kBlank:
      output_ << ' ';
      break;
    default:
      break;
  }
  return kGoOn;
}

int32_t TokenTemplateHandler::startElement(const char* name) {
  push(elementId(name));
  return kGoOn;
}

int32_t TokenTemplateHandler::characters(const char* text) {
  if (top() == kMessage && !isAllSpace(text)) {
    messageText_ = text;
  }
  return kGoOn;
}

int32_t TokenTemplateHandler::endElement(const char* /*name*/) {
  const int id = pop();
  switch (id) {
    case kDate:
      output_ << 'Y';
      break;
    case kTime:
      output_ << 'T';
      break;
    case kCounter:
      output_ << 'S';
      break;
    case kNewline:
      output_ << 'N';
      break;
    case kBlank:
      output_ << ' ';
      break;
    case kMessage:
      if (top() == kTokens) {
        output_ << messageText_;
      } else if (top() == kMessages) {
        messageList_.push_back(messageText_);
      }
      break;
    default:
      break;
  }
  return kGoOn;
}

// Each definition is replaced wherever it occurs, longer token texts included. An empty
// definition matches nothing and takes no number, so the definitions after it keep the numbers
// their texts would have had without it.
int32_t TokenTemplateHandler::endDocument() {
  std::string text = output_.str();
  int number = 0;
  for (const std::string& definition : messageList_) {
    if (definition.empty()) {
      continue;
    }
    const std::string replacement = std::to_string(++number);
    for (std::size_t at = text.find(definition); at != std::string::npos;
         at = text.find(definition, at + 1)) {
      text.replace(at, definition.size(), replacement);
    }
  }
  output_.str(text);
  return kGoOn;
}

}  // namespace zt::token
