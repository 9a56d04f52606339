#include "xml/xml_parser.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <deque>
#include <string>
#include <string_view>

#include "platform/utf8.h"
#include "platform/xml_reader_libxml2.h"
#include "xml/utf8_text.h"

namespace zt::xml {

using platform::Status;

namespace {

// Copies `text` into `buffer` as a zero-terminated string, cut at the last whole character that
// fits, and returns the copy (without the terminator).
template <size_t N>
std::string_view copyInto(std::array<char, N>& buffer, std::string_view text) {
  const std::string_view kept = platform::cutAtCharacter(text, N - 1);
  std::memcpy(buffer.data(), kept.data(), kept.size());
  buffer[kept.size()] = '\0';
  return {buffer.data(), kept.size()};
}

// A name the reader ends with a zero byte, handed on where it lies unless it must be cut to fit
// `buffer`, where it is then copied.
template <size_t N>
std::string_view handOnName(std::array<char, N>& buffer, std::string_view name) {
  return name.size() < N ? name : copyInto(buffer, name);
}

// The path of a file parse passes through one wide buffer per thread, 999 characters and the
// terminator: a longer path is cut to its first 999 characters.
thread_local std::array<wchar_t, 1000> pathBuffer{};

std::string pathThroughBuffer(const char* path) {
  const std::wstring wide = toWide(path, pathBuffer.size() - 1);
  std::copy(wide.begin(), wide.end(), pathBuffer.begin());
  pathBuffer[wide.size()] = L'\0';
  return toUtf8(std::wstring_view(pathBuffer.data(), wide.size()));
}

// Narrow text is UTF-8 whatever its XML declaration says (a reset writer, for one, declares
// UTF-16): the encoding the declaration names is made UTF-8, so the reader decodes the text as
// what it is. Returns an empty text when the declaration already says UTF-8 or names nothing.
std::string withUtf8Declaration(std::string_view text) {
  if (text.substr(0, 5) != "<?xml") {
    return {};
  }
  const std::string_view declaration = text.substr(0, text.find("?>"));
  const size_t key = declaration.find("encoding");
  if (key == std::string_view::npos) {
    return {};
  }
  const size_t quote = declaration.find_first_of("\"'", key);
  if (quote == std::string_view::npos) {
    return {};
  }
  const size_t close = declaration.find(declaration[quote], quote + 1);
  if (close == std::string_view::npos) {
    return {};
  }
  std::string_view name = declaration.substr(quote + 1, close - quote - 1);
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  std::string folded(name);
  std::transform(folded.begin(), folded.end(), folded.begin(), lower);
  if (folded == "utf-8" || folded == "utf8") {
    return {};
  }
  std::string patched(text);
  patched.replace(quote + 1, name.size(), "UTF-8");
  return patched;
}

}  // namespace

// The content bridge: turns the reader's events into handler calls, and is the handler stack
// that handlers reach through IKORAXmlContentController.
class KORAXml_SAXContentHandlerC final : public platform::SaxContentSink,
                                         public IKORAXmlContentController {
 public:
  IKORAXmlContentHandler* currentHandler() override { return current_; }

  void pushHandler(IKORAXmlContentHandler* handler) override {
    // A null entry would silence the parse without any handler to pop it again.
    if (handler == nullptr) {
      return;
    }
    stack_.push_back(handler);
    current_ = handler;
    handler->setController(this);
  }

  IKORAXmlContentHandler* popHandler() override {
    if (!stack_.empty()) {
      stack_.pop_back();
    }
    // Once the last entry is gone nobody is current, and events reach nobody.
    current_ = stack_.empty() ? nullptr : stack_.back();
    return current_;
  }

  // The answers to the reader say kFalse where nobody is to receive the text that follows.
  Status startDocument() override {
    if (current_ != nullptr && current_->startDocument() != 0) {
      return platform::kFail;
    }
    return platform::kFalse;
  }

  Status endDocument() override {
    if (current_ != nullptr) {
      current_->endDocument();
    }
    return platform::kOk;
  }

  Status startElement(std::string_view localName, platform::SaxAttributes attributes) override {
    if (current_ == nullptr) {
      return platform::kFalse;
    }
    const std::string_view name = handOnName(name_, localName);
    int status = current_->startElement(name.data());
    // Any handler call may pop the last handler: the rest of the element then reaches nobody.
    if (status == 0 && current_ != nullptr) {
      // A cut name lies in the buffer that the attribute names reuse, so it is kept apart when
      // there are any.
      const char* element = name.data();
      if (!attributes.empty()) {
        if (element == name_.data()) {
          element_.assign(name);
          element = element_.c_str();
        }
        current_->startAttributes(element);
      }
      for (const platform::SaxAttribute& attribute : attributes) {
        if (current_ == nullptr) {
          break;
        }
        if (attribute.localName.empty()) {
          continue;
        }
        const std::string_view attributeName = handOnName(name_, attribute.localName);
        copyInto(value_, attribute.value);
        // Only the last attribute's answer counts.
        status = current_->attribute(attributeName.data(), value_.data());
      }
      if (current_ != nullptr) {
        current_->endAttributes(element);
      }
    }
    if (status != 0) {
      return platform::kAbort;
    }
    return current_ != nullptr ? platform::kOk : platform::kFalse;
  }

  // Text reaches the handler only between a start tag and the next end tag: what follows a
  // child's end tag inside its parent is not delivered.
  Status endElement(std::string_view localName) override {
    if (current_ == nullptr) {
      return platform::kFalse;
    }
    const int status = current_->endElement(handOnName(name_, localName).data());
    return status == 0 ? platform::kFalse : platform::kAbort;
  }

  // Handlers receive text without its leading white space, and no text that is nothing else.
  bool dropsLeadingSpace() override { return true; }

  Status characters(std::string_view text) override {
    // The reader ends the text with a zero byte, and trimming keeps its end.
    const std::string_view trimmed = trimLeadingSpace(text);
    if (current_ != nullptr && !trimmed.empty()) {
      current_->characters(trimmed.data());
    }
    return platform::kOk;
  }

 private:
  IKORAXmlContentHandler* current_ = nullptr;
  std::deque<IKORAXmlContentHandler*> stack_;
  std::array<char, 1024> name_{};
  std::array<char, 2048> value_{};
  std::string element_;
};

// The error bridge: hands the reader's errors to the caller's sink, with the message as wide
// text. Without a sink the errors are answered with 0.
class KORAXml_SAXErrorHandlerImpl final : public platform::SaxErrorSink {
 public:
  void setTarget(IKORAXmlErrorHandler* target) { target_ = target; }

  Status error(ISAXLocator& locator, std::string_view message, Status code) override {
    return target_ == nullptr ? platform::kOk
                              : target_->error(&locator, toWide(message).c_str(), code);
  }
  Status fatalError(ISAXLocator& locator, std::string_view message, Status code) override {
    return target_ == nullptr ? platform::kOk
                              : target_->fatalError(&locator, toWide(message).c_str(), code);
  }
  Status ignorableWarning(ISAXLocator& locator, std::string_view message, Status code) override {
    return target_ == nullptr ? platform::kOk
                              : target_->ignorableWarning(&locator, toWide(message).c_str(), code);
  }

 private:
  IKORAXmlErrorHandler* target_ = nullptr;
};

// The reader drops DTD declarations itself, so no DTD bridge is needed.
struct KORAXmlParser::Record {
  KORAXml_SAXErrorHandlerImpl errors;
  KORAXml_SAXContentHandlerC content;
  // Made for the bridge's own class, so that its events reach the bridge without a virtual call.
  platform::BasicSaxReader<KORAXml_SAXContentHandlerC> reader;

  Record() {
    reader.setContentSink(&content);
    reader.setErrorSink(&errors);
  }
};

KORAXmlParser::KORAXmlParser() : record_(std::make_unique<Record>()) {}

KORAXmlParser::~KORAXmlParser() = default;

// Every parse leaves its handler on the stack, on top of those of earlier calls; an error sink,
// once given, stays until another one is given.
void KORAXmlParser::prepare(IKORAXmlContentHandler* handler, IKORAXmlErrorHandler* errorHandler) {
  record_->content.pushHandler(handler);
  if (errorHandler != nullptr) {
    record_->errors.setTarget(errorHandler);
  }
}

long KORAXmlParser::parseFile(const char* path, IKORAXmlContentHandler* handler,
                              IKORAXmlErrorHandler* errorHandler) {
  if (path == nullptr || handler == nullptr) {
    return platform::kPointer;
  }
  prepare(handler, errorHandler);
  return record_->reader.parseUrl(pathThroughBuffer(path));
}

long KORAXmlParser::parseBuffer(const char* data, int length, IKORAXmlContentHandler* handler,
                                IKORAXmlErrorHandler* errorHandler) {
  if (length < 0) {
    return platform::kInvalidArg;
  }
  if ((data == nullptr && length > 0) || handler == nullptr) {
    return platform::kPointer;
  }
  return parseText(data, static_cast<size_t>(length), handler, errorHandler);
}

long KORAXmlParser::parseString(const char* xml, IKORAXmlContentHandler* handler,
                                IKORAXmlErrorHandler* errorHandler) {
  if (xml == nullptr || handler == nullptr) {
    return platform::kPointer;
  }
  return parseText(xml, std::strlen(xml), handler, errorHandler);
}

long KORAXmlParser::parseText(const char* data, size_t length, IKORAXmlContentHandler* handler,
                              IKORAXmlErrorHandler* errorHandler) {
  const std::string_view text(data == nullptr ? "" : data, length);
  prepare(handler, errorHandler);
  // Narrow text that is not UTF-8 keeps its place as U+FFFD instead of failing the parse.
  const std::string declared = withUtf8Declaration(text);
  return record_->reader.parse(declared.empty() ? text : declared, platform::SaxBadUtf8::kReplace);
}

}  // namespace zt::xml
