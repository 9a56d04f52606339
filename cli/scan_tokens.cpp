// scan_tokens FORMAT...: scans each format string with the token engine and prints its tokens,
// or the rule it breaks with a caret under the position the error names.
#include <cstdio>
#include <string>

#include "token/token_parser.h"
#include "token/token_scanner.h"
#include "zttools.h"

namespace {

int scanOne(const std::string& format) {
  zt::token::TokenParser parser;
  try {
    zt::token::TokenStringScanner().scan(&parser, format);
  } catch (const kora_token_parser_exception& e) {
    std::printf("%s\n%*s^\nerror %d at %d: %s\n", format.c_str(), e.position, "", e.code,
                e.position, e.what());
    return 1;
  }
  std::printf("%s\n", format.c_str());
  for (const auto& token : parser.tokens()) {
    std::printf("  %-2s modifier=\"%s\" delimiter=\"%s\" text=\"%s\"\n", token->specifier.c_str(),
                token->modifier.c_str(), token->delimiter.c_str(), token->text.c_str());
  }
  for (const std::string& piece : parser.messages()) {
    std::printf("  message piece \"%s\"\n", piece.c_str());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: scan_tokens FORMAT...\n");
    return 2;
  }
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    status |= scanOne(argv[i]);
  }
  return status;
}
