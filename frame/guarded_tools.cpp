#include "frame/guarded_tools.h"

#include <utility>

namespace zt::frame {

namespace {

using platform::kOutOfMemory;

// Returned for a text that could not be made; a literal lives as long as the library.
constexpr const char* kNoText = "";

// A failed token reader gives the empty result, as for a document it cannot read.
template <typename Operation>
uint32_t emptyOnFailure(std::string& out, Operation&& operation, const bool* callerThrew) {
  bool done = false;
  const uint32_t length = guarded(
      0u,
      [&] {
        const uint32_t result = operation();
        done = true;
        return result;
      },
      callerThrew);
  if (!done) {
    out.clear();
  }
  return length;
}

// Runs a call of the caller's object, noting whether it threw.
template <typename Call>
auto witnessed(bool& threw, Call&& call) {
  try {
    return call();
  } catch (...) {
    threw = true;
    throw;
  }
}

}  // namespace

int FormatterWitness::formatToken(const std::string& specifier, const std::string& modifier,
                                  const std::string& delimiter, const std::string& text,
                                  std::stringstream& out) {
  return witnessed(
      threw, [&] { return formatter_->formatToken(specifier, modifier, delimiter, text, out); });
}

bool FormatterExWitness::acceptToken(char specifier, char modifier, char delimiter) {
  return witnessed(threw, [&] { return formatter_->acceptToken(specifier, modifier, delimiter); });
}

int FormatterExWitness::formatToken(const std::string& specifier, const std::string& modifier,
                                    const std::string& delimiter, const std::string& text,
                                    std::stringstream& out) {
  return witnessed(
      threw, [&] { return formatter_->formatToken(specifier, modifier, delimiter, text, out); });
}

// Token parsers: an out-string is assigned only once its result is complete, so a failure
// leaves it as it was (the readers empty it, as for a document they cannot read).

uint32_t GuardedTokenParser::processTokens(const char* formatString, std::string& xmlOut) {
  return guarded(0u, [&] { return tool_.processTokens(formatString, xmlOut); });
}

uint32_t GuardedTokenParser::buildTokenString(const char* processedTokensXml,
                                              std::string& formatOut) {
  return emptyOnFailure(
      formatOut, [&] { return tool_.buildTokenString(processedTokensXml, formatOut); }, nullptr);
}

uint32_t GuardedTokenParser::buildTemplateString(const char* templateXml,
                                                 std::string& templateOut) {
  return emptyOnFailure(
      templateOut, [&] { return tool_.buildTemplateString(templateXml, templateOut); }, nullptr);
}

uint32_t GuardedTokenParser::formatTokens(const char* formatString, std::string& textOut,
                                          KORATokenFormatterInterface* formatter) {
  FormatterWitness witness(formatter);
  return guarded(
      0u, [&] { return tool_.formatTokens(formatString, textOut, witness.get()); }, &witness.threw);
}

uint32_t GuardedTokenParserEx::processTokens(const char* formatString, std::string& xmlOut,
                                             KORATokenFormatterExInterface* formatter) {
  FormatterExWitness witness(formatter);
  return guarded(
      0u, [&] { return tool_.processTokens(formatString, xmlOut, witness.get()); }, &witness.threw);
}

uint32_t GuardedTokenParserEx::buildTokenString(const char* processedTokensXml,
                                                std::string& formatOut,
                                                KORATokenFormatterExInterface* formatter) {
  FormatterExWitness witness(formatter);
  return emptyOnFailure(
      formatOut,
      [&] { return tool_.buildTokenString(processedTokensXml, formatOut, witness.get()); },
      &witness.threw);
}

uint32_t GuardedTokenParserEx::buildTemplateString(const char* templateXml,
                                                   std::string& templateOut,
                                                   KORATokenFormatterExInterface* formatter) {
  FormatterExWitness witness(formatter);
  return emptyOnFailure(
      templateOut,
      [&] { return tool_.buildTemplateString(templateXml, templateOut, witness.get()); },
      &witness.threw);
}

uint32_t GuardedTokenParserEx::formatTokens(const char* formatString, std::string& textOut,
                                            KORATokenFormatterExInterface* formatter) {
  FormatterExWitness witness(formatter);
  return guarded(
      0u, [&] { return tool_.formatTokens(formatString, textOut, witness.get()); }, &witness.threw);
}

// XML parser: E_OUTOFMEMORY.

long GuardedXmlParser::parseFile(const char* path, IKORAXmlContentHandler* handler,
                                 IKORAXmlErrorHandler* errorHandler) {
  return guarded(kOutOfMemory, [&] { return tool_.parseFile(path, handler, errorHandler); });
}

long GuardedXmlParser::parseBuffer(const char* data, int length, IKORAXmlContentHandler* handler,
                                   IKORAXmlErrorHandler* errorHandler) {
  return guarded(kOutOfMemory,
                 [&] { return tool_.parseBuffer(data, length, handler, errorHandler); });
}

long GuardedXmlParser::parseString(const char* xml, IKORAXmlContentHandler* handler,
                                   IKORAXmlErrorHandler* errorHandler) {
  return guarded(kOutOfMemory, [&] { return tool_.parseString(xml, handler, errorHandler); });
}

// XML writer: E_OUTOFMEMORY, the empty text, or no attribute set.

long GuardedXmlWriter::startDocument(const char* prefix) {
  return guarded(kOutOfMemory, [&] { return tool_.startDocument(prefix); });
}
long GuardedXmlWriter::startDocument() {
  return guarded(kOutOfMemory, [&] { return tool_.startDocument(); });
}
long GuardedXmlWriter::endDocument() {
  return guarded(kOutOfMemory, [&] { return tool_.endDocument(); });
}
long GuardedXmlWriter::startElement(const char* name, IKORAXmlAttribute* attributes) {
  return guarded(kOutOfMemory, [&] { return tool_.startElement(name, attributes); });
}
long GuardedXmlWriter::writeElement(const char* name, char value, bool cdata,
                                    IKORAXmlAttribute* attributes) {
  return guarded(kOutOfMemory, [&] { return tool_.writeElement(name, value, cdata, attributes); });
}
long GuardedXmlWriter::writeElement(const char* name, bool value, bool cdata,
                                    IKORAXmlAttribute* attributes) {
  return guarded(kOutOfMemory, [&] { return tool_.writeElement(name, value, cdata, attributes); });
}
long GuardedXmlWriter::writeElement(const char* name, uint32_t value, bool cdata,
                                    IKORAXmlAttribute* attributes) {
  return guarded(kOutOfMemory, [&] { return tool_.writeElement(name, value, cdata, attributes); });
}
long GuardedXmlWriter::writeElement(const char* name, int value, bool cdata,
                                    IKORAXmlAttribute* attributes) {
  return guarded(kOutOfMemory, [&] { return tool_.writeElement(name, value, cdata, attributes); });
}
long GuardedXmlWriter::writeElement(const char* name, const char* text, bool cdata,
                                    IKORAXmlAttribute* attributes) {
  return guarded(kOutOfMemory, [&] { return tool_.writeElement(name, text, cdata, attributes); });
}
long GuardedXmlWriter::endElement(const char* name) {
  return guarded(kOutOfMemory, [&] { return tool_.endElement(name); });
}
long GuardedXmlWriter::endElement() {
  return guarded(kOutOfMemory, [&] { return tool_.endElement(); });
}
long GuardedXmlWriter::characters(const char* text, bool cdata) {
  return guarded(kOutOfMemory, [&] { return tool_.characters(text, cdata); });
}
const char* GuardedXmlWriter::getXml() {
  return guarded(kNoText, [&] { return tool_.getXml(); });
}
long GuardedXmlWriter::getXml(char** xml) {
  return guarded(kOutOfMemory, [&] { return tool_.getXml(xml); });
}
long GuardedXmlWriter::setOmitXmlDeclaration(bool value) {
  return guarded(kOutOfMemory, [&] { return tool_.setOmitXmlDeclaration(value); });
}
long GuardedXmlWriter::getOmitXmlDeclaration(bool* value) {
  return guarded(kOutOfMemory, [&] { return tool_.getOmitXmlDeclaration(value); });
}
long GuardedXmlWriter::setByteOrderMark(bool value) {
  return guarded(kOutOfMemory, [&] { return tool_.setByteOrderMark(value); });
}
long GuardedXmlWriter::getByteOrderMark(bool* value) {
  return guarded(kOutOfMemory, [&] { return tool_.getByteOrderMark(value); });
}
long GuardedXmlWriter::setDisableOutputEscaping(bool value) {
  return guarded(kOutOfMemory, [&] { return tool_.setDisableOutputEscaping(value); });
}
long GuardedXmlWriter::getDisableOutputEscaping(bool* value) {
  return guarded(kOutOfMemory, [&] { return tool_.getDisableOutputEscaping(value); });
}
long GuardedXmlWriter::setStandalone(bool value) {
  return guarded(kOutOfMemory, [&] { return tool_.setStandalone(value); });
}
long GuardedXmlWriter::getStandalone(bool* value) {
  return guarded(kOutOfMemory, [&] { return tool_.getStandalone(value); });
}
long GuardedXmlWriter::setIndent(bool value) {
  return guarded(kOutOfMemory, [&] { return tool_.setIndent(value); });
}
long GuardedXmlWriter::getIndent(bool* value) {
  return guarded(kOutOfMemory, [&] { return tool_.getIndent(value); });
}
long GuardedXmlWriter::setEncoding(const char* name) {
  return guarded(kOutOfMemory, [&] { return tool_.setEncoding(name); });
}
long GuardedXmlWriter::getEncoding(char** name) {
  return guarded(kOutOfMemory, [&] { return tool_.getEncoding(name); });
}
long GuardedXmlWriter::setVersion(const char* version) {
  return guarded(kOutOfMemory, [&] { return tool_.setVersion(version); });
}
long GuardedXmlWriter::getVersion(char** version) {
  return guarded(kOutOfMemory, [&] { return tool_.getVersion(version); });
}
long GuardedXmlWriter::flush() {
  return guarded(kOutOfMemory, [&] { return tool_.flush(); });
}
long GuardedXmlWriter::reset() {
  return guarded(kOutOfMemory, [&] { return tool_.reset(); });
}
IKORAXmlAttribute* GuardedXmlWriter::createAttribute(const char* name, bool value) {
  return guarded<IKORAXmlAttribute*>(nullptr, [&] { return tool_.createAttribute(name, value); });
}
IKORAXmlAttribute* GuardedXmlWriter::createAttribute(const char* name, int value, int format) {
  return guarded<IKORAXmlAttribute*>(nullptr,
                                     [&] { return tool_.createAttribute(name, value, format); });
}
IKORAXmlAttribute* GuardedXmlWriter::createAttribute(const char* name, unsigned long value,
                                                     int format) {
  return guarded<IKORAXmlAttribute*>(nullptr,
                                     [&] { return tool_.createAttribute(name, value, format); });
}
IKORAXmlAttribute* GuardedXmlWriter::createAttribute(const char* name, const char* value) {
  return guarded<IKORAXmlAttribute*>(nullptr, [&] { return tool_.createAttribute(name, value); });
}
IKORAXmlAttribute* GuardedXmlWriter::createAttribute() {
  return guarded<IKORAXmlAttribute*>(nullptr, [&] { return tool_.createAttribute(); });
}

// XPath: -1, or the empty text.

int GuardedXmlXPath::loadFile(const char* path) {
  return guarded(-1, [&] { return tool_.loadFile(path); });
}
int GuardedXmlXPath::loadXml(const char* xml) {
  return guarded(-1, [&] { return tool_.loadXml(xml); });
}
const char* GuardedXmlXPath::selectSingleNode(const char* xpath) {
  return guarded(kNoText, [&] { return tool_.selectSingleNode(xpath); });
}
const char* GuardedXmlXPath::selectNodes(const char* xpath) {
  return guarded(kNoText, [&] { return tool_.selectNodes(xpath); });
}
int GuardedXmlXPath::selectNodes(const char* xpath, std::function<int(IXMLDOMNodeList*)> visitor) {
  bool visiting = false;
  return guarded(
      -1,
      [&] {
        return tool_.selectNodes(xpath, [&](IXMLDOMNodeList* nodes) {
          visiting = true;
          const int result = visitor(nodes);
          visiting = false;
          return result;
        });
      },
      &visiting);
}

// Preset manager: handle 0, false, the empty text or map.

uint32_t GuardedPresetManager::open(const std::string& path) {
  return guarded(0u, [&] { return tool_.open(path); });
}
bool GuardedPresetManager::saveAs(uint32_t handle, const std::string& path) {
  return guarded(false, [&] { return tool_.saveAs(handle, path); });
}
bool GuardedPresetManager::save(uint32_t handle) {
  return guarded(false, [&] { return tool_.save(handle); });
}
const char* GuardedPresetManager::getValue(uint32_t handle, const std::string& key) {
  return guarded(kNoText, [&] { return tool_.getValue(handle, key); });
}
bool GuardedPresetManager::addMissingFromDefault(uint32_t handle) {
  return guarded(false, [&] { return tool_.addMissingFromDefault(handle); });
}
std::map<std::string, std::string> GuardedPresetManager::getDifferences(uint32_t first,
                                                                        uint32_t second) {
  return guarded(std::map<std::string, std::string>(),
                 [&] { return tool_.getDifferences(first, second); });
}
bool GuardedPresetManager::addMissing(uint32_t from, uint32_t to) {
  return guarded(false, [&] { return tool_.addMissing(from, to); });
}

// Log manager: E_OUTOFMEMORY from the policies and deletions, 0 files from removeAll. What the
// caller's callables throw, other than running out of memory, passes on.

void GuardedLogManager::setPath(const std::string& folder) {
  guardedVoid([&] { tool_.setPath(folder); });
}
uint32_t GuardedLogManager::removeAll() {
  return guarded(0u, [&] { return tool_.removeAll(); });
}
int32_t GuardedLogManager::keepLatest() {
  return guarded<int32_t>(kOutOfMemory, [&] { return tool_.keepLatest(); });
}
int32_t GuardedLogManager::keepToday() {
  return guarded<int32_t>(kOutOfMemory, [&] { return tool_.keepToday(); });
}
int32_t GuardedLogManager::keepThisWeek() {
  return guarded<int32_t>(kOutOfMemory, [&] { return tool_.keepThisWeek(); });
}
int32_t GuardedLogManager::keepThisMonth() {
  return guarded<int32_t>(kOutOfMemory, [&] { return tool_.keepThisMonth(); });
}
int32_t GuardedLogManager::removeByThreshold(int32_t megabytes, int32_t order) {
  return guarded<int32_t>(kOutOfMemory, [&] { return tool_.removeByThreshold(megabytes, order); });
}
int32_t GuardedLogManager::deleteFiles(std::function<bool(const std::string&)> confirm) {
  return guarded<int32_t>(kOutOfMemory, [&] { return tool_.deleteFiles(std::move(confirm)); });
}
int32_t GuardedLogManager::deleteFiles() {
  return guarded<int32_t>(kOutOfMemory, [&] { return tool_.deleteFiles(); });
}
void GuardedLogManager::setStatusCallback(std::function<void(const std::string&)> status) {
  tool_.setStatusCallback(std::move(status));
}

// Tag manager: false, not found, or the empty text.

bool GuardedTagManager::load(const char* path) {
  return guarded(false, [&] { return tool_.load(path); });
}
const char* GuardedTagManager::lookupTagName(int32_t tagId) {
  return guarded(kNoText, [&] { return tool_.lookupTagName(tagId); });
}
int32_t GuardedTagManager::lookupTagId(const char* tagName) {
  return guarded(KORA_TAG_NOT_FOUND, [&] { return tool_.lookupTagId(tagName); });
}
int32_t GuardedTagManager::getTagId(const char* tagName) {
  return guarded(KORA_TAG_NOT_FOUND, [&] { return tool_.getTagId(tagName); });
}
int32_t GuardedTagManager::getValueId(int32_t tagId, const char* valueName) {
  return guarded(KORA_TAG_NOT_FOUND, [&] { return tool_.getValueId(tagId, valueName); });
}
const char* GuardedTagManager::getTagName(int32_t tagId) {
  return guarded(kNoText, [&] { return tool_.getTagName(tagId); });
}
const char* GuardedTagManager::getValueName(int32_t tagId, int32_t valueId) {
  return guarded(kNoText, [&] { return tool_.getValueName(tagId, valueId); });
}

}  // namespace zt::frame
