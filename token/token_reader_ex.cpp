// The two extended readers and the handlers they drive through the public XML parser.
#include <algorithm>
#include <array>
#include <utility>

#include "token/char_class.h"
#include "token/template_numbers.h"
#include "token/token_xml_ex.h"
#include "xml/xml_parser.h"

namespace zt::token {
namespace {

bool isAllSpace(std::string_view text) {
  return std::all_of(text.begin(), text.end(), isSpace);
}

bool isField(int id) {
  return id >= TokenHandlerExBase::kFieldA && id <= TokenHandlerExBase::kFieldF;
}

char fieldLetter(int id) {
  return static_cast<char>('A' + (id - TokenHandlerExBase::kFieldA));
}

// Parses `xml` as the public parser's parseString does, with no error sink; only a complete,
// accepted parse counts.
template <class Handler>
std::string convertWith(const std::string& xml) {
  Handler handler;
  xml::KORAXmlParser parser;
  if (parser.parseString(xml.c_str(), &handler, nullptr) != 0) {
    return {};
  }
  return handler.output();
}

}  // namespace

int TokenHandlerExBase::idOf(std::string_view name) {
  static constexpr std::array<std::pair<std::string_view, int>, 21> kIds = {{
      {"processedtokens", kProcessedTokens},
      {"tokens", kTokens},
      {"date", kDate},
      {"time", kTime},
      {"counter", kCounter},
      {"messages", kMessages},
      {"message", kMessage},
      {"specifier", kSpecifierAttribute},
      {"delimiter", kDelimiterAttribute},
      {"modifier", kModifierAttribute},
      {"newline", kNewline},
      {"blank", kBlank},
      {"iafielda", kFieldA},
      {"iafieldb", kFieldA + 1},
      {"iafieldc", kFieldA + 2},
      {"iafieldd", kFieldA + 3},
      {"iafielde", kFieldA + 4},
      {"iafieldf", kFieldF},
      {"level", kLevel},
      {"index", kIndexAttribute},
      {"error", kError},
  }};
  for (const auto& [known, id] : kIds) {
    if (known == name) {
      return id;
    }
  }
  return kUnknown;
}

int TokenHandlerExBase::pop() {
  const int id = stack_.back();
  // The initial entry stays, so a stray end tag can never empty the stack.
  if (stack_.size() > 1) {
    stack_.pop_back();
  }
  return id;
}

// ---------------------------------------------------------------------------------------------
// Result document -> format string

int TokenStringHandlerEx::startElement(const char* name) {
  const int id = idOf(name);
  if (id == kError) {
    return 1;  // the document records a failed scan: give up, the result is empty
  }
  push(id);
  // A message keeps the text of the message before it when its own text is missing.
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
    case kLevel:
      current_.specifier = "L";
      break;
    default:
      break;
  }
  return 0;
}

int TokenStringHandlerEx::attribute(const char* name, const char* value) {
  const std::string_view attribute = name;
  const int id = top();
  if (id == kDate || id == kTime || id == kCounter) {
    if (attribute == "specifier") {
      current_.specifier = value;
    } else if (attribute == "modifier") {
      current_.modifier = value;
    } else if (attribute == "delimiter") {
      current_.delimiter = value;
    }
  } else if (id == kLevel && attribute == "modifier") {
    current_.modifier = value;
  }
  return 0;
}

int TokenStringHandlerEx::characters(const char* text) {
  if (top() != kMessage || isAllSpace(text)) {
    return 0;
  }
  // '%' is the one character the format string escapes in message text.
  std::string escaped;
  for (const char* c = text; *c != '\0'; ++c) {
    escaped += *c;
    if (*c == '%') {
      escaped += '%';
    }
  }
  current_.text = std::move(escaped);
  return 0;
}

int TokenStringHandlerEx::endElement(const char*) {
  const int id = pop();
  switch (id) {
    case kCounter:
      if (current_.modifier == "#") {
        output_ += '#';
        break;
      }
      [[fallthrough]];
    case kDate:
    case kTime:
      output_ += '%' + current_.modifier + current_.delimiter + current_.specifier;
      break;
    case kMessage:
      // Inside "messages" a message is a definition, not a token.
      if (top() == kTokens) {
        output_ += current_.text;
      }
      break;
    case kNewline:
      output_ += "%N";
      break;
    case kBlank:
      output_ += ' ';
      break;
    case kLevel:
      output_ += '%' + current_.modifier + 'L';
      break;
    default:
      if (isField(id)) {
        output_ += {'%', fieldLetter(id)};
      }
      break;
  }
  return 0;
}

std::string convertTokenXmlEx(const std::string& xml) {
  return convertWith<TokenStringHandlerEx>(xml);
}

// ---------------------------------------------------------------------------------------------
// Template document -> template string

int TokenTemplateHandlerEx::startElement(const char* name) {
  push(idOf(name));
  return 0;
}

int TokenTemplateHandlerEx::characters(const char* text) {
  if (top() == kMessage && !isAllSpace(text)) {
    messageText_ = text;
  }
  return 0;
}

int TokenTemplateHandlerEx::endElement(const char*) {
  const int id = pop();
  switch (id) {
    case kDate:
      output_ += 'Y';
      break;
    case kTime:
      output_ += 'T';
      break;
    case kCounter:
      output_ += 'S';
      break;
    case kNewline:
      output_ += 'N';
      break;
    case kBlank:
      output_ += ' ';
      break;
    case kLevel:
      output_ += 'L';
      break;
    case kMessage:
      if (top() == kTokens) {
        output_ += messageText_;
      } else if (top() == kMessages) {
        messageList_.push_back(messageText_);
      }
      break;
    default:
      if (isField(id)) {
        output_ += fieldLetter(id);
      }
      break;
  }
  return 0;
}

int TokenTemplateHandlerEx::endDocument() {
  output_ = numberMessages(output_, messageList_);
  return 0;
}

std::string convertTemplateXmlEx(const std::string& xml) {
  return convertWith<TokenTemplateHandlerEx>(xml);
}

}  // namespace zt::token
