// XPath: a document from the first NUL-ended part of the input, then up to four expressions from
// the rest. Loading never crashes and either succeeds or leaves an empty document; every answer
// is valid UTF-8; the single-node answer is the first line of the all-nodes answer; the visitor
// sees exactly the number of nodes the list reports.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "xml/xml_xpath.h"
#include "zttools.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  zt::fuzz::InputReader input(data, size);
  const std::string xml = input.string();
  zt::xml::KORAXmlXPath xpath;
  const int loaded = xpath.loadXml(xml.c_str());
  ZT_FUZZ_CHECK(loaded == 0 || loaded == -1);

  for (int i = 0; i < 4 && !input.done(); ++i) {
    const std::string expression = input.string();
    const std::string single = xpath.selectSingleNode(expression.c_str());
    const std::string all = xpath.selectNodes(expression.c_str());
    ZT_FUZZ_CHECK(zt::fuzz::isUtf8(single) && zt::fuzz::isUtf8(all));
    ZT_FUZZ_CHECK(all.empty() || all.back() == '\n');
    ZT_FUZZ_CHECK(all.compare(0, single.size(), single) == 0);
    if (loaded != 0) {
      // An empty document has no node but the document itself, which serialises as at most a
      // declaration: nothing from the failed text may answer.
      const std::size_t declarationEnd = single.starts_with("<?xml") ? single.find("?>") : 0;
      ZT_FUZZ_CHECK(declarationEnd != std::string::npos);
      ZT_FUZZ_CHECK(single.find('<', declarationEnd) == std::string::npos);
    }
    long reported = -1;
    long visited = 0;
    const int result = xpath.selectNodes(expression.c_str(), [&](IXMLDOMNodeList* list) {
      reported = list->length();
      while (IXMLDOMNode* node = list->nextNode()) {
        ZT_FUZZ_CHECK(zt::fuzz::isUtf8(node->xml()) && zt::fuzz::isUtf8(node->text()));
        ZT_FUZZ_CHECK(zt::fuzz::isUtf8(node->nodeName()));
        ++visited;
      }
      return 7;
    });
    ZT_FUZZ_CHECK(result == 7 || result == -1);
    if (result == 7) {
      ZT_FUZZ_CHECK(visited == reported);
    } else {
      ZT_FUZZ_CHECK(all.empty());
    }
  }
  return 0;
}
