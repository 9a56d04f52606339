// The extended token engine: the added kinds and their codes and positions, the formatter asked
// before the letter is checked, the extended counters kept apart from the classic ones, and the
// document the extended public object writes.
#include <gtest/gtest.h>

#include <string>

#include "token/kora_token_parser_ex.h"
#include "token/token_xml_ex.h"
#include "token_scan.h"

namespace zt::token {
namespace {

TEST(BuilderEx, RejectsEveryRuleWithItsCodeAndPosition) {
  struct Case {
    const char* format;
    Rejection expected;
    const char* refused = "";
  };
  const Case cases[] = {
      {"%1A", {27, 1}},
      {"%2F", {27, 1}},
      {"%/B", {21, 1}},
      {"%/1C", {21, 1}},  // delimiter checked first
      {"%0L", {9, 1}},
      {"%4L", {9, 1}},
      {"%12L", {9, 2}},
      {"%-L", {21, 1}},
      {"%-1L", {21, 1}},
      {"AB %1D", {27, 4}},  // positions count as in the classic parser
      {"%A%B%C%D%E%F%L%1L%3L", {0, -1}},
      // A refusal is 27 at the letter. Asked first, a refusing formatter turns an unknown letter's
      // 26 and a bad level's 9 into 27.
      {"%Y", {27, 1}, "Y"},
      {"%Q", {27, 1}, "Q"},
      {"%A%7L", {27, 4}, "L"},
      // Message text is offered too, and can be refused.
      {"%Y text %T", {27, 2}, "M"},
  };
  for (const Case& c : cases) {
    Formatter formatter(c.refused);
    EXPECT_EQ(scanRejection<TokenParserEx>(c.format, &formatter), c.expected) << c.format;
  }
  // Every other letter is unknown.
  for (char kind : std::string("GKORUXZa")) {
    EXPECT_EQ(scanRejection<TokenParserEx>(std::string("%") + kind), (Rejection{26, 1})) << kind;
  }
  // The scanner reads punctuation after % as a delimiter, so these letters of the range only
  // reach the builder from a caller driving it directly.
  for (char kind : std::string("@[\\]^`")) {
    TokenParserEx parser;
    parser.reset();
    parser.beginToken('%');
    parser.addSpecifier(kind);
    EXPECT_EQ(rejection([&] { parser.commitToken(); }), (Rejection{26, 1})) << kind;
  }
}

TEST(BuilderEx, NestedClassicScansLeaveExtendedPositionsAlone) {
  // Classic scans, failing, run inside an extended one at every token: with counters shared
  // between the families the outer scan would report the inner scans' positions.
  Formatter nesting;
  nesting.whenAsked = [] { EXPECT_EQ(scanRejection("%N%N  %Q"), (Rejection{26, 7})); };
  EXPECT_EQ(scanRejection<TokenParserEx>("%N%N AB %1A", &nesting), (Rejection{27, 9}));
  // Each token is offered once, message text and blanks too, with "z" for both classic fields.
  EXPECT_EQ(nesting.asked, (Tokens{"N,z,z", "N,z,z", "_,z,z", "M,z,z", "_,z,z", "A,z,z"}));
}

std::string processed(const char* format, Formatter* formatter) {
  std::string xml;
  const uint32_t length = KORATokenParserEx().processTokens(format, xml, formatter);
  EXPECT_EQ(length, xml.size());
  return xml;
}

TEST(ParserEx, ProcessTokensLeavesRefusedTokensOut) {
  // Every token is asked about after the scan, with its real first characters (0 for an empty
  // field); the document keeps the accepted ones.
  Formatter all;
  EXPECT_EQ(convertTokenXmlEx(processed("%A %1/YLot %05S%3L%N#", &all)), "%A %1/YLot %50S%3L%N#");
  EXPECT_EQ(all.asked, (Tokens{"A,0,0", "_,0,0", "Y,1,/", "M,0,0", "_,0,0", "S,5,0", "L,3,0",
                               "N,0,0", "S,#,0"}));
  struct Case {
    const char* format;
    const char* refused;
    const char* readBack;
  };
  const Case cases[] = {
      {"%A %Y", "A", " %Y"},
      {"Lot A %05S", "M", " %50S"},
      {"AB %N%L%C", "MN_LC", ""},
  };
  for (const Case& c : cases) {
    Formatter formatter(c.refused);
    const std::string xml = processed(c.format, &formatter);
    EXPECT_EQ(convertTokenXmlEx(xml), c.readBack) << xml;
  }
  // No declaration, indented, and no "messages" part without message text.
  EXPECT_EQ(
      processed("%A", nullptr),
      "<processedtokens>\r\n\t<tokens>\r\n\t\t<iafielda/>\r\n\t</tokens>\r\n</processedtokens>");
  // The message pieces are written whatever the verdicts.
  Formatter noMessages("M");
  const std::string xml = processed("Lot A %05S", &noMessages);
  const std::string messages = xml.substr(0, xml.find("<tokens>"));
  for (const char* part : {"<messages>", R"(index="1")", R"(length="5")", "<![CDATA[Lot A]]>"}) {
    EXPECT_NE(messages.find(part), std::string::npos) << part << " in " << xml;
  }
}

}  // namespace
}  // namespace zt::token
