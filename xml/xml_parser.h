// KORAXmlParser: reads one document at a time (file, counted buffer or string) and delivers it as
// narrow-string events to caller-implemented content handlers, through a handler stack.
#ifndef ZT_XML_XML_PARSER_H
#define ZT_XML_XML_PARSER_H

#include <memory>

#include "zttools.h"

namespace zt::xml {

class KORAXmlParser final : public KORAXmlParserInterface {
 public:
  KORAXmlParser();
  ~KORAXmlParser() override;
  KORAXmlParser(const KORAXmlParser&) = delete;
  KORAXmlParser& operator=(const KORAXmlParser&) = delete;

  long parseFile(const char* path, IKORAXmlContentHandler* handler,
                 IKORAXmlErrorHandler* errorHandler) override;
  long parseBuffer(const char* data, int length, IKORAXmlContentHandler* handler,
                   IKORAXmlErrorHandler* errorHandler) override;
  long parseString(const char* xml, IKORAXmlContentHandler* handler,
                   IKORAXmlErrorHandler* errorHandler) override;

 private:
  struct Record;
  long parseText(const char* data, size_t length, IKORAXmlContentHandler* handler,
                 IKORAXmlErrorHandler* errorHandler);
  void prepare(IKORAXmlContentHandler* handler, IKORAXmlErrorHandler* errorHandler);

  std::unique_ptr<Record> record_;
};

}  // namespace zt::xml

#endif  // ZT_XML_XML_PARSER_H
