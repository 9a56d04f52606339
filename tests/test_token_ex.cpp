// The extended token engine: the added kinds and their codes and positions, the formatter asked
// before the letter is checked, and the extended counters kept apart from the classic ones.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "token/token_parser.h"
#include "token/token_parser_ex.h"
#include "token/token_scanner.h"
#include "zttools.h"

namespace zt::token {
namespace {

using Tokens = std::vector<std::string>;

// A formatter whose verdict is a callable; it records every acceptToken call as "s,m,d" (0 for
// an empty field written as '0').
class ScriptedFormatter final : public KORATokenFormatterExInterface {
 public:
  explicit ScriptedFormatter(std::function<bool(char)> verdict = [](char) { return true; })
      : verdict_(std::move(verdict)) {}

  bool acceptToken(char specifier, char modifier, char delimiter) override {
    auto shown = [](char c) { return c == '\0' ? '0' : c; };
    asked.push_back({shown(specifier), ',', shown(modifier), ',', shown(delimiter)});
    return verdict_(specifier);
  }
  int formatToken(const std::string& specifier, const std::string&, const std::string&,
                  const std::string&, std::stringstream& out) override {
    out << specifier;
    return 0;
  }

  Tokens asked;

 private:
  std::function<bool(char)> verdict_;
};

struct Rejection {
  int code;
  int position;
};

Rejection scanRejectionEx(const std::string& format,
                          KORATokenFormatterExInterface* formatter = nullptr) {
  TokenParserEx parser(formatter);
  try {
    TokenStringScanner().scan(&parser, format);
  } catch (const kora_token_parser_exception& e) {
    return {e.code, e.position};
  }
  return {0, -1};
}

Rejection scanRejectionClassic(const std::string& format) {
  TokenParser parser;
  try {
    TokenStringScanner().scan(&parser, format);
  } catch (const kora_token_parser_exception& e) {
    return {e.code, e.position};
  }
  return {0, -1};
}

TEST(BuilderEx, RejectsEveryRuleWithItsCodeAndPosition) {
  struct Case {
    const char* format;
    int code;
    int position;
  };
  const Case cases[] = {
      {"%1A", 27, 1},
      {"%/B", 21, 1},
      {"%/1C", 21, 1},  // delimiter checked first
      {"%2F", 27, 1},
      {"%0L", 9, 1},
      {"%4L", 9, 1},
      {"%12L", 9, 2},
      {"%-L", 21, 1},
      {"%-1L", 21, 1},
      {"%G", 26, 1},
      {"%K", 26, 1},
      {"%Z", 26, 1},
      {"%Q", 26, 1},
      {"%H", 26, 1},
      {"%O", 26, 1},
      {"%R", 26, 1},
      {"%U", 26, 1},
      {"%X", 26, 1},
      {"%a", 26, 1},
      {"%\xc3\xa9", 26, 1},
      {"AB %1D", 27, 4},  // positions count as in the classic parser
      // The classic rules hold unchanged.
      {"%N%N%N", 23, 4},
      {"%12Y", 3, 2},
      {"%1,Y", 2, 2},
      {"%1.T", 5, 2},
      {"%25S", 14, 1},
      {"%10S", 9, 2},
      {"%1N", 24, 1},
      {"A%YB%YC%YD%YE%YF%YG", 32, 18},
  };
  for (const Case& c : cases) {
    const Rejection r = scanRejectionEx(c.format);
    EXPECT_EQ(r.code, c.code) << c.format;
    EXPECT_EQ(r.position, c.position) << c.format;
  }
}

TEST(BuilderEx, PunctuationLettersOfTheRangeAreUnknown) {
  // The scanner reads punctuation after % as a delimiter, so these letters only reach the
  // builder from a caller driving it directly.
  for (char kind : {'[', '\\', ']', '^', '@', '`'}) {
    TokenParserEx parser;
    parser.reset();
    parser.beginToken('%');
    parser.addSpecifier(kind);
    try {
      parser.commitToken();
      ADD_FAILURE() << kind << " accepted";
    } catch (const kora_token_parser_exception& e) {
      EXPECT_EQ(e.code, 26) << kind;
      EXPECT_EQ(e.position, 1) << kind;
    }
  }
}

TEST(BuilderEx, AcceptsTheAddedKinds) {
  TokenParserEx parser;
  TokenStringScanner().scan(&parser, "%A%B%C%D%E%F%L%1L%3L Lot %05S%1/Y%T%N#");
  Tokens kinds;
  for (const auto& t : parser.tokens()) {
    kinds.push_back(t->specifier + "(" + t->modifier + "," + t->delimiter + "," + t->text + ")");
    EXPECT_TRUE(t->accepted);
  }
  EXPECT_EQ(kinds, (Tokens{"A(,,)", "B(,,)", "C(,,)", "D(,,)", "E(,,)", "F(,,)", "L(,,)", "L(1,,)",
                           "L(3,,)", "_(,,)", "M(,,Lot)", "_(,,)", "S(5,0,)", "Y(1,/,)", "T(,,)",
                           "N(,,)", "S(#,,)"}));
  EXPECT_EQ(parser.messages(), Tokens{"Lot"});
}

TEST(BuilderEx, CodesOutsideTheTableReadTheFallbackText) {
  for (const char* format : {"%/A", "%1A"}) {
    try {
      TokenParserEx parser;
      TokenStringScanner().scan(&parser, format);
      ADD_FAILURE() << format << " was accepted";
    } catch (const kora_token_parser_exception& e) {
      EXPECT_STREQ(e.what(), "token parsing error occured") << format;
    }
  }
}

TEST(TokenObjectEx, ClearLeavesTheVerdict) {
  TokenObjectEx token;
  EXPECT_TRUE(token.accepted);
  token.accepted = false;
  token.specifier = "M";
  token.text = "x";
  token.clear();
  EXPECT_FALSE(token.accepted);
  EXPECT_TRUE(token.specifier.empty());
  EXPECT_TRUE(token.text.empty());
}

TEST(BuilderEx, AsksTheFormatterWithZzBeforeTheRules) {
  ScriptedFormatter all;
  EXPECT_EQ(scanRejectionEx("Lot %1/Y %A#", &all).code, 0);
  // Message text and blanks are offered too; the classic fields never reach the formatter.
  EXPECT_EQ(all.asked, (Tokens{"M,z,z", "_,z,z", "Y,z,z", "_,z,z", "A,z,z", "S,z,z"}));

  ScriptedFormatter noDates([](char k) { return k != 'Y'; });
  const Rejection date = scanRejectionEx("%Y", &noDates);
  EXPECT_EQ(date.code, 27);
  EXPECT_EQ(date.position, 1);

  ScriptedFormatter noMessages([](char k) { return k != 'M'; });
  EXPECT_EQ(scanRejectionEx("%Y text", &noMessages).code, 27);
  EXPECT_EQ(scanRejectionEx("%Y %T", &noMessages).code, 0);

  // Asked first: a refusing formatter turns an unknown letter's 26 into 27, and a bad level's 9.
  ScriptedFormatter none([](char) { return false; });
  const Rejection unknown = scanRejectionEx("AB%Q", &none);
  EXPECT_EQ(unknown.code, 27);
  EXPECT_EQ(none.asked, Tokens{"M,z,z"});
  ScriptedFormatter noLevel([](char k) { return k != 'L'; });
  EXPECT_EQ(scanRejectionEx("%A%7L", &noLevel).code, 27);
  EXPECT_EQ(scanRejectionEx("%A%7L", &noLevel).position, 4);
}

// Runs an extended scan from inside a formatter call, that is, in the middle of another scan.
class NestingFormatter final : public KORATokenFormatterExInterface {
 public:
  explicit NestingFormatter(std::function<void()> nested) : nested_(std::move(nested)) {}
  bool acceptToken(char, char, char) override {
    nested_();
    return true;
  }
  int formatToken(const std::string&, const std::string&, const std::string&, const std::string&,
                  std::stringstream&) override {
    return 0;
  }

 private:
  std::function<void()> nested_;
};

TEST(BuilderEx, ExtendedScansLeaveClassicPositionsAlone) {
  // A classic scan driven by hand is halfway through its third newline and a long date modifier
  // when an extended scan runs to completion (and fails) on the same thread.
  TokenParser classic;
  classic.reset();
  for (char c : {'N', 'N'}) {
    classic.beginToken('%');
    classic.addSpecifier(c);
    classic.commitToken();
  }
  classic.beginToken('%');
  classic.addModifier('1');
  classic.addModifier('2');
  EXPECT_EQ(scanRejectionEx("%N%N xxxxxxxxxx %/B").code, 21);
  EXPECT_EQ(scanRejectionEx("%N%N%N").code, 23);
  classic.addSpecifier('Y');
  try {
    classic.commitToken();
    ADD_FAILURE() << "%12Y accepted";
  } catch (const kora_token_parser_exception& e) {
    EXPECT_EQ(e.code, 3);
    EXPECT_EQ(e.position, 6);
  }
  classic.beginToken('%');
  classic.addSpecifier('N');
  try {
    classic.commitToken();
    ADD_FAILURE() << "third newline accepted";
  } catch (const kora_token_parser_exception& e) {
    EXPECT_EQ(e.code, 23);
    EXPECT_EQ(e.position, 8);
  }

  // The other way round: classic scans run inside an extended one, at every token.
  int nestedRuns = 0;
  NestingFormatter nesting([&] {
    const Rejection r = scanRejectionClassic("%N%N  %Q");
    EXPECT_EQ(r.code, 26);
    EXPECT_EQ(r.position, 7);
    ++nestedRuns;
  });
  const Rejection outer = scanRejectionEx("%N%N AB %1A", &nesting);
  EXPECT_EQ(outer.code, 27);
  EXPECT_EQ(outer.position, 9);
  EXPECT_EQ(nestedRuns, 6);
}

TEST(BuilderEx, FamiliesAlternateOnTwoThreads) {
  auto worker = [](bool extendedFirst, bool* ok) {
    for (int i = 0; i < 1000; ++i) {
      const bool extended = (i % 2 == 0) == extendedFirst;
      const Rejection r =
          extended ? scanRejectionEx("AB %N%N %L%/C") : scanRejectionClassic("AB %N%N%N");
      const Rejection expected = extended ? Rejection{21, 11} : Rejection{23, 7};
      if (r.code != expected.code || r.position != expected.position) {
        *ok = false;
      }
    }
  };
  bool ok1 = true;
  bool ok2 = true;
  std::thread a(worker, true, &ok1);
  std::thread b(worker, false, &ok2);
  a.join();
  b.join();
  EXPECT_TRUE(ok1);
  EXPECT_TRUE(ok2);
}

}  // namespace
}  // namespace zt::token
