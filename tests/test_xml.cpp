// The public XML objects: parser event orders and handler stack, attribute sets, writer layout
// and prefix rules, XPath queries, and hostile documents.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "event_recorder.h"
#include "platform/status.h"
#include "platform/utf8.h"
#include "scratch_dir.h"
#include "xml/utf8_text.h"
#include "xml/xml_attribute.h"
#include "xml/xml_parser.h"
#include "xml/xml_writer.h"
#include "xml/xml_xpath.h"
#include "zttools.h"

namespace {

using zt::xml::KORAXmlAttribute;
using zt::xml::KORAXmlParser;
using zt::xml::KORAXmlWriter;
using zt::xml::KORAXmlXPath;
namespace status = zt::platform;

using Events = std::vector<std::string>;

// Counts the errors it is told of; what each error says is the hostile-input suite's concern.
class ErrorCounter : public IKORAXmlErrorHandler {
 public:
  int calls = 0;

  long error(ISAXLocator*, const wchar_t*, long code) override { return count(code); }
  long fatalError(ISAXLocator*, const wchar_t*, long code) override { return count(code); }
  long ignorableWarning(ISAXLocator*, const wchar_t*, long code) override { return count(code); }

 private:
  long count(long code) {
    ++calls;
    return code;
  }
};

std::string repeat(std::string_view text, size_t times) {
  std::string out;
  while (times-- > 0) {
    out += text;
  }
  return out;
}

// The events of a document that must parse.
Events eventsOf(const std::string& xml) {
  KORAXmlParser parser;
  EventRecorder recorder;
  EXPECT_EQ(parser.parseString(xml.c_str(), &recorder, nullptr), 0) << xml;
  return recorder.events;
}

// ---------------------------------------------------------------------------------------------
// Parser

TEST(XmlParser, DeliversEventsInDocumentOrder) {
  struct Case {
    const char* xml;
    Events expected;
  };
  const Case cases[] = {
      // Local names only; namespace declarations are not attributes.
      {R"(<p:a xmlns:p="urn:p" p:x="1" y="">t</p:a>)",
       {"startDocument", "<a", "[a", "x=1", "y=", "]a", "text:t", "/a", "endDocument"}},
      // No startAttributes without attributes, but always endAttributes.
      {"<a/>", {"startDocument", "<a", "]a", "/a", "endDocument"}},
      // Leading white space is trimmed, trailing kept; white space alone is no text.
      {"<a>  hi  </a>", {"startDocument", "<a", "]a", "text:hi  ", "/a", "endDocument"}},
      {"<a> \n\t </a>", {"startDocument", "<a", "]a", "/a", "endDocument"}},
      // Text after a child's end tag is not delivered.
      {"<a>x<b>y</b>z</a>",
       {"startDocument", "<a", "]a", "text:x", "<b", "]b", "text:y", "/b", "/a", "endDocument"}},
      // Text is text: a declared encoding does not re-decode it (a reset writer declares UTF-16).
      {R"(<?xml version="1.0" encoding="UTF-16"?><a>t</a>)",
       {"startDocument", "<a", "]a", "text:t", "/a", "endDocument"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(eventsOf(c.xml), c.expected) << c.xml;
  }
}

// The leading white space of a text is dropped, the Unicode space characters as well as ASCII;
// the characters beside them in the code table stay.
TEST(XmlParser, TrimsLeadingUnicodeSpaceOfText) {
  const std::pair<char32_t, bool> characters[] = {
      {0x09, true},    {0x20, true},    {0x85, true},    {0xA0, true},    {0x1680, true},
      {0x2000, true},  {0x200A, true},  {0x2028, true},  {0x2029, true},  {0x202F, true},
      {0x205F, true},  {0x3000, true},  {0x84, false},   {0x86, false},   {0xA1, false},
      {0x167F, false}, {0x1681, false}, {0x1FFF, false}, {0x200B, false}, {0x2027, false},
      {0x202A, false}, {0x202E, false}, {0x2030, false}, {0x205E, false}, {0x2060, false},
      {0x2FFF, false}, {0x3001, false}};
  for (const auto& [c, space] : characters) {
    std::string text;
    zt::platform::appendUtf8(text, c);
    text += "x";
    EXPECT_EQ(
        eventsOf("<a>" + text + "</a>"),
        (Events{"startDocument", "<a", "]a", "text:" + (space ? "x" : text), "/a", "endDocument"}))
        << std::hex << static_cast<unsigned>(c);
  }
}

TEST(XmlParser, HandlerAnswersStopTheParseOnlyWhereTheyCount) {
  struct Case {
    const char* answered;  // the event answered with 1
    const char* last;      // the last event delivered
  };
  const Case cases[] = {
      // Only the last attribute's answer counts, and the attributes still end.
      {"x=1", "endDocument"},
      {"y=2", "]a"},
      // A refused element start gets no attribute calls at all.
      {"<a", "<a"},
      {"startDocument", "startDocument"},
      {"/b", "/b"},
      // The answers to text and to the document's end are ignored.
      {"text:t", "endDocument"},
      {"endDocument", "endDocument"},
  };
  for (const Case& c : cases) {
    KORAXmlParser parser;
    EventRecorder recorder;
    recorder.onEvent = [&](const std::string& event) { return event == c.answered ? 1 : 0; };
    const long result = parser.parseString(R"(<a x="1" y="2">t<b/><c/></a>)", &recorder, nullptr);
    EXPECT_EQ(result < 0, std::string_view(c.last) != "endDocument") << c.answered;
    ASSERT_FALSE(recorder.events.empty());
    EXPECT_EQ(recorder.events.back(), c.last) << c.answered;
  }
}

// Each parse pushes its handler on top of those of earlier parses; a handler may push another
// for the rest of the events or pop itself, each pop handing the events to the handler below,
// and once the last one is popped the rest of the document reaches nobody, until the next parse
// pushes its own.
TEST(XmlParser, HandlersStackAcrossParsesAndPopBackToEarlierOnes) {
  KORAXmlParser parser;
  EventRecorder recorders[4];
  auto& [first, second, third, inner] = recorders;
  ASSERT_EQ(parser.parseString("<one/>", &first, nullptr), 0);
  ASSERT_EQ(parser.parseString("<two/>", &second, nullptr), 0);
  first.events.clear();
  second.events.clear();
  // Who pops or pushes at which event, and whom the pop must leave current.
  const std::map<std::string, std::pair<EventRecorder*, EventRecorder*>> pops = {
      {"<a", {&third, &second}},
      {"/b", {&inner, &second}},
      {"<c", {&second, &first}},
      {"<d", {&first, nullptr}}};
  for (EventRecorder& recorder : recorders) {
    recorder.onEvent = [&, self = &recorder](const std::string& event) {
      if (event == "<b") {
        self->controller->pushHandler(&inner);
        EXPECT_EQ(self->controller->currentHandler(), &inner);
      } else if (auto found = pops.find(event); found != pops.end()) {
        EXPECT_EQ(self, found->second.first) << event;
        EXPECT_EQ(self->controller->popHandler(), found->second.second) << event;
        EXPECT_EQ(self->controller->currentHandler(), found->second.second) << event;
      }
      return 0;
    };
  }
  ASSERT_EQ(parser.parseString("<a><b>t</b><c><d><e/></d></c></a>", &third, nullptr), 0);
  EXPECT_EQ(third.events, (Events{"startDocument", "<a"}));
  EXPECT_EQ(second.events, (Events{"]a", "<b", "<c"}));
  EXPECT_EQ(inner.events, (Events{"]b", "text:t", "/b"}));
  EXPECT_EQ(first.events, (Events{"]c", "<d"}));
  for (const EventRecorder& recorder : recorders) {
    EXPECT_EQ(recorder.pushes, 1);
  }
  EventRecorder next;
  EXPECT_EQ(parser.parseString("<c/>", &next, nullptr), 0);
  EXPECT_EQ(next.events, (Events{"startDocument", "<c", "]c", "/c", "endDocument"}));
}

// An error sink, once given, stays until another one is given: every parse of the same document
// gives the same errors, so the first sink gets those of the first two parses, the second those
// of the third.
TEST(XmlParser, BufferParsesExactlyItsLengthAndTheErrorSinkStays) {
  KORAXmlParser parser;
  EventRecorder recorder;
  EXPECT_EQ(parser.parseBuffer("<a/>trailing garbage", 4, &recorder, nullptr), 0);
  ErrorCounter first;
  ErrorCounter second;
  for (ErrorCounter* sink : {&first, static_cast<ErrorCounter*>(nullptr), &second}) {
    EXPECT_LT(parser.parseString("<a><b></a>", &recorder, sink), 0);
  }
  EXPECT_GT(second.calls, 0);
  EXPECT_EQ(first.calls, 2 * second.calls);

  // Invalid arguments fail before anything is pushed.
  EventRecorder untouched;
  EXPECT_EQ(parser.parseBuffer("<a/>", -1, &untouched, nullptr), status::kInvalidArg);
  EXPECT_EQ(parser.parseBuffer(nullptr, 4, &untouched, nullptr), status::kPointer);
  EXPECT_EQ(parser.parseString(nullptr, &untouched, nullptr), status::kPointer);
  EXPECT_EQ(parser.parseFile(nullptr, &untouched, nullptr), status::kPointer);
  EXPECT_EQ(parser.parseString("<a/>", nullptr, nullptr), status::kPointer);
  EXPECT_EQ(untouched.pushes, 0);
}

// Names fill a 1024-byte buffer and values a 2048-byte one, terminators included: what does not
// fit is cut, at a whole character. A cut element name survives the cut attribute names that pass
// through the same buffer, and a cut attribute name does not disturb a whole element name.
TEST(XmlParser, NamesAreCutAfter1023BytesAndValuesAfter2047) {
  for (const size_t extra : {0U, 1U, 2U}) {
    const std::string name(1023 + extra, 'n');
    const std::string attribute(1023 + extra, 'k');
    const std::string value(2047 + extra, 'v');
    const std::string cut = name.substr(0, 1023);
    EXPECT_EQ(eventsOf("<" + name + " " + attribute + "=\"" + value + "\" j=\"\"/>"),
              (Events{"startDocument", "<" + cut, "[" + cut,
                      attribute.substr(0, 1023) + "=" + value.substr(0, 2047), "j=", "]" + cut,
                      "/" + cut, "endDocument"}))
        << extra;
  }
  const std::string name = repeat("\xC3\xA9", 512);       // é, two bytes
  const std::string value = repeat("\xE2\x82\xAC", 683);  // €, three bytes
  const std::string cut = name.substr(0, 1022);
  EXPECT_EQ(eventsOf("<" + name + " a=\"" + value + "\"/>"),
            (Events{"startDocument", "<" + cut, "[" + cut, "a=" + value.substr(0, 2046), "]" + cut,
                    "/" + cut, "endDocument"}));
  EXPECT_EQ(eventsOf("<e " + name + "=\"v\" j=\"w\"/>"),
            (Events{"startDocument", "<e", "[e", cut + "=v", "j=w", "]e", "/e", "endDocument"}));
}

TEST(XmlParser, FilePathIsCutAfter999Characters) {
  ScratchDir dir;
  // Directories of two-byte characters, so that the cut counts characters, not bytes.
  // Each directory is 101 characters with its slash; the file name takes the 20 to 120 left.
  const size_t base = dir.path().string().size() + 1;
  const size_t directories = (999 - 20 - base) / 101;
  const std::string relative = repeat(repeat("\xC3\xA9", 100) + "/", directories) +
                               std::string(999 - base - 101 * directories - 4, 'f') + ".xml";
  const std::string path = dir.write(relative, "<cut/>");
  ASSERT_EQ(zt::xml::toWide(path).size(), 999u);

  KORAXmlParser parser;
  EventRecorder recorder;
  EXPECT_EQ(parser.parseFile((path + "\xC3\xA9-beyond").c_str(), &recorder, nullptr), 0);
  EXPECT_EQ(recorder.events, (Events{"startDocument", "<cut", "]cut", "/cut", "endDocument"}));
  // A path that ends in a character of several bytes keeps it whole.
  EXPECT_EQ(parser.parseFile(dir.write("e\xC3\xA9", "<e/>").c_str(), &recorder, nullptr), 0);
}

// ---------------------------------------------------------------------------------------------
// Attribute sets

// The 64-bit long slots keep their low 32 bits, signed or unsigned as the slot is, and a repeated
// name keeps its first value. A cleared set reuses its pairs: refilled, it holds and orders them
// as a new set would, a repeated name still keeping its first value.
TEST(XmlAttribute, FormatsEverySlotAs32BitsAndKeepsTheFirstValueUntilCleared) {
  const auto fill = [](IKORAXmlAttribute& set) {
    return set.addAttribute("l", 0x1FFFFFFFBL)
        ->addAttribute("u", 0x1FFFFFFFFUL)
        ->addHexAttribute("h", 255)
        ->addHexAttribute("m", -1L)
        ->addAttribute("l", "2")
        ->addHexAttribute("c", 0x1000000ABUL)
        ->addAttribute("L", "3");
  };
  KORAXmlAttribute fresh;
  EXPECT_EQ(fill(fresh), &fresh);
  EXPECT_EQ(fresh.entries(), (KORAXmlAttribute::Entries{{"l", "-5"},
                                                        {"u", "4294967295"},
                                                        {"h", "0x000000ff"},
                                                        {"m", "0xffffffff"},
                                                        {"c", "0x000000ab"},
                                                        {"L", "3"}}));
  KORAXmlAttribute set;
  fill(set)->clear();
  fill(set);
  EXPECT_TRUE(std::ranges::equal(set.entries(), fresh.entries()));
}

// A set keeps its pairs across clear() and gives them back to the same names added again, and
// carries a clear out only when the refill departs from the fill before it. Whatever the mix of
// clears, adds, repeated names and looks at the pairs, it holds what a plain map cleared and
// filled at once holds, in the same order, and knows whether its names are all XML Names.
TEST(XmlAttribute, RefillsInAnyOrderHoldWhatAClearedMapHolds) {
  // Enough names that a new set's map grows its buckets during its first fills.
  std::vector<std::string> names = {"1x"};
  for (char c = 'a'; c <= 'z'; ++c) {
    names.push_back(std::string(1, c));
    names.push_back(std::string(2, c));
  }
  // Names of every length up to past the short comparisons, differing in their first or last
  // byte only.
  for (std::size_t length = 3; length <= 18; ++length) {
    names.push_back(std::string(length, 'n'));
    names.push_back(std::string(length - 1, 'n') + "m");
    names.push_back("m" + std::string(length - 1, 'n'));
  }
  // The same names again after a clear, in the same order, around the first growths of the map's
  // buckets (a map grown while its pairs went in holds them in another order than a refill).
  for (const std::size_t count : {2, 13, 14, 20, 40}) {
    KORAXmlAttribute set;
    KORAXmlAttribute::Entries reference;
    for (int fill = 0; fill < 3; ++fill) {
      set.clear();
      reference.clear();
      for (std::size_t i = 0; i < count; ++i) {
        set.addAttribute(names[i].c_str(), "v");
        reference.try_emplace(names[i], "v");
      }
      ASSERT_TRUE(std::ranges::equal(set.entries(), reference)) << count << " " << fill;
    }
  }
  std::srand(7);
  for (int round = 0; round < 200; ++round) {
    KORAXmlAttribute set;
    KORAXmlAttribute::Entries reference;
    std::vector<std::string> lastFill;
    std::vector<std::string> fill;
    for (int step = 0; step < 200; ++step) {
      const int what = std::rand() % 40;
      if (what < 3) {
        set.clear();
        reference.clear();
        lastFill = std::exchange(fill, {});
      } else if (what < 37) {
        // Mostly the last fill's names again, in its order, as a caller refilling a set does.
        const std::size_t next = fill.size();
        const std::string& name = next < lastFill.size() && what < 32
                                      ? lastFill[next]
                                      : names[static_cast<std::size_t>(std::rand()) % names.size()];
        // Values of every length up to past the short copies, the empty one too, longer or
        // shorter than the one the pair held before.
        std::string value = std::to_string(step);
        value.resize(static_cast<std::size_t>(std::rand()) % 20, 'v');
        set.addAttribute(name.c_str(), value.c_str());
        reference.try_emplace(name, value);
        fill.push_back(name);
      } else {
        ASSERT_TRUE(std::ranges::equal(set.entries(), reference)) << round << " " << step;
        EXPECT_EQ(set.namesAreXmlNames(), !reference.contains("1x")) << round << " " << step;
      }
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Writer

// A new writer indents, writes no declaration unless asked and then names UTF-8, and writes typed
// values as their text. The text getXml() returns is the document as it was at that call, and
// stays so until the next call, whatever is written, reset or destroyed meanwhile (the sanitizer
// builds check the lifetimes); with a declaration, whose encoding is patched, the same holds for
// the copy.
TEST(XmlWriter, ReturnedTextStaysAsItWasUntilTheNextCall) {
  for (const bool declared : {false, true}) {
    KORAXmlWriter writer;
    writer.setOmitXmlDeclaration(!declared);
    const long results[] = {
        writer.startDocument(),
        writer.startElement("a", nullptr),
        writer.writeElement("b", "x<y", true, nullptr),
        writer.writeElement("b", "x<y", false, nullptr),
        writer.writeElement("b", uint32_t{4294967295u}, false, nullptr),
        writer.writeElement("b", static_cast<const char*>(nullptr), false, nullptr),
        // A null name writes nothing and opens nothing.
        writer.writeElement(nullptr, "x", false, nullptr),
        writer.startElement(nullptr, nullptr),
        writer.endElement(),
    };
    for (const long result : results) {
      EXPECT_EQ(result, 0);
    }
    const std::string first = writer.getXml();
    EXPECT_EQ(first,
              (declared ? "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"no\"?>\r\n" : "") +
                  std::string("<a>\r\n\t<b><![CDATA[x<y]]></b>\r\n\t<b>x&lt;y</b>\r\n\t"
                              "<b>4294967295</b>\r\n\t<b/>\r\n</a>"));
    const char* kept = writer.getXml();
    // Enough text that the component's block must grow, and would move.
    for (int i = 0; i < 20000; ++i) {
      writer.writeElement("b", i, false, nullptr);
    }
    EXPECT_EQ(kept, first) << declared;
    const std::string second = writer.getXml();
    EXPECT_TRUE(second.starts_with(first) && second.ends_with("<b>19999</b>")) << declared;
    kept = writer.getXml();
    writer.reset();
    writer.writeElement("c", "2", false, nullptr);
    EXPECT_EQ(kept, second) << declared;
  }
}

// Where a byte that needs more than a copy falls decides nothing: at every position of texts and
// values of every length the short and the long checks take, it is escaped, replaced or kept as it
// should be, in an element written whole and in one written piece by piece alike, at every depth.
TEST(XmlWriter, EscapesEveryByteWhereverItFallsWholeOrInPieces) {
  struct Special {
    std::string bytes;
    std::string inValue, inText, inRawText;  // raw: output escaping disabled
  };
  const std::string replaced = "\xEF\xBF\xBD";
  const std::vector<Special> specials = {{"a", "a", "a", "a"},
                                         {"&", "&amp;", "&amp;", "&"},
                                         {"<", "&lt;", "&lt;", "<"},
                                         {">", "&gt;", "&gt;", ">"},
                                         {"\"", "&quot;", "\"", "\""},
                                         {"\r", "&#13;", "&#13;", "&#13;"},
                                         {"\n", "&#10;", "\n", "\n"},
                                         {"\t", "&#9;", "\t", "\t"},
                                         {"\x01", replaced, replaced, replaced},
                                         {"\x7F", "\x7F", "\x7F", "\x7F"},
                                         {"\xC3\xA9", "\xC3\xA9", "\xC3\xA9", "\xC3\xA9"},
                                         {"\xFF", replaced, replaced, replaced}};
  for (const bool raw : {false, true}) {
    for (const Special& special : specials) {
      for (std::size_t length = 1; length <= 40; ++length) {
        for (std::size_t at = 0; at < length; ++at) {
          const auto around = [&](const std::string& middle) {
            return std::string(at, 'v') + middle + std::string(length - 1 - at, 'w');
          };
          const std::string text = around(special.bytes);
          const std::string depth(at % 20 + 1, '\t');  // past the line breaks copied without a call
          const std::string expected = "\r\n" + depth + "<e k=\"" + around(special.inValue) +
                                       "\">" + around(raw ? special.inRawText : special.inText) +
                                       "</e>";
          for (const bool whole : {true, false}) {
            KORAXmlWriter writer;
            writer.setDisableOutputEscaping(raw);
            writer.startElement("r", nullptr);
            for (std::size_t i = 0; i < at % 20; ++i) {
              writer.startElement("r", nullptr);
            }
            IKORAXmlAttribute* const set = writer.createAttribute("k", text.c_str());
            if (whole) {
              EXPECT_EQ(writer.writeElement("e", text.c_str(), false, set), 0);
            } else {
              writer.startElement("e", set);
              writer.characters(text.c_str(), false);
              writer.endElement();
            }
            const std::string xml = writer.getXml();
            const std::size_t start = xml.rfind("\r\n", xml.find("<e "));
            EXPECT_EQ(xml.substr(start), expected)
                << raw << " " << special.inValue << " " << length << " " << at << " " << whole;
          }
        }
      }
    }
  }
}

// Every place a name goes (element started or written, end tag, attribute, prefix) takes exactly
// the XML Names: the edges of each character range of the production, first character and
// later ones. A refused call returns E_INVALIDARG and writes nothing; what is accepted reads back.
TEST(XmlWriter, TakesOnlyXmlNamesAndWritesNothingForARefusedOne) {
  // The last valid name and the first invalid ones hold characters a Name has after its first only.
  const std::vector<const char*> valid = {"a",
                                          "Z_:",
                                          ":",
                                          "_0-.",
                                          "a:b:c",
                                          "\u00C0",
                                          "\u00D6\u00D8\u00F6\u00F8",
                                          "\u02FF\u0370\u037D\u037F",
                                          "\u200C\u200D",
                                          "\u2070\u218F",
                                          "\u2C00\u2FEF",
                                          "\u3001\uD7FF",
                                          "\uF900\uFDCF",
                                          "\uFDF0\uFFFD",
                                          "\U00010000\U000EFFFF",
                                          "a\u00B7\u0300\u036F\u203F\u2040"};
  const std::vector<const char*> invalid = {
      "",       "0a",         "-a",     ".a",     "\u00B7", "\u0300",    "\u203F",       "\u00D7",
      "\u00F7", "\u037E",     "\u200E", "\u206F", "\u2190", "\u2FF0",    "\u3000",       "\uFDD0",
      "\uFFFE", "\U000F0000", "a b",    "a<",     "a>",     "a&",        "a\"",          "a=",
      "a/",     "a\t",        "a\x01",  "a\xC3",  "a\xFF",  "a\xC0\xA1", "a\xED\xA0\x80"};
  const std::string_view uses[] = {"startElement", "writeElement", "endElement", "attribute",
                                   "prefix"};
  for (const bool ok : {true, false}) {
    for (const char* name : ok ? valid : invalid) {
      for (const std::string_view use : uses) {
        if (*name == '\0' && use == "prefix") {
          continue;  // the empty prefix ends prefixing
        }
        KORAXmlWriter writer;
        writer.setIndent(false);
        writer.startElement("r", nullptr);
        IKORAXmlAttribute* const set = writer.createAttribute("k", 2, 0);
        const std::string before = writer.getXml();
        const long status = use == "startElement"   ? writer.startElement(name, nullptr)
                            : use == "writeElement" ? writer.writeElement(name, 1, false, nullptr)
                            : use == "endElement"   ? writer.endElement(name)
                            : use == "attribute"
                                ? writer.writeElement("e", 1, false, set->addAttribute(name, 3))
                                : writer.startDocument(name);
        EXPECT_EQ(status, ok ? 0 : status::kInvalidArg) << use << " " << name;
        if (!ok) {
          EXPECT_EQ(writer.getXml(), before) << use << " " << name;
        }
        if (ok && use == "endElement") {
          continue;  // an end tag of another name is the caller's choice
        }
        // An element after the call, so that a prefix accepted is written and read back.
        EXPECT_EQ(writer.writeElement("e", 1, false, nullptr), 0) << use << " " << name;
        while (writer.endElement() == 0) {
        }
        eventsOf(writer.getXml());
      }
    }
  }
}

// The element name found last to be a Name is not checked again, and nothing else passes for it:
// a name of the same length that differs in one byte, at either end or in the middle, at each
// length a comparison takes, is checked as any other.
TEST(XmlWriter, OnlyTheNameCheckedLastPassesUnchecked) {
  const std::vector<std::pair<const char*, bool>> names = {{"ab", true},
                                                           {"a<", false},
                                                           {"<b", false},
                                                           {"ab", true},
                                                           {"abc", true},
                                                           {"a c", false},
                                                           {"abcd", true},
                                                           {"ab<d", false},
                                                           {"abcdefgh", true},
                                                           {"abcdefg<", false},
                                                           {"<bcdefgh", false},
                                                           {"abcdefgh", true},
                                                           {"abcdefghijklmnopq", true},
                                                           {"abcdefghijklmnop<", false},
                                                           {"abcdefgh<jklmnopq", false},
                                                           {"abcdefghijklmnopq", true},
                                                           {"abcdefghijklmnop", true}};
  KORAXmlWriter writer;
  writer.startElement("r", nullptr);
  for (const auto& [name, ok] : names) {
    EXPECT_EQ(writer.writeElement(name, "t", false, nullptr), ok ? 0 : status::kInvalidArg) << name;
  }
  writer.endElement();
  eventsOf(writer.getXml());
}

// A set refilled for element after element reuses its pairs with their names in place, and
// remembers which names it has checked: a name is refused or taken whichever pair it lands in,
// refill after refill, with the other names of the set before or after it.
TEST(XmlWriter, RefilledSetRefusesExactlyTheFillsWithANonName) {
  const std::vector<std::pair<std::vector<const char*>, bool>> fills = {
      {{"k"}, true},           {{"a b"}, false},    {{"a b"}, false},        {{"k"}, true},
      {{"k", "a b"}, false},   {{"k", "m"}, true},  {{"m", "a b"}, false},   {{"a b", "k"}, false},
      {{"m", "k"}, true},      {{"k", "k"}, true},  {{"a b", "a b"}, false}, {{}, true},
      {{"m", "k", "x"}, true}, {{"x", "1"}, false}, {{"x", "m", "k"}, true}};
  KORAXmlWriter writer;
  writer.startElement("r", nullptr);
  IKORAXmlAttribute* const set = writer.createAttribute();
  for (const auto& [names, ok] : fills) {
    set->clear();
    std::string fill;
    for (const char* name : names) {
      set->addAttribute(name, 1);
      fill += std::string(name) + ",";
    }
    EXPECT_EQ(writer.writeElement("e", "t", false, set), ok ? 0 : status::kInvalidArg) << fill;
  }
  writer.endElement();
  eventsOf(writer.getXml());
}

// A prefix applies to every element started or written after it: a refused one leaves the one
// before in force, none keeps it and the empty one ends it. Under a prefix a name need only make a
// Name after "p:". endElement() closes the innermost element opened, with its prefix (a refused
// start opens nothing), and an end tag given by name is written as it is.
TEST(XmlWriter, RefusedPrefixKeepsThePreviousOneAndARefusedStartOpensNothing) {
  KORAXmlWriter writer;
  writer.setIndent(false);
  EXPECT_EQ(writer.startDocument("p"), 0);
  EXPECT_EQ(writer.startDocument("1p"), status::kInvalidArg);
  EXPECT_EQ(writer.startElement("r", nullptr), 0);
  EXPECT_EQ(writer.writeElement("0a", "t", false, nullptr), 0);
  EXPECT_EQ(writer.startElement("a b", nullptr), status::kInvalidArg);
  EXPECT_EQ(writer.endElement(), 0);
  EXPECT_EQ(writer.endElement(), status::kFail);
  writer.startDocument();
  writer.startElement("x", nullptr);
  writer.characters("t", false);
  writer.endElement("x");
  writer.startDocument("");
  writer.writeElement("d", "e", false, nullptr);
  EXPECT_STREQ(writer.getXml(), "<p:r><p:0a>t</p:0a></p:r><p:x>t</x><d>e</d>");
}

// Characters XML 1.0 forbids (C0 controls but TAB, LF and CR; U+FFFE, U+FFFF) become U+FFFD in
// text, CDATA and attribute values alike; TAB, LF and CR are kept.
TEST(XmlWriter, ReplacesEveryCharacterXmlForbidsInTextsAndValues) {
  std::vector<std::string> forbidden = {"\xEF\xBF\xBE", "\xEF\xBF\xBF"};
  for (char c = 1; c < 0x20; ++c) {
    if (c != '\t' && c != '\n' && c != '\r') {
      forbidden.emplace_back(1, c);
    }
  }
  for (const std::string& bad : forbidden) {
    const std::string text = "a" + bad + "\t\n\rb";
    KORAXmlWriter writer;
    writer.setIndent(false);
    writer.startElement("r", writer.createAttribute("k", text.c_str()));
    EXPECT_EQ(writer.writeElement("t", text.c_str(), false, nullptr), 0);
    EXPECT_EQ(writer.writeElement("c", text.c_str(), true, nullptr), 0);
    writer.endElement();
    EXPECT_STREQ(writer.getXml(),
                 "<r k=\"a\xEF\xBF\xBD&#9;&#10;&#13;b\"><t>a\xEF\xBF\xBD\t\n&#13;b</t>"
                 "<c><![CDATA[a\xEF\xBF\xBD\t\n]]>&#13;<![CDATA[b]]></c></r>")
        << static_cast<int>(bad[0]);
  }
}

// One set per element, the usual way of writing numbered items: every element gets its own set,
// and the first set made is still the writer's after thousands more. Sets made elsewhere are not
// written.
TEST(XmlWriter, WritesOnlyAttributeSetsItMade) {
  KORAXmlWriter writer;
  writer.setIndent(false);
  IKORAXmlAttribute* const first = writer.createAttribute("k", "v");
  std::string expected;
  for (int i = 0; i < 5000; ++i) {
    ASSERT_EQ(writer.writeElement("item", i, false, writer.createAttribute("id", i, 0)), 0);
    expected += R"(<item id=")" + std::to_string(i) + R"(">)" + std::to_string(i) + "</item>";
  }
  KORAXmlAttribute foreign;
  foreign.addAttribute("k", "v");
  for (IKORAXmlAttribute* set :
       {first, writer.createAttribute("n", 255, 1), writer.createAttribute("n", 4294967295UL, 2),
        writer.createAttribute("n", false), static_cast<IKORAXmlAttribute*>(&foreign)}) {
    writer.writeElement("e", "", false, set);
  }
  EXPECT_EQ(writer.getXml(),
            expected + R"(<e k="v"/><e n="0x000000ff"/><e n="4294967295"/><e n="false"/><e/>)");
}

// The declaration names the version and the encoding set, patched over the component's own. A
// reset brings a new component with its own defaults (a declaration, no indent, UTF-16): the open
// elements go with the old one, so closing with nothing open fails and writes nothing; the prefix
// stays.
TEST(XmlWriter, PropertiesRoundTripAndResetRestoresTheComponentDefaults) {
  // Each flag reads back what was set in the C interface's test, which goes through these
  // getters; the refusal of a null pointer is their shared helper's.
  KORAXmlWriter writer;
  EXPECT_EQ(writer.getStandalone(nullptr), status::kPointer);
  writer.setOmitXmlDeclaration(false);
  EXPECT_STREQ(writer.getXml(), "") << "a declaration is written by startDocument only";
  writer.setVersion("1.1");
  char* version = nullptr;
  ASSERT_EQ(writer.getVersion(&version), 0);
  EXPECT_STREQ(version, "1.1");
  std::free(version);
  writer.setEncoding("ISO-8859-1");
  writer.startDocument("p");
  writer.startElement("open", nullptr);
  EXPECT_TRUE(
      std::string(writer.getXml()).starts_with(R"(<?xml version="1.1" encoding="ISO-8859-1")"));

  EXPECT_EQ(writer.reset(), 0);
  EXPECT_EQ(writer.endElement(), status::kFail);
  writer.startDocument();
  writer.startElement("a", nullptr);
  writer.writeElement("b", "t", false, nullptr);
  writer.endElement();
  EXPECT_STREQ(
      writer.getXml(),
      "<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\"?>\r\n<p:a><p:b>t</p:b></p:a>");
}

// ---------------------------------------------------------------------------------------------
// XPath

TEST(XmlXPath, AnswersSingleMultipleAndEmptyQueries) {
  KORAXmlXPath xpath;
  ASSERT_EQ(xpath.loadXml("<a><b>1</b><b>2<i>x</i></b><c k=\"v\"/></a>"), 0);
  struct Case {
    const char* expression;
    const char* single;
    const char* all;
  };
  const Case cases[] = {
      {"/a/b", "<b>1</b>", "<b>1</b>\n<b>2<i>x</i></b>\n"},
      {"/a/c/@k", "k=\"v\"", "k=\"v\"\n"},
      {"/a/b[2]/text()", "2", "2\n"},
      {"/a/d", "", ""},
      // Rejected, or not a node set: a failed query, not a crash.
      {"/a/[", "", ""},
      {"count(/a/b)", "", ""},
      {"//p:b", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(xpath.selectSingleNode(c.expression), c.single) << c.expression;
    EXPECT_STREQ(xpath.selectNodes(c.expression), c.all) << c.expression;
  }
  // A visitor walks the selected nodes, an empty selection included, and its answer is the result.
  Events seen;
  const auto visit = [&](IXMLDOMNodeList* list) {
    while (IXMLDOMNode* node = list->nextNode()) {
      seen.push_back(node->nodeName() + "|" + node->text() + "|" + node->xml());
    }
    return 5 + static_cast<int>(list->length());
  };
  EXPECT_EQ(xpath.selectNodes("/a/b", visit), 7);
  EXPECT_EQ(xpath.selectNodes("/a/none", visit), 5);
  EXPECT_EQ(seen, (Events{"b|1|<b>1</b>", "b|2x|<b>2<i>x</i></b>"}));
  EXPECT_THROW(xpath.selectNodes("/a", std::function<int(IXMLDOMNodeList*)>()),
               std::bad_function_call);

  // Malformed and hostile documents fail, and a failed load leaves no old document. Deep nesting
  // is closed again, so that only the depth limit can refuse it.
  const std::string failing[] = {
      "<a><b></a>",
      repeat("<a>", 100000) + repeat("</a>", 100000),
      "<" + std::string(1 << 20, 'n') + "/>",
      "<a>&undeclared;</a>",
  };
  for (const std::string& xml : failing) {
    EXPECT_EQ(xpath.loadXml(xml.c_str()), -1) << xml.substr(0, 40);
    EXPECT_STREQ(xpath.selectNodes("//node()"), "") << xml.substr(0, 40);
    ASSERT_EQ(xpath.loadXml("<a/>"), 0);
  }
  EXPECT_EQ(xpath.loadXml(nullptr), -1);
}

TEST(XmlXPath, LoadFileRefusesThePathLoadedLast) {
  ScratchDir dir;
  const std::string first = dir.write("x.xml", "<x>1</x>");
  const std::string second = dir.write("y.xml", "<y>2</y>");
  KORAXmlXPath xpath;
  EXPECT_EQ(xpath.loadFile(first.c_str()), 0);
  dir.write("x.xml", "<x>changed</x>");
  EXPECT_EQ(xpath.loadFile(first.c_str()), -1);
  EXPECT_STREQ(xpath.selectSingleNode("/x"), "<x>1</x>") << "not loaded again";
  EXPECT_EQ(xpath.loadFile(second.c_str()), 0);
  EXPECT_EQ(xpath.loadFile(first.c_str()), 0);
  EXPECT_STREQ(xpath.selectSingleNode("/x"), "<x>changed</x>");

  // A string load does not change the remembered path.
  EXPECT_EQ(xpath.loadXml("<s/>"), 0);
  EXPECT_EQ(xpath.loadFile(first.c_str()), -1);
  EXPECT_STREQ(xpath.selectSingleNode("/s"), "<s/>");

  // A failed load is not remembered; other schemes are never fetched.
  const std::string missing = (dir.path() / "missing.xml").string();
  EXPECT_EQ(xpath.loadFile(missing.c_str()), -1);
  dir.write("missing.xml", "<m/>");
  EXPECT_EQ(xpath.loadFile(missing.c_str()), 0);
  EXPECT_EQ(xpath.loadFile(("file://" + second).c_str()), 0);
  EXPECT_EQ(xpath.loadFile("http://127.0.0.1/x.xml"), -1);
}

// ---------------------------------------------------------------------------------------------
// The vectorised UTF-8 check and the piecewise repair against the byte-by-byte reference

// The vectorised check against the byte walk, with each case placed at every offset of a vector
// block and a 64-byte group, after ASCII and after a four-byte character. Repair checks 4 KB
// pieces and walks only the rejected ones, so the cases are also placed across the first piece's
// edge: a character across it stays whole and a bad byte beside it is still replaced.
TEST(Utf8Text, VectorCheckAgreesWithTheByteWalkAtEveryOffset) {
  const std::string_view cases[] = {"\xC3\xA9",
                                    "\xCE\xB1\xE6\xBC\xA2",
                                    "\xF0\x9F\x98\x80",
                                    "\xF4\x8F\xBF\xBF",
                                    "\xF4\x90\x80\x80",
                                    "\xE0\x9F\xBF",
                                    "\xE0\xA0\x80",
                                    "\xED\x9F\xBF",
                                    "\xED\xA0\x80",
                                    "\xF0\x8F\xBF\xBF",
                                    "\xC1\xBF",
                                    "\xF5\x80\x80\x80",
                                    "\x80",
                                    "\xE2\x82",
                                    "\xC3",
                                    "\xC3\xA9\xA9"};
  for (const std::string_view piece : cases) {
    for (const std::string_view before : {"", "\xF0\x9F\x98\x80"}) {
      for (std::size_t shift = 0; shift < 4100; shift = shift == 69 ? 4088 : shift + 1) {
        const std::string text = std::string(shift, 'a') + std::string(before) + std::string(piece);
        for (const std::string& padded : {text, text + std::string(40, 'z')}) {
          const bool valid = zt::platform::isValidUtf8Scalar(padded);
          EXPECT_EQ(zt::platform::isValidUtf8(padded), valid) << shift;
          EXPECT_EQ(zt::platform::isValidUtf8Sse2(padded), valid) << shift;
          if (zt::platform::hasAvx2()) {
            EXPECT_EQ(zt::platform::isValidUtf8Avx2(padded), valid) << shift;
          }
          std::string repaired;
          zt::platform::appendRepairedUtf8Scalar(repaired, padded);
          EXPECT_EQ(zt::platform::replaceInvalidUtf8(padded), repaired) << shift;
        }
      }
    }
  }
}

}  // namespace
