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
class InputFile;

// The format string around the exception's position with a caret under it, then the code, the
// position and the library's message.
void printTokenError(std::ostream& err, std::string_view format,
                     const kora_token_parser_exception& error);

// The first error the reader reports, with its position (1-based line and column, the column
// counted in characters).
struct XmlError {
  bool seen = false;
  int line = 0;
  int column = 0;
  std::string message;
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

// "NAME:LINE:COLUMN: MESSAGE", then the part of the document's line around the column with a
// caret under it.
void printXmlError(std::ostream& err, const InputFile& input, const XmlError& error);

// Reads the document with the library's XML parser (as a string when `document` is given, else
// from the file); when the reader rejects it, prints where and why and returns false.
bool checkWellFormed(const InputFile& input, Io& io, const std::string* document = nullptr);

// Why the library would not load `input`: the reader rejects it (shown as above), or else
// `verdict`.
void reportUnloaded(const InputFile& input, std::string_view verdict, Io& io);

}  // namespace zt::cli

#endif  // ZTTOOLS_CLI_CARET_H
