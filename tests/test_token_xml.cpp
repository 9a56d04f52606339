// The token parsers' XML forms and their public objects: the processedtokens document byte for
// byte, the verdicts that leave tokens out of the extended one, the token and template readers of
// both parsers, round trips, hostile XML, formatting and the failure paths of every operation.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <type_traits>

#include "token/kora_token_parser.h"
#include "token/kora_token_parser_ex.h"
#include "token/token_xml.h"
#include "token/token_xml_ex.h"
#include "token_scan.h"
#include "zttools.h"

namespace zt::token {
namespace {

// Runs `operation` of a new object on `in` with an out string holding "old", checks the length
// it returns and gives the string; the extended operations take a formatter (or nullptr) last.
template <class Parser, class... Extra>
std::string run(uint32_t (Parser::*operation)(const char*, std::string&, Extra...),
                const std::string& in, std::type_identity_t<Extra>... formatter) {
  std::string out = "old";
  const uint32_t length = (Parser().*operation)(in.c_str(), out, formatter...);
  EXPECT_EQ(length, out.size());
  return out;
}
constexpr auto process = &KORATokenParser::processTokens;
constexpr auto tokenString = &KORATokenParser::buildTokenString;
constexpr auto templateString = &KORATokenParser::buildTemplateString;
constexpr auto processEx = &KORATokenParserEx::processTokens;
constexpr auto tokenStringEx = &KORATokenParserEx::buildTokenString;
constexpr auto templateStringEx = &KORATokenParserEx::buildTemplateString;

TEST(ProcessedTokens, DocumentLayoutByteForByte) {
  // Message pieces are listed longest first and numbered; the token keeps its whole text.
  EXPECT_EQ(run(process, "Lot A %05S abcdefghijklmnopqrstuvwxyz%1/Y %T#%N"),
            "<processedtokens>\r\n"
            "\t<messages>\r\n"
            "\t\t<message index=\"1\" length=\"20\"><![CDATA[abcdefghijklmnopqrst]]></message>\r\n"
            "\t\t<message index=\"2\" length=\"6\"><![CDATA[uvwxyz]]></message>\r\n"
            "\t\t<message index=\"3\" length=\"5\"><![CDATA[Lot A]]></message>\r\n"
            "\t</messages>\r\n"
            "\t<tokens>\r\n"
            "\t\t<message><![CDATA[Lot A]]></message>\r\n"
            "\t\t<blank/>\r\n"
            "\t\t<counter modifier=\"5\" delimiter=\"0\"/>\r\n"
            "\t\t<blank/>\r\n"
            "\t\t<message><![CDATA[abcdefghijklmnopqrstuvwxyz]]></message>\r\n"
            "\t\t<date modifier=\"1\" delimiter=\"/\"/>\r\n"
            "\t\t<blank/>\r\n"
            "\t\t<time/>\r\n"
            "\t\t<counter modifier=\"#\"/>\r\n"
            "\t\t<newline/>\r\n"
            "\t</tokens>\r\n"
            "</processedtokens>");
  EXPECT_EQ(run(process, ""), "<processedtokens>\r\n\t<tokens/>\r\n</processedtokens>");
}

// The classic readers run on the internal SAX layer, the extended ones on the public XML parser;
// they share their reading rules, so every document here is read by both public objects.
TEST(TokenReaders, BothParsersReadDocumentsAlike) {
  std::string deep = "<p><tokens>";
  for (int i = 0; i < 100000; ++i) {
    deep.insert(11, "<n>");
    deep += "</n>";
  }
  struct Case {
    std::string xml;
    const char* format;
    const char* templ;
    const char* formatEx = nullptr;  // where the extended readers differ
    const char* templEx = nullptr;
  };
  const Case cases[] = {
      {"<processedtokens><tokens><date modifier=\"1\" delimiter=\"/\"/><blank/>"
       "<message><![CDATA[50%]]></message><counter modifier=\"#\"/><newline/></tokens>"
       "</processedtokens>",
       "%1/Y 50%%#%N", "Y 50%SN"},
      {"<p><tokens><counter modifier=\"5\" delimiter=\"0\"/></tokens></p>", "%50S", "S"},
      // The specifier attribute replaces the kind; attributes elsewhere are ignored.
      {"<p><tokens><date specifier=\"T\" modifier=\"2\"/><blank modifier=\"9\"/></tokens></p>",
       "%2T ", "Y "},
      // Unknown elements are ignored, their children still read; the extended kinds are
      // unknown to the classic readers.
      {"<p><tokens><wrap><time modifier=\"3\"/></wrap><unknown/><iafielda/><level modifier=\"1\"/>"
       "<date/></tokens></p>",
       "%3T%Y", "TY", "%3T%A%1L%Y", "TALY"},
      // The public XML parser drops the leading white space of a text.
      {"<p><messages><message>AB</message></messages><tokens><iafieldc/><level/>"
       "<message>  AB</message><iafieldf/></tokens></p>",
       "  AB", "  1", "%C%LAB%F", "CL1F"},
      // A message without text repeats the one before it (white-space-only text counts as none);
      // another token element in between clears it for the format string only. Definitions
      // inside "messages" write nothing to the format string.
      {"<p><messages><message>X</message></messages><tokens><message>A</message>"
       "<message> </message><message/><date/><message/></tokens></p>",
       "AAA%Y", "AAAYA"},
      // Definitions are numbered left to right and replace every occurrence, inside longer texts
      // too; an empty one keeps its number but replaces nothing.
      {"<p><messages><message>AB</message><message/><message>Q</message></messages><tokens>"
       "<message>XABY</message><blank/><message>Q-Q</message><time/><newline/></tokens></p>",
       "XABY Q-Q%T%N", "X1Y 3-3TN"},
      // An error element empties the format string; the template reader ignores it.
      {"<p><tokens><date/><x><error/></x><time/></tokens></p>", "", "YT"},
      {"<tokens/>", "", ""},
      // Documents that do not parse give an empty result, whatever was read before the fault.
      {"", "", ""},
      {"<p><tokens><date/></tokens></p", "", ""},
      {"\x01\x02\xff\xfe\x7f garbage", "", ""},
      {deep.substr(0, 11) + "<date/>" + deep.substr(11), "", ""},
      {"<p><tokens><" + std::string(1 << 20, 'n') + "/><date/></tokens></p>", "", ""},
  };
  for (const Case& c : cases) {
    const std::string shown = c.xml.substr(0, 80);
    EXPECT_EQ(run(tokenString, c.xml), c.format) << shown;
    EXPECT_EQ(run(templateString, c.xml), c.templ) << shown;
    EXPECT_EQ(run(tokenStringEx, c.xml, nullptr), c.formatEx ? c.formatEx : c.format) << shown;
    EXPECT_EQ(run(templateStringEx, c.xml, nullptr), c.templEx ? c.templEx : c.templ) << shown;
  }
}

// Attribute values reach the classic readers through a buffer of 1023 bytes and a terminator and
// the extended ones through one of 2047: what does not fit is cut.
TEST(TokenReaders, AttributeValuesAreCutToTheirBuffers) {
  auto document = [](size_t length) {
    return "<p><tokens><date modifier=\"" + std::string(length, '1') + "\"/></tokens></p>";
  };
  for (const size_t extra : {0U, 1U, 2U}) {
    EXPECT_EQ(run(tokenString, document(1023 + extra)), "%" + std::string(1023, '1') + "Y")
        << extra;
    EXPECT_EQ(convertTokenXmlEx(document(2047 + extra)), "%" + std::string(2047, '1') + "Y")
        << extra;
  }
}

// The document of every pair of pieces reads back to a string that scans into the same tokens,
// through either parser (the classic one for classic pieces only). Left out: message text with
// '#', which reads back as a counter since only '%' is escaped in text, and a counter with both
// flag and width, which reads back rewritten (below).
TEST(TokenXml, RoundTripsGiveTheSameTokens) {
  // The first nine pieces are extended kinds.
  const std::string pieces[] = {
      "%A", "%B",   "%C",    "%D",   "%E",  "%F",    "%L",   "%1L",       "%3L",
      "%Y", "%1/Y", "%5-.Y", "%T",   "%9T", "%5S",   "%0S",  "%S",        "#",
      "%N", " ",    "Lot",   "50%%", "a.b", "x]]>y", "a\rb", "x & y < z", "\xc3\xa9t\xc3\xa9"};
  constexpr std::size_t kExtendedOnly = 9;
  for (std::size_t i = 0; i < std::size(pieces); ++i) {
    for (std::size_t j = 0; j < std::size(pieces); ++j) {
      const std::string format = pieces[i] + pieces[j];
      if (format == "##") {
        continue;  // the message text "#"
      }
      const std::string back = run(tokenStringEx, run(processEx, format, nullptr), nullptr);
      EXPECT_EQ(scanTokens<TokenParserEx>(back), scanTokens<TokenParserEx>(format))
          << format << " -> " << back;
      if (i >= kExtendedOnly && j >= kExtendedOnly) {
        const std::string classicBack = run(tokenString, run(process, format));
        EXPECT_EQ(scanTokens(classicBack), scanTokens(format)) << format << " -> " << classicBack;
      }
    }
  }
  // A counter with a flag comes back in its rewritten form, width then flag, which the scanner
  // would read as a new digit run: the document keeps the fields, the string shows the rewrite.
  EXPECT_EQ(run(tokenString, run(process, "Lot %13S")), "Lot %31S");
}

TEST(ParserEx, ProcessTokensLeavesRefusedTokensOut) {
  // Every token is asked about after the scan, with its real first characters (0 for an empty
  // field); the document keeps the accepted ones.
  Formatter all;
  EXPECT_EQ(convertTokenXmlEx(run(processEx, "%A %1/YLot %05S%3L%N#", &all)),
            "%A %1/YLot %50S%3L%N#");
  EXPECT_EQ(all.asked, (Tokens{"A,0,0", "_,0,0", "Y,1,/", "M,0,0", "_,0,0", "S,5,0", "L,3,0",
                               "N,0,0", "S,#,0"}));
  auto processed = [](const char* format, const char* refused) {
    Formatter formatter(refused);
    return run(processEx, format, &formatter);
  };
  EXPECT_EQ(convertTokenXmlEx(processed("%A %Y", "A")), " %Y");
  EXPECT_EQ(convertTokenXmlEx(processed("Lot A %05S", "M")), " %50S");
  EXPECT_EQ(convertTokenXmlEx(processed("AB %N%L%C", "MN_LC")), "");
  // No declaration, indented, and no "messages" part without message text.
  EXPECT_EQ(
      run(processEx, "%A", nullptr),
      "<processedtokens>\r\n\t<tokens>\r\n\t\t<iafielda/>\r\n\t</tokens>\r\n</processedtokens>");
  // The message pieces are written whatever the verdicts.
  const std::string xml = processed("Lot A %05S", "M");
  const std::string messages = xml.substr(0, xml.find("<tokens>"));
  for (const char* part : {"<messages>", R"(index="1")", R"(length="5")", "<![CDATA[Lot A]]>"}) {
    EXPECT_NE(messages.find(part), std::string::npos) << part << " in " << xml;
  }
}

// Both public objects hand the same tokens to the formatter: each once, in order, with its fields
// (the counter rewritten); the text ends at the first NUL; a null formatter does not even scan.
// Failures leave the out string as it was.
TEST(KoraTokenParsers, FormatEachTokenInOrderAndFailWithoutOutput) {
  auto check = [](auto& parser) {
    Formatter fields;
    std::string text;
    const uint32_t length = parser.formatTokens("Lot%%1 # %05S%1/Y%N", text, &fields);
    EXPECT_EQ(length, text.size());
    EXPECT_EQ(text, "[M|||Lot%1][_|||][S|#||][_|||][S|5|0|][Y|1|/|][N|||]");
    fields.after = std::string("\0cd", 3);
    EXPECT_EQ(parser.formatTokens("%Y%T", text, &fields), 6U);
    EXPECT_EQ(text, "[Y|||]");
    EXPECT_EQ(parser.formatTokens("AB%Q", text, nullptr), 0U);
    EXPECT_EQ(text, "");
    text = "old";
    EXPECT_EQ(rejection([&] { parser.formatTokens("%N%N%N", text, &fields); }), (Rejection{23, 4}));
    fields.throws = true;
    EXPECT_THROW(parser.formatTokens("%Y", text, &fields), std::runtime_error);
    EXPECT_EQ(rejection([&] { parser.raiseError(9, 3); }), (Rejection{9, 3}));
    EXPECT_EQ(text, "old");
  };
  KORATokenParser classic;
  check(classic);
  std::string out = "old";
  EXPECT_EQ(rejection([&] { classic.processTokens("%Q", out); }), (Rejection{26, 1}));
  KORATokenParserExInterface* extended = KORATokenParserExFactory_Create();
  check(*extended);
  // The verdicts are not asked while processTokens scans; formatTokens asks them while it
  // validates, and a refusal fails the call.
  Formatter none("AB");
  EXPECT_EQ(rejection([&] { extended->processTokens("%A%1B", out, &none); }), (Rejection{27, 3}));
  EXPECT_TRUE(none.asked.empty());
  EXPECT_EQ(rejection([&] { extended->formatTokens("%A", out, &none); }), (Rejection{27, 1}));
  EXPECT_EQ(out, "old");
  EXPECT_EQ(KORATokenParserExFactory_Destroy(extended), nullptr);
}

}  // namespace
}  // namespace zt::token
