// SDKSAXXMLParserC: one platform reader wired to the bridge, for one parse.
#ifndef ZT_SAX_SAX_PARSER_H
#define ZT_SAX_SAX_PARSER_H

#include <string_view>

#include "platform/xml_reader.h"
#include "sax/sax_content_handler.h"

namespace zt::sax {

class SDKSAXXMLParserC {
 public:
  // Errors and warnings of the reader are dropped: a failed parse is known from its status.
  SDKSAXXMLParserC() { reader_.setContentSink(&contentHandler_); }
  SDKSAXXMLParserC(const SDKSAXXMLParserC&) = delete;
  SDKSAXXMLParserC& operator=(const SDKSAXXMLParserC&) = delete;
  ~SDKSAXXMLParserC() = default;

  // The handler that receives the events; not owned.
  void setTarget(SDKSAXContentHandlerC* target) { contentHandler_.setTarget(target); }

  // Parses `xml` as an in-memory document. 0 is success; anything else, including a positive
  // status, is a failed parse whose gathered results the caller discards.
  platform::Status parse(std::string_view xml) { return reader_.parse(xml); }

 private:
  SAXContentHandlerC contentHandler_;
  platform::SaxReader reader_;
};

}  // namespace zt::sax

#endif  // ZT_SAX_SAX_PARSER_H
