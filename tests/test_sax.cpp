// The internal SAX layer: the bridge's event order, gating of character data, stops and buffer
// limits, and the result-document writer's prefix, element stack, attribute and encoding rules.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "sax/sax_parser.h"
#include "sax/sax_writer.h"

namespace zt::sax {
namespace {

// Records every event as text; `answers` maps an event ("start:b", "attr:x", "doc") to the
// result to give instead of 3.
class Recorder final : public SDKSAXContentHandlerC {
 public:
  [[nodiscard]] const char* handlerName() const override { return "Recorder"; }
  int32_t startDocument() override { return record("doc", "startDocument"); }
  int32_t endDocument() override { return record("enddoc", "endDocument"); }
  int32_t startElement(const char* name) override {
    return record(std::string("start:") + name, std::string("start(") + name + ")");
  }
  int32_t characters(const char* text) override {
    return record("chars", std::string("chars(") + text + ")");
  }
  int32_t endElement(const char* name) override {
    return record(std::string("end:") + name, std::string("end(") + name + ")");
  }
  int32_t attribute(const char* name, const char* value) override {
    return record(std::string("attr:") + name, std::string("attr(") + name + "=" + value + ")");
  }

  std::map<std::string, int32_t> answers;
  std::vector<std::string> events;

 private:
  int32_t record(const std::string& key, std::string event) {
    events.push_back(std::move(event));
    auto found = answers.find(key);
    return found == answers.end() ? 3 : found->second;
  }
};

platform::Status parse(const std::string& xml, Recorder& recorder) {
  SDKSAXXMLParserC parser;
  parser.setTarget(&recorder);
  return parser.parse(xml);
}

using Events = std::vector<std::string>;

TEST(SaxBridge, DeliversLocalNamesAttributesAndGatedText) {
  struct Case {
    const char* xml;
    Events events;
  };
  const Case cases[] = {
      {"<a x=\"1\" y=\"2\">t</a>",
       {"startDocument", "start(a)", "attr(x=1)", "attr(y=2)", "chars(t)", "end(a)",
        "endDocument"}},
      // Text after an end tag belongs to the parent and is never delivered.
      {"<a>one<b/>two</a>",
       {"startDocument", "start(a)", "chars(one)", "start(b)", "end(b)", "end(a)", "endDocument"}},
      {"<p:a xmlns:p=\"urn:x\" p:x=\"v\"/>",
       {"startDocument", "start(a)", "attr(x=v)", "end(a)", "endDocument"}},
      {"<a e=\"\"/>", {"startDocument", "start(a)", "attr(e=)", "end(a)", "endDocument"}},
      // References and CDATA inside one run arrive joined and decoded.
      {"<a>x &amp; y<![CDATA[ <z> ]]>&#65;</a>",
       {"startDocument", "start(a)", "chars(x & y <z> A)", "end(a)", "endDocument"}},
      {"<a>\xC3\xA9t\xC3\xA9</a>",
       {"startDocument", "start(a)", "chars(\xC3\xA9t\xC3\xA9)", "end(a)", "endDocument"}},
  };
  for (const Case& c : cases) {
    Recorder recorder;
    EXPECT_EQ(parse(c.xml, recorder), platform::kOk) << c.xml;
    EXPECT_EQ(recorder.events, c.events) << c.xml;
  }
}

TEST(SaxBridge, HandlerAnswersStopTheParse) {
  struct Case {
    const char* key;
    int32_t answer;
    platform::Status status;
    Events events;
  };
  const char* xml = "<a x=\"1\" y=\"2\"><b/></a>";
  const Case cases[] = {
      {"doc", 0, platform::kFail, {"startDocument"}},
      {"doc", 1, platform::kFail, {"startDocument"}},
      {"start:a", 0, platform::kAbort, {"startDocument", "start(a)"}},
      // Only the last attribute's answer counts: refusing the first one goes on.
      {"attr:x",
       0,
       platform::kOk,
       {"startDocument", "start(a)", "attr(x=1)", "attr(y=2)", "start(b)", "end(b)", "end(a)",
        "endDocument"}},
      {"attr:y", 0, platform::kAbort, {"startDocument", "start(a)", "attr(x=1)", "attr(y=2)"}},
      {"end:b",
       0,
       platform::kAbort,
       {"startDocument", "start(a)", "attr(x=1)", "attr(y=2)", "start(b)", "end(b)"}},
      // Results of characters and endDocument are ignored.
      {"enddoc",
       0,
       platform::kOk,
       {"startDocument", "start(a)", "attr(x=1)", "attr(y=2)", "start(b)", "end(b)", "end(a)",
        "endDocument"}},
  };
  for (const Case& c : cases) {
    Recorder recorder;
    recorder.answers[c.key] = c.answer;
    EXPECT_EQ(parse(xml, recorder), c.status) << c.key;
    EXPECT_EQ(recorder.events, c.events) << c.key;
  }
}

TEST(SaxBridge, RefusedStartTagGatesItsText) {
  Recorder recorder;
  recorder.answers["chars"] = 0;
  EXPECT_EQ(parse("<a>t<b>u</b></a>", recorder), platform::kOk);
  EXPECT_EQ(recorder.events, (Events{"startDocument", "start(a)", "chars(t)", "start(b)",
                                     "chars(u)", "end(b)", "end(a)", "endDocument"}));
}

TEST(SaxBridge, LongNamesAndValuesAreCutAtAWholeCharacter) {
  const std::string ascii(2000, 'n');
  std::string accented;
  for (int i = 0; i < 1000; ++i) {
    accented += "\xC3\xA9";  // two bytes: 1023 bytes would end in half a character
  }
  Recorder recorder;
  EXPECT_EQ(
      parse("<" + ascii + " " + accented + "=\"" + accented + "\">" + ascii + "</" + ascii + ">",
            recorder),
      platform::kOk);
  ASSERT_EQ(recorder.events.size(), 6U);
  EXPECT_EQ(recorder.events[1], "start(" + ascii.substr(0, 1023) + ")");
  EXPECT_EQ(recorder.events[2],
            "attr(" + accented.substr(0, 1022) + "=" + accented.substr(0, 1022) + ")");
  EXPECT_EQ(recorder.events[3], "chars(" + ascii + ")");  // text is never cut
  EXPECT_EQ(recorder.events[4], "end(" + ascii.substr(0, 1023) + ")");
}

TEST(SaxBridge, WithoutTargetAWellFormedDocumentParses) {
  SDKSAXXMLParserC parser;
  EXPECT_EQ(parser.parse("<a>t</a>"), platform::kOk);
  EXPECT_LT(parser.parse("<a>"), 0);
}

TEST(SaxBridge, MalformedInputFailsAfterTheEventsBeforeTheFault) {
  Recorder recorder;
  EXPECT_LT(parse("<a><b></a>", recorder), 0);
  EXPECT_EQ(recorder.events, (Events{"startDocument", "start(a)", "start(b)"}));
}

std::string output(const SAXWriterC& writer) {
  std::string text = "untouched";
  EXPECT_EQ(writer.getOutput(text), platform::kOk);
  return text;
}

TEST(SaxWriter, ClosingWithoutNameClosesTheInnermostElement) {
  SAXWriterC writer;
  writer.putOmitXMLDeclaration(true);
  writer.beginDocument(nullptr);
  writer.openElement("a", nullptr);
  writer.openElement("b", nullptr);
  writer.writeText("t", false);
  writer.closeElement(nullptr);
  writer.closeElement(nullptr);
  EXPECT_EQ(writer.closeElement(nullptr), platform::kOk);  // nothing left open: no-op
  EXPECT_EQ(writer.openElement(nullptr, nullptr), platform::kOk);
  writer.endDocument();
  EXPECT_EQ(output(writer), "<a><b>t</b></a>");
}

TEST(SaxWriter, PrefixesElementsButNotNamedCloseTagsOrAttributes) {
  SAXWriterC writer;
  writer.putOmitXMLDeclaration(true);
  writer.beginDocument("p");
  writer.openElement("r", nullptr);
  SAXAttributeC attributes;
  attributes.addAttribute("k", "v");
  writer.writeElement("x", "t", false, &attributes);
  writer.writeElement("e", nullptr, false, nullptr);
  writer.openElement("y", nullptr);
  writer.writeText("u", false);
  writer.closeElement("y");  // a named close leaves the stack alone: p:y is still open
  writer.closeElement(nullptr);
  writer.closeElement(nullptr);
  writer.endDocument();
  EXPECT_EQ(output(writer), "<p:r><p:x k=\"v\">t</p:x><p:e/><p:y>u</y></p:y></p:r>");
}

TEST(SaxWriter, AttributesKeepInsertionOrderAndFirstValue) {
  SAXAttributeC attributes;
  attributes.addAttribute("z", "1");
  attributes.addAttribute("a", "2");
  attributes.addAttribute("z", "3");
  SAXWriterC writer;
  writer.putOmitXMLDeclaration(true);
  writer.beginDocument(nullptr);
  writer.writeElement("e", nullptr, false, &attributes);
  writer.writeElement("f", nullptr, false, &attributes);  // the list is rewound before reading
  writer.endDocument();
  EXPECT_EQ(output(writer), "<e z=\"1\" a=\"2\"/><f z=\"1\" a=\"2\"/>");
}

TEST(SaxWriter, TextIsEscapedOrWrittenAsCdata) {
  SAXWriterC writer;
  writer.putOmitXMLDeclaration(true);
  writer.beginDocument(nullptr);
  writer.openElement("r", nullptr);
  writer.writeElement("p", "a<&b", false, nullptr);
  writer.writeElement("c", "a<&b", true, nullptr);
  writer.closeElement(nullptr);
  writer.endDocument();
  EXPECT_EQ(output(writer), "<r><p>a&lt;&amp;b</p><c><![CDATA[a<&b]]></c></r>");
}

TEST(SaxWriter, DeclarationNamesTheConfiguredEncoding) {
  for (const char* encoding : {"utf-8", "ISO-8859-1", ""}) {
    SAXWriterC writer;
    writer.putEncoding(encoding);
    writer.beginDocument(nullptr);
    writer.writeElement("e", nullptr, false, nullptr);
    writer.endDocument();
    EXPECT_EQ(output(writer), std::string("<?xml version=\"1.0\" encoding=\"") + encoding +
                                  "\" standalone=\"no\"?>\r\n<e/>");
  }
}

TEST(SaxWriter, LongQualifiedNamesAreCutAtAWholeCharacter) {
  std::string name;
  for (int i = 0; i < 600; ++i) {
    name += "\xC3\xA9";
  }
  SAXWriterC writer;
  writer.putOmitXMLDeclaration(true);
  writer.beginDocument("p");
  writer.openElement(name.c_str(), nullptr);
  writer.closeElement(nullptr);
  writer.endDocument();
  // "p:" plus 510 whole characters is 1022 bytes; a 1023rd byte would split one.
  EXPECT_EQ(output(writer), "<p:" + name.substr(0, 1020) + "/>");
}

}  // namespace
}  // namespace zt::sax
