// KORAXmlWriter: builds a document in memory from element, text and attribute-set calls and
// hands it out as narrow text, on the platform's serialising writer.
#ifndef ZT_XML_XML_WRITER_H
#define ZT_XML_XML_WRITER_H

#include <array>
#include <cstddef>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/xml_writer.h"
#include "xml/attribute_sets.h"
#include "xml/xml_attribute.h"
#include "zttools.h"

namespace zt::xml {

class KORAXmlWriter final : public KORAXmlWriterInterface {
 public:
  // A new writer omits the XML declaration, indents, and names its encoding "utf-8".
  KORAXmlWriter();
  ~KORAXmlWriter() override;
  KORAXmlWriter(const KORAXmlWriter&) = delete;
  KORAXmlWriter& operator=(const KORAXmlWriter&) = delete;

  long startDocument(const char* prefix) override;
  long startDocument() override;
  long endDocument() override;
  long startElement(const char* name, IKORAXmlAttribute* attributes) override;
  long writeElement(const char* name, char value, bool cdata,
                    IKORAXmlAttribute* attributes) override;
  long writeElement(const char* name, bool value, bool cdata,
                    IKORAXmlAttribute* attributes) override;
  long writeElement(const char* name, uint32_t value, bool cdata,
                    IKORAXmlAttribute* attributes) override;
  long writeElement(const char* name, int value, bool cdata,
                    IKORAXmlAttribute* attributes) override;
  long writeElement(const char* name, const char* text, bool cdata,
                    IKORAXmlAttribute* attributes) override;
  long endElement(const char* name) override;
  long endElement() override;
  long characters(const char* text, bool cdata) override;
  const char* getXml() override;
  long getXml(char** xml) override;
  long setOmitXmlDeclaration(bool value) override;
  long getOmitXmlDeclaration(bool* value) override;
  long setByteOrderMark(bool value) override;
  long getByteOrderMark(bool* value) override;
  long setDisableOutputEscaping(bool value) override;
  long getDisableOutputEscaping(bool* value) override;
  long setStandalone(bool value) override;
  long getStandalone(bool* value) override;
  long setIndent(bool value) override;
  long getIndent(bool* value) override;
  long setEncoding(const char* name) override;
  long getEncoding(char** name) override;
  long setVersion(const char* version) override;
  long getVersion(char** version) override;
  long flush() override;
  long reset() override;
  IKORAXmlAttribute* createAttribute(const char* name, bool value) override;
  IKORAXmlAttribute* createAttribute(const char* name, int value, int format) override;
  IKORAXmlAttribute* createAttribute(const char* name, unsigned long value, int format) override;
  IKORAXmlAttribute* createAttribute(const char* name, const char* value) override;
  IKORAXmlAttribute* createAttribute() override;

 private:
  struct Record {
    // The prefix of element names, once given; it applies to every later document.
    std::optional<std::string> prefix;
    // Qualified names opened by startElement, innermost last.
    std::deque<std::string> openElements;
    // Every set this writer made; only these are written, and they live as long as the writer.
    AttributeSets attributeSets;
    // The text getXml() last returned: a copy when its declaration had to be patched, otherwise
    // the component's own text, lent.
    std::string lastText;
    std::shared_ptr<const platform::LentText> lentText;
    std::unique_ptr<platform::XmlWriter> component;
    // Where a prefixed name is formed, kept so that forming one allocates nothing once it has
    // been long enough.
    std::string prefixedName;
    // The element name of up to 16 bytes found last to be an XML Name, kept where noting a new
    // one costs a short copy (empty, which is none, at first).
    std::array<char, 16> lastCheckedName{};
    std::size_t lastCheckedLength = 0;
    // Where writePlainElement gathers a set's pairs.
    std::vector<platform::AttributeText> plainAttributes;
  };

  // The name as it is without a prefix, else the prefixed name formed in the record; no value
  // for a null name. Valid until the next call.
  std::optional<std::string_view> qualifiedName(const char* name);
  // The document so far, its declaration naming the configured encoding.
  std::string documentText();
  bool isWritableStart(std::string_view qualifiedName, KORAXmlAttribute* set);
  long start(std::string_view qualifiedName, KORAXmlAttribute* set);
  // A whole element in one piece when the component can write it so (see
  // XmlWriter::writePlainElement); false when nothing was written.
  bool writePlainElement(std::string_view qualifiedName, KORAXmlAttribute* set,
                         std::string_view text);
  IKORAXmlAttribute* newSet();

  std::unique_ptr<Record> record_;
};

}  // namespace zt::xml

#endif  // ZT_XML_XML_WRITER_H
