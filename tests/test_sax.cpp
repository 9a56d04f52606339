// The internal SAX layer: the bridge's event order, gating of character data, stops and buffer
// limits, and the result-document writer's prefix, element stack, attribute and encoding rules.
#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "sax/sax_parser.h"
#include "sax/sax_writer.h"

namespace zt::sax {
namespace {

// Records every event as text, and gives the result `answers` maps its text to ("start(b)",
// "attr(x=1)", "startDocument") instead of 3.
class Recorder final : public SDKSAXContentHandlerC {
 public:
  [[nodiscard]] const char* handlerName() const override { return "Recorder"; }
  int32_t startDocument() override { return record("startDocument"); }
  int32_t endDocument() override { return record("endDocument"); }
  int32_t startElement(const char* name) override { return record("start", name); }
  int32_t characters(const char* text) override { return record("chars", text); }
  int32_t endElement(const char* name) override { return record("end", name); }
  int32_t attribute(const char* name, const char* value) override {
    return record("attr", std::string(name) + "=" + value);
  }

  std::map<std::string, int32_t> answers;
  std::vector<std::string> events;

 private:
  int32_t record(const std::string& kind, const std::string& argument) {
    return record(kind + "(" + argument + ")");
  }
  int32_t record(const std::string& event) {
    events.push_back(event);
    auto found = answers.find(event);
    return found == answers.end() ? 3 : found->second;
  }
};

platform::Status parse(const std::string& xml, Recorder& recorder) {
  SDKSAXXMLParserC parser;
  parser.setTarget(&recorder);
  return parser.parse(xml);
}

using Events = std::vector<std::string>;

// Names are local, namespace declarations are no attributes, and the text after a child's end
// tag belongs to the parent and is never delivered.
const char* const kDocument = "<p:a xmlns:p=\"urn:x\" p:x=\"1\" y=\"\">t<b>u</b>v</p:a>";

// Each answer stops the parse where it counts: the events delivered are the document's first ones.
TEST(SaxBridge, DeliversLocalNamesAttributesAndGatedTextUntilAnAnswerStops) {
  const Events all = {"startDocument", "start(a)", "attr(x=1)", "attr(y=)", "chars(t)",
                      "start(b)",      "chars(u)", "end(b)",    "end(a)",   "endDocument"};
  struct Case {
    const char* key;
    int32_t answer;
    platform::Status status;
    size_t delivered;
  };
  const Case cases[] = {
      {"startDocument", 0, platform::kFail, 1},
      {"startDocument", 1, platform::kFail, 1},
      {"start(a)", 0, platform::kAbort, 2},
      // Only the last attribute's answer counts: refusing the first one goes on.
      {"attr(x=1)", 0, platform::kOk, 10},
      {"attr(y=)", 0, platform::kAbort, 4},
      {"end(b)", 0, platform::kAbort, 8},
      // Results of characters and endDocument are ignored: text after refused text still comes.
      {"chars(t)", 0, platform::kOk, 10},
      {"endDocument", 0, platform::kOk, 10},
  };
  for (const Case& c : cases) {
    Recorder recorder;
    recorder.answers[c.key] = c.answer;
    EXPECT_EQ(parse(kDocument, recorder), c.status) << c.key;
    EXPECT_EQ(recorder.events, Events(all.begin(), all.begin() + c.delivered)) << c.key;
  }
}

// Names and values fill a 1024-byte buffer with its terminator: 1023 bytes pass whole, one more is
// cut, at a whole character; text is never cut.
TEST(SaxBridge, NamesAndValuesAreCutAfter1023Bytes) {
  for (const std::size_t length : {1023U, 1024U, 1025U}) {
    const std::string n(length, 'n');
    const std::string k(length, 'k');
    const std::string v(length, 'v');
    Recorder recorder;
    EXPECT_EQ(parse("<" + n + " " + k + "=\"" + v + "\">" + n + "</" + n + ">", recorder),
              platform::kOk);
    const std::string name = n.substr(0, 1023);
    EXPECT_EQ(recorder.events, (Events{"startDocument", "start(" + name + ")",
                                       "attr(" + k.substr(0, 1023) + "=" + v.substr(0, 1023) + ")",
                                       "chars(" + n + ")", "end(" + name + ")", "endDocument"}))
        << length;
  }
  std::string accented;
  for (int i = 0; i < 512; ++i) {
    accented += "\xC3\xA9";  // two bytes: 1023 bytes would end in half a character
  }
  Recorder recorder;
  EXPECT_EQ(parse("<e " + accented + "=\"" + accented + "\"/>", recorder), platform::kOk);
  ASSERT_EQ(recorder.events.size(), 5U);
  EXPECT_EQ(recorder.events[2],
            "attr(" + accented.substr(0, 1022) + "=" + accented.substr(0, 1022) + ")");
}

// Without a target a well-formed document parses and a malformed one fails; with one, it fails
// after the events before the fault.
TEST(SaxBridge, MalformedInputFailsAfterTheEventsBeforeTheFault) {
  SDKSAXXMLParserC parser;
  EXPECT_EQ(parser.parse("<a>t</a>"), platform::kOk);
  EXPECT_LT(parser.parse("<a>"), 0);
  Recorder recorder;
  EXPECT_LT(parse("<a><b></a>", recorder), 0);
  EXPECT_EQ(recorder.events, (Events{"startDocument", "start(a)", "start(b)"}));
}

// The document `events` write after beginDocument(prefix), without a declaration unless an
// encoding is given.
std::string written(const char* prefix, const std::function<void(SAXWriterC&)>& events,
                    const char* encoding = nullptr) {
  SAXWriterC writer;
  writer.putOmitXMLDeclaration(encoding == nullptr);
  if (encoding != nullptr) {
    writer.putEncoding(encoding);
  }
  writer.beginDocument(prefix);
  events(writer);
  writer.endDocument();
  std::string text = "untouched";
  EXPECT_EQ(writer.getOutput(text), platform::kOk);
  return text;
}

// Attributes keep their insertion order and first value, and the list is rewound before each
// reading. Closing without a name closes the innermost element, and with nothing open does nothing.
// Qualified names are cut to 1023 bytes at a whole character: "p:" and 510 two-byte characters.
TEST(SaxWriter, PrefixesAndCutsElementNamesButNotNamedCloseTagsOrAttributes) {
  std::string name;
  for (int i = 0; i < 600; ++i) {
    name += "\xC3\xA9";
  }
  SAXAttributeC attributes;
  attributes.addAttribute("z", "1");
  attributes.addAttribute("a", "2");
  attributes.addAttribute("z", "3");
  EXPECT_EQ(written("p",
                    [&](SAXWriterC& w) {
                      w.openElement("r", nullptr);
                      w.writeElement("x", "t", false, &attributes);
                      w.writeElement("e", nullptr, false, &attributes);
                      w.writeElement("c", "a<&b", true, nullptr);
                      w.openElement("y", nullptr);
                      w.writeText("a<&b", false);
                      w.closeElement("y");  // a named close leaves the stack: p:y is still open
                      w.closeElement(nullptr);
                      w.openElement(name.c_str(), nullptr);
                      w.closeElement(nullptr);
                      w.closeElement(nullptr);
                      EXPECT_EQ(w.closeElement(nullptr), platform::kOk);
                      EXPECT_EQ(w.openElement(nullptr, nullptr), platform::kOk);
                    }),
            "<p:r><p:x z=\"1\" a=\"2\">t</p:x><p:e z=\"1\" a=\"2\"/><p:c><![CDATA[a<&b]]></p:c>"
            "<p:y>a&lt;&amp;b</y></p:y><p:" +
                name.substr(0, 1020) + "/></p:r>");
}

TEST(SaxWriter, DeclarationNamesTheConfiguredEncoding) {
  for (const char* encoding : {"utf-8", "ISO-8859-1", ""}) {
    EXPECT_EQ(
        written(
            nullptr, [](SAXWriterC& w) { w.writeElement("e", nullptr, false, nullptr); }, encoding),
        std::string("<?xml version=\"1.0\" encoding=\"") + encoding +
            "\" standalone=\"no\"?>\r\n<e/>");
  }
}

}  // namespace
}  // namespace zt::sax
