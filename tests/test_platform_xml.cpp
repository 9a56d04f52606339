// The platform XML reader and writer: event stream, chunk joining, hostile input, and the
// writer's text conventions byte for byte.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "platform/xml_reader.h"
#include "platform/xml_writer.h"

namespace zt::platform {
namespace {

class Recorder final : public SaxContentSink, public SaxErrorSink {
 public:
  std::vector<std::string> events;
  std::string stopAt;  // an element name whose start is refused
  int errorLine = 0;

  Status startDocument() override { return log("doc"); }
  Status endDocument() override { return log("/doc"); }
  Status startElement(std::string_view name, SaxAttributes attributes) override {
    expectTerminated(name);
    std::string event = "<" + std::string(name);
    for (const SaxAttribute& attribute : attributes) {
      expectTerminated(attribute.localName);
      event += " " + std::string(attribute.localName) + "=" + std::string(attribute.value);
    }
    log(event);
    return name == stopAt ? kAbort : kOk;
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

Status parse(const std::string& xml, Recorder& recorder) {
  SaxReader reader;
  reader.setContentSink(&recorder);
  reader.setErrorSink(&recorder);
  return reader.parse(xml);
}

using Events = std::vector<std::string>;

TEST(SaxReader, DeliversEventsWithLocalNamesAndJoinedText) {
  struct Case {
    const char* xml;
    Events events;
  };
  const Case cases[] = {
      {"<a x=\"1\" y=\"2\">t</a>", {"doc", "<a x=1 y=2", "'t'", "</a", "/doc"}},
      {"<a>one<b/>two</a>", {"doc", "<a", "'one'", "<b", "</b", "'two'", "</a", "/doc"}},
      {"<p:a xmlns:p=\"u\" p:x=\"v\"/>", {"doc", "<a x=v", "</a", "/doc"}},
      // References, CDATA and plain text between two tags arrive as one chunk.
      {"<a>x &amp; <![CDATA[<y>]]>&#65;z</a>", {"doc", "<a", "'x & <y>Az'", "</a", "/doc"}},
      // A comment or processing instruction ends a run of text.
      {"<a>x<!--c-->y<?p d?>z</a>", {"doc", "<a", "'x'", "'y'", "'z'", "</a", "/doc"}},
      {"<a k=\"&amp;&lt;&#38;\" e=\"\"/>", {"doc", "<a k=&<& e=", "</a", "/doc"}},
      {"<a k=\"&amp;#38;&#x26;amp;\"/>", {"doc", "<a k=&#38;&amp;", "</a", "/doc"}},
      {"<!DOCTYPE a [<!ENTITY e \"ee\">]><a k=\"&e;\">&e;!</a>",
       {"doc", "<a k=ee", "'ee!'", "</a", "/doc"}},
      {"<!DOCTYPE a [<!ENTITY e \"e&#38;#38;e\">]><a k=\"&amp;&e;&#38;\"/>",
       {"doc", "<a k=&e&e&", "</a", "/doc"}},
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

// A document in memory larger than libxml2's 10 MB look-ahead limit, with text that spans the
// pieces it is fed in: every element arrives, and each text run stays one chunk.
TEST(SaxReader, ReadsLargeDocumentsInPieces) {
  class Counter final : public SaxContentSink {
   public:
    int elements = 0;
    size_t longest = 0;
    Status startDocument() override { return kOk; }
    Status endDocument() override { return kOk; }
    Status startElement(std::string_view, SaxAttributes) override {
      ++elements;
      return kOk;
    }
    Status endElement(std::string_view) override { return kOk; }
    Status characters(std::string_view text) override {
      longest = std::max(longest, text.size());
      return kOk;
    }
  };
  const std::string run(300000, 'x');
  std::string xml = "<r>";
  int expected = 1;
  while (xml.size() < (12u << 20)) {
    xml += "<t a=\"1\">" + run + "</t>";
    ++expected;
  }
  xml += "</r>";
  Counter counter;
  SaxReader reader;
  reader.setContentSink(&counter);
  EXPECT_EQ(reader.parse(xml), kOk);
  EXPECT_EQ(counter.elements, expected);
  EXPECT_EQ(counter.longest, run.size());
}

TEST(SaxReader, ASinkRefusalStopsTheParseWithItsStatus) {
  Recorder recorder;
  recorder.stopAt = "b";
  EXPECT_EQ(parse("<a><b/><c/></a>", recorder), kAbort);
  EXPECT_EQ(recorder.events, (Events{"doc", "<a", "<b"}));
}

// A sink that says it wants no text gets none until it is asked again, after its next element
// event; text it does want still arrives whole, across the chunks the reader is fed in.
TEST(SaxReader, TextASinkDoesNotWantIsDroppedUntilItIsAskedAgain) {
  class Choosy final : public SaxContentSink {
   public:
    std::vector<std::string> texts;
    bool wanted = false;
    int asked = 0;
    Status startDocument() override { return kOk; }
    Status endDocument() override { return kOk; }
    Status startElement(std::string_view name, SaxAttributes) override {
      wanted = name == "keep";
      return kOk;
    }
    Status endElement(std::string_view) override {
      wanted = false;
      return kOk;
    }
    Status characters(std::string_view text) override {
      texts.emplace_back(text);
      return kOk;
    }
    bool wantsText() override {
      ++asked;
      return wanted;
    }
  };
  const std::string big(600000, 'k');
  Choosy sink;
  SaxReader reader;
  reader.setContentSink(&sink);
  ASSERT_EQ(reader.parse("<r>r1<drop>d<!--c-->d</drop><keep>k<!--c-->" + big + "</keep>r2</r>"),
            kOk);
  EXPECT_EQ(sink.texts, (std::vector<std::string>{"k", big}));
  EXPECT_EQ(sink.asked, 7);  // after the document start and each of the six element events
}

TEST(SaxReader, RejectsMalformedAndHostileInputQuickly) {
  std::string deep;
  for (int i = 0; i < 100000; ++i) {
    deep += "<a>";
  }
  std::string bomb = "<!DOCTYPE l [<!ENTITY l0 \"lollollollollol\">";
  for (int i = 1; i < 10; ++i) {
    bomb += "<!ENTITY l" + std::to_string(i) + " \"";
    for (int j = 0; j < 10; ++j) {
      bomb += "&l" + std::to_string(i - 1) + ";";
    }
    bomb += "\">";
  }
  bomb += "]><l>&l9;</l>";
  const std::string inputs[] = {
      "",
      "<a>",
      "<a></b>",
      std::string("<a>\0</a>", 8),
      "\x01\x02\xff\xfe garbage",
      "<a>\xff</a>",
      deep,
      bomb,
  };
  for (const std::string& xml : inputs) {
    Recorder recorder;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_LT(parse(xml, recorder), 0) << xml.substr(0, 40);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  }
  Recorder recorder;
  EXPECT_LT(parse("<a>\n<b></a>", recorder), 0);
  EXPECT_EQ(recorder.errorLine, 2);
}

TEST(SaxReader, NeverReadsExternalEntities) {
  char path[] = "/tmp/zt-secretXXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, "SECRET", 6), 6);
  close(fd);
  Recorder recorder;
  // The document cannot be read whole, so it fails.
  EXPECT_LT(
      parse(std::string("<!DOCTYPE a [<!ENTITY x SYSTEM \"file://") + path + "\">]><a>&x;</a>",
            recorder),
      0);
  for (const std::string& event : recorder.events) {
    EXPECT_EQ(event.find("SECRET"), std::string::npos);
  }
  std::remove(path);
}

TEST(SaxReader, ParsesLocalFilesAndRefusesOtherSchemes) {
  char path[] = "/tmp/zt-docXXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, "<r>f</r>", 8), 8);
  close(fd);
  for (const std::string& url : {std::string(path), "file://" + std::string(path)}) {
    Recorder recorder;
    SaxReader reader;
    reader.setContentSink(&recorder);
    EXPECT_EQ(reader.parseUrl(url), kOk) << url;
    EXPECT_EQ(recorder.events, (Events{"doc", "<r", "'f'", "</r", "/doc"}));
  }
  SaxReader reader;
  EXPECT_LT(reader.parseUrl("http://localhost/x.xml"), 0);
  EXPECT_LT(reader.parseUrl(std::string(path) + ".missing"), 0);
  std::remove(path);
}

std::string write(bool indent, bool omitDeclaration, void (*events)(XmlWriter&)) {
  XmlWriter writer;
  writer.setIndent(indent);
  writer.setOmitXmlDeclaration(omitDeclaration);
  writer.startDocument();
  events(writer);
  writer.endDocument();
  return std::string(writer.output());
}

TEST(XmlWriter, WritesTheProcessedTokensLayout) {
  const std::string text = write(true, true, [](XmlWriter& w) {
    XmlAttributeList message;
    message.addAttribute("index", "1");
    message.addAttribute("length", "5");
    XmlAttributeList counter;
    counter.addAttribute("modifier", "5");
    counter.addAttribute("delimiter", "0");
    w.startElement("processedtokens", nullptr);
    w.startElement("messages", nullptr);
    w.startElement("message", &message);
    w.startCdata();
    w.characters("Lot A");
    w.endCdata();
    w.endElement("message");
    w.endElement("messages");
    w.startElement("tokens", nullptr);
    w.startElement("message", nullptr);
    w.startCdata();
    w.characters("Lot A");
    w.endCdata();
    w.endElement("message");
    w.startElement("blank", nullptr);
    w.endElement("blank");
    w.startElement("counter", &counter);
    w.endElement("counter");
    w.endElement("tokens");
    w.endElement("processedtokens");
  });
  EXPECT_EQ(
      text,
      "<processedtokens>\r\n\t<messages>\r\n\t\t<message index=\"1\" length=\"5\"><![CDATA[Lot "
      "A]]></message>\r\n\t</messages>\r\n\t<tokens>\r\n\t\t<message><![CDATA[Lot "
      "A]]></message>\r\n\t\t<blank/>\r\n\t\t<counter modifier=\"5\" "
      "delimiter=\"0\"/>\r\n\t</tokens>\r\n</processedtokens>");
}

TEST(XmlWriter, DeclarationAndUnindentedText) {
  EXPECT_EQ(write(false, false,
                  [](XmlWriter& w) {
                    w.startElement("a", nullptr);
                    w.startElement("b", nullptr);
                    w.characters("x");
                    w.endElement("b");
                    w.endElement("a");
                  }),
            "<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\"?>\r\n<a><b>x</b></a>");
  EXPECT_EQ(
      write(true, false,
            [](XmlWriter& w) {
              w.startElement("a", nullptr);
              w.startElement("b", nullptr);
              w.endElement("b");
              w.endElement("a");
            }),
      "<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\"?>\r\n<a>\r\n\t<b/>\r\n</a>");
}

TEST(XmlWriter, EscapesAndReplacesWhatXmlCannotCarry) {
  struct Case {
    const char* text;
    bool cdata;
    const char* written;
  };
  const Case cases[] = {
      {"a&b<c>d\"", false, "<e>a&amp;b&lt;c&gt;d\"</e>"},
      {"a\rb", false, "<e>a&#13;b</e>"},
      {"x]]>y", true, "<e><![CDATA[x]]]]><![CDATA[>y]]></e>"},
      {"x\ry<", true, "<e><![CDATA[x]]>&#13;<![CDATA[y<]]></e>"},
      {"\xff\xc3(\x01\xc3\xa9", false, "<e>\xef\xbf\xbd\xef\xbf\xbd(\xef\xbf\xbd\xc3\xa9</e>"},
      {"\xed\xa0\x80", false, "<e>\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd</e>"},
  };
  for (const Case& c : cases) {
    XmlWriter writer;
    writer.setOmitXmlDeclaration(true);
    writer.startDocument();
    writer.startElement("e", nullptr);
    if (c.cdata) {
      writer.startCdata();
    }
    writer.characters(c.text);
    if (c.cdata) {
      writer.endCdata();
    }
    writer.endElement("e");
    EXPECT_EQ(writer.output(), c.written) << c.text;
  }
  XmlWriter writer;
  writer.setOmitXmlDeclaration(true);
  XmlAttributeList attributes;
  attributes.addAttribute("k", "\"&\n");
  writer.startElement("e", &attributes);
  writer.endElement("e");
  EXPECT_EQ(writer.output(), "<e k=\"&quot;&amp;&#10;\"/>");
}

TEST(XmlWriter, ItsOutputReadsBackToTheSameText) {
  const std::string text = "a]]>b\r\nc&<d>\"e\xc3\xa9";
  XmlWriter writer;
  writer.setOmitXmlDeclaration(true);
  writer.startElement("e", nullptr);
  writer.startCdata();
  writer.characters(text);
  writer.endCdata();
  writer.endElement("e");
  Recorder recorder;
  ASSERT_EQ(parse(std::string(writer.output()), recorder), kOk) << writer.output();
  EXPECT_EQ(recorder.events[2], "'" + text + "'");
}

// A document far larger than the writer's first block, written in pieces of every size, reads
// back element by element; attributes added after the start tag land inside it.
TEST(XmlWriter, LargeDocumentsGrowWithoutLosingText) {
  XmlWriter writer;
  writer.setOmitXmlDeclaration(true);
  writer.setIndent(true);
  writer.startElement("r", nullptr);
  std::string expectedText;
  for (int i = 0; i < 3000; ++i) {
    const std::string text(static_cast<size_t>(1 + i % 700), static_cast<char>('a' + i % 26));
    writer.startElement("e", nullptr);
    writer.attribute("n", std::to_string(i));
    writer.characters(text);
    writer.attribute("late", "ignored");
    writer.endElement("e");
    expectedText += text;
  }
  writer.endElement("r");
  Recorder recorder;
  ASSERT_EQ(parse(std::string(writer.output()), recorder), kOk);
  std::string text;
  int elements = 0;
  const Events& events = recorder.events;
  for (size_t k = 0; k + 1 < events.size(); ++k) {
    if (events[k].starts_with("<e n=")) {
      EXPECT_EQ(events[k], "<e n=" + std::to_string(elements));
      ++elements;
      // The element's own text follows its start; line breaks between elements do not count.
      text += events[k + 1].substr(1, events[k + 1].size() - 2);
    }
  }
  EXPECT_EQ(elements, 3000);
  EXPECT_EQ(text, expectedText);
}

}  // namespace
}  // namespace zt::platform
