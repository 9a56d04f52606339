// In-memory XML document with XPath 1.0 queries: the stand-in for the host platform's DOM
// document component.
//
// Loading is as guarded as the SAX reader: a document type declaration fails the load, no
// network, bounded nesting, only regular local files (a path or a file:// URL). The engine's
// own diagnostics are silenced for each document and query; failures are reported as results.
#ifndef ZT_PLATFORM_XML_DOM_H
#define ZT_PLATFORM_XML_DOM_H

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "zttools_platform.h"

// libxml2 types stay out of the interface; these are its own struct names.
struct _xmlDoc;          // NOLINT(bugprone-reserved-identifier)
struct _xmlNode;         // NOLINT(bugprone-reserved-identifier)
struct _xmlXPathObject;  // NOLINT(bugprone-reserved-identifier)
struct _xmlBuffer;       // NOLINT(bugprone-reserved-identifier)

namespace zt::platform {

class XmlDocument;

// One selected node. `handle` is the engine's node (an attribute, text, namespace or element
// node); it lives as long as the list that made it.
class XmlNode final : public IXMLDOMNode {
 public:
  explicit XmlNode(_xmlNode* handle) : handle_(handle) {}
  std::string xml() override;
  std::string nodeName() override;
  std::string text() override;
  // Appends what xml() returns, dumping through `scratch`, a buffer the caller reuses.
  void appendXml(std::string& out, _xmlBuffer* scratch);

 private:
  _xmlNode* handle_;
};

// Frees an engine result.
struct XPathResultDeleter {
  void operator()(_xmlXPathObject* result) const;
};
using XPathResult = std::unique_ptr<_xmlXPathObject, XPathResultDeleter>;

// The nodes an expression selected, in document order. It keeps the engine's result alive (its
// namespace nodes are copies owned by that result) and must not outlive its document.
class XmlNodeList final : public IXMLDOMNodeList {
 public:
  explicit XmlNodeList(XPathResult result);

  long length() override { return static_cast<long>(nodes_.size()); }
  IXMLDOMNode* nextNode() override;
  void reset() override { cursor_ = 0; }

  // The markup of every node, each followed by a line feed, appended to `out` through one
  // dump buffer; nothing when that buffer cannot be made (out of memory).
  void appendEachXml(std::string& out);

 private:
  XPathResult result_;
  std::vector<XmlNode> nodes_;
  size_t cursor_ = 0;
};

class XmlDocument {
 public:
  // Null when the engine cannot make even an empty document (out of memory).
  static std::unique_ptr<XmlDocument> create();
  ~XmlDocument();
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;

  // Each load replaces the document; a failed load leaves an empty document, as if nothing had
  // been loaded, so that no query answers from stale content.
  // A local path or a file:// URL; the file's own encoding declaration is honoured. A file that
  // cannot be read or is not a regular file fails with errno set (EISDIR, EINVAL, ...).
  bool loadFile(std::string_view pathOrUrl);
  // UTF-8 text; an encoding declaration in it is ignored, the text is what it is.
  bool loadXml(std::string_view text);

  // The nodes `xpath` selects, or null when the engine rejects the expression or it does not
  // evaluate to a node set. An expression that selects nothing gives an empty list.
  [[nodiscard]] std::unique_ptr<XmlNodeList> select(std::string_view xpath) const;

 private:
  explicit XmlDocument(_xmlDoc* empty) : doc_(empty) {}
  bool adopt(_xmlDoc* parsed);

  _xmlDoc* doc_;
};

}  // namespace zt::platform

#endif  // ZT_PLATFORM_XML_DOM_H
