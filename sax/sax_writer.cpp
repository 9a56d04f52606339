#include "sax/sax_writer.h"

#include "sax/sax_text.h"

namespace zt::sax {

using platform::Status;

void SAXAttributeC::addAttribute(const std::string& name, const std::string& value) {
  if (values_.emplace(name, value).second) {
    names_.push_back(name);
  }
}

bool SAXAttributeC::nextAttribute(const char** name, const char** value) {
  if (cursor_ == names_.end()) {
    return false;
  }
  *name = cursor_->c_str();
  *value = values_.find(*cursor_)->second.c_str();
  ++cursor_;
  return true;
}

Status SAXWriterC::beginDocument(const char* prefix) {
  if (prefix != nullptr) {
    prefix_ = prefix;
  }
  return writer_.startDocument();
}

// Qualified names are held to 1023 bytes, cut at a whole UTF-8 character like every other
// name of this layer.
std::optional<std::string> SAXWriterC::qualifiedName(const char* name) const {
  if (name == nullptr) {
    return std::nullopt;
  }
  const std::string full = prefix_ ? *prefix_ + ":" + name : std::string(name);
  return std::string(platform::cutAtCharacter(full, kSaxBufferSize - 1));
}

Status SAXWriterC::startElement(const std::string& qualifiedName, SAXAttributeC* attributes) {
  if (attributes == nullptr) {
    return writer_.startElement(qualifiedName, nullptr);
  }
  platform::XmlAttributeList list;
  attributes->rewind();
  const char* name = nullptr;
  const char* value = nullptr;
  while (attributes->nextAttribute(&name, &value)) {
    list.addAttribute(name, value);
  }
  return writer_.startElement(qualifiedName, &list);
}

Status SAXWriterC::openElement(const char* name, SAXAttributeC* attributes) {
  std::optional<std::string> qname = qualifiedName(name);
  if (!qname) {
    return platform::kOk;
  }
  openElements_.push_back(*qname);
  return startElement(*qname, attributes);
}

Status SAXWriterC::writeElement(const char* name, const char* text, bool cdata,
                                SAXAttributeC* attributes) {
  std::optional<std::string> qname = qualifiedName(name);
  if (!qname) {
    return platform::kOk;
  }
  const Status status = startElement(*qname, attributes);
  if (status == platform::kOk && writeText(text, cdata) == platform::kOk) {
    closeElement(qname->c_str());
  }
  return status;
}

// Closing without a name when nothing is open writes nothing: there is no name to close.
Status SAXWriterC::closeElement(const char* name) {
  if (name != nullptr) {
    return writer_.endElement(name);
  }
  if (openElements_.empty()) {
    return platform::kOk;
  }
  const std::string innermost = std::move(openElements_.back());
  openElements_.pop_back();
  return writer_.endElement(innermost);
}

Status SAXWriterC::writeText(const char* text, bool cdata) {
  if (text == nullptr) {
    return platform::kOk;
  }
  if (cdata) {
    writer_.startCdata();
  }
  const Status status = writer_.characters(text);
  if (cdata) {
    writer_.endCdata();
  }
  return status;
}

// The platform writer names the encoding of its in-memory text in the declaration; the
// document's declaration must name the configured one instead. The bytes stay UTF-8.
Status SAXWriterC::getOutput(std::string& text) const {
  std::string document(writer_.output());
  if (!writer_.omitXmlDeclaration()) {
    constexpr std::string_view kKey = "encoding=";
    const std::size_t key = document.find(kKey);
    if (key != std::string::npos && key + kKey.size() + 1 <= document.size()) {
      const std::size_t begin = key + kKey.size() + 1;
      const std::size_t end = document.find('"', begin);
      if (end != std::string::npos) {
        document.replace(begin, end - begin, writer_.encoding());
      }
    }
  }
  text = std::move(document);
  return platform::kOk;
}

}  // namespace zt::sax
