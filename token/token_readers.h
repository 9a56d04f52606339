// Reading the two token documents back, apart from the parser that feeds them: the classic
// readers (over the internal SAX layer) and the extended ones (over the public XML parser) differ
// only in the element kinds they know and in how their handlers answer, so both drive these.
#ifndef ZT_TOKEN_TOKEN_READERS_H
#define ZT_TOKEN_TOKEN_READERS_H

#include <string>
#include <string_view>
#include <vector>

namespace zt::token {

// Which token elements a reader knows. The extended kinds ("iafielda" to "iafieldf", "level")
// are unknown elements to a classic reader: ignored, their children still read.
enum class TokenKinds { kClassic, kExtended };

// Elements are recognised by exact name and tracked on a stack of ids; unknown elements are
// ignored but their children are still read.
class TokenDocumentReader {
 public:
  [[nodiscard]] const std::string& output() const { return output_; }

 protected:
  enum Id : int {
    kNone = 0,  // below the root
    kProcessedTokens,
    kUnknown,
    kTokens,
    kDate,
    kTime,
    kCounter,
    kMessages,
    kMessage,
    kNewline,
    kBlank,
    kFieldA,  // "iafielda"; "iafieldb" to "iafieldf" follow
    kFieldF = kFieldA + 5,
    kLevel,
    kError,
  };

  explicit TokenDocumentReader(TokenKinds kinds) : kinds_(kinds) {}
  [[nodiscard]] int idOf(std::string_view name) const;
  [[nodiscard]] int top() const { return stack_.back(); }
  void push(int id) { stack_.push_back(id); }
  // Removes the top id and returns it; the parent is then on top.
  int pop();

  std::string output_;

 private:
  TokenKinds kinds_;
  std::vector<int> stack_{kNone};
};

// processedtokens document -> format string. Percent signs of message texts are doubled so that
// the format string reads them back as text; a message inside "messages" writes nothing.
class TokenStringReader final : public TokenDocumentReader {
 public:
  explicit TokenStringReader(TokenKinds kinds) : TokenDocumentReader(kinds) {}
  // False for an "error" element: the document records a failed scan and the result is empty.
  bool startElement(std::string_view name);
  void attribute(std::string_view name, const char* value);
  void characters(std::string_view text);
  void endElement();

 private:
  // The fields of the token being read. A message keeps the text of the message before it when
  // its own text is missing.
  std::string specifier_;
  std::string modifier_;
  std::string delimiter_;
  std::string text_;
};

// Template document -> template string: kind letters, one space per blank, message texts as
// written, and at the end every text of a message definition replaced by its number.
class TokenTemplateReader final : public TokenDocumentReader {
 public:
  explicit TokenTemplateReader(TokenKinds kinds) : TokenDocumentReader(kinds) {}
  void startElement(std::string_view name) { push(idOf(name)); }
  void characters(std::string_view text);
  void endElement();
  void endDocument();

 private:
  // Not cleared between message elements: one without text repeats the text before it.
  std::string messageText_;
  std::vector<std::string> messageList_;
};

// The content handlers that feed the readers, for either parser: `Base` is the parser's handler
// base class, `GoOn` and `Stop` its handler answers. Both handlers keep the classic names.
template <class Base, class Reader, int GoOn>
class TokenReaderHandler : public Base {
 public:
  explicit TokenReaderHandler(TokenKinds kinds) : reader_(kinds) {}
  int characters(const char* text) override {
    reader_.characters(text);
    return GoOn;
  }
  int endElement(const char* /*name*/) override {
    reader_.endElement();
    return GoOn;
  }
  [[nodiscard]] const std::string& output() const { return reader_.output(); }

 protected:
  Reader reader_;
};

template <class Base, int GoOn, int Stop>
class TokenStringHandler final : public TokenReaderHandler<Base, TokenStringReader, GoOn> {
 public:
  using TokenReaderHandler<Base, TokenStringReader, GoOn>::TokenReaderHandler;
  [[nodiscard]] const char* handlerName() const override { return "TokenStringHandler"; }
  int startElement(const char* name) override {
    return this->reader_.startElement(name) ? GoOn : Stop;
  }
  int attribute(const char* name, const char* value) override {
    this->reader_.attribute(name, value);
    return GoOn;
  }
};

template <class Base, int GoOn>
class TokenTemplateHandler final : public TokenReaderHandler<Base, TokenTemplateReader, GoOn> {
 public:
  using TokenReaderHandler<Base, TokenTemplateReader, GoOn>::TokenReaderHandler;
  [[nodiscard]] const char* handlerName() const override { return "TokenTemplateHandler"; }
  int startElement(const char* name) override {
    this->reader_.startElement(name);
    return GoOn;
  }
  int endDocument() override {
    this->reader_.endDocument();
    return GoOn;
  }
};

}  // namespace zt::token

#endif  // ZT_TOKEN_TOKEN_READERS_H
