// The token parser as a driver uses it: a format string to its processedtokens document and
// back, a template string, printed text through the driver's own formatter, and the errors.
#include <zttools.h>

#include <cstdio>
#include <exception>
#include <sstream>
#include <string>

namespace {

int failures = 0;

void check(bool ok, const char* what) {
  std::printf("%s %s\n", ok ? "ok  " : "FAIL", what);
  failures += ok ? 0 : 1;
}

// Prints dates and times from a fixed clock, counters from a fixed value.
class Printer final : public KORATokenFormatterInterface {
 public:
  int formatToken(const std::string& specifier, const std::string& modifier,
                  const std::string& delimiter, const std::string& text,
                  std::stringstream& out) override {
    switch (specifier[0]) {
      case 'Y':
        out << "2024" << (delimiter.empty() ? "" : delimiter.substr(0, 1)) << "05";
        break;
      case 'T':
        out << "12:30";
        break;
      case 'S': {
        const std::string value = "42";
        const std::size_t width =
            modifier == "#" ? 1 : std::stoul(modifier.empty() ? "1" : modifier);
        out << std::string(width > value.size() ? width - value.size() : 0, '0') << value;
        break;
      }
      case 'M':
        out << text;
        break;
      case '_':
        out << ' ';
        break;
      case 'N':
        out << '\n';
        break;
      default:
        break;
    }
    return 0;
  }
};

}  // namespace

int main() {
  KORATokenParserInterface* parser = KORATokenParserFactory_Create();
  if (parser == nullptr) {
    std::puts("FAIL create");
    return 1;
  }

  std::string xml;
  const uint32_t length = parser->processTokens("Lot A %05S", xml);
  check(length == xml.size() &&
            xml.find("<counter modifier=\"5\" delimiter=\"0\"/>") != std::string::npos,
        "processTokens writes the counter with its width and flag");

  std::string format;
  parser->buildTokenString(xml.c_str(), format);
  check(format == "Lot A %50S", "buildTokenString gives the rewritten counter back");

  std::string templ;
  parser->buildTemplateString(xml.c_str(), templ);
  check(templ == "1 S", "buildTemplateString numbers the message");

  check(parser->buildTokenString("<processedtokens><tokens>", format) == 0 && format.empty(),
        "unreadable XML gives an empty format string");

  Printer printer;
  std::string text;
  parser->formatTokens("Lot %1/Y %T %5S", text, &printer);
  check(text == "Lot 2024/05 12:30 00042", "formatTokens prints through the driver's formatter");

  std::string kept = "kept";
  try {
    parser->processTokens("%Q", kept);
    check(false, "an unknown specifier throws");
  } catch (kora_token_parser_exception& e) {
    check(e.code == 26 && e.position == 1 && std::string(e.what()) == "Unknown format specifier." &&
              kept == "kept",
          "caught by reference: code, position, what(), out-string untouched");
  }
  // Many drivers catch the exception by value; the copy must keep code, position and text.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wcatch-value"
  try {
    parser->raiseError(9, 3);
  } catch (kora_token_parser_exception e) {
    check(e.code == 9 && e.position == 3 &&
              std::string(e.what()) == "Imprinter counter width is out of range.",
          "caught by value");
  }
#pragma GCC diagnostic pop
  try {
    parser->raiseError(7, 0);
  } catch (std::exception& e) {
    check(std::string(e.what()) == "token parsing error occured", "caught as std::exception&");
  }

  parser = KORATokenParserFactory_Destroy(parser);
  return failures == 0 && parser == nullptr ? 0 : 1;
}
