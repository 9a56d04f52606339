#include "xml/xml_writer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/short_bytes.h"
#include "platform/xml_name.h"

namespace zt::xml {

using platform::XmlWriter;

namespace {

// A copy of `text` in a block the caller releases with free().
char* mallocCopy(const std::string& text) {
  auto* block = static_cast<char*>(std::malloc(text.size() + 1));
  if (block != nullptr) {
    std::memcpy(block, text.c_str(), text.size() + 1);
  }
  return block;
}

long readFlag(const XmlWriter& component, bool (XmlWriter::*getter)() const, bool* value) {
  if (value == nullptr) {
    return platform::kPointer;
  }
  *value = (component.*getter)();
  return platform::kOk;
}

// The component writes its declaration for in-memory text, naming UTF-16; the caller gets the
// encoding it configured instead. Only a declaration at the start of the text is patched (after
// a byte-order mark, if any): the same words further on are the caller's content, and a
// declaration switched on after startDocument was never written.
void patchDeclaredEncoding(std::string& text, const char* encoding) {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  constexpr std::string_view kKey = "encoding=";
  const size_t start = text.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
  if (text.compare(start, 5, "<?xml") != 0) {
    return;
  }
  const size_t close = text.find("?>", start);
  const size_t key = text.find(kKey, start);
  if (close == std::string::npos || key == std::string::npos || key + kKey.size() + 1 > close) {
    return;
  }
  const size_t begin = key + kKey.size() + 1;
  const size_t end = text.find('"', begin);
  if (end != std::string::npos && end < close) {
    text.replace(begin, end - begin, encoding);
  }
}

constexpr bool isAsciiLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

constexpr bool isAsciiDigit(char c) {
  return c >= '0' && c <= '9';
}

// The declaration carries the encoding and the version as they are, so only what its grammar
// allows may go in: an encoding name ([A-Za-z][A-Za-z0-9._-]*) and a version ("1." and digits).
bool isEncodingName(std::string_view name) {
  if (name.empty() || !isAsciiLetter(name.front())) {
    return false;
  }
  return std::all_of(name.begin(), name.end(), [](char c) {
    return isAsciiLetter(c) || isAsciiDigit(c) || c == '.' || c == '_' || c == '-';
  });
}

bool isVersionNumber(std::string_view version) {
  return version.size() > 2 && version.starts_with("1.") &&
         std::all_of(version.begin() + 2, version.end(), isAsciiDigit);
}

}  // namespace

KORAXmlWriter::KORAXmlWriter() : record_(std::make_unique<Record>()) {
  record_->component = std::make_unique<XmlWriter>();
  record_->component->setOmitXmlDeclaration(true);
  record_->component->setIndent(true);
  record_->component->setEncoding("utf-8");
}

KORAXmlWriter::~KORAXmlWriter() = default;

// ---------------------------------------------------------------------------------------------
// Documents and elements

// No prefix keeps the last one given; an empty one ends prefixing (":name" is no XML name). A
// prefix that is no XML name is refused, and the one before stays.
long KORAXmlWriter::startDocument(const char* prefix) {
  if (prefix != nullptr && *prefix == '\0') {
    record_->prefix.reset();
  } else if (prefix != nullptr) {
    if (!platform::isXmlName(prefix)) {
      return platform::kInvalidArg;
    }
    record_->prefix = prefix;
  }
  return record_->component->startDocument();
}

long KORAXmlWriter::startDocument() {
  return startDocument(nullptr);
}

long KORAXmlWriter::endDocument() {
  return record_->component->endDocument();
}

std::optional<std::string_view> KORAXmlWriter::qualifiedName(const char* name) {
  if (name == nullptr) {
    return std::nullopt;
  }
  if (!record_->prefix) {
    return name;
  }
  std::string& prefixed = record_->prefixedName;
  prefixed.assign(*record_->prefix).append(1, ':').append(name);
  return prefixed;
}

// A name or an attribute name that is no XML name would make the document unreadable, so such
// an element is refused before anything of it is written. The set checked its names as they went
// in; a set that lost a pair throws here, before anything is written too. A writer mostly writes
// the same few element names again and again, so the last short name found to be an XML Name is
// kept and the same name is not checked again; a name that differs pays a short comparison and,
// once checked, a short copy.
bool KORAXmlWriter::isWritableStart(std::string_view qualifiedName, KORAXmlAttribute* set) {
  Record& record = *record_;
  if (!platform::sameShort(qualifiedName,
                           {record.lastCheckedName.data(), record.lastCheckedLength})) {
    if (!platform::isXmlName(qualifiedName)) {
      return false;
    }
    if (qualifiedName.size() <= record.lastCheckedName.size()) {
      platform::copyShort(record.lastCheckedName.data(), qualifiedName.data(),
                          qualifiedName.size());
      record.lastCheckedLength = qualifiedName.size();
    }
  }
  return set == nullptr || set->namesAreXmlNames();
}

// The names were checked (isWritableStart), so the component copies them as they are. The pairs
// are fetched before anything is written, since a set that lost a pair throws then.
long KORAXmlWriter::start(std::string_view qualifiedName, KORAXmlAttribute* set) {
  XmlWriter& component = *record_->component;
  if (set == nullptr) {
    return component.startElement(platform::CheckedName{qualifiedName}, nullptr);
  }
  const KORAXmlAttribute::Entries& entries = set->entries();
  const long status = component.startElement(platform::CheckedName{qualifiedName}, nullptr);
  for (const auto& [name, value] : entries) {
    component.attribute(platform::CheckedName{name}, value);
  }
  return status;
}

// The set's pairs go to the component as views, gathered where the record keeps them so that
// gathering them allocates nothing once a set of that size has been written.
bool KORAXmlWriter::writePlainElement(std::string_view qualifiedName, KORAXmlAttribute* set,
                                      std::string_view text) {
  std::vector<platform::AttributeText>& pairs = record_->plainAttributes;
  pairs.clear();
  if (set != nullptr) {
    for (const auto& [name, value] : set->entries()) {
      pairs.push_back({name, value});
    }
  }
  return record_->component->writePlainElement(platform::CheckedName{qualifiedName}, pairs, text);
}

long KORAXmlWriter::startElement(const char* name, IKORAXmlAttribute* attributes) {
  const std::optional<std::string_view> qualified = qualifiedName(name);
  if (!qualified) {
    return platform::kOk;
  }
  KORAXmlAttribute* set = record_->attributeSets.find(attributes);
  if (!isWritableStart(*qualified, set)) {
    return platform::kInvalidArg;  // nothing written, nothing opened
  }
  // Pushed even when the component refuses the start, so that endElement() stays paired.
  record_->openElements.emplace_back(*qualified);
  return start(*qualified, set);
}

long KORAXmlWriter::writeElement(const char* name, const char* text, bool cdata,
                                 IKORAXmlAttribute* attributes) {
  const std::optional<std::string_view> qualified = qualifiedName(name);
  if (!qualified) {
    return platform::kOk;
  }
  KORAXmlAttribute* set = record_->attributeSets.find(attributes);
  if (!isWritableStart(*qualified, set)) {
    return platform::kInvalidArg;
  }
  if (text != nullptr && !cdata && writePlainElement(*qualified, set, text)) {
    return platform::kOk;
  }
  const long status = start(*qualified, set);
  // The name was checked at the start tag: the end tag takes it as it is.
  if (status == platform::kOk && characters(text, cdata) == platform::kOk) {
    record_->component->endElement(platform::CheckedName{*qualified});
  }
  return status;
}

long KORAXmlWriter::writeElement(const char* name, char value, bool cdata,
                                 IKORAXmlAttribute* attributes) {
  return writeElement(name, decimalText(static_cast<int32_t>(value)).c_str(), cdata, attributes);
}

long KORAXmlWriter::writeElement(const char* name, bool value, bool cdata,
                                 IKORAXmlAttribute* attributes) {
  return writeElement(name, boolText(value), cdata, attributes);
}

long KORAXmlWriter::writeElement(const char* name, uint32_t value, bool cdata,
                                 IKORAXmlAttribute* attributes) {
  return writeElement(name, decimalText(value).c_str(), cdata, attributes);
}

long KORAXmlWriter::writeElement(const char* name, int value, bool cdata,
                                 IKORAXmlAttribute* attributes) {
  return writeElement(name, decimalText(static_cast<int32_t>(value)).c_str(), cdata, attributes);
}

// Names on the stack were checked when their elements started.
long KORAXmlWriter::endElement(const char* name) {
  if (name != nullptr) {
    const std::string_view text(name);
    return platform::isXmlName(text) ? record_->component->endElement(platform::CheckedName{text})
                                     : platform::kInvalidArg;
  }
  if (record_->openElements.empty()) {
    return platform::kFail;  // nothing is open: writing an end tag would break the document
  }
  const std::string innermost = std::move(record_->openElements.back());
  record_->openElements.pop_back();
  return record_->component->endElement(platform::CheckedName{innermost});
}

long KORAXmlWriter::endElement() {
  return endElement(nullptr);
}

long KORAXmlWriter::characters(const char* text, bool cdata) {
  if (text == nullptr) {
    return platform::kOk;
  }
  XmlWriter& component = *record_->component;
  if (cdata) {
    component.startCdata();
  }
  const long status = component.characters(text);
  if (cdata) {
    component.endCdata();
  }
  return status;
}

// ---------------------------------------------------------------------------------------------
// The text

long KORAXmlWriter::getXml(char** xml) {
  if (xml == nullptr) {
    return platform::kPointer;
  }
  char* block = mallocCopy(documentText());
  if (block == nullptr) {
    return platform::kOutOfMemory;
  }
  *xml = block;
  return platform::kOk;
}

// A document without a declaration to patch is handed out where the component keeps it, with no
// copy unless writing goes on before the next call.
const char* KORAXmlWriter::getXml() {
  XmlWriter& component = *record_->component;
  if (component.omitXmlDeclaration()) {
    record_->lentText = component.lendOutput();
    record_->lastText.clear();
    return component.output().data();
  }
  record_->lentText.reset();
  record_->lastText = documentText();
  return record_->lastText.c_str();
}

std::string KORAXmlWriter::documentText() {
  std::string text(record_->component->output());
  bool omitted = true;
  char* encoding = nullptr;
  if (getOmitXmlDeclaration(&omitted) == platform::kOk && !omitted &&
      getEncoding(&encoding) == platform::kOk && encoding != nullptr) {
    patchDeclaredEncoding(text, encoding);
  }
  std::free(encoding);
  return text;
}

// ---------------------------------------------------------------------------------------------
// Properties

long KORAXmlWriter::setOmitXmlDeclaration(bool value) {
  record_->component->setOmitXmlDeclaration(value);
  return platform::kOk;
}

long KORAXmlWriter::getOmitXmlDeclaration(bool* value) {
  return readFlag(*record_->component, &XmlWriter::omitXmlDeclaration, value);
}

long KORAXmlWriter::setByteOrderMark(bool value) {
  record_->component->setByteOrderMark(value);
  return platform::kOk;
}

long KORAXmlWriter::getByteOrderMark(bool* value) {
  return readFlag(*record_->component, &XmlWriter::byteOrderMark, value);
}

long KORAXmlWriter::setDisableOutputEscaping(bool value) {
  record_->component->setDisableOutputEscaping(value);
  return platform::kOk;
}

long KORAXmlWriter::getDisableOutputEscaping(bool* value) {
  return readFlag(*record_->component, &XmlWriter::disableOutputEscaping, value);
}

long KORAXmlWriter::setStandalone(bool value) {
  record_->component->setStandalone(value);
  return platform::kOk;
}

long KORAXmlWriter::getStandalone(bool* value) {
  return readFlag(*record_->component, &XmlWriter::standalone, value);
}

long KORAXmlWriter::setIndent(bool value) {
  record_->component->setIndent(value);
  return platform::kOk;
}

long KORAXmlWriter::getIndent(bool* value) {
  return readFlag(*record_->component, &XmlWriter::indent, value);
}

long KORAXmlWriter::setEncoding(const char* name) {
  if (name == nullptr) {
    return platform::kOk;
  }
  if (!isEncodingName(name)) {
    return platform::kInvalidArg;
  }
  record_->component->setEncoding(name);
  return platform::kOk;
}

long KORAXmlWriter::getEncoding(char** name) {
  if (name == nullptr) {
    return platform::kPointer;
  }
  *name = mallocCopy(record_->component->encoding());
  return *name == nullptr ? platform::kOutOfMemory : platform::kOk;
}

long KORAXmlWriter::setVersion(const char* version) {
  if (version == nullptr) {
    return platform::kOk;
  }
  if (!isVersionNumber(version)) {
    return platform::kInvalidArg;
  }
  record_->component->setVersion(version);
  return platform::kOk;
}

long KORAXmlWriter::getVersion(char** version) {
  if (version == nullptr) {
    return platform::kPointer;
  }
  char* copy = mallocCopy(record_->component->version());
  if (copy == nullptr) {
    return platform::kOutOfMemory;
  }
  *version = copy;
  return platform::kOk;
}

long KORAXmlWriter::flush() {
  return record_->component->flush();
}

// A new component with its own defaults (declaration written, no indent, its own encoding): the
// settings of construction are not applied again. Prefix, attribute sets and last text stay.
long KORAXmlWriter::reset() {
  record_->component = std::make_unique<XmlWriter>();
  record_->openElements.clear();
  return platform::kOk;
}

// ---------------------------------------------------------------------------------------------
// Attribute sets

IKORAXmlAttribute* KORAXmlWriter::newSet() {
  return &record_->attributeSets.make();
}

IKORAXmlAttribute* KORAXmlWriter::createAttribute(const char* name, bool value) {
  return newSet()->addAttribute(name, value);
}

IKORAXmlAttribute* KORAXmlWriter::createAttribute(const char* name, int value, int format) {
  IKORAXmlAttribute* set = newSet();
  return format == 1 ? set->addHexAttribute(name, value) : set->addAttribute(name, value);
}

IKORAXmlAttribute* KORAXmlWriter::createAttribute(const char* name, unsigned long value,
                                                  int format) {
  IKORAXmlAttribute* set = newSet();
  return format == 1 ? set->addHexAttribute(name, value) : set->addAttribute(name, value);
}

IKORAXmlAttribute* KORAXmlWriter::createAttribute(const char* name, const char* value) {
  return newSet()->addAttribute(name, value);
}

IKORAXmlAttribute* KORAXmlWriter::createAttribute() {
  return newSet();
}

}  // namespace zt::xml
