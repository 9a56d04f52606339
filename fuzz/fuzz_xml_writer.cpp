// The XML writer object on arbitrary event sequences. Element and attribute names are XML names
// (choosing names is the caller's part); text, attribute values, CDATA, the encoding, the version
// and the switches are anything. The sequence keeps to one root element and is closed at the end,
// and then the writer's text must parse again with the parser object, giving back the same elements
// in the same order.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "tests/event_recorder.h"
#include "xml/xml_parser.h"
#include "xml/xml_writer.h"
#include "zttools.h"

namespace {

// An XML name made of the input's bytes: letters, digits, '-', '.', '_' and two non-ASCII
// letters, starting with a letter. Never "xml..." in any case, which XML keeps for itself.
std::string nameFrom(zt::fuzz::InputReader& input) {
  static const std::vector<std::string> kTail = {"a", "b", "z", "Q",        "0",           "9",
                                                 "-", ".", "_", "\xC3\xA9", "\xE6\x97\xA5"};
  const uint8_t length = input.byte() % 8;
  std::string name = input.byte() % 2 == 0 ? "n" : "\xC3\xA9";
  for (uint8_t i = 0; i < length; ++i) {
    name += kTail[input.byte() % kTail.size()];
  }
  return name;
}

IKORAXmlAttribute* attributesFrom(zt::fuzz::InputReader& input, zt::xml::KORAXmlWriter& writer) {
  const uint8_t count = input.byte() % 4;
  if (count == 0) {
    return nullptr;
  }
  IKORAXmlAttribute* set = writer.createAttribute();
  for (uint8_t i = 0; i < count; ++i) {
    const std::string name = nameFrom(input);
    switch (input.byte() % 4) {
      case 0:
        set->addAttribute(name.c_str(), input.string().c_str());
        break;
      case 1:
        set->addAttribute(name.c_str(), input.byte() % 2 == 0);
        break;
      case 2:
        set->addHexAttribute(name.c_str(), static_cast<long>(input.byte()) * -77777);
        break;
      default:
        set->addAttribute(name.c_str(), static_cast<int>(input.byte()) - 128);
        break;
    }
  }
  return set;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  zt::fuzz::InputReader input(data, size);
  zt::xml::KORAXmlWriter writer;
  std::vector<std::string> expected;  // element names in document order
  int depth = 0;
  bool rootDone = false;

  const std::string prefix = input.byte() % 4 == 0 ? nameFrom(input) : "";
  writer.startDocument(prefix.c_str());
  for (int steps = 0; steps < 200 && !input.done(); ++steps) {
    const bool mayOpen = depth > 0 || !rootDone;
    switch (input.byte() % 10) {
      case 0:
        if (mayOpen) {
          const std::string name = nameFrom(input);
          IKORAXmlAttribute* attributes = attributesFrom(input, writer);
          ZT_FUZZ_CHECK(writer.startElement(name.c_str(), attributes) == 0);
          expected.push_back(name);
          ++depth;
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
          const std::string name = nameFrom(input);
          const bool cdata = input.byte() % 2 == 0;
          IKORAXmlAttribute* attributes = attributesFrom(input, writer);
          ZT_FUZZ_CHECK(
              writer.writeElement(name.c_str(), input.string().c_str(), cdata, attributes) == 0);
          expected.push_back(name);
          rootDone = rootDone || depth == 0;
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
          const std::string name = nameFrom(input);
          writer.writeElement(name.c_str(), static_cast<char>(input.byte()), false, nullptr);
          expected.push_back(name);
          rootDone = rootDone || depth == 0;
        }
        break;
      case 5:
        writer.setIndent(input.byte() % 2 == 0);
        break;
      case 6:
        writer.setOmitXmlDeclaration(input.byte() % 2 == 0);
        break;
      case 7:
        writer.setStandalone(input.byte() % 2 == 0);
        break;
      case 8:
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
  if (expected.empty()) {
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
  std::vector<std::string> names;
  for (const std::string& e : recorder.events) {
    if (e.starts_with("<")) {
      names.push_back(e.substr(1));
    }
  }
  ZT_FUZZ_CHECK(names == expected);
  return 0;
}
