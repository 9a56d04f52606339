#include "platform/xml_dom.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/uri.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <cerrno>
#include <climits>
#include <optional>
#include <utility>

#include "platform/file_io.h"

namespace zt::platform {
namespace {

// Never XML_PARSE_HUGE: the engine's limits on depth and name length hold.
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

void ignoreError(void* /*context*/, xmlError* /*error*/) {}

// A document type declaration fails the load as soon as its name and external id are read,
// before its internal subset: nothing in it is declared, fetched or expanded.
void refuseDtd(void* userData, const xmlChar* /*name*/, const xmlChar* /*publicId*/,
               const xmlChar* /*systemId*/) {
  auto* context = static_cast<xmlParserCtxt*>(userData);
  context->wellFormed = 0;
  xmlStopParser(context);
}

void initialiseEngine() {
  static const bool initialised = [] {
    xmlInitParser();
    return true;
  }();
  (void)initialised;
}

struct ParserContextDeleter {
  void operator()(xmlParserCtxt* context) const { xmlFreeParserCtxt(context); }
};

// A parser context whose diagnostics go nowhere: nothing is printed, and the process-wide error
// callbacks are left alone.
std::unique_ptr<xmlParserCtxt, ParserContextDeleter> quietParserContext() {
  std::unique_ptr<xmlParserCtxt, ParserContextDeleter> context(xmlNewParserCtxt());
  if (context && context->sax != nullptr) {
    context->sax->serror = ignoreError;
    context->sax->internalSubset = refuseDtd;
  }
  return context;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) {
    return false;
  }
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
    if (c != prefix[i]) {
      return false;
    }
  }
  return true;
}

// "scheme://..." with a scheme other than file is never fetched.
bool hasOtherScheme(std::string_view text) {
  size_t i = 0;
  auto isAlpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  if (text.empty() || !isAlpha(text[0])) {
    return false;
  }
  while (i < text.size() && (isAlpha(text[i]) || (text[i] >= '0' && text[i] <= '9') ||
                             text[i] == '+' || text[i] == '-' || text[i] == '.')) {
    ++i;
  }
  return text.substr(i, 3) == "://";
}

// The local file a path or file:// URL names; nothing for any other scheme.
std::optional<std::string> localPath(std::string_view pathOrUrl) {
  if (!startsWithNoCase(pathOrUrl, "file:")) {
    if (hasOtherScheme(pathOrUrl)) {
      return std::nullopt;
    }
    return std::string(pathOrUrl);
  }
  std::string_view rest = pathOrUrl.substr(5);
  if (rest.substr(0, 2) == "//") {
    rest.remove_prefix(2);
    if (startsWithNoCase(rest, "localhost/")) {
      rest.remove_prefix(9);
    } else if (rest.empty() || rest[0] != '/') {
      return std::nullopt;  // a file on another host
    }
  }
  std::string escaped(rest);
  char* unescaped =
      xmlURIUnescapeString(escaped.c_str(), static_cast<int>(escaped.size()), nullptr);
  if (unescaped == nullptr) {
    return std::nullopt;
  }
  std::string path(unescaped);
  xmlFree(unescaped);
  return path;
}

// The engine's blocks are held until copied, so that a copy that fails frees them too.
struct XmlCharsDeleter {
  void operator()(xmlChar* owned) const { xmlFree(owned); }
};
struct BufferDeleter {
  void operator()(xmlBuffer* buffer) const { xmlBufferFree(buffer); }
};

std::string fromXmlChars(xmlChar* text) {
  const std::unique_ptr<xmlChar, XmlCharsDeleter> owned(text);
  return owned ? std::string(reinterpret_cast<const char*>(owned.get())) : std::string();
}

std::string qualifiedName(const xmlChar* prefix, const xmlChar* name) {
  std::string result;
  if (prefix != nullptr) {
    result = reinterpret_cast<const char*>(prefix);
    result += ':';
  }
  if (name != nullptr) {
    result += reinterpret_cast<const char*>(name);
  }
  return result;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Nodes

std::string XmlNode::xml() {
  const std::unique_ptr<xmlBuffer, BufferDeleter> buffer(xmlBufferCreate());
  std::string text;
  if (buffer) {
    appendXml(text, buffer.get());
  }
  return text;
}

void XmlNode::appendXml(std::string& out, xmlBuffer* scratch) {
  if (handle_->type == XML_NAMESPACE_DECL) {
    out += nodeName() + "=\"" + text() + '"';
    return;
  }
  xmlBufferEmpty(scratch);
  xmlNodeDump(scratch, handle_->doc, handle_, 0, 0);
  std::string_view text(reinterpret_cast<const char*>(xmlBufferContent(scratch)),
                        static_cast<size_t>(xmlBufferLength(scratch)));
  // An attribute is dumped as it appears inside a start tag, after a separating space.
  if (handle_->type == XML_ATTRIBUTE_NODE && text.starts_with(' ')) {
    text.remove_prefix(1);
  }
  out += text;
}

std::string XmlNode::nodeName() {
  switch (handle_->type) {
    case XML_ELEMENT_NODE:
    case XML_ATTRIBUTE_NODE:
      return qualifiedName(handle_->ns != nullptr ? handle_->ns->prefix : nullptr, handle_->name);
    case XML_NAMESPACE_DECL: {
      auto* ns = reinterpret_cast<xmlNs*>(handle_);
      return ns->prefix != nullptr ? qualifiedName(BAD_CAST "xmlns", ns->prefix) : "xmlns";
    }
    case XML_TEXT_NODE:
      return "#text";
    case XML_CDATA_SECTION_NODE:
      return "#cdata-section";
    case XML_COMMENT_NODE:
      return "#comment";
    case XML_DOCUMENT_NODE:
      return "#document";
    default:
      return qualifiedName(nullptr, handle_->name);
  }
}

std::string XmlNode::text() {
  if (handle_->type == XML_NAMESPACE_DECL) {
    const xmlChar* href = reinterpret_cast<xmlNs*>(handle_)->href;
    return href != nullptr ? reinterpret_cast<const char*>(href) : "";
  }
  return fromXmlChars(xmlNodeGetContent(handle_));
}

void XPathResultDeleter::operator()(xmlXPathObject* result) const {
  xmlXPathFreeObject(result);
}

// The result is owned before anything can fail, so that it is freed whatever does.
XmlNodeList::XmlNodeList(XPathResult result) : result_(std::move(result)) {
  const xmlNodeSet* set = result_->nodesetval;
  if (set != nullptr) {
    nodes_.reserve(static_cast<size_t>(set->nodeNr));
    for (int i = 0; i < set->nodeNr; ++i) {
      nodes_.emplace_back(set->nodeTab[i]);
    }
  }
}

void XmlNodeList::appendEachXml(std::string& out) {
  const std::unique_ptr<xmlBuffer, BufferDeleter> buffer(xmlBufferCreate());
  if (!buffer) {
    return;
  }
  for (XmlNode& node : nodes_) {
    node.appendXml(out, buffer.get());
    out += '\n';
  }
}

IXMLDOMNode* XmlNodeList::nextNode() {
  return cursor_ < nodes_.size() ? &nodes_[cursor_++] : nullptr;
}

// ---------------------------------------------------------------------------------------------
// Document

std::unique_ptr<XmlDocument> XmlDocument::create() {
  initialiseEngine();
  xmlDoc* empty = xmlNewDoc(BAD_CAST "1.0");
  if (empty == nullptr) {
    return nullptr;
  }
  return std::unique_ptr<XmlDocument>(new XmlDocument(empty));
}

XmlDocument::~XmlDocument() {
  xmlFreeDoc(doc_);
}

bool XmlDocument::adopt(xmlDoc* parsed) {
  if (parsed == nullptr) {
    parsed = xmlNewDoc(BAD_CAST "1.0");
    if (parsed == nullptr) {
      return false;  // keep the old document rather than hold none
    }
    xmlFreeDoc(doc_);
    doc_ = parsed;
    return false;
  }
  xmlFreeDoc(doc_);
  doc_ = parsed;
  return true;
}

bool XmlDocument::loadFile(std::string_view pathOrUrl) {
  const std::optional<std::string> path = localPath(pathOrUrl);
  if (!path) {
    return adopt(nullptr);
  }
  std::string content;
  if (!readWholeFile(path->c_str(), content)) {
    const int error = errno;
    adopt(nullptr);
    errno = error;
    return false;
  }
  auto context = quietParserContext();
  if (content.size() > static_cast<size_t>(INT_MAX) || !context) {
    return adopt(nullptr);
  }
  return adopt(xmlCtxtReadMemory(context.get(), content.data(), static_cast<int>(content.size()),
                                 path->c_str(), nullptr, kParseOptions));
}

bool XmlDocument::loadXml(std::string_view text) {
  auto context = quietParserContext();
  if (text.size() > static_cast<size_t>(INT_MAX) || !context) {
    return adopt(nullptr);
  }
  // The text is already decoded: a declaration naming another encoding must not re-decode it.
  return adopt(xmlCtxtReadMemory(context.get(), text.data(), static_cast<int>(text.size()), nullptr,
                                 "UTF-8", kParseOptions | XML_PARSE_IGNORE_ENC));
}

std::unique_ptr<XmlNodeList> XmlDocument::select(std::string_view xpath) const {
  const std::string expression(xpath);  // made first: nothing may throw while the context is held
  xmlXPathContext* context = xmlXPathNewContext(doc_);
  if (context == nullptr) {
    return nullptr;
  }
  context->error = ignoreError;
  XPathResult result(xmlXPathEvalExpression(BAD_CAST expression.c_str(), context));
  xmlXPathFreeContext(context);
  if (!result || result->type != XPATH_NODESET) {
    return nullptr;
  }
  return std::make_unique<XmlNodeList>(std::move(result));
}

}  // namespace zt::platform
