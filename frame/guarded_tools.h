// The tools the Create exports hand out: each public operation of a tool runs through the
// boundary (frame/boundary.h), which turns running out of memory into the operation's failure
// result. The tools themselves are the library's own classes, held inside.
#ifndef ZT_FRAME_GUARDED_TOOLS_H
#define ZT_FRAME_GUARDED_TOOLS_H

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "frame/boundary.h"
#include "log/log_manager.h"
#include "platform/status.h"
#include "preset/preset_manager.h"
#include "tag/tag_manager.h"
#include "token/kora_token_parser.h"
#include "token/kora_token_parser_ex.h"
#include "xml/xml_parser.h"
#include "xml/xml_writer.h"
#include "xml/xml_xpath.h"
#include "zttools.h"

namespace zt::frame {

// Stands in for a caller's formatter and notes whether it threw, so that the formatter's own
// exceptions pass on untouched.
class FormatterWitness final : public KORATokenFormatterInterface {
 public:
  explicit FormatterWitness(KORATokenFormatterInterface* formatter) : formatter_(formatter) {}
  // Null for a null formatter, which the parser treats as none.
  KORATokenFormatterInterface* get() { return formatter_ != nullptr ? this : nullptr; }
  int formatToken(const std::string& specifier, const std::string& modifier,
                  const std::string& delimiter, const std::string& text,
                  std::stringstream& out) override;
  bool threw = false;

 private:
  KORATokenFormatterInterface* formatter_;
};

class FormatterExWitness final : public KORATokenFormatterExInterface {
 public:
  explicit FormatterExWitness(KORATokenFormatterExInterface* formatter) : formatter_(formatter) {}
  KORATokenFormatterExInterface* get() { return formatter_ != nullptr ? this : nullptr; }
  bool acceptToken(char specifier, char modifier, char delimiter) override;
  int formatToken(const std::string& specifier, const std::string& modifier,
                  const std::string& delimiter, const std::string& text,
                  std::stringstream& out) override;
  bool threw = false;

 private:
  KORATokenFormatterExInterface* formatter_;
};

class GuardedTokenParser final : public KORATokenParserInterface {
 public:
  uint32_t processTokens(const char* formatString, std::string& xmlOut) override;
  uint32_t buildTokenString(const char* processedTokensXml, std::string& formatOut) override;
  uint32_t buildTemplateString(const char* templateXml, std::string& templateOut) override;
  uint32_t formatTokens(const char* formatString, std::string& textOut,
                        KORATokenFormatterInterface* formatter) override;
  [[noreturn]] void raiseError(int code, int position) override {
    tool_.raiseError(code, position);
  }

 private:
  token::KORATokenParser tool_;
};

class GuardedTokenParserEx final : public KORATokenParserExInterface {
 public:
  uint32_t processTokens(const char* formatString, std::string& xmlOut,
                         KORATokenFormatterExInterface* formatter) override;
  uint32_t buildTokenString(const char* processedTokensXml, std::string& formatOut,
                            KORATokenFormatterExInterface* formatter) override;
  uint32_t buildTemplateString(const char* templateXml, std::string& templateOut,
                               KORATokenFormatterExInterface* formatter) override;
  uint32_t formatTokens(const char* formatString, std::string& textOut,
                        KORATokenFormatterExInterface* formatter) override;
  [[noreturn]] void raiseError(int code, int position) override {
    tool_.raiseError(code, position);
  }

 private:
  token::KORATokenParserEx tool_;
};

class GuardedXmlParser final : public KORAXmlParserInterface {
 public:
  long parseFile(const char* path, IKORAXmlContentHandler* handler,
                 IKORAXmlErrorHandler* errorHandler) override;
  long parseBuffer(const char* data, int length, IKORAXmlContentHandler* handler,
                   IKORAXmlErrorHandler* errorHandler) override;
  long parseString(const char* xml, IKORAXmlContentHandler* handler,
                   IKORAXmlErrorHandler* errorHandler) override;

 private:
  xml::KORAXmlParser tool_;
};

class GuardedXmlWriter final : public KORAXmlWriterInterface {
 public:
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
  xml::KORAXmlWriter tool_;
};

class GuardedXmlXPath final : public KORAXmlXPathInterface {
 public:
  int loadFile(const char* path) override;
  int loadXml(const char* xml) override;
  const char* selectSingleNode(const char* xpath) override;
  const char* selectNodes(const char* xpath) override;
  int selectNodes(const char* xpath, std::function<int(IXMLDOMNodeList*)> visitor) override;

 private:
  xml::KORAXmlXPath tool_;
};

class GuardedPresetManager final : public KORAPresetManagerInterface {
 public:
  const char* getVersion() override { return tool_.getVersion(); }
  uint32_t open(const std::string& path) override;
  int32_t close(uint32_t handle) override { return tool_.close(handle); }
  bool saveAs(uint32_t handle, const std::string& path) override;
  bool save(uint32_t handle) override;
  const char* getValue(uint32_t handle, const std::string& key) override;
  void setDefault(uint32_t handle) override { tool_.setDefault(handle); }
  bool addMissingFromDefault(uint32_t handle) override;
  std::map<std::string, std::string> getDifferences(uint32_t first, uint32_t second) override;
  bool addMissing(uint32_t from, uint32_t to) override;

 private:
  preset::KORAPresetManager tool_;
};

class GuardedLogManager final : public KORALogManagerInterface {
 public:
  std::string getVersion() override { return tool_.getVersion(); }
  void setPath(const std::string& folder) override;
  uint32_t removeAll() override;
  int32_t keepLatest() override;
  int32_t keepToday() override;
  int32_t keepThisWeek() override;
  int32_t keepThisMonth() override;
  int32_t removeByThreshold(int32_t megabytes, int32_t order) override;
  const std::string& getReport() override { return tool_.getReport(); }
  const std::string& getDeleteReport() override { return tool_.getDeleteReport(); }
  int32_t deleteFiles(std::function<bool(const std::string&)> confirm) override;
  int32_t deleteFiles() override;
  void setStatusCallback(std::function<void(const std::string&)> status) override;

 private:
  log::KORALogManager tool_;
};

class GuardedTagManager final : public KORATagManagerInterface {
 public:
  const char* getPath() override { return tool_.getPath(); }
  bool load(const char* path) override;
  const char* lookupTagName(int32_t tagId) override;
  int32_t lookupTagId(const char* tagName) override;
  int32_t getTagId(const char* tagName) override;
  int32_t getValueId(int32_t tagId, const char* valueName) override;
  const char* getTagName(int32_t tagId) override;
  const char* getValueName(int32_t tagId, int32_t valueId) override;

 private:
  tag::KORATagManager tool_;
};

}  // namespace zt::frame

#endif  // ZT_FRAME_GUARDED_TOOLS_H
