// The token parser's XML forms and its public object: the processedtokens document byte for
// byte, both readers, round trips, hostile XML, and the failure paths of every operation.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "token/kora_token_parser.h"
#include "token/token_parser.h"
#include "token/token_scanner.h"
#include "token/token_xml.h"
#include "zttools.h"

namespace zt::token {
namespace {

std::string process(const std::string& format) {
  std::string xml;
  KORATokenParser().processTokens(format.c_str(), xml);
  return xml;
}

std::string tokenString(const std::string& xml) {
  std::string format = "old";
  const uint32_t length = KORATokenParser().buildTokenString(xml.c_str(), format);
  EXPECT_EQ(length, format.size());
  return format;
}

std::string templateString(const std::string& xml) {
  std::string text = "old";
  const uint32_t length = KORATokenParser().buildTemplateString(xml.c_str(), text);
  EXPECT_EQ(length, text.size());
  return text;
}

// Tokens written as kind(modifier,delimiter,text).
std::vector<std::string> scanTokens(const std::string& format) {
  TokenParser parser;
  TokenStringScanner().scan(&parser, format);
  std::vector<std::string> out;
  for (const auto& t : parser.tokens()) {
    out.push_back(t->specifier + "(" + t->modifier + "," + t->delimiter + "," + t->text + ")");
  }
  return out;
}

TEST(ProcessedTokens, DocumentLayoutByteForByte) {
  EXPECT_EQ(process("Lot A %05S"),
            "<processedtokens>\r\n"
            "\t<messages>\r\n"
            "\t\t<message index=\"1\" length=\"5\"><![CDATA[Lot A]]></message>\r\n"
            "\t</messages>\r\n"
            "\t<tokens>\r\n"
            "\t\t<message><![CDATA[Lot A]]></message>\r\n"
            "\t\t<blank/>\r\n"
            "\t\t<counter modifier=\"5\" delimiter=\"0\"/>\r\n"
            "\t</tokens>\r\n"
            "</processedtokens>");
  EXPECT_EQ(process("%1/Y %T#%N"),
            "<processedtokens>\r\n"
            "\t<tokens>\r\n"
            "\t\t<date modifier=\"1\" delimiter=\"/\"/>\r\n"
            "\t\t<blank/>\r\n"
            "\t\t<time/>\r\n"
            "\t\t<counter modifier=\"#\"/>\r\n"
            "\t\t<newline/>\r\n"
            "\t</tokens>\r\n"
            "</processedtokens>");
  EXPECT_EQ(process(""), "<processedtokens>\r\n\t<tokens/>\r\n</processedtokens>");
}

TEST(ProcessedTokens, MessagePiecesAreNumberedLongestFirst) {
  const std::string xml = process("ab %Y abcdefghijklmnopqrstuvwxyz");
  EXPECT_NE(xml.find("<message index=\"1\" length=\"20\"><![CDATA[abcdefghijklmnopqrst]]>"),
            std::string::npos)
      << xml;
  EXPECT_NE(xml.find("<message index=\"2\" length=\"6\"><![CDATA[uvwxyz]]>"), std::string::npos);
  EXPECT_NE(xml.find("<message index=\"3\" length=\"2\"><![CDATA[ab]]>"), std::string::npos);
  // The token keeps its whole text.
  EXPECT_NE(xml.find("<message><![CDATA[abcdefghijklmnopqrstuvwxyz]]></message>"),
            std::string::npos);
}

TEST(TokenStringReader, ReadsProcessedTokensDocuments) {
  struct Case {
    const char* xml;
    const char* format;
  };
  const Case cases[] = {
      {"<processedtokens><tokens><date modifier=\"1\" delimiter=\"/\"/><blank/>"
       "<message><![CDATA[50%]]></message><counter modifier=\"#\"/><newline/></tokens>"
       "</processedtokens>",
       "%1/Y 50%%#%N"},
      {"<p><tokens><counter modifier=\"5\" delimiter=\"0\"/></tokens></p>", "%50S"},
      // The specifier attribute replaces the kind; attributes elsewhere are ignored.
      {"<p><tokens><date specifier=\"T\" modifier=\"2\"/><blank modifier=\"9\"/></tokens></p>",
       "%2T "},
      // Definitions inside "messages" write nothing; white-space text is ignored and the
      // element repeats the text before it.
      {"<p><messages><message>X</message></messages><tokens><message>A</message>"
       "<message> </message><message/></tokens></p>",
       "AAA"},
      // Unknown elements are ignored, their children still read; the extended kinds are
      // unknown here.
      {"<p><tokens><wrap><time modifier=\"3\"/></wrap><unknown/><iafielda/>"
       "<level modifier=\"1\"><date/></level></tokens></p>",
       "%3T%Y"},
      {"<tokens/>", ""},
      {"<p><tokens><date/><error/></tokens></p>", ""},
      {"<p><tokens><date/></tokens></p", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(tokenString(c.xml), c.format) << c.xml;
  }
}

TEST(TemplateReader, ReadsTemplateDocuments) {
  struct Case {
    const char* xml;
    const char* text;
  };
  const Case cases[] = {
      {"<t><messages><message>HELLO</message><message>WORLD</message></messages><tokens><date/>"
       "<message>HELLO</message><blank/><message>WORLD</message><counter/></tokens></t>",
       "Y1 2S"},
      {"<t><messages><message>AB</message></messages><tokens><message>XABY</message>"
       "<time/><newline/></tokens></t>",
       "X1YTN"},
      // Every occurrence is replaced, not only the first.
      {"<t><messages><message>A</message></messages><tokens><message>A-A</message></tokens></t>",
       "1-1"},
      // An empty definition keeps its number but replaces nothing.
      {"<t><messages><message/><message>B</message></messages><tokens><message>B</message>"
       "</tokens></t>",
       "2"},
      {"<tokens/>", ""},
      {"<t><tokens><error/><date/></tokens></t>", "Y"},
      {"<t><tokens><date/>", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(templateString(c.xml), c.text) << c.xml;
  }
  // A processedtokens document is a template document too.
  EXPECT_EQ(templateString(process("Lot A %05S %1/Y")), "1 S Y");
}

TEST(TokenXml, RoundTripsGiveTheSameTokens) {
  const char* formats[] = {
      "Lot A %5S",
      "%1/Y %T",
      "%N%1.-Y%N",
      "50%% off",
      "a]]>b %Y",
      "x & y < z",
      "\"quoted\" 'too'",
      "\xC3\xA9t\xC3\xA9 %5S",
      "#",
      "%S %9S %0S",
      "a\rb",
      "a\tb %Y",
      "<![CDATA[x]]>",
      "%Y%T%S%N",
      "one two three four five six seven eight nine ten",
  };
  for (const char* format : formats) {
    const std::string back = tokenString(process(format));
    SCOPED_TRACE(std::string(format) + " -> " + back);
    EXPECT_EQ(scanTokens(back), scanTokens(format)) << format << " -> " << back;
  }
  // A counter with a flag comes back in its rewritten form, width then flag, which the scanner
  // would read as a new digit run: the document keeps the fields, the string shows the rewrite.
  EXPECT_EQ(tokenString(process("%05S")), "%50S");
  EXPECT_EQ(tokenString(process("Lot %13S")), "Lot %31S");
  EXPECT_EQ(tokenString(process("%0S")), "%0S");
}

TEST(TokenXml, HostileDocumentsGiveAnEmptyResultQuickly) {
  char path[] = "/tmp/zt-tokxmlXXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, "%Y", 2), 2);
  close(fd);

  std::string bomb = "<!DOCTYPE p [<!ENTITY l0 \"%Y%Y%Y%Y%Y%Y%Y%Y%Y%Y\">";
  for (int i = 1; i < 10; ++i) {
    bomb += "<!ENTITY l" + std::to_string(i) + " \"";
    for (int j = 0; j < 10; ++j) {
      bomb += "&l" + std::to_string(i - 1) + ";";
    }
    bomb += "\">";
  }
  bomb += "]><p><tokens><message>&l9;</message></tokens></p>";
  std::string deep = "<p><tokens>";
  for (int i = 0; i < 100000; ++i) {
    deep += "<n>";
  }
  deep += "<date/>";
  for (int i = 0; i < 100000; ++i) {
    deep += "</n>";
  }
  deep += "</tokens></p>";
  const std::string longName(1 << 20, 'n');
  const std::string inputs[] = {
      process("Lot A %05S").substr(0, 60),
      "\x01\x02\xff\xfe\x00\x7f garbage",
      "",
      bomb,
      std::string("<!DOCTYPE p [<!ENTITY x SYSTEM \"file://") + path +
          "\">]><p><tokens><message>&x;</message></tokens></p>",
      deep,
      "<p><tokens><" + longName + "/><date/></tokens></p>",
  };
  for (const std::string& xml : inputs) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(tokenString(xml), "") << xml.substr(0, 60);
    EXPECT_EQ(templateString(xml), "") << xml.substr(0, 60);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  }
  std::remove(path);
}

// Writes each token's fields, so that the call sequence is visible in the text.
class FieldFormatter final : public KORATokenFormatterInterface {
 public:
  int formatToken(const std::string& specifier, const std::string& modifier,
                  const std::string& delimiter, const std::string& text,
                  std::stringstream& out) override {
    out << '[' << specifier << '|' << modifier << '|' << delimiter << '|' << text << ']';
    return 0;
  }
};

class NulFormatter final : public KORATokenFormatterInterface {
 public:
  int formatToken(const std::string&, const std::string&, const std::string&, const std::string&,
                  std::stringstream& out) override {
    out << "ab" << '\0' << "cd";
    return 0;
  }
};

class ThrowingFormatter final : public KORATokenFormatterInterface {
 public:
  int formatToken(const std::string&, const std::string&, const std::string&, const std::string&,
                  std::stringstream& out) override {
    out << "partial";
    throw std::runtime_error("formatter");
  }
};

TEST(KoraTokenParser, FormatsEachTokenOnceInOrder) {
  KORATokenParser parser;
  FieldFormatter fields;
  std::string text;
  const uint32_t length = parser.formatTokens("Lot%%1 # %05S%1/Y%N", text, &fields);
  EXPECT_EQ(length, text.size());
  EXPECT_EQ(text, "[M|||Lot%1][_|||][S|#||][_|||][S|5|0|][Y|1|/|][N|||]");
  NulFormatter nul;
  EXPECT_EQ(parser.formatTokens("%Y%T", text, &nul), 2U);
  EXPECT_EQ(text, "ab");
  EXPECT_EQ(parser.formatTokens("AB%Y", text, nullptr), 0U);
  EXPECT_EQ(text, "");
  // A null formatter does not even scan: a bad format string raises nothing.
  EXPECT_EQ(parser.formatTokens("%Q", text, nullptr), 0U);
}

TEST(KoraTokenParser, FailuresLeaveTheOutStringUntouched) {
  KORATokenParser parser;
  std::string out = "old";
  try {
    parser.processTokens("%Q", out);
    FAIL() << "no exception";
  } catch (const kora_token_parser_exception& e) {
    EXPECT_EQ(e.code, 26);
    EXPECT_EQ(e.position, 1);
    EXPECT_STREQ(e.what(), "Unknown format specifier.");
  }
  EXPECT_EQ(out, "old");
  FieldFormatter fields;
  EXPECT_THROW(parser.formatTokens("%N%N%N", out, &fields), kora_token_parser_exception);
  EXPECT_EQ(out, "old");
  ThrowingFormatter throwing;
  EXPECT_THROW(parser.formatTokens("%Y", out, &throwing), std::runtime_error);
  EXPECT_EQ(out, "old");
  try {
    parser.raiseError(9, 3);
  } catch (const kora_token_parser_exception& e) {
    EXPECT_EQ(e.code, 9);
    EXPECT_EQ(e.position, 3);
    EXPECT_STREQ(e.what(), "Imprinter counter width is out of range.");
  }
}

TEST(KoraTokenParser, CreatedThroughTheExport) {
  KORATokenParserInterface* parser = KORATokenParserFactory_Create();
  ASSERT_NE(parser, nullptr);
  std::string xml;
  std::string format;
  EXPECT_GT(parser->processTokens("%1/Y %T", xml), 0U);
  EXPECT_EQ(parser->buildTokenString(xml.c_str(), format), 7U);
  EXPECT_EQ(format, "%1/Y %T");
  EXPECT_EQ(KORATokenParserFactory_Destroy(parser), nullptr);
}

}  // namespace
}  // namespace zt::token
