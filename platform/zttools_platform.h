// zttools_platform.h - the small platform types that appear in the public interface.
//
// They stand in for the host XML component's own interfaces: the error locator handed to an
// IKORAXmlErrorHandler, and the node list handed to an XPath visitor. The library creates and
// owns every object of these types; callers only read them during the call that hands them out.
#ifndef ZTTOOLS_PLATFORM_H
#define ZTTOOLS_PLATFORM_H

#include <string>

// Position of a parse error: 1-based line and column of the reader's current position.
class ISAXLocator {
 public:
  virtual int getLineNumber() = 0;
  virtual int getColumnNumber() = 0;

 protected:
  ~ISAXLocator() = default;
};

// One node of an XPath result.
class IXMLDOMNode {
 public:
  // The node serialised as XML, without added indentation (`<b>1</b>`).
  virtual std::string xml() = 0;
  // The node's qualified name ("#text" for text nodes, as XPath and the DOM name them).
  virtual std::string nodeName() = 0;
  // The concatenated text content of the node and its descendants.
  virtual std::string text() = 0;

 protected:
  ~IXMLDOMNode() = default;
};

// The nodes an XPath expression selected, in document order, walked with a cursor.
class IXMLDOMNodeList {
 public:
  // Number of nodes in the list.
  virtual long length() = 0;
  // The node at the cursor, then advances it; null after the last node. The node belongs to the
  // list and stays valid while the list does.
  virtual IXMLDOMNode* nextNode() = 0;
  // Moves the cursor back to the first node.
  virtual void reset() = 0;

 protected:
  ~IXMLDOMNodeList() = default;
};

#endif  // ZTTOOLS_PLATFORM_H
