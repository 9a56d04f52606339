// KORAXmlContentHandler: the library's own base for content handlers driven by KORAXmlParser.
// Every event is accepted and ignored; a handler overrides what it needs and names itself.
#ifndef ZT_XML_XML_CONTENT_HANDLER_H
#define ZT_XML_XML_CONTENT_HANDLER_H

#include "zttools.h"

namespace zt::xml {

class KORAXmlContentHandler : public IKORAXmlContentHandler {
 public:
  int startDocument() override { return 0; }
  int endDocument() override { return 0; }
  int reserved(void* /*unused*/) override { return 0; }
  int startElement(const char* /*name*/) override { return 0; }
  int characters(const char* /*text*/) override { return 0; }
  int endElement(const char* /*name*/) override { return 0; }
  void startAttributes(const char* /*element*/) override {}
  int attribute(const char* /*name*/, const char* /*value*/) override { return 0; }
  void endAttributes(const char* /*element*/) override {}
  void setController(IKORAXmlContentController* /*controller*/) override {}

  // Slots after the interface's: the concrete handler's class name, and a spare slot.
  [[nodiscard]] virtual const char* handlerName() const = 0;
  virtual int reserved2() { return 0; }
};

}  // namespace zt::xml

#endif  // ZT_XML_XML_CONTENT_HANDLER_H
