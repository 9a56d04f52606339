// KORAXmlXPath: one document in memory, answering XPath 1.0 queries with narrow texts.
#ifndef ZT_XML_XML_XPATH_H
#define ZT_XML_XML_XPATH_H

#include <memory>
#include <string>

#include "platform/xml_dom.h"
#include "zttools.h"

namespace zt::xml {

class KORAXmlXPath final : public KORAXmlXPathInterface {
 public:
  KORAXmlXPath();
  ~KORAXmlXPath() override;
  KORAXmlXPath(const KORAXmlXPath&) = delete;
  KORAXmlXPath& operator=(const KORAXmlXPath&) = delete;

  int loadFile(const char* path) override;
  int loadXml(const char* xml) override;
  const char* selectSingleNode(const char* xpath) override;
  const char* selectNodes(const char* xpath) override;
  int selectNodes(const char* xpath, std::function<int(IXMLDOMNodeList*)> visitor) override;

 private:
  struct Record {
    bool ready = false;
    std::unique_ptr<platform::XmlDocument> document;
    // The answer of the last text query; returned as a pointer, so it lives here.
    std::string resultText;
    // The path of the last successful loadFile: loading it again is refused.
    std::string loadedPath;
  };

  std::unique_ptr<platform::XmlNodeList> query(const char* xpath);

  std::unique_ptr<Record> record_;
};

}  // namespace zt::xml

#endif  // ZT_XML_XML_XPATH_H
