#include "sax/sax_content_handler.h"

#include <string>

namespace zt::sax {

using platform::Status;

Status SAXContentHandlerC::startDocument() {
  if (target_ == nullptr) {
    return platform::kOk;
  }
  return target_->startDocument() == 3 ? platform::kOk : platform::kFail;
}

Status SAXContentHandlerC::endDocument() {
  if (target_ != nullptr) {
    target_->endDocument();
  }
  return platform::kOk;
}

Status SAXContentHandlerC::startElement(std::string_view localName,
                                        const platform::SaxAttributes& attributes) {
  if (target_ == nullptr) {
    inElement_ = true;
    return platform::kOk;
  }
  int32_t result = target_->startElement(copyToBuffer(nameBuffer_, localName));
  if (result != 0) {
    // A refused attribute does not end the loop: only the last answer counts.
    const int count = attributes.length();
    for (int i = 0; i < count; ++i) {
      const std::string_view name = attributes.localName(i);
      if (name.empty()) {
        continue;
      }
      copyToBuffer(nameBuffer_, name);
      copyToBuffer(valueBuffer_, attributes.value(i));
      result = target_->attribute(nameBuffer_.data(), valueBuffer_.data());
    }
  }
  inElement_ = result != 0;
  return result != 0 ? platform::kOk : platform::kAbort;
}

Status SAXContentHandlerC::endElement(std::string_view localName) {
  inElement_ = false;
  if (target_ == nullptr) {
    return platform::kOk;
  }
  return target_->endElement(copyToBuffer(nameBuffer_, localName)) != 0 ? platform::kOk
                                                                        : platform::kAbort;
}

Status SAXContentHandlerC::characters(std::string_view text) {
  if (target_ != nullptr && inElement_ && !text.empty()) {
    const std::string chunk(text);
    target_->characters(chunk.c_str());
  }
  return platform::kOk;
}

}  // namespace zt::sax
