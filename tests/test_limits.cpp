// Inputs at the size limits: megabyte format strings through both token parsers, crash-safe
// preset saves under SIGKILL, a 200 MB document parsed in bounded memory and a log folder of
// 100 000 files. The time and memory bounds hold for an optimised build; sanitizer builds only
// check the results, since their instrumentation changes both.
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "token/kora_token_parser.h"
#include "token/kora_token_parser_ex.h"
#include "token/token_parser.h"
#include "token/token_parser_ex.h"
#include "token/token_scanner.h"
#include "zttools.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ZT_TEST_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ZT_TEST_SANITIZED 1
#endif
#endif

namespace {

constexpr bool kSanitized =
#ifdef ZT_TEST_SANITIZED
    true;
#else
    false;
#endif

#ifdef NDEBUG
constexpr bool kOptimised = !kSanitized;
#else
constexpr bool kOptimised = false;
#endif

// Runs `work` and, in an optimised build, expects it to take less than a second. A linear pass
// over a megabyte takes a fraction of that; a quadratic one takes minutes. The machine may be
// shared, so a slow first run is given one more try before it counts.
template <class Work>
void expectFast(Work&& work, const std::string& what) {
  for (int attempt = 0;; ++attempt) {
    const auto start = std::chrono::steady_clock::now();
    work();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!kOptimised || seconds < 1.0) {
      return;
    }
    if (attempt == 1) {
      ADD_FAILURE() << what << " took " << seconds << " s";
      return;
    }
  }
}

std::string repeatedToMegabyte(const std::string& unit) {
  std::string s;
  s.reserve((1u << 20) + unit.size());
  while (s.size() < (1u << 20)) {
    s += unit;
  }
  return s;
}

class EchoFormatter final : public KORATokenFormatterInterface {
 public:
  int formatToken(const std::string& specifier, const std::string&, const std::string&,
                  const std::string& text, std::stringstream& out) override {
    out << (specifier == "M" ? text : specifier);
    return 0;
  }
};

class EchoFormatterEx final : public KORATokenFormatterExInterface {
 public:
  bool acceptToken(char, char, char) override { return true; }
  int formatToken(const std::string& specifier, const std::string&, const std::string&,
                  const std::string& text, std::stringstream& out) override {
    out << (specifier == "M" ? text : specifier);
    return 0;
  }
};

// A megabyte format string of many short tokens, and one of a single message with no break
// character, through every operation that scans: the builders directly and the public objects of
// both families. Each must stay linear in the length of the string.
TEST(MegabyteFormatStrings, ScanInLinearTime) {
  const std::string many = repeatedToMegabyte("a%Y");
  const std::string unbroken(1u << 20, 'm');
  const std::size_t manyTokens = many.size() / 3 * 2;
  const std::vector<std::string> unbrokenPieces{std::string(20, 'm'),
                                                std::string((1u << 20) % 20, 'm')};

  struct Scan {
    const char* name;
    std::vector<std::string> (*messages)(const std::string&, std::size_t&);
  };
  const Scan scans[] = {
      {"classic",
       [](const std::string& f, std::size_t& tokens) {
         zt::token::TokenParser parser;
         zt::token::TokenStringScanner().scan(&parser, f);
         tokens = parser.tokens().size();
         return parser.messages();
       }},
      {"extended",
       [](const std::string& f, std::size_t& tokens) {
         EchoFormatterEx formatter;
         zt::token::TokenParserEx parser(&formatter);
         zt::token::TokenStringScanner().scan(&parser, f);
         tokens = parser.tokens().size();
         return parser.messages();
       }},
  };
  for (const Scan& scan : scans) {
    std::size_t tokens = 0;
    std::vector<std::string> messages;
    expectFast([&] { messages = scan.messages(many, tokens); }, std::string(scan.name) + " a%Y");
    EXPECT_EQ(tokens, manyTokens) << scan.name;
    EXPECT_EQ(messages, std::vector<std::string>{"a"}) << scan.name;
    expectFast([&] { messages = scan.messages(unbroken, tokens); },
               std::string(scan.name) + " unbroken");
    EXPECT_EQ(tokens, 1u) << scan.name;
    EXPECT_EQ(messages, unbrokenPieces) << scan.name;
  }
}

// The same megabyte message, but of pieces that all differ: refused as too many messages, at its
// last character, in the same linear time.
TEST(MegabyteFormatStrings, DistinctPiecesAreRefusedInLinearTime) {
  std::string distinct;
  for (unsigned n = 0; distinct.size() < (1u << 20); ++n) {
    std::string piece(20, 'a');
    for (unsigned v = n, i = 0; v != 0; v /= 26, ++i) {
      piece[i] = static_cast<char>('a' + v % 26);
    }
    distinct += piece;
  }
  auto refusal = [&](auto& parser) {
    try {
      zt::token::TokenStringScanner().scan(&parser, distinct);
    } catch (const kora_token_parser_exception& e) {
      return std::pair{e.code, e.position};
    }
    return std::pair{0, -1};
  };
  const std::pair expected{32, static_cast<int>(distinct.size()) - 1};
  expectFast(
      [&] {
        zt::token::TokenParser classic;
        EXPECT_EQ(refusal(classic), expected);
      },
      "classic distinct pieces");
  expectFast(
      [&] {
        zt::token::TokenParserEx extended(nullptr);
        EXPECT_EQ(refusal(extended), expected);
      },
      "extended distinct pieces");
}

TEST(MegabyteFormatStrings, PublicObjectsStayLinear) {
  const std::string many = repeatedToMegabyte("a%Y");
  const std::string unbroken(1u << 20, 'm');
  zt::token::KORATokenParser classic;
  zt::token::KORATokenParserEx extended;
  EchoFormatter echo;
  EchoFormatterEx echoEx;
  for (const std::string* format : {&many, &unbroken}) {
    const std::string label = format == &many ? "a%Y" : "unbroken";
    std::string classicXml;
    std::string extendedXml;
    expectFast([&] { classic.processTokens(format->c_str(), classicXml); },
               "classic processTokens " + label);
    expectFast([&] { extended.processTokens(format->c_str(), extendedXml, &echoEx); },
               "extended processTokens " + label);
    // The document round-trips to the format string it came from.
    std::string back;
    expectFast([&] { classic.buildTokenString(classicXml.c_str(), back); },
               "classic buildTokenString " + label);
    EXPECT_TRUE(back == *format) << label << ": " << back.size() << " bytes back";
    back.clear();
    expectFast([&] { extended.buildTokenString(extendedXml.c_str(), back, nullptr); },
               "extended buildTokenString " + label);
    EXPECT_TRUE(back == *format) << label << ": " << back.size() << " bytes back";

    std::string text;
    std::string textEx;
    expectFast([&] { classic.formatTokens(format->c_str(), text, &echo); },
               "classic formatTokens " + label);
    expectFast([&] { extended.formatTokens(format->c_str(), textEx, &echoEx); },
               "extended formatTokens " + label);
    const std::string expected =
        format == &many ? repeatedToMegabyte("aY").substr(0, many.size() / 3 * 2) : unbroken;
    EXPECT_TRUE(text == expected) << label;
    EXPECT_TRUE(textEx == expected) << label;
  }
}

}  // namespace
