#include "token/token_readers.h"

#include <algorithm>
#include <array>
#include <utility>

#include "token/char_class.h"

namespace zt::token {
namespace {

bool isAllSpace(std::string_view text) {
  return std::all_of(text.begin(), text.end(), isSpace);
}

}  // namespace

int TokenDocumentReader::idOf(std::string_view name) const {
  static constexpr std::array<std::pair<std::string_view, int>, 10> kClassic = {{
      {"processedtokens", kProcessedTokens},
      {"tokens", kTokens},
      {"date", kDate},
      {"time", kTime},
      {"counter", kCounter},
      {"messages", kMessages},
      {"message", kMessage},
      {"newline", kNewline},
      {"blank", kBlank},
      {"error", kError},
  }};
  static constexpr std::array<std::pair<std::string_view, int>, 7> kExtended = {{
      {"iafielda", kFieldA},
      {"iafieldb", kFieldA + 1},
      {"iafieldc", kFieldA + 2},
      {"iafieldd", kFieldA + 3},
      {"iafielde", kFieldA + 4},
      {"iafieldf", kFieldF},
      {"level", kLevel},
  }};
  for (const auto& [known, id] : kClassic) {
    if (known == name) {
      return id;
    }
  }
  if (kinds_ == TokenKinds::kExtended) {
    for (const auto& [known, id] : kExtended) {
      if (known == name) {
        return id;
      }
    }
  }
  return kUnknown;
}

int TokenDocumentReader::pop() {
  const int id = stack_.back();
  // The initial entry stays, so a stray end tag can never empty the stack.
  if (stack_.size() > 1) {
    stack_.pop_back();
  }
  return id;
}

// ---------------------------------------------------------------------------------------------
// processedtokens document -> format string

bool TokenStringReader::startElement(std::string_view name) {
  const int id = idOf(name);
  if (id == kError) {
    return false;
  }
  push(id);
  if (id != kMessage && id != kTokens) {
    specifier_.clear();
    modifier_.clear();
    delimiter_.clear();
    text_.clear();
  }
  switch (id) {
    case kDate:
      specifier_ = "Y";
      break;
    case kTime:
      specifier_ = "T";
      break;
    case kCounter:
      specifier_ = "S";
      break;
    case kMessage:
      specifier_ = "M";
      break;
    case kBlank:
      specifier_ = "B";
      break;
    default:
      break;
  }
  return true;
}

// Dates, times and counters take their fields from attributes (the specifier attribute replaces
// the kind); a level takes its modifier; attributes elsewhere are ignored.
void TokenStringReader::attribute(std::string_view name, const char* value) {
  const int id = top();
  if (id == kDate || id == kTime || id == kCounter) {
    if (name == "specifier") {
      specifier_ = value;
    } else if (name == "modifier") {
      modifier_ = value;
    } else if (name == "delimiter") {
      delimiter_ = value;
    }
  } else if (id == kLevel && name == "modifier") {
    modifier_ = value;
  }
}

// '%' is the one character the format string escapes in message text.
void TokenStringReader::characters(std::string_view text) {
  if (top() != kMessage || isAllSpace(text)) {
    return;
  }
  text_.clear();
  for (char c : text) {
    text_ += c;
    if (c == '%') {
      text_ += '%';
    }
  }
}

void TokenStringReader::endElement() {
  const int id = pop();
  switch (id) {
    case kCounter:
      if (modifier_ == "#") {
        output_ += '#';
        break;
      }
      [[fallthrough]];
    case kDate:
    case kTime:
      output_ += '%' + modifier_ + delimiter_ + specifier_;
      break;
    case kMessage:
      // Inside "messages" a message is a definition, not a token.
      if (top() == kTokens) {
        output_ += text_;
      }
      break;
    case kNewline:
      output_ += "%N";
      break;
    case kBlank:
      output_ += ' ';
      break;
    case kLevel:
      output_ += '%' + modifier_ + 'L';
      break;
    default:
      if (id >= kFieldA && id <= kFieldF) {
        output_ += {'%', static_cast<char>('A' + (id - kFieldA))};
      }
      break;
  }
}

// ---------------------------------------------------------------------------------------------
// Template document -> template string

void TokenTemplateReader::characters(std::string_view text) {
  if (top() == kMessage && !isAllSpace(text)) {
    messageText_ = text;
  }
}

void TokenTemplateReader::endElement() {
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
      if (id >= kFieldA && id <= kFieldF) {
        output_ += static_cast<char>('A' + (id - kFieldA));
      }
      break;
  }
}

// Definitions are numbered from 1 by their place in "messages". Each replaces every occurrence,
// searching on one character after the start of each replacement (so a number written earlier
// can take part in a later match). An empty definition keeps its number but replaces nothing:
// it would occur everywhere and the numbering would never end.
void TokenTemplateReader::endDocument() {
  for (std::size_t i = 0; i < messageList_.size(); ++i) {
    const std::string& definition = messageList_[i];
    if (definition.empty()) {
      continue;
    }
    const std::string number = std::to_string(i + 1);
    for (std::size_t at = output_.find(definition); at != std::string::npos;
         at = output_.find(definition, at + 1)) {
      output_.replace(at, definition.size(), number);
    }
  }
}

}  // namespace zt::token
