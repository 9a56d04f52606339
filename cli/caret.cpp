#include "caret.h"

#include <fstream>
#include <iterator>
#include <ostream>

#include "commands.h"
#include "display.h"
#include "io.h"
#include "tools.h"

namespace zt::cli {

void printTokenError(std::ostream& err, std::string_view format,
                     const kora_token_parser_exception& error) {
  const std::size_t offset = error.position < 0 ? 0 : static_cast<std::size_t>(error.position);
  const Excerpt shown = excerpt(format, offset);
  err << shown.line << '\n'
      << shown.caret << '\n'
      << "error " << error.code << " at position " << error.position << ": " << error.what()
      << '\n';
}

long XmlErrorCollector::record(ISAXLocator* locator, const wchar_t* message, long code) {
  if (!first_.seen) {
    first_.seen = true;
    first_.line = locator != nullptr ? locator->getLineNumber() : 0;
    first_.column = locator != nullptr ? locator->getColumnNumber() : 0;
    first_.message = toUtf8(message);
    while (!first_.message.empty() &&
           (first_.message.back() == '\n' || first_.message.back() == ' ')) {
      first_.message.pop_back();
    }
  }
  return code;
}

long XmlErrorCollector::error(ISAXLocator* locator, const wchar_t* message, long code) {
  return record(locator, message, code);
}

long XmlErrorCollector::fatalError(ISAXLocator* locator, const wchar_t* message, long code) {
  return record(locator, message, code);
}

long XmlErrorCollector::ignorableWarning(ISAXLocator*, const wchar_t*, long) {
  return 0;
}

namespace {

// Bytes of the line kept on either side of the error: enough for any window, little for a
// document that is one huge line.
constexpr std::size_t kKeep = 1024;

// The part of one line of a file around a character column.
struct LinePiece {
  std::string text;
  std::size_t offset = 0;  // of the column's character in `text`
  bool cutBefore = false;
  bool cutAfter = false;
};

// Reads the file once up to the end of line `number`, keeping only the bytes around character
// `column` (1-based) of that line.
LinePiece linePiece(const std::string& path, int number, int column) {
  LinePiece piece;
  std::ifstream file(path, std::ios::binary);
  std::istreambuf_iterator<char> at(file);
  const std::istreambuf_iterator<char> end;
  for (int line = 1; line < number && at != end; ++at) {
    line += *at == '\n' ? 1 : 0;
  }
  const auto wanted = static_cast<std::size_t>(column > 1 ? column - 1 : 0);
  std::size_t characters = 0;
  bool reached = false;
  for (; at != end && *at != '\n'; ++at) {
    const char c = *at;
    if (!reached && (static_cast<unsigned char>(c) & 0xC0) != 0x80) {
      reached = characters++ == wanted;
      piece.offset = piece.text.size();
    }
    if (reached && piece.text.size() >= piece.offset + kKeep) {
      piece.cutAfter = true;
      break;
    }
    piece.text += c;
    if (!reached && piece.text.size() >= 2 * kKeep) {
      piece.text.erase(0, kKeep);
      piece.cutBefore = true;
    }
  }
  if (!reached) {
    piece.offset = piece.text.size();
  }
  if (!piece.cutAfter && !piece.text.empty() && piece.text.back() == '\r') {
    piece.text.pop_back();
  }
  return piece;
}

// Accepts every event: only the reader's verdict on the document matters.
class Silent final : public IKORAXmlContentHandler {
 public:
  int startDocument() override { return 0; }
  int endDocument() override { return 0; }
  int reserved(void*) override { return 0; }
  int startElement(const char*) override { return 0; }
  int characters(const char*) override { return 0; }
  int endElement(const char*) override { return 0; }
  void startAttributes(const char*) override {}
  int attribute(const char*, const char*) override { return 0; }
  void endAttributes(const char*) override {}
  void setController(IKORAXmlContentController*) override {}
};

}  // namespace

void printXmlError(std::ostream& err, const InputFile& input, const XmlError& error) {
  if (!error.seen) {
    err << printable(input.name()) << ": not read: the XML reader stopped without a message\n";
    return;
  }
  err << printable(input.name()) << ':' << error.line << ':' << error.column << ": "
      << printable(error.message) << '\n';
  const LinePiece piece = linePiece(input.path(), error.line, error.column);
  if (!piece.text.empty()) {
    const Excerpt shown = excerpt(piece.text, piece.offset, piece.cutBefore, piece.cutAfter);
    err << shown.line << '\n' << shown.caret << '\n';
  }
}

bool checkWellFormed(const InputFile& input, Io& io, const std::string* document) {
  auto parser = makeXmlParser();
  Silent handler;
  XmlErrorCollector errors;
  const long status = document != nullptr
                          ? parser->parseString(document->c_str(), &handler, &errors)
                          : parser->parseFile(input.path().c_str(), &handler, &errors);
  if (status >= 0) {
    return true;
  }
  printXmlError(io.err, input, errors.first());
  return false;
}

void reportUnloaded(const InputFile& input, std::string_view verdict, Io& io) {
  if (checkWellFormed(input, io)) {
    io.err << printable(input.name()) << ": " << verdict << '\n';
  }
}

}  // namespace zt::cli
