// The token engine: the format-string scanner driving the classic builder, the counter rewrite,
// every rule the builder checks with its code and position, and message normalisation.
#include <gtest/gtest.h>

#include <string>
#include <vector>
#include "token_scan.h"

namespace zt::token {
namespace {

TEST(Scanner, CutsFormatStringsIntoTokens) {
  struct Case {
    std::string format;
    Tokens tokens;
  };
  const Case cases[] = {
      {"", {}},
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
      // A % token cut short by the end is dropped, the text before it kept.
      {"%", {}},
      {"%5", {}},
      {"%5/", {}},
      {"AB%", {"M(,,AB)"}},
      {"AB %", {"M(,,AB)", "_(,,)"}},
      {"%1/Y %T", {"Y(1,/,)", "_(,,)", "T(,,)"}},
      {"%N%N", {"N(,,)", "N(,,)"}},
      {"%9T%1-.Y", {"T(9,,)", "Y(1,-.,)"}},
      // A date delimiter needs one separator among its characters.
      {"%1,/Y%_Y", {"Y(1,,/,)", "Y(,_,)"}},
      // A counter's digit run is split into flag (first digit) and width; a lone 0 is a flag.
      {"Lot %05S %1/Y", {"M(,,Lot)", "_(,,)", "S(5,0,)", "_(,,)", "Y(1,/,)"}},
      {"%5S%15S%0S%01S", {"S(5,,)", "S(5,1,)", "S(,0,)", "S(1,0,)"}},
      // The ends of each range: widths 1 and 9, flags 0 and 1, date and time modifiers 1 and 9.
      {"%1S%9S%19S%9Y%1T", {"S(1,,)", "S(9,,)", "S(9,1,)", "Y(9,,)", "T(1,,)"}},
      {"\xc3\xa9t\xc3\xa9 %Y", {"M(,,\xc3\xa9t\xc3\xa9)", "_(,,)", "Y(,,)"}},
      {"a\tb", {"M(,,a\tb)"}},
      {std::string("AB\0%Q", 5), {"M(,,AB)"}},  // the scan stops at a NUL
  };
  for (const Case& c : cases) {
    EXPECT_EQ(scanTokens(c.format), c.tokens) << '"' << c.format << '"';
    EXPECT_EQ(scanTokens<TokenParserEx>(c.format), c.tokens) << '"' << c.format << '"';
  }
  // Without a builder nothing is read.
  EXPECT_EQ(TokenStringScanner().scan(nullptr, "%Q"), 0);
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
      {"%/1N", 24, 1},  // the delimiter is checked first
      {"%12Y", 3, 2},   // two modifier characters; the last one's position
      {"%1/2Y", 3, 3},  // digit and punctuation runs alternate, each to its own field
      {"%0Y", 3, 1},
      {"%1,Y", 2, 2},
      {"%0T", 6, 1},
      {"%12T", 6, 2},
      {"%1.T", 5, 2},
      {"%1/Y%2.T", 5, 6},
      {"%25S", 14, 1},  // flag 2; the flag is reported one before the width
      {"%10S", 9, 2},   // width 0
      {"%00S", 9, 2},
      {"%010S", 9, 3},  // width 10
      {"%123S", 9, 3},  // width 23
      {"%99999999999S", 9, 11},
      {"%#5S", 14, 1},
      // With delimiter characters the digits stay the width; the flag is still reported one
      // before the width.
      {"%1/S", 14, 0},
      {"%/S", 14, 0},  // no modifier: its position stays 0
      {"%y", 26, 1},
      {"% Y", 26, 1},
      {"%\xc3\xa9", 26, 1},
      {"AB %a", 26, 4},
      // Escapes count once and a lone # twice.
      {"%%%X", 26, 2},
      {"#%X", 26, 3},
      {"  %X", 26, 3},
      // Six distinct message pieces pass, however often each repeats; the seventh is refused at
      // its last character.
      {"BB%YA%YCCC%YA%YA%YA%YA%YA%YA%YD%YE%YF", 0, -1},
      {"A%YB%YC%YD%YE%YF%YG", 32, 18},
  };
  // The extended builder keeps every classic rule.
  for (const Case& c : cases) {
    EXPECT_EQ(scanRejection(c.format), (Rejection{c.code, c.position})) << c.format;
    EXPECT_EQ(scanRejection<TokenParserEx>(c.format), (Rejection{c.code, c.position})) << c.format;
  }
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
      // The window's edges: 20 characters stay whole; a break as the 2nd or the 20th character
      // counts, one as the 21st does not.
      {{std::string(19, 'a') + "!"}, {std::string(19, 'a') + "!"}},
      {{"a!" + std::string(20, 'b')}, {"!" + std::string(19, 'b'), "a", "b"}},
      {{std::string(19, 'a') + "!bb"}, {std::string(19, 'a'), "!bb"}},
      {{std::string(10, 'a') + "!" + std::string(9, 'a') + "!b"},
       {"!" + std::string(9, 'a') + "!b", std::string(10, 'a')}},
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

}  // namespace
}  // namespace zt::token
