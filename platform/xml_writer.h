// Serialising XML writer: the stand-in for the host platform's SAX writer component.
//
// Builds the document text in memory from SAX-style events, with the text conventions of the
// Windows writer so that documents match those written there: declaration followed by CRLF; with
// indent, CRLF plus one TAB per depth before tags (not after character data); empty elements as
// `<name/>`; `&`, `<`, `>` escaped (and `"` in attributes); CR written as `&#13;`; `]]>` split
// across two CDATA sections; invalid UTF-8 bytes and characters XML cannot carry become U+FFFD.
#ifndef ZT_PLATFORM_XML_WRITER_H
#define ZT_PLATFORM_XML_WRITER_H

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/status.h"
#include "platform/text_buffer.h"

namespace zt::platform {

// Attributes of one start tag, written in insertion order.
class XmlAttributeList {
 public:
  void addAttribute(std::string_view qualifiedName, std::string_view value) {
    items_.emplace_back(qualifiedName, value);
  }
  void clear() { items_.clear(); }
  [[nodiscard]] const std::vector<std::pair<std::string, std::string>>& items() const {
    return items_;
  }

 private:
  std::vector<std::pair<std::string, std::string>> items_;
};

// A name the caller has found to be an XML Name (isXmlName). Such a name needs no escaping
// whatever the settings, so the writer copies it without looking at its bytes again.
struct CheckedName {
  std::string_view text;
};

// An attribute as the writer copies it, without a look at its name: a checked name and its value.
struct AttributeText {
  std::string_view name;
  std::string_view value;
};

class XmlWriter {
 public:
  XmlWriter();
  ~XmlWriter();
  XmlWriter(const XmlWriter&) = delete;
  XmlWriter& operator=(const XmlWriter&) = delete;

  // Properties, with the component's own defaults: declaration written, no indent, encoding
  // "UTF-16", no byte-order mark, escaping on, standalone "no", version "1.0".
  [[nodiscard]] bool omitXmlDeclaration() const { return omitXmlDeclaration_; }
  void setOmitXmlDeclaration(bool value) { omitXmlDeclaration_ = value; }
  [[nodiscard]] bool indent() const { return indent_; }
  void setIndent(bool value) { indent_ = value; }
  [[nodiscard]] const std::string& encoding() const { return encoding_; }
  void setEncoding(std::string_view value) { encoding_ = value; }
  [[nodiscard]] bool byteOrderMark() const { return byteOrderMark_; }
  void setByteOrderMark(bool value) { byteOrderMark_ = value; }
  [[nodiscard]] bool disableOutputEscaping() const { return disableOutputEscaping_; }
  void setDisableOutputEscaping(bool value) { disableOutputEscaping_ = value; }
  [[nodiscard]] bool standalone() const { return standalone_; }
  void setStandalone(bool value) { standalone_ = value; }
  [[nodiscard]] const std::string& version() const { return version_; }
  void setVersion(std::string_view value) { version_ = value; }

  // The text written so far (UTF-8), followed by a zero byte.
  [[nodiscard]] std::string_view output() const;
  // Lends that text, unchanged and valid for as long as the result is held, whatever is written,
  // reset or destroyed meanwhile; it is copied only if writing goes on while it is held.
  [[nodiscard]] std::shared_ptr<const LentText> lendOutput() { return out_.lend(); }
  // Discards the text written so far and starts a new output.
  void resetOutput();
  Status flush();

  Status startDocument();
  Status endDocument();
  Status startElement(std::string_view qualifiedName, const XmlAttributeList* attributes);
  // Adds an attribute to the start tag just written by startElement; ignored once the element
  // has content. Lets a caller that holds attributes in its own form write them without a copy.
  Status attribute(std::string_view qualifiedName, std::string_view value);
  Status endElement(std::string_view qualifiedName);
  // The same three for names already checked.
  Status startElement(CheckedName name, const XmlAttributeList* attributes);
  Status attribute(CheckedName name, std::string_view value);
  Status endElement(CheckedName name);
  Status characters(std::string_view text);
  // Writes a whole element, its start tag with `attributes`, `text` and its end tag, with one test
  // for room, when the text is not empty and it and every value go in as they are, as nearly all
  // do; otherwise writes nothing and returns false, for the caller to write it piece by piece.
  bool writePlainElement(CheckedName name, std::span<const AttributeText> attributes,
                         std::string_view text);
  Status startCdata();
  Status endCdata();

 private:
  bool omitXmlDeclaration_ = false;
  bool indent_ = false;
  std::string encoding_ = "UTF-16";
  bool byteOrderMark_ = false;
  bool disableOutputEscaping_ = false;
  bool standalone_ = false;
  std::string version_ = "1.0";

  // What the public start, attribute and end calls do; `plainName` says that the name needs no
  // escaping.
  Status writeStartTag(std::string_view qualifiedName, bool plainName,
                       const XmlAttributeList* attributes);
  Status writeAttribute(std::string_view qualifiedName, bool plainName, std::string_view value);
  Status writeEndTag(std::string_view qualifiedName, bool plainName);
  // The paths of an attribute and of character data that need escaping or CDATA, kept out of
  // line so that the usual plain piece is written without a stack frame.
  [[gnu::noinline]] void writeEscapedAttribute(std::string_view qualifiedName,
                                               std::string_view value);
  [[gnu::noinline]] void writeEscapedCharacters(std::string_view text);
  void closePendingStartTag();
  void breakLine();
  // Whether `text` goes into the text as it is, in a tag or element text (attribute false) or in
  // an attribute value.
  [[nodiscard]] bool isPlain(std::string_view text, bool attribute) const;
  // The length of what breakLine() would write now.
  [[nodiscard]] std::size_t lineBreakLength() const;
  void appendText(std::string_view text, bool attribute);
  [[gnu::noinline]] void appendEscaped(std::string_view text, bool attribute);
  void appendCdata(std::string_view text);

  TextBuffer out_;
  int depth_ = 0;
  bool startTagOpen_ = false;  // '>' of the last start tag not written yet
  bool afterText_ = false;     // the last thing written was character data or a CDATA section
  bool anyTag_ = false;        // a tag has been written since the document started
  bool inCdata_ = false;
};

}  // namespace zt::platform

#endif  // ZT_PLATFORM_XML_WRITER_H
