#include "sax/sax_content_handler.h"

namespace zt::sax {

using platform::Status;

Status SAXContentHandlerC::startDocument() {
  if (target_ == nullptr) {
    return platform::kFalse;
  }
  return target_->startDocument() == 3 ? platform::kFalse : platform::kFail;
}

Status SAXContentHandlerC::endDocument() {
  if (target_ != nullptr) {
    target_->endDocument();
  }
  return platform::kOk;
}

Status SAXContentHandlerC::startElement(std::string_view localName,
                                        platform::SaxAttributes attributes) {
  if (target_ == nullptr) {
    return platform::kFalse;
  }
  int32_t result = target_->startElement(handOnName(nameBuffer_, localName));
  if (result != 0) {
    // A refused attribute does not end the loop: only the last answer counts.
    for (const platform::SaxAttribute& attribute : attributes) {
      if (attribute.localName.empty()) {
        continue;
      }
      result = target_->attribute(handOnName(nameBuffer_, attribute.localName),
                                  copyToBuffer(valueBuffer_, attribute.value));
    }
  }
  // The text up to the next tag is wanted only inside an accepted element.
  return result != 0 ? platform::kOk : platform::kAbort;
}

Status SAXContentHandlerC::endElement(std::string_view localName) {
  if (target_ == nullptr) {
    return platform::kFalse;
  }
  return target_->endElement(handOnName(nameBuffer_, localName)) != 0 ? platform::kFalse
                                                                      : platform::kAbort;
}

Status SAXContentHandlerC::characters(std::string_view text) {
  // The reader ends each chunk with a zero byte, so it is handed on where it lies.
  if (target_ != nullptr && !text.empty()) {
    target_->characters(text.data());
  }
  return platform::kOk;
}

}  // namespace zt::sax
