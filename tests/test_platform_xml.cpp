// The platform XML reader and writer: event stream, chunk joining, hostile input, and the
// writer's text conventions byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>
#include "platform/utf8.h"
#include "platform/xml_reader.h"
#include "platform/xml_writer.h"
#include "scratch_dir.h"

namespace zt::platform {
namespace {

class Recorder final : public SaxContentSink, public SaxErrorSink {
 public:
  std::vector<std::string> events;
  int errorLine = 0;
  int errorColumn = 0;

  Status startDocument() override { return log("doc"); }
  Status endDocument() override { return log("/doc"); }
  Status startElement(std::string_view name, SaxAttributes attributes) override {
    expectTerminated(name);
    std::string event = "<" + std::string(name);
    for (const SaxAttribute& attribute : attributes) {
      expectTerminated(attribute.localName);
      event += " " + std::string(attribute.localName) + "=" + std::string(attribute.value);
    }
    return log(event);
  }
  Status endElement(std::string_view name) override {
    expectTerminated(name);
    return log("</" + std::string(name));
  }
  Status characters(std::string_view text) override {
    expectTerminated(text);
    return log("'" + std::string(text) + "'");
  }
  Status error(ISAXLocator&, std::string_view, Status) override { return kOk; }
  Status fatalError(ISAXLocator& locator, std::string_view message, Status code) override {
    errorLine = locator.getLineNumber();
    errorColumn = locator.getColumnNumber();
    EXPECT_FALSE(message.empty());
    EXPECT_LT(code, 0);
    return kOk;
  }
  Status ignorableWarning(ISAXLocator&, std::string_view, Status) override { return kOk; }

 private:
  // Names and text are promised to be followed by a zero byte, which the bridges rely on.
  static void expectTerminated(std::string_view text) { EXPECT_EQ(text.data()[text.size()], '\0'); }
  Status log(const std::string& event) {
    events.push_back(event);
    return kOk;
  }
};

Status parse(const std::string& xml, Recorder& recorder,
             SaxReader::BadUtf8 badUtf8 = SaxReader::BadUtf8::kFail) {
  SaxReader reader;
  reader.setContentSink(&recorder);
  reader.setErrorSink(&recorder);
  return reader.parse(xml, badUtf8);
}

using Events = std::vector<std::string>;

TEST(SaxReader, DeliversEventsWithLocalNamesAndJoinedText) {
  struct Case {
    const char* xml;
    Events events;
  };
  const Case cases[] = {
      {"<a>one<b/>two</a>", {"doc", "<a", "'one'", "<b", "</b", "'two'", "</a", "/doc"}},
      // References, CDATA and plain text between two tags arrive as one chunk.
      {"<a>x &amp; <![CDATA[<y>]]>&#65;z</a>", {"doc", "<a", "'x & <y>Az'", "</a", "/doc"}},
      // A comment or processing instruction ends a run of text.
      {"<a>x<!--c-->y<?p d?>z</a>", {"doc", "<a", "'x'", "'y'", "'z'", "</a", "/doc"}},
      // Attribute values are decoded once.
      {"<a k=\"&amp;&lt;&#38;\" j=\"&amp;#38;&#x26;amp;\" e=\"\"/>",
       {"doc", "<a k=&<& j=&#38;&amp; e=", "</a", "/doc"}},
      // A declaration naming another encoding does not change how in-memory text is read.
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xc3\xa9</a>",
       {"doc", "<a", "'\xc3\xa9'", "</a", "/doc"}},
  };
  for (const Case& c : cases) {
    Recorder recorder;
    EXPECT_EQ(parse(c.xml, recorder), kOk) << c.xml;
    EXPECT_EQ(recorder.events, c.events) << c.xml;
  }
}

// Bad bytes are read as U+FFFD wherever the reader's pieces fall: a character or a bad sequence
// across the first piece boundary comes out as it would in one piece.
TEST(SaxReader, ReplacesBadUtf8AcrossPieceBoundaries) {
  constexpr std::size_t kPiece = std::size_t{256} * 1024;
  const std::string_view sequences[] = {
      "\xC3\xA9", "\xE2\x82\xAC",         "\xF0\x9F\x98\x80",
      "\xE2\x82", "\x80\x80\x80\x80\x80", "\xF0\x9F\x98\xF0\x9F\x98\x80"};
  for (const std::string_view bytes : sequences) {
    for (std::size_t shift = 0; shift < 6; ++shift) {
      std::string text(kPiece - 3 - shift, 'x');
      text.append(bytes).append("yz");
      Recorder recorder;
      ASSERT_EQ(parse("<a>" + text + "</a>", recorder, SaxReader::BadUtf8::kReplace), kOk);
      ASSERT_EQ(recorder.events.size(), 5u);
      EXPECT_EQ(recorder.events[2], "'" + replaceInvalidUtf8(text) + "'") << shift;
    }
  }
}

TEST(SaxReader, RejectsMalformedAndHostileInput) {
  // Nesting closed again, so that only the depth limit can refuse it.
  std::string opening;
  std::string closing;
  for (int i = 0; i < 100000; ++i) {
    opening += "<a>";
    closing += "</a>";
  }
  const std::string inputs[] = {
      "",
      std::string("<a>\0</a>", 8),
      "\x01\x02\xff\xfe garbage",
      "<a>\xff</a>",
      opening + closing,
      "<" + std::string(1 << 20, 'n') + "/>",
      "<a>&undeclared;</a>",
  };
  for (const std::string& xml : inputs) {
    Recorder recorder;
    EXPECT_LT(parse(xml, recorder), 0) << xml.substr(0, 40);
  }
  Recorder recorder;
  EXPECT_LT(parse("<a>\n<b></a>", recorder), 0);
  EXPECT_EQ(recorder.errorLine, 2);
  EXPECT_GT(recorder.errorColumn, 0);
}

TEST(SaxReader, ParsesLocalFilesAndRefusesOtherSchemes) {
  ScratchDir dir;
  const std::string path = dir.write("doc.xml", "<r>f</r>");
  // A file read in several blocks arrives as one text.
  const std::string big(200000, 'b');
  const std::pair<std::string, std::string> files[] = {
      {path, "f"}, {"file://" + path, "f"}, {dir.write("big.xml", "<r>" + big + "</r>"), big}};
  Recorder recorder;
  SaxReader reader;
  reader.setContentSink(&recorder);
  for (const auto& [url, text] : files) {
    EXPECT_EQ(reader.parseUrl(url), kOk) << url;
    EXPECT_EQ(recorder.events, (Events{"doc", "<r", "'" + text + "'", "</r", "/doc"}));
    recorder.events.clear();
  }
  // A file that cannot be read fails.
  EXPECT_LT(reader.parseUrl("http://localhost/x.xml"), 0);
  EXPECT_LT(reader.parseUrl(path + ".missing"), 0);
}

TEST(XmlWriter, EscapesAndReplacesWhatXmlCannotCarry) {
  XmlWriter writer;
  writer.setOmitXmlDeclaration(true);
  XmlAttributeList attributes;
  attributes.addAttribute("k", "\"&<\n\t");
  writer.startElement("e", &attributes);
  writer.characters("a&b<c>d\"");
  writer.attribute("late", "x");  // after the text: not written
  writer.startCdata();
  writer.characters("x]]>y");
  writer.endCdata();
  writer.endElement("e");
  EXPECT_EQ(
      writer.output(),
      "<e k=\"&quot;&amp;&lt;&#10;&#9;\">a&amp;b&lt;c&gt;d\"<![CDATA[x]]]]><![CDATA[>y]]></e>");
}

// Names, values and text of every length a piece is copied in (up to past the short copies),
// through both the checked-name and the scanning calls, come out byte for byte and nothing else.
TEST(XmlWriter, CopiesPiecesOfEveryLengthWhole) {
  for (std::size_t length = 1; length <= 20; ++length) {
    std::string name;
    std::string value;
    for (std::size_t i = 0; i < length; ++i) {
      name += static_cast<char>('a' + i);
      value += static_cast<char>('A' + (i + length) % 26);
    }
    for (const bool checked : {false, true}) {
      XmlWriter writer;
      writer.setIndent(true);
      writer.startElement("r", nullptr);
      if (checked) {
        writer.startElement(CheckedName{name}, nullptr);
        writer.attribute(CheckedName{name}, value);
      } else {
        writer.startElement(name, nullptr);
        writer.attribute(name, value);
      }
      writer.characters(value);
      if (checked) {
        writer.endElement(CheckedName{name});
      } else {
        writer.endElement(name);
      }
      writer.endElement("r");
      EXPECT_EQ(writer.output(), "<r>\r\n\t<" + name + " " + name + "=\"" + value + "\">" + value +
                                     "</" + name + ">\r\n</r>")
          << length << " " << checked;
    }
  }
}

}  // namespace
}  // namespace zt::platform
