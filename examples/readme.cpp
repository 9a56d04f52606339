// The README's example: a format string to its processedtokens document and back, then a broken
// one caught with its error code, position and message.
#include <zttools.h>

#include <cstdio>
#include <string>

int main() {
  KORATokenParserInterface* parser = KORATokenParserFactory_Create();
  std::string xml, format;
  parser->processTokens("Lot %05S %1/Y", xml);    // throws on a broken rule
  parser->buildTokenString(xml.c_str(), format);  // the counter comes back as width, flag
  std::printf("%s\n%s\n", xml.c_str(), format.c_str());

  int code = 0;
  try {
    parser->processTokens("Lot %Q", xml);
  } catch (const kora_token_parser_exception& e) {
    std::printf("error %d at %d: %s\n", e.code, e.position, e.what());
    code = e.code;
  }
  parser = KORATokenParserFactory_Destroy(parser);
  return format == "Lot %50S %1/Y" && code == 26 ? 0 : 1;
}
