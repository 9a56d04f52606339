// The XML writer object on arbitrary event sequences. Names are XML names or, now and then, names
// that are not (a character no name may hold anywhere, or, while no prefix is in force, one no
// name may start with); text, attribute values, CDATA, the encoding, the version and the switches
// are anything. A call given a name that is not an XML name must be refused with E_INVALIDARG and
// write nothing. The sequence keeps to one root element and is closed at the end, and then the
// writer's text must parse again with the parser object, giving back the elements accepted, in
// order.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "platform/status.h"
#include "tests/event_recorder.h"
#include "xml/xml_parser.h"
#include "xml/xml_writer.h"
#include "zttools.h"

namespace {

constexpr long kInvalidArg = zt::platform::kInvalidArg;

struct Name {
  std::string text;
  bool valid = true;
};

// An XML name made of the input's bytes: letters, digits, '-', '.', '_' and two non-ASCII
// letters, starting with a letter. Never "xml..." in any case, which XML keeps for itself. One
// time in eight it is spoilt: a character that no name holds is put in, or, when `prefixed` is
// false, one that no name starts with is put in front.
Name nameFrom(zt::fuzz::InputReader& input, bool prefixed = true) {
  static const std::vector<std::string> kTail = {"a", "b", "z", "Q",        "0",           "9",
                                                 "-", ".", "_", "\xC3\xA9", "\xE6\x97\xA5"};
  static const std::vector<std::string> kNowhere = {
      " ",    "<",        "&",        "\"",           "=",    "/",
      "\x01", "\xC3\x97", "\xCD\xBE", "\xEF\xBF\xBE", "\xFF", "\xC3"};
  static const std::vector<std::string> kNotFirst = {"0", "-", ".", "\xC2\xB7", "\xCC\x80"};
  const uint8_t length = input.byte() % 8;
  Name name{input.byte() % 2 == 0 ? "n" : "\xC3\xA9"};
  for (uint8_t i = 0; i < length; ++i) {
    name.text += kTail[input.byte() % kTail.size()];
  }
  const uint8_t spoil = input.byte();
  if (spoil % 8 == 0) {
    const std::string& bad = kNowhere[(spoil / 8) % kNowhere.size()];
    name.text.insert((spoil / 32) % (name.text.size() + 1), bad);
    name.valid = false;
  } else if (spoil % 8 == 1 && !prefixed) {
    name.text.insert(0, kNotFirst[(spoil / 8) % kNotFirst.size()]);
    name.valid = false;
  }
  return name;
}

// A set of up to three attributes; `valid` turns false when one of their names is no XML name.
IKORAXmlAttribute* attributesFrom(zt::fuzz::InputReader& input, zt::xml::KORAXmlWriter& writer,
                                  bool& valid) {
  valid = true;
  const uint8_t count = input.byte() % 4;
  if (count == 0) {
    return nullptr;
  }
  IKORAXmlAttribute* set = writer.createAttribute();
  for (uint8_t i = 0; i < count; ++i) {
    const Name name = nameFrom(input, false);
    valid = valid && name.valid;
    const char* text = name.text.c_str();
    switch (input.byte() % 4) {
      case 0:
        set->addAttribute(text, input.string().c_str());
        break;
      case 1:
        set->addAttribute(text, input.byte() % 2 == 0);
        break;
      case 2:
        set->addHexAttribute(text, static_cast<long>(input.byte()) * -77777);
        break;
      default:
        set->addAttribute(text, static_cast<int>(input.byte()) - 128);
        break;
    }
  }
  return set;
}

// The status a start with `name` and a set whose names are `namesValid` must give.
long expectedStart(const Name& name, bool namesValid) {
  return name.valid && namesValid ? 0 : kInvalidArg;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  zt::fuzz::InputReader input(data, size);
  zt::xml::KORAXmlWriter writer;
  std::vector<std::string> names;  // names of the elements written, in document order
  int depth = 0;
  bool rootDone = false;

  const Name prefix = input.byte() % 4 == 0 ? nameFrom(input, false) : Name{};
  const bool prefixed = prefix.valid && !prefix.text.empty();
  if (!prefix.text.empty()) {
    const std::string before = writer.getXml();
    ZT_FUZZ_CHECK(writer.startDocument(prefix.text.c_str()) == (prefix.valid ? 0 : kInvalidArg));
    ZT_FUZZ_CHECK(prefix.valid || before == writer.getXml());
  }
  if (!prefixed) {
    writer.startDocument();
  }
  for (int steps = 0; steps < 200 && !input.done(); ++steps) {
    const bool mayOpen = depth > 0 || !rootDone;
    bool namesValid = true;
    switch (input.byte() % 11) {
      case 0:
        if (mayOpen) {
          const Name name = nameFrom(input, prefixed);
          IKORAXmlAttribute* attributes = attributesFrom(input, writer, namesValid);
          const long expected = expectedStart(name, namesValid);
          ZT_FUZZ_CHECK(writer.startElement(name.text.c_str(), attributes) == expected);
          if (expected == 0) {
            names.push_back(name.text);
            ++depth;
          }
        }
        break;
      case 1:
        if (depth > 0) {
          ZT_FUZZ_CHECK(writer.endElement() == 0);
          rootDone = --depth == 0;
        }
        break;
      case 2:
        if (mayOpen) {
          const Name name = nameFrom(input, prefixed);
          const bool cdata = input.byte() % 2 == 0;
          IKORAXmlAttribute* attributes = attributesFrom(input, writer, namesValid);
          const long expected = expectedStart(name, namesValid);
          ZT_FUZZ_CHECK(writer.writeElement(name.text.c_str(), input.string().c_str(), cdata,
                                            attributes) == expected);
          if (expected == 0) {
            names.push_back(name.text);
            rootDone = rootDone || depth == 0;
          }
        }
        break;
      case 3:
        if (depth > 0) {
          const bool cdata = input.byte() % 2 == 0;
          ZT_FUZZ_CHECK(writer.characters(input.string().c_str(), cdata) == 0);
        }
        break;
      case 4:
        if (mayOpen) {
          const Name name = nameFrom(input, prefixed);
          const long status = writer.writeElement(name.text.c_str(),
                                                  static_cast<char>(input.byte()), false, nullptr);
          ZT_FUZZ_CHECK(status == expectedStart(name, true));
          if (status == 0) {
            names.push_back(name.text);
            rootDone = rootDone || depth == 0;
          }
        }
        break;
      case 5: {
        // Only a name that is no XML name: any other would close an element out of turn.
        Name name = nameFrom(input, false);
        if (!name.valid) {
          const std::string before = writer.getXml();
          ZT_FUZZ_CHECK(writer.endElement(name.text.c_str()) == kInvalidArg);
          ZT_FUZZ_CHECK(before == writer.getXml());
        }
        break;
      }
      case 6:
        writer.setIndent(input.byte() % 2 == 0);
        break;
      case 7:
        writer.setOmitXmlDeclaration(input.byte() % 2 == 0);
        break;
      case 8:
        writer.setStandalone(input.byte() % 2 == 0);
        break;
      case 9:
        writer.setEncoding(input.string().c_str());
        break;
      default:
        writer.setVersion(input.string().c_str());
        break;
    }
  }
  while (depth-- > 0) {
    ZT_FUZZ_CHECK(writer.endElement() == 0);
  }
  writer.endDocument();
  if (names.empty()) {
    return 0;  // no root: not a document
  }

  const std::string xml = writer.getXml();
  if (!zt::fuzz::isUtf8(xml)) {
    std::fprintf(stderr, "not UTF-8:\n%s\n", xml.c_str());
  }
  ZT_FUZZ_CHECK(zt::fuzz::isUtf8(xml));
  zt::xml::KORAXmlParser parser;
  EventRecorder recorder;
  const long status = parser.parseString(xml.c_str(), &recorder, nullptr);
  if (status != 0) {
    std::fprintf(stderr, "not well-formed (%ld):\n%s\n", status, xml.c_str());
  }
  ZT_FUZZ_CHECK(status == 0);
  std::vector<std::string> read;
  for (const std::string& e : recorder.events) {
    if (e.starts_with("<")) {
      read.push_back(e.substr(1));
    }
  }
  ZT_FUZZ_CHECK(read == names);
  return 0;
}
