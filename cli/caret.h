// Diagnostics that point into the text they refer to: a rejected format string with a caret
// under the rejected character, a document with a caret under the reader's error position.
#ifndef ZTTOOLS_CLI_CARET_H
#define ZTTOOLS_CLI_CARET_H

#include <zttools.h>

#include <iosfwd>
#include <string>
#include <string_view>

namespace zt::cli {

struct Io;

// The line to print under `line` so that its caret stands under byte `offset`: one space per
// character before it (tabs kept, UTF-8 sequences counted once), then "^". An offset past the
// end puts the caret just after the last character.
std::string caretLine(std::string_view line, std::size_t offset);

// The format string, the caret under the exception's position, then the code, the position and
// the library's message.
void printTokenError(std::ostream& err, std::string_view format,
                     const kora_token_parser_exception& error);

// A status as the library gives it, with its 32-bit hexadecimal form: "-1072896659 (0xc00ce56d)".
std::string statusText(long status);

// The first error the reader reports, with its position (1-based line and column).
struct XmlError {
  bool seen = false;
  int line = 0;
  int column = 0;
  std::string message;
  long code = 0;
};

class XmlErrorCollector final : public IKORAXmlErrorHandler {
 public:
  long error(ISAXLocator* locator, const wchar_t* message, long code) override;
  long fatalError(ISAXLocator* locator, const wchar_t* message, long code) override;
  long ignorableWarning(ISAXLocator* locator, const wchar_t* message, long code) override;
  [[nodiscard]] const XmlError& first() const { return first_; }

 private:
  long record(ISAXLocator* locator, const wchar_t* message, long code);
  XmlError first_;
};

// "NAME:LINE:COLUMN: error CODE (HEX): MESSAGE", then the document's line with a caret under the
// column. `document` may be empty when the text could not be read.
void printXmlError(std::ostream& err, std::string_view name, std::string_view document,
                   const XmlError& error, long status);

// Reads `document` with the library's XML parser; when the reader rejects it, prints where and
// why and returns false.
bool checkWellFormed(std::string_view name, const std::string& document, Io& io);

// Why the library would not load the file at `path`: it cannot be read, the reader rejects it
// (shown as above), or else `verdict`.
void reportUnloaded(const std::string& path, std::string_view verdict, Io& io);

}  // namespace zt::cli

#endif  // ZTTOOLS_CLI_CARET_H
