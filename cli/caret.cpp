#include "caret.h"

#include <cstdio>
#include <ostream>

#include "commands.h"
#include "io.h"
#include "tools.h"

namespace zt::cli {

std::string caretLine(std::string_view line, std::size_t offset) {
  std::string padding;
  const std::size_t end = offset < line.size() ? offset : line.size();
  for (std::size_t i = 0; i < end; ++i) {
    const auto c = static_cast<unsigned char>(line[i]);
    if (c == '\t') {
      padding += '\t';
    } else if ((c & 0xC0) != 0x80) {  // continuation bytes belong to the character before
      padding += ' ';
    }
  }
  return padding + "^";
}

void printTokenError(std::ostream& err, std::string_view format,
                     const kora_token_parser_exception& error) {
  const std::size_t offset = error.position < 0 ? 0 : static_cast<std::size_t>(error.position);
  err << format << '\n'
      << caretLine(format, offset) << '\n'
      << "error " << error.code << " at position " << error.position << ": " << error.what()
      << '\n';
}

std::string statusText(long status) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08lx", static_cast<unsigned long>(status) & 0xFFFFFFFFUL);
  return std::to_string(status) + " (" + hex + ")";
}

long XmlErrorCollector::record(ISAXLocator* locator, const wchar_t* message, long code) {
  if (!first_.seen) {
    first_.seen = true;
    first_.line = locator != nullptr ? locator->getLineNumber() : 0;
    first_.column = locator != nullptr ? locator->getColumnNumber() : 0;
    first_.message = toUtf8(message);
    first_.code = code;
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

std::string_view lineOf(std::string_view document, int number) {
  std::size_t start = 0;
  for (int line = 1; line < number; ++line) {
    start = document.find('\n', start);
    if (start == std::string_view::npos) {
      return {};
    }
    ++start;
  }
  std::string_view line = document.substr(start, document.find('\n', start) - start);
  if (!line.empty() && line.back() == '\r') {
    line.remove_suffix(1);
  }
  return line;
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

void printXmlError(std::ostream& err, std::string_view name, std::string_view document,
                   const XmlError& error, long status) {
  if (!error.seen) {
    err << name << ": not read: error " << statusText(status) << '\n';
    return;
  }
  err << name << ':' << error.line << ':' << error.column << ": error " << statusText(error.code)
      << ": " << error.message << '\n';
  const std::string_view line = lineOf(document, error.line);
  if (!line.empty()) {
    err << line << '\n' << caretLine(line, error.column > 0 ? error.column - 1 : 0) << '\n';
  }
}

bool checkWellFormed(std::string_view name, const std::string& document, Io& io) {
  auto parser = makeXmlParser();
  Silent handler;
  XmlErrorCollector errors;
  const long status = parser->parseString(document.c_str(), &handler, &errors);
  if (status >= 0) {
    return true;
  }
  printXmlError(io.err, name, document, errors.first(), status);
  return false;
}

void reportUnloaded(const std::string& path, std::string_view verdict, Io& io) {
  std::string error;
  const std::optional<std::string> document = readInput(path, io.in, error);
  if (!document) {
    io.err << error << '\n';
  } else if (checkWellFormed(path, *document, io)) {
    io.err << path << ": " << verdict << '\n';
  }
}

}  // namespace zt::cli
