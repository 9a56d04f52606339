// Extended format strings: the first byte picks which kinds a formatter refuses, the rest is the
// format string. It is scanned with the extended builder three ways: without a formatter, with
// one that accepts everything and with the refusing one. Only kora_token_parser_exception with a
// code of the extended rules may leave a scan, at a position inside the string. An accepting
// formatter changes nothing and is asked once per committed token (plus once for a token
// refused by a rule), always with 'z' for both fields; a refusing one stops the scan with 27 at
// the first token of a refused kind and changes nothing before it. The public object's
// formatTokens and processTokens agree with the scans.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "token/kora_token_parser_ex.h"
#include "token/token_parser_ex.h"
#include "token/token_scanner.h"
#include "zttools.h"

namespace {

using zt::token::TokenParserEx;

// Refuses the kinds that `selector` picks (none for 0) and counts what it is asked.
class Formatter final : public KORATokenFormatterExInterface {
 public:
  explicit Formatter(uint8_t selector) : selector_(selector) {}

  bool refuses(char kind) const {
    return selector_ != 0 && ((static_cast<uint8_t>(kind) * 37u + selector_) & 7u) == 0;
  }

  bool acceptToken(char specifier, char modifier, char delimiter) override {
    ++asked;
    if (modifier != 'z' || delimiter != 'z') {
      askedOtherwise = true;
    }
    return !refuses(specifier);
  }
  int formatToken(const std::string& specifier, const std::string&, const std::string&,
                  const std::string& text, std::stringstream& out) override {
    out << specifier << text;
    return 0;
  }

  int asked = 0;
  bool askedOtherwise = false;

 private:
  uint8_t selector_;
};

// specifier, modifier, delimiter, text
using Fields = std::array<std::string, 4>;

struct Outcome {
  bool failed = false;
  int code = 0;
  int position = 0;
  std::vector<Fields> tokens;
  std::optional<char> failedKind;  // the kind of the token a rule refused
};

Fields describe(const zt::token::TokenObjectEx& t) {
  return {t.specifier, t.modifier, t.delimiter, t.text};
}

Outcome scan(const std::string& format, KORATokenFormatterExInterface* formatter) {
  Outcome out;
  TokenParserEx parser(formatter);
  try {
    zt::token::TokenStringScanner().scan(&parser, format);
  } catch (const kora_token_parser_exception& e) {
    out.failed = true;
    out.code = e.code;
    out.position = e.position;
    const std::string& kind = parser.current().specifier;
    out.failedKind = kind.empty() ? '\0' : kind[0];
  }
  for (const auto& t : parser.tokens()) {
    out.tokens.push_back(describe(*t));
  }
  return out;
}

bool same(const Outcome& a, const Outcome& b) {
  return a.failed == b.failed && a.code == b.code && a.position == b.position &&
         a.tokens == b.tokens;
}

void checkRules(const Outcome& out, const std::string& scanned) {
  static const std::set<int> kCodes = {2, 3, 5, 6, 9, 14, 21, 23, 24, 26, 27, 32};
  if (!out.failed) {
    return;
  }
  ZT_FUZZ_CHECK(kCodes.count(out.code) == 1);
  const auto hashes = static_cast<int>(std::count(scanned.begin(), scanned.end(), '#'));
  ZT_FUZZ_CHECK(out.position >= 0);
  ZT_FUZZ_CHECK(out.position <= static_cast<int>(scanned.size()) + hashes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const uint8_t selector = data[0];
  const std::string format(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string scanned = format.substr(0, format.find('\0'));

  const Outcome plain = scan(format, nullptr);
  checkRules(plain, scanned);
  // Without a formatter only a field with a modifier is refused with 27.
  ZT_FUZZ_CHECK(!plain.failed || plain.code != 27 ||
                (plain.failedKind >= 'A' && plain.failedKind <= 'F'));

  Formatter accepting(0);
  const Outcome accepted = scan(format, &accepting);
  ZT_FUZZ_CHECK(same(accepted, plain));
  ZT_FUZZ_CHECK(accepting.asked == static_cast<int>(plain.tokens.size()) + (plain.failed ? 1 : 0));
  ZT_FUZZ_CHECK(!accepting.askedOtherwise);

  Formatter refusing(selector);
  const Outcome refused = scan(format, &refusing);
  checkRules(refused, scanned);
  // The first token of a refused kind, among the committed ones and the one a rule stopped at.
  std::vector<char> kinds;
  for (const Fields& t : plain.tokens) {
    kinds.push_back(t[0].empty() ? '\0' : t[0][0]);
  }
  if (plain.failedKind) {
    kinds.push_back(*plain.failedKind);
  }
  const auto first =
      std::find_if(kinds.begin(), kinds.end(), [&](char k) { return refusing.refuses(k); });
  if (first == kinds.end()) {
    ZT_FUZZ_CHECK(same(refused, plain));
  } else {
    const auto index = static_cast<std::size_t>(first - kinds.begin());
    ZT_FUZZ_CHECK(refused.failed && refused.code == 27);
    ZT_FUZZ_CHECK(refused.tokens ==
                  std::vector<Fields>(plain.tokens.begin(), plain.tokens.begin() + index));
  }

  // The public object: formatTokens validates with the formatter installed, processTokens
  // without it (its verdicts only decide what the document leaves out).
  zt::token::KORATokenParserEx object;
  std::string text = "unchanged";
  try {
    object.formatTokens(format.c_str(), text, &refusing);
    ZT_FUZZ_CHECK(!refused.failed);
    std::string expected;
    for (const Fields& t : refused.tokens) {
      expected += t[0] + t[3];
    }
    ZT_FUZZ_CHECK(text == expected.substr(0, expected.find('\0')));
  } catch (const kora_token_parser_exception& e) {
    ZT_FUZZ_CHECK(refused.failed && e.code == refused.code && e.position == refused.position);
    ZT_FUZZ_CHECK(text == "unchanged");
  }
  std::string xml = "unchanged";
  try {
    object.processTokens(format.c_str(), xml, &refusing);
    ZT_FUZZ_CHECK(!plain.failed);
    ZT_FUZZ_CHECK(xml.starts_with("<processedtokens>"));
  } catch (const kora_token_parser_exception& e) {
    ZT_FUZZ_CHECK(plain.failed && e.code == plain.code && e.position == plain.position);
    ZT_FUZZ_CHECK(xml == "unchanged");
  }
  return 0;
}
