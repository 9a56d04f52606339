// The extended token engine: the added kinds and their codes and positions, the formatter asked
// before the letter is checked, the extended counters kept apart from the classic ones, and the
// extended public object's document, readers and output.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "token/kora_token_parser_ex.h"
#include "token/token_xml_ex.h"
#include "token_scan.h"

namespace zt::token {
namespace {

// A formatter whose verdict is a callable; it records every acceptToken call as "s,m,d" (an
// empty field written as '0') and writes each token as its specifier followed by `after`.
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
    out << specifier << after;
    return 0;
  }

  Tokens asked;
  std::string after;

 private:
  std::function<bool(char)> verdict_;
};

// A verdict that refuses the kinds in `letters`.
std::function<bool(char)> refusing(std::string letters) {
  return [letters](char kind) { return letters.find(kind) == std::string::npos; };
}

Rejection scanEx(const std::string& format, KORATokenFormatterExInterface* formatter = nullptr) {
  TokenParserEx parser(formatter);
  return rejection([&] { TokenStringScanner().scan(&parser, format); });
}

TEST(BuilderEx, RejectsEveryRuleWithItsCodeAndPosition) {
  struct Case {
    const char* format;
    Rejection expected;
  };
  const Case cases[] =
      {
          {"%1A", {27, 1}},  {"%2F", {27, 1}},
          {"%/B", {21, 1}},  {"%/1C", {21, 1}},  // delimiter checked first
          {"%0L", {9, 1}},   {"%4L", {9, 1}},
          {"%12L", {9, 2}},  {"%-L", {21, 1}},
          {"%-1L", {21, 1}}, {"AB %1D", {27, 4}},  // positions count as in the classic parser
      };
  for (const Case& c : cases) {
    EXPECT_EQ(scanEx(c.format), c.expected) << c.format;
  }
  // Every other letter is unknown.
  for (char kind : std::string("GKORUXZa")) {
    EXPECT_EQ(scanEx(std::string("%") + kind), (Rejection{26, 1})) << kind;
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

TEST(BuilderEx, AcceptsTheAddedKinds) {
  EXPECT_EQ(
      scanTokens<TokenParserEx>("%A%B%C%D%E%F%L%1L%3L Lot %05S%1/Y%T%N#"),
      (Tokens{"A(,,)", "B(,,)", "C(,,)", "D(,,)", "E(,,)", "F(,,)", "L(,,)", "L(1,,)", "L(3,,)",
              "_(,,)", "M(,,Lot)", "_(,,)", "S(5,0,)", "Y(1,/,)", "T(,,)", "N(,,)", "S(#,,)"}));
}

TEST(BuilderEx, AsksTheFormatterWithZzBeforeTheRules) {
  ScriptedFormatter all;
  EXPECT_EQ(scanEx("Lot %1/Y %A#", &all).code, 0);
  // Message text and blanks are offered too; the classic fields never reach the formatter.
  EXPECT_EQ(all.asked, (Tokens{"M,z,z", "_,z,z", "Y,z,z", "_,z,z", "A,z,z", "S,z,z"}));

  // A refusal is 27 at the letter. Asked first, a refusing formatter turns an unknown letter's
  // 26 and a bad level's 9 into 27.
  struct Case {
    const char* format;
    const char* refused;
    Rejection expected;
  };
  const Case cases[] = {
      {"%Y", "Y", {27, 1}},
      {"%Q", "Q", {27, 1}},
      {"%A%7L", "L", {27, 4}},
  };
  for (const Case& c : cases) {
    ScriptedFormatter formatter(refusing(c.refused));
    EXPECT_EQ(scanEx(c.format, &formatter), c.expected) << c.format;
  }
  // Message text can be refused too, and the scan stops at the first refused token.
  ScriptedFormatter noMessages(refusing("M"));
  EXPECT_EQ(scanEx("%Y text %T", &noMessages).code, 27);
  EXPECT_EQ(noMessages.asked, (Tokens{"Y,z,z", "_,z,z", "M,z,z"}));
}

TEST(BuilderEx, NestedClassicScansLeaveExtendedPositionsAlone) {
  // Classic scans, failing, run inside an extended one at every token: with counters shared
  // between the families the outer scan would report the inner scans' positions.
  int nestedRuns = 0;
  ScriptedFormatter nesting([&](char) {
    EXPECT_EQ(scanRejection("%N%N  %Q"), (Rejection{26, 7}));
    ++nestedRuns;
    return true;
  });
  EXPECT_EQ(scanEx("%N%N AB %1A", &nesting), (Rejection{27, 9}));
  EXPECT_EQ(nestedRuns, 6);
}

std::string processed(const char* format, KORATokenFormatterExInterface* formatter) {
  std::string xml;
  const uint32_t length = KORATokenParserEx().processTokens(format, xml, formatter);
  EXPECT_EQ(length, xml.size());
  return xml;
}

TEST(ParserEx, ProcessTokensLeavesRefusedTokensOut) {
  // Every token is asked about after the scan, with its real first characters (0 for an empty
  // field); the document keeps the accepted ones.
  ScriptedFormatter all;
  EXPECT_EQ(convertTokenXmlEx(processed("%A %1/YLot %05S%3L%N#", &all)), "%A %1/YLot %50S%3L%N#");
  EXPECT_EQ(all.asked, (Tokens{"A,0,0", "_,0,0", "Y,1,/", "M,0,0", "_,0,0", "S,5,0", "L,3,0",
                               "N,0,0", "S,#,0"}));
  struct Case {
    const char* format;
    const char* refused;  // null: no formatter, which accepts every token
    const char* readBack;
  };
  const Case cases[] = {
      {"%A %Y", "A", " %Y"},
      {"Lot A %05S", "M", " %50S"},
      {"AB %N%L%C", "MN_LC", ""},
      {"%A%2L", nullptr, "%A%2L"},
  };
  for (const Case& c : cases) {
    ScriptedFormatter formatter(refusing(c.refused != nullptr ? c.refused : ""));
    const std::string xml = processed(c.format, c.refused != nullptr ? &formatter : nullptr);
    EXPECT_EQ(convertTokenXmlEx(xml), c.readBack) << xml;
  }
  // No declaration, indented, and no "messages" part without message text.
  EXPECT_EQ(
      processed("%A", nullptr),
      "<processedtokens>\r\n\t<tokens>\r\n\t\t<iafielda/>\r\n\t</tokens>\r\n</processedtokens>");
  // The message pieces are written whatever the verdicts.
  ScriptedFormatter noMessages(refusing("M"));
  const std::string xml = processed("Lot A %05S", &noMessages);
  const std::string messages = xml.substr(0, xml.find("<tokens>"));
  for (const char* part : {"<messages>", R"(index="1")", R"(length="5")", "<![CDATA[Lot A]]>"}) {
    EXPECT_NE(messages.find(part), std::string::npos) << part << " in " << xml;
  }
}

TEST(ParserEx, ProcessTokensRaisesRuleViolationsWithoutAskingAndKeepsTheOutString) {
  KORATokenParserEx parser;
  ScriptedFormatter none([](char) { return false; });
  std::string xml = "old";
  EXPECT_EQ(rejection([&] { parser.processTokens("%A%1B", xml, &none); }), (Rejection{27, 3}));
  EXPECT_EQ(xml, "old");
  EXPECT_TRUE(none.asked.empty());
}

TEST(ParserEx, FormatTokensAsksWhileValidatingThenRenders) {
  KORATokenParserEx parser;
  std::string text = "old";
  ScriptedFormatter noFields(refusing("A"));
  EXPECT_EQ(rejection([&] { parser.formatTokens("%A", text, &noFields); }), (Rejection{27, 1}));
  EXPECT_EQ(text, "old");

  ScriptedFormatter all;
  EXPECT_EQ(parser.formatTokens("%A %1/Y", text, &all), 3u);
  EXPECT_EQ(text, "A_Y");
  EXPECT_EQ(all.asked, (Tokens{"A,z,z", "_,z,z", "Y,z,z"}));

  // A null formatter scans nothing, even an invalid string.
  EXPECT_EQ(parser.formatTokens("%Q%1A", text, nullptr), 0u);
  EXPECT_EQ(text, "");
}

TEST(ParserEx, FormatTokensStopsAtTheFirstNul) {
  ScriptedFormatter formatter;
  formatter.after = std::string("\0hidden", 7);
  std::string text;
  EXPECT_EQ(KORATokenParserEx().formatTokens("%B%C", text, &formatter), 1u);
  EXPECT_EQ(text, "B");
}

TEST(ParserEx, RaiseErrorIsTheClassicRaise) {
  KORATokenParserExInterface* parser = KORATokenParserExFactory_Create();
  EXPECT_EQ(rejection([&] { parser->raiseError(27, 4); }), (Rejection{27, 4}));
  EXPECT_EQ(KORATokenParserExFactory_Destroy(parser), nullptr);
}

TEST(ReadersEx, ReadExtendedDocuments) {
  // The public XML parser drops the leading white space of a text.
  const char* document =
      "<p><messages><message>AB</message></messages><tokens><iafieldc/><level modifier=\"2\"/>"
      "<level/><message>  AB</message><iafieldf/></tokens></p>";
  KORATokenParserEx parser;
  std::string out = "old";
  EXPECT_EQ(parser.buildTokenString(document, out, nullptr), 11u);
  EXPECT_EQ(out, "%C%2L%LAB%F");
  ScriptedFormatter any;
  EXPECT_EQ(parser.buildTemplateString(document, out, &any), 5u);
  EXPECT_EQ(out, "CLL1F");
  EXPECT_TRUE(any.asked.empty());
}

}  // namespace
}  // namespace zt::token
