// The event contract of the internal SAX layer and the bridge that feeds it from the platform
// reader.
#ifndef ZT_SAX_SAX_CONTENT_HANDLER_H
#define ZT_SAX_SAX_CONTENT_HANDLER_H

#include <array>
#include <cstdint>
#include <string_view>

#include "platform/xml_reader.h"
#include "sax/sax_text.h"

namespace zt::sax {

// Base of the token XML handlers. Strings are zero-terminated and valid only during the call.
// Results: startDocument must return exactly 3 for the document to be read; a zero from
// startElement, endElement or the last attribute of an element stops the parse; the results of
// characters and endDocument are ignored. Every default returns 3.
class SDKSAXContentHandlerC {
 public:
  virtual ~SDKSAXContentHandlerC() = default;
  [[nodiscard]] virtual const char* handlerName() const = 0;
  virtual int32_t startDocument() { return 3; }
  virtual int32_t endDocument() { return 3; }
  virtual int32_t startElement(const char* /*name*/) { return 3; }
  virtual int32_t characters(const char* /*text*/) { return 3; }
  virtual int32_t endElement(const char* /*name*/) { return 3; }
  virtual int32_t attribute(const char* /*name*/, const char* /*value*/) { return 3; }
};

// Receives the platform reader's events and forwards local names, attributes and gated
// character data to one handler. Character data reaches the handler only between a start tag
// it accepted and the next tag, so the text of a parent around its children is never seen.
// Names and values longer than 1023 bytes are cut at their last whole UTF-8 character.
class SAXContentHandlerC final : public platform::SaxContentSink {
 public:
  // Not owned; null forwards nothing.
  void setTarget(SDKSAXContentHandlerC* target) { target_ = target; }

  platform::Status startDocument() override;
  platform::Status endDocument() override;
  platform::Status startElement(std::string_view localName,
                                platform::SaxAttributes attributes) override;
  platform::Status endElement(std::string_view localName) override;
  platform::Status characters(std::string_view text) override;

 private:
  SDKSAXContentHandlerC* target_ = nullptr;
  // Reused for every event: a cut element name handed to startElement is overwritten by the
  // first cut attribute name.
  std::array<char, kSaxBufferSize> nameBuffer_{};
  std::array<char, kSaxBufferSize> valueBuffer_{};
};

}  // namespace zt::sax

#endif  // ZT_SAX_SAX_CONTENT_HANDLER_H
