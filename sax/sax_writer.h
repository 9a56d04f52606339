// SAXWriterC: the writer of the classic token parser's result document, over the platform XML
// writer. It adds narrow-string operations, an optional prefix for every element name, a stack
// of open elements, ordered attribute lists, plain or CDATA text, and a declaration that names
// the configured encoding.
#ifndef ZT_SAX_SAX_WRITER_H
#define ZT_SAX_SAX_WRITER_H

#include <cstddef>
#include <deque>
#include <list>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/xml_writer.h"

namespace zt::sax {

// Attributes in the order they were first added; a repeated name keeps its first value.
class SAXAttributeC {
 public:
  SAXAttributeC() = default;
  // The cursor points into this list's own names: a copy would read another list.
  SAXAttributeC(const SAXAttributeC&) = delete;
  SAXAttributeC& operator=(const SAXAttributeC&) = delete;
  ~SAXAttributeC() = default;

  void addAttribute(const std::string& name, const std::string& value);
  // Moves the cursor to the first attribute; the writer rewinds before it reads.
  void rewind() { cursor_ = names_.begin(); }
  // The attribute at the cursor, then advances; false after the last one. The pointers stay
  // valid while the list is unchanged.
  bool nextAttribute(const char** name, const char** value);

 private:
  std::map<std::string, std::string> values_;
  std::list<std::string> names_;
  std::list<std::string>::const_iterator cursor_ = names_.begin();
};

// Statuses are those of the platform writer's events (0 is success). Names and texts may be
// null, meaning none.
class SAXWriterC {
 public:
  // Properties of the platform writer, set before beginDocument.
  void putOmitXMLDeclaration(bool value) { writer_.setOmitXmlDeclaration(value); }
  void putIndent(bool value) { writer_.setIndent(value); }
  void putEncoding(std::string_view value) { writer_.setEncoding(value); }
  platform::XmlWriter& writer() { return writer_; }

  // With a prefix, every element name written from here on is "prefix:name".
  platform::Status beginDocument(const char* prefix);
  platform::Status endDocument() { return writer_.endDocument(); }
  // Writes the start tag and remembers the element for closeElement without a name. Without a
  // name nothing is written and 0 is returned.
  platform::Status openElement(const char* name, SAXAttributeC* attributes);
  // A whole element: start tag, text (if any) and end tag. A failed text leaves it open.
  platform::Status writeElement(const char* name, const char* text, bool cdata,
                                SAXAttributeC* attributes);
  // With a name, the end tag carries exactly that name (no prefix) and the stack is not
  // touched; without one, the innermost element opened by openElement is closed.
  platform::Status closeElement(const char* name);
  platform::Status writeText(const char* text, bool cdata);
  // The document text with its declaration, if written, naming the configured encoding.
  // `text` is left untouched on failure.
  platform::Status getOutput(std::string& text) const;

 private:
  std::optional<std::string> qualifiedName(const char* name) const;
  platform::Status startElement(const std::string& qualifiedName, SAXAttributeC* attributes);

  platform::XmlWriter writer_;
  std::optional<std::string> prefix_;
  std::deque<std::string> openElements_;
};

}  // namespace zt::sax

#endif  // ZT_SAX_SAX_WRITER_H
