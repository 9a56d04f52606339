// A driver's use of the extended token parser: a formatter that renders image-address fields and
// dates but cannot print levels, a template checked and printed with it, its result document
// read back, and a refused kind caught as error 27.
#include <zttools.h>

#include <cstdio>
#include <sstream>
#include <string>

namespace {

int failures = 0;

void check(bool ok, const char* what) {
  std::printf("%s %s\n", ok ? "ok  " : "FAIL", what);
  failures += ok ? 0 : 1;
}

class ImprinterFormatter final : public KORATokenFormatterExInterface {
 public:
  bool acceptToken(char specifier, char, char) override { return specifier != 'L'; }
  int formatToken(const std::string& specifier, const std::string&, const std::string&,
                  const std::string& text, std::stringstream& out) override {
    switch (specifier[0]) {
      case 'A':
        out << "IA0042";
        break;
      case 'Y':
        out << "2024-05-01";
        break;
      case '_':
        out << ' ';
        break;
      default:
        out << text;
        break;
    }
    return 0;
  }
};

}  // namespace

int main() {
  KORATokenParserExInterface* parser = KORATokenParserExFactory_Create();
  ImprinterFormatter formatter;

  std::string printed = "old";
  const uint32_t length = parser->formatTokens("Scan %A %1/Y", printed, &formatter);
  check(printed == "Scan IA0042 2024-05-01" && length == printed.size(), "formatTokens prints");

  std::string xml;
  parser->processTokens("Scan %A %2L%1/Y", xml, &formatter);
  check(xml.find("<iafielda") != std::string::npos, "document holds the image-address field");
  check(xml.find("<level") == std::string::npos, "refused level left out of the document");

  std::string format;
  parser->buildTokenString(xml.c_str(), format, nullptr);
  check(format == "Scan %A %1/Y", "document reads back to the accepted tokens");

  std::string templ;
  parser->buildTemplateString(xml.c_str(), templ, nullptr);
  check(templ == "1 A Y", "template string numbers the message");

  try {
    parser->formatTokens("%A %3L", printed, &formatter);
    check(false, "a refused level throws");
  } catch (const kora_token_parser_exception& e) {
    check(e.code == 27 && e.position == 5, "a refused level throws 27 at its letter");
    check(printed == "Scan IA0042 2024-05-01", "the out-string keeps its old text");
  }

  try {
    parser->raiseError(27, 4);
  } catch (const kora_token_parser_exception& e) {
    check(std::string(e.what()) == "token parsing error occured" && e.position == 4,
          "raiseError throws the fallback text");
  }

  parser = KORATokenParserExFactory_Destroy(parser);
  check(parser == nullptr, "Destroy returns null");
  return failures == 0 ? 0 : 1;
}
