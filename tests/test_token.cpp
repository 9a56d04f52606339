// The token engine: the format-string scanner driving the classic builder, the counter rewrite,
// every rule the builder checks with its code and position, and message normalisation.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "token/token_parser.h"
#include "token/token_scanner.h"
#include "zttools.h"

namespace zt::token {
namespace {

// Tokens written as kind(modifier,delimiter,text).
std::vector<std::string> describe(const TokenParser& parser) {
  std::vector<std::string> out;
  for (const auto& t : parser.tokens()) {
    out.push_back(t->specifier + "(" + t->modifier + "," + t->delimiter + "," + t->text + ")");
  }
  return out;
}

std::vector<std::string> scanTokens(const std::string& format) {
  TokenParser parser;
  TokenStringScanner().scan(&parser, format);
  return describe(parser);
}

struct Rejection {
  int code;
  int position;
};

Rejection scanRejection(const std::string& format) {
  TokenParser parser;
  try {
    TokenStringScanner().scan(&parser, format);
  } catch (const kora_token_parser_exception& e) {
    return {e.code, e.position};
  }
  return {0, -1};
}

using Tokens = std::vector<std::string>;

TEST(Scanner, CutsFormatStringsIntoTokens) {
  struct Case {
    const char* format;
    Tokens tokens;
  };
  const Case cases[] = {
      {"", {}},
      {"ABC", {"M(,,ABC)"}},
      {"AB CD", {"M(,,AB CD)"}},
      {"AB  CD", {"M(,,AB)", "_(,,)", "_(,,)", "M(,,CD)"}},
      {"AB %Y", {"M(,,AB)", "_(,,)", "Y(,,)"}},
      {"AB ", {"M(,,AB )"}},
      {" AB", {"_(,,)", "M(,,AB)"}},
      {"50%% off", {"M(,,50% off)"}},
      {"%%", {"M(,,%)"}},
      {"##1", {"M(,,#1)"}},
      {"#", {"S(#,,)"}},
      {"A#B", {"M(,,A)", "S(#,,)", "M(,,B)"}},
      {"A# B", {"M(,,A)", "S(#,,)", "_(,,)", "M(,,B)"}},
      {"%", {}},
      {"%5", {}},
      {"%5/", {}},
      {"AB%", {"M(,,AB)"}},
      {"AB%5", {"M(,,AB)"}},
      {"%1/Y %T", {"Y(1,/,)", "_(,,)", "T(,,)"}},
      {"%N%N", {"N(,,)", "N(,,)"}},
      {"Lot %05S %1/Y", {"M(,,Lot)", "_(,,)", "S(5,0,)", "_(,,)", "Y(1,/,)"}},
      {"%9T%1-.Y", {"T(9,,)", "Y(1,-.,)"}},
      {"\xc3\xa9t\xc3\xa9 %Y", {"M(,,\xc3\xa9t\xc3\xa9)", "_(,,)", "Y(,,)"}},
      {"a\tb", {"M(,,a\tb)"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(scanTokens(c.format), c.tokens) << '"' << c.format << '"';
  }
}

TEST(Scanner, StopsAtAnEmbeddedNul) {
  EXPECT_EQ(scanTokens(std::string("AB\0%Q", 5)), Tokens{"M(,,AB)"});
}

// Records the builder calls, to see what the scanner does before any rule is applied.
class RecordingBuilder final : public TokenParserInterface {
 public:
  std::string calls;
  int reset() override { return log("reset"); }
  int finish() override { return log("finish"); }
  int beginToken(char c) override { return log(std::string("begin ") + c); }
  int commitToken() override { return log("commit"); }
  int addModifier(char c) override { return log(std::string("mod ") + c); }
  int addDelimiter(char c) override { return log(std::string("delim ") + c); }
  int addSpecifier(char c) override { return log(std::string("spec ") + c); }
  int addText(char c) override { return log(std::string("text ") + c); }
  void validateToken(TokenObject&) override {}
  std::size_t normaliseMessages(std::vector<std::string>&) override { return 0; }

 private:
  int log(const std::string& call) {
    calls += call + ";";
    return 0;
  }
};

TEST(Scanner, DrivesTheBuilderInAFixedOrder) {
  struct Case {
    const char* format;
    const char* calls;
  };
  const Case cases[] = {
      {"", "reset;finish;"},
      // Digit and punctuation runs may alternate; each goes to its own field in reading order.
      {"%1/2Y", "reset;begin %;mod 1;delim /;mod 2;spec Y;commit;finish;"},
      // A dropped % token has begun but is never committed.
      {"%5", "reset;begin %;mod 5;finish;"},
      {"#", "reset;begin #;spec S;mod #;commit;finish;"},
      {"##", "reset;begin #;spec M;text #;commit;finish;"},
      {"% Y", "reset;begin %;spec  ;commit;begin Y;spec M;text Y;commit;finish;"},
      {"A %", "reset;begin A;spec M;text A;commit;begin  ;spec _;commit;begin %;finish;"},
  };
  for (const Case& c : cases) {
    RecordingBuilder builder;
    TokenStringScanner().scan(&builder, c.format);
    EXPECT_EQ(builder.calls, c.calls) << '"' << c.format << '"';
  }
}

TEST(Scanner, NullBuilderReadsNothing) {
  EXPECT_EQ(TokenStringScanner().scan(nullptr, "%Q"), 0);
}

TEST(Builder, RewritesCounterDigitsIntoFlagAndWidth) {
  struct Case {
    const char* format;
    const char* token;
  };
  const Case cases[] = {
      {"%5S", "S(5,,)"}, {"%05S", "S(5,0,)"}, {"%15S", "S(5,1,)"},
      {"%0S", "S(,0,)"}, {"#", "S(#,,)"},     {"%01S", "S(1,0,)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(scanTokens(c.format), Tokens{c.token}) << c.format;
  }
}

TEST(Builder, RejectsEveryRuleWithItsCodeAndPosition) {
  struct Case {
    const char* format;
    int code;
    int position;
  };
  const Case cases[] = {
      {"%N%N%N", 23, 4},  // the third newline, at its %
      {"%1N", 24, 1},
      {"%/N", 24, 1},
      {"%/1N", 24, 1},  // the delimiter is checked first
      {"%12Y", 3, 2},   // two modifier characters; the last one's position
      {"%0Y", 3, 1},
      {"%1,Y", 2, 2},
      {"%0T", 6, 1},
      {"%12T", 6, 2},
      {"%1.T", 5, 2},
      {"%1/Y%2.T", 5, 6},
      {"%25S", 14, 1},  // flag 2; the flag is reported one before the width
      {"%10S", 9, 2},   // width 0
      {"%123S", 9, 3},  // width 23
      {"%99999999999S", 9, 11},
      {"%#5S", 14, 1},
      // With delimiter characters the digits stay the width; the flag is still reported one
      // before the width.
      {"%1/S", 14, 0},
      {"%X", 26, 1},
      {"%y", 26, 1},
      {"%Q", 26, 1},
      {"% Y", 26, 1},
      {"%\xc3\xa9", 26, 1},
      {"AB %a", 26, 4},
      // Escapes count once and a lone # twice.
      {"%%%X", 26, 2},
      {"#%X", 26, 3},
      {"  %X", 26, 3},
      // The seventh distinct message piece, at its last character.
      {"A%YB%YC%YD%YE%YF%YG", 32, 18},
  };
  for (const Case& c : cases) {
    const Rejection r = scanRejection(c.format);
    EXPECT_EQ(r.code, c.code) << c.format;
    EXPECT_EQ(r.position, c.position) << c.format;
  }
}

TEST(Builder, AcceptsWhatTheRulesAllow) {
  const char* accepted[] = {"%N%N", "%9T",  "%1/Y", "%1,/Y", "%_Y",  "%5S",
                            "%05S", "%15S", "%0S",  "#",     "%1_Y", "%-Y"};
  for (const char* format : accepted) {
    EXPECT_EQ(scanRejection(format).code, 0) << format;
  }
  // The same text repeated counts as one message, however often.
  EXPECT_EQ(scanRejection("A%YA%YA%YA%YA%YA%YA%YA%YA").code, 0);
}

TEST(Builder, CountsPiecesOfLongMessages) {
  // 45 characters without a break: three pieces.
  const std::string long45(45, 'x');
  EXPECT_EQ(scanRejection(long45).code, 0);
  // Six distinct pieces from two long texts, then a seventh.
  auto cycling = [](char first) {
    std::string text;
    for (int i = 0; i < 60; ++i) {
      text += static_cast<char>(first + i % 26);
    }
    return text;
  };
  const std::string sixPieces = cycling('a') + "%Y" + cycling('A') + "%Y";
  EXPECT_EQ(scanRejection(sixPieces).code, 0);
  EXPECT_EQ(scanRejection(sixPieces + "c").code, 32);
}

TEST(Builder, NormalisesMessagesAtTheEnd) {
  TokenParser parser;
  TokenStringScanner().scan(&parser, "BB%YA%YCCC%YA");
  EXPECT_EQ(parser.messages(), (std::vector<std::string>{"CCC", "BB", "A"}));
}

TEST(NormaliseMessages, CutsSortsAndDeduplicates) {
  struct Case {
    std::vector<std::string> in;
    std::vector<std::string> out;
  };
  const Case cases[] = {
      {{}, {}},
      {{"BB", "A", "CCC", "A"}, {"CCC", "BB", "A"}},
      {{std::string(45, 'x')}, {std::string(20, 'x'), std::string(5, 'x')}},
      // Cut before the last break character of each 20-character window.
      {{"Hello world this is a long message"}, {"Hello world this is", " a long message"}},
      // A break only at the window's start does not count: cut after 20 characters.
      {{"!" + std::string(25, 'a')}, {"!" + std::string(19, 'a'), std::string(6, 'a')}},
      // Short texts are kept as they are beside the pieces of a long one; equal lengths stay in
      // byte order.
      {{"zz", std::string(21, 'y'), "aa"}, {std::string(20, 'y'), "aa", "zz", "y"}},
      // Bytes above 0x7F are never break characters.
      {{std::string(21, '\xe9')}, {std::string(20, '\xe9'), std::string(1, '\xe9')}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> list = c.in;
    EXPECT_EQ(normaliseMessages(list), c.out.size());
    EXPECT_EQ(list, c.out);
  }
}

TEST(NormaliseMessages, RunningPieceCountAgreesWithFullNormalisation) {
  const std::vector<std::vector<std::string>> lists = {
      {"a", "a", "b"},
      {std::string(41, 'q'), std::string(20, 'q')},
      {"one two three four five six", "one two three four", "x,y.z-w"},
  };
  for (const auto& list : lists) {
    DistinctPieces running;
    for (const std::string& text : list) {
      running.add(text);
    }
    std::vector<std::string> copy = list;
    EXPECT_EQ(running.size(), normaliseMessages(copy));
  }
}

TEST(Builder, PositionsArePerThread) {
  auto worker = [](const char* format, Rejection expected, bool* ok) {
    for (int i = 0; i < 2000; ++i) {
      const Rejection r = scanRejection(format);
      if (r.code != expected.code || r.position != expected.position) {
        *ok = false;
      }
    }
  };
  bool ok1 = true;
  bool ok2 = true;
  std::thread a(worker, "%N%N%N", Rejection{23, 4}, &ok1);
  std::thread b(worker, "AB CD %1,Y", Rejection{2, 8}, &ok2);
  a.join();
  b.join();
  EXPECT_TRUE(ok1);
  EXPECT_TRUE(ok2);
}

}  // namespace
}  // namespace zt::token
