#include "xml/xml_xpath.h"

#include "platform/utf8.h"
#include "xml/utf8_text.h"

namespace zt::xml {

KORAXmlXPath::KORAXmlXPath() : record_(std::make_unique<Record>()) {
  record_->document = platform::XmlDocument::create();
  record_->ready = record_->document != nullptr;
}

KORAXmlXPath::~KORAXmlXPath() = default;

int KORAXmlXPath::loadFile(const char* path) {
  if (!record_->ready || path == nullptr || record_->loadedPath == path) {
    return -1;
  }
  // Copied first: once the document is loaded nothing may fail, or the object would hold a
  // document that it reported as not loaded.
  std::string loaded = path;
  if (!record_->document->loadFile(path)) {
    return -1;
  }
  record_->loadedPath = std::move(loaded);
  return 0;
}

int KORAXmlXPath::loadXml(const char* xml) {
  if (!record_->document) {
    return -2;
  }
  if (!record_->ready || xml == nullptr) {
    return -1;
  }
  const std::string_view text(xml);
  const bool loaded = platform::isValidUtf8(text)
                          ? record_->document->loadXml(text)
                          : record_->document->loadXml(platform::replaceInvalidUtf8(text));
  return loaded ? 0 : -1;
}

std::unique_ptr<platform::XmlNodeList> KORAXmlXPath::query(const char* xpath) {
  record_->resultText.clear();
  if (!record_->ready || xpath == nullptr) {
    return nullptr;
  }
  return record_->document->select(xpath);
}

const char* KORAXmlXPath::selectSingleNode(const char* xpath) {
  if (auto nodes = query(xpath)) {
    if (IXMLDOMNode* first = nodes->nextNode()) {
      record_->resultText = first->xml();
    }
  }
  return record_->resultText.c_str();
}

const char* KORAXmlXPath::selectNodes(const char* xpath) {
  if (auto nodes = query(xpath)) {
    // Assembled in place through one dump buffer: the answer can be large, and a string per
    // node would copy it twice.
    nodes->appendEachXml(record_->resultText);
  }
  return record_->resultText.c_str();
}

int KORAXmlXPath::selectNodes(const char* xpath, std::function<int(IXMLDOMNodeList*)> visitor) {
  auto nodes = query(xpath);
  // An empty visitor throws std::bad_function_call, as calling it would.
  return nodes ? visitor(nodes.get()) : -1;
}

}  // namespace zt::xml
