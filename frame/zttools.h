// zttools.h - the public interface of libzttools.
//
// The library hands out eight tool objects through 16 exported functions with C linkage: a
// `KORA<Tool>Factory_Create` that makes a new object and a `KORA<Tool>Factory_Destroy` that ends
// one (any tool may be given to any Destroy; a null pointer is harmless; each returns null).
// Every tool is an abstract class whose virtual operations are declared here in slot order:
// declaration order is the order of the table of virtual operations, and callers rely on it.
//
// Text is narrow UTF-8 (the library's ANSI code page). XML statuses are 32-bit HRESULT values in
// a `long`, sign-extended: 0 is success, every failure is negative (E_FAIL is -2147467259).
//
// Callers must be built with the same compiler family and standard library as the library,
// because `std::string`, `std::map`, `std::function` and `std::stringstream` cross the boundary.
//
// Threads: the library creates no threads and takes no locks. One tool object serves one thread
// at a time. The token position counters (one set for the token parser, one for the extended
// token parser) and the path buffer of XML file parses are per thread, so scans and file parses on
// different threads never disturb each other; within one thread they behave as one process-wide
// set.
#ifndef ZTTOOLS_H
#define ZTTOOLS_H

#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <sstream>
#include <string>

#include "zttools_platform.h"

#if defined(__GNUC__)
#define ZTTOOLS_API __attribute__((visibility("default")))
#else
#define ZTTOOLS_API
#endif

// ---------------------------------------------------------------------------------------------
// Errors of the token parsers

// Raised by the token parsers for a format string that breaks a token rule, and by their
// `raiseError`. `code` is the error code, `position` the index in the format string where the
// fault was found. `what()` gives the code's message from the library's error table, or
// "token parsing error occured" for a code the table lacks. Catch by value or by reference.
class ZTTOOLS_API kora_token_parser_exception : public std::exception {
 public:
  kora_token_parser_exception(int code, int position) noexcept : code(code), position(position) {}
  kora_token_parser_exception(const kora_token_parser_exception&) noexcept = default;
  kora_token_parser_exception& operator=(const kora_token_parser_exception&) noexcept = default;
  ~kora_token_parser_exception() override;
  [[nodiscard]] const char* what() const noexcept override;

  int32_t code;
  int32_t position;
};

// ---------------------------------------------------------------------------------------------
// Common base of the eight tools: slot 0 of every tool is its deleting destructor, which is all
// that a Destroy export calls.

class KORAToolInterface {
 public:
  virtual ~KORAToolInterface() = default;
};

// ---------------------------------------------------------------------------------------------
// Token parser

// Implemented by the caller: renders one token into `out`. The library calls only this
// operation and never deletes the formatter. Fields: `specifier` is the kind letter (Y date,
// T time, S counter, M message, N newline, _ blank), `modifier` the date/time modifier digit or
// the counter width (or "#"), `delimiter` the date separators or the counter flag, `text` the
// message text. The result is not used.
class KORATokenFormatterInterface {
 public:
  virtual int formatToken(const std::string& specifier, const std::string& modifier,
                          const std::string& delimiter, const std::string& text,
                          std::stringstream& out) = 0;
  virtual ~KORATokenFormatterInterface() = default;
};

// Converts imprinter templates between format strings (`Lot %05S %1/Y`), processedtokens XML,
// template XML and printed text. Out-strings are replaced (not appended to) and their new length
// is returned; on a failure they keep their old content.
class KORATokenParserInterface : public KORAToolInterface {
 public:
  // Format string -> processedtokens document. Throws kora_token_parser_exception.
  virtual uint32_t processTokens(const char* formatString, std::string& xmlOut) = 0;
  // processedtokens document -> format string; empty for unreadable XML or an "error" element.
  virtual uint32_t buildTokenString(const char* processedTokensXml, std::string& formatOut) = 0;
  // Template document -> template string (kind letters and message numbers); empty on failure.
  virtual uint32_t buildTemplateString(const char* templateXml, std::string& templateOut) = 0;
  // Format string -> printed text, one formatter call per token. A null formatter gives "".
  virtual uint32_t formatTokens(const char* formatString, std::string& textOut,
                                KORATokenFormatterInterface* formatter) = 0;
  // Throws kora_token_parser_exception(code, position); never returns.
  [[noreturn]] virtual void raiseError(int code, int position) = 0;
};

// ---------------------------------------------------------------------------------------------
// Extended token parser

// Implemented by the caller: says which token kinds it can render and renders them. Each
// argument of acceptToken is the first character of the field, or 0 for an empty field; while a
// format string is validated the last two are both 'z'.
class KORATokenFormatterExInterface {
 public:
  virtual bool acceptToken(char specifier, char modifier, char delimiter) = 0;
  virtual int formatToken(const std::string& specifier, const std::string& modifier,
                          const std::string& delimiter, const std::string& text,
                          std::stringstream& out) = 0;
  virtual ~KORATokenFormatterExInterface() = default;
};

// The token parser with image-address field tokens (%A to %F) and a level token (%L), whose
// formatter may refuse token kinds.
class KORATokenParserExInterface : public KORAToolInterface {
 public:
  // Refused tokens are left out of the document's "tokens"; `formatter` must not be null.
  virtual uint32_t processTokens(const char* formatString, std::string& xmlOut,
                                 KORATokenFormatterExInterface* formatter) = 0;
  // `formatter` is not used and may be null.
  virtual uint32_t buildTokenString(const char* processedTokensXml, std::string& formatOut,
                                    KORATokenFormatterExInterface* formatter) = 0;
  // `formatter` is not used and may be null.
  virtual uint32_t buildTemplateString(const char* templateXml, std::string& templateOut,
                                       KORATokenFormatterExInterface* formatter) = 0;
  // A refused kind throws code 27 at the specifier's position. A null formatter gives "".
  virtual uint32_t formatTokens(const char* formatString, std::string& textOut,
                                KORATokenFormatterExInterface* formatter) = 0;
  [[noreturn]] virtual void raiseError(int code, int position) = 0;
};

// ---------------------------------------------------------------------------------------------
// XML parser

class IKORAXmlContentHandler;

// Implemented by the parser and handed to handlers: a stack of handlers, the top one receiving
// the events.
class IKORAXmlContentController {
 public:
  virtual ~IKORAXmlContentController() = default;
  virtual IKORAXmlContentHandler* currentHandler() = 0;
  // Makes `handler` current and calls its setController.
  virtual void pushHandler(IKORAXmlContentHandler* handler) = 0;
  // Removes the top handler; returns the new current one (null when the stack is empty, and
  // events then reach nobody).
  virtual IKORAXmlContentHandler* popHandler() = 0;
};

// Implemented by the caller. Names are local names (no prefix); strings are valid only during
// the call. Results: 0 goes on; non-zero from startDocument, startElement, the last attribute of
// an element, or endElement stops the parse.
class IKORAXmlContentHandler {
 public:
  virtual ~IKORAXmlContentHandler() = default;
  virtual int startDocument() = 0;
  virtual int endDocument() = 0;
  // Never called by the parser; implementations return 0.
  virtual int reserved(void* unused) = 0;
  virtual int startElement(const char* name) = 0;
  // Text after a start tag up to the next tag, with its leading white space removed.
  virtual int characters(const char* text) = 0;
  virtual int endElement(const char* name) = 0;
  // Before the first attribute, only when the element has attributes.
  virtual void startAttributes(const char* element) = 0;
  virtual int attribute(const char* name, const char* value) = 0;
  // After the attributes of every accepted element start.
  virtual void endAttributes(const char* element) = 0;
  // Each time the handler is pushed on the parser's handler stack.
  virtual void setController(IKORAXmlContentController* controller) = 0;
};

// Implemented by the caller (optional): receives the reader's errors with their position, the
// reader's message and a negative code. The result is handed back to the reader.
class IKORAXmlErrorHandler {
 public:
  virtual ~IKORAXmlErrorHandler() = default;
  virtual long error(ISAXLocator* locator, const wchar_t* message, long code) = 0;
  virtual long fatalError(ISAXLocator* locator, const wchar_t* message, long code) = 0;
  virtual long ignorableWarning(ISAXLocator* locator, const wchar_t* message, long code) = 0;
};

// Reads one document and delivers it to a handler. Every parse call pushes `handler` on the
// handler stack (nothing is popped afterwards). A null `errorHandler` keeps the error sink of an
// earlier call. Statuses: 0 success, negative failure.
class KORAXmlParserInterface : public KORAToolInterface {
 public:
  // A local path or a file:// URL; no other scheme, no network.
  virtual long parseFile(const char* path, IKORAXmlContentHandler* handler,
                         IKORAXmlErrorHandler* errorHandler) = 0;
  // Exactly `length` bytes; a negative length fails with E_INVALIDARG.
  virtual long parseBuffer(const char* data, int length, IKORAXmlContentHandler* handler,
                           IKORAXmlErrorHandler* errorHandler) = 0;
  virtual long parseString(const char* xml, IKORAXmlContentHandler* handler,
                           IKORAXmlErrorHandler* errorHandler) = 0;
};

// ---------------------------------------------------------------------------------------------
// XML attribute set and writer

// Attributes of one element to be written. Made by KORAXmlWriterInterface::createAttribute and
// owned by that writer. The first value added for a name stays. Every operation returns the set
// itself for chaining. Numbers: decimal without padding; hexadecimal as "0x" and 8 lower-case
// digits of the low 32 bits.
class IKORAXmlAttribute {
 public:
  virtual ~IKORAXmlAttribute() = default;
  virtual IKORAXmlAttribute* addAttribute(const char* name, const char* value) = 0;
  virtual IKORAXmlAttribute* addAttribute(const char* name, bool value) = 0;
  virtual IKORAXmlAttribute* addAttribute(const char* name, unsigned long value) = 0;
  virtual IKORAXmlAttribute* addAttribute(const char* name, long value) = 0;
  virtual IKORAXmlAttribute* addAttribute(const char* name, int value) = 0;
  virtual IKORAXmlAttribute* addHexAttribute(const char* name, unsigned long value) = 0;
  virtual IKORAXmlAttribute* addHexAttribute(const char* name, long value) = 0;
  virtual IKORAXmlAttribute* addHexAttribute(const char* name, int value) = 0;
  virtual IKORAXmlAttribute* clear() = 0;
};

// Builds a document in memory. A new writer writes no XML declaration, indents, and reports the
// encoding "utf-8". Statuses: 0 success, 1 when the writer component is missing, negative on a
// component failure.
class KORAXmlWriterInterface : public KORAToolInterface {
 public:
  // A prefix given once applies to every later element name ("prefix:name").
  virtual long startDocument(const char* prefix) = 0;
  virtual long startDocument() = 0;
  virtual long endDocument() = 0;
  virtual long startElement(const char* name, IKORAXmlAttribute* attributes) = 0;
  // The character's decimal number ('A' gives "65").
  virtual long writeElement(const char* name, char value, bool cdata,
                            IKORAXmlAttribute* attributes) = 0;
  virtual long writeElement(const char* name, bool value, bool cdata,
                            IKORAXmlAttribute* attributes) = 0;
  virtual long writeElement(const char* name, uint32_t value, bool cdata,
                            IKORAXmlAttribute* attributes) = 0;
  virtual long writeElement(const char* name, int value, bool cdata,
                            IKORAXmlAttribute* attributes) = 0;
  virtual long writeElement(const char* name, const char* text, bool cdata,
                            IKORAXmlAttribute* attributes) = 0;
  // A null name closes the innermost element opened by startElement; a given name is written as
  // it is, without prefix.
  virtual long endElement(const char* name) = 0;
  virtual long endElement() = 0;
  virtual long characters(const char* text, bool cdata) = 0;
  // The document so far, kept by the writer until the next getXml() call.
  virtual const char* getXml() = 0;
  // The document so far in a block the caller releases with free().
  virtual long getXml(char** xml) = 0;
  virtual long setOmitXmlDeclaration(bool value) = 0;
  virtual long getOmitXmlDeclaration(bool* value) = 0;
  virtual long setByteOrderMark(bool value) = 0;
  virtual long getByteOrderMark(bool* value) = 0;
  virtual long setDisableOutputEscaping(bool value) = 0;
  virtual long getDisableOutputEscaping(bool* value) = 0;
  virtual long setStandalone(bool value) = 0;
  virtual long getStandalone(bool* value) = 0;
  virtual long setIndent(bool value) = 0;
  virtual long getIndent(bool* value) = 0;
  virtual long setEncoding(const char* name) = 0;
  // On success a block the caller releases with free(); on failure *name is set to null.
  virtual long getEncoding(char** name) = 0;
  virtual long setVersion(const char* version) = 0;
  // On success a block the caller releases with free().
  virtual long getVersion(char** version) = 0;
  virtual long flush() = 0;
  // Starts over with a new writer component running with its own defaults.
  virtual long reset() = 0;
  virtual IKORAXmlAttribute* createAttribute(const char* name, bool value) = 0;
  // `format` 1 gives the hexadecimal form, any other value the decimal form.
  virtual IKORAXmlAttribute* createAttribute(const char* name, int value, int format) = 0;
  virtual IKORAXmlAttribute* createAttribute(const char* name, unsigned long value, int format) = 0;
  virtual IKORAXmlAttribute* createAttribute(const char* name, const char* value) = 0;
  virtual IKORAXmlAttribute* createAttribute() = 0;
};

// ---------------------------------------------------------------------------------------------
// XPath

// Holds one document and answers XPath 1.0 queries on it. Returned texts stay valid until the
// next query or the object's destruction.
class KORAXmlXPathInterface : public KORAToolInterface {
 public:
  // 0 loaded, -1 not loaded (also when `path` is the path last loaded by loadFile).
  virtual int loadFile(const char* path) = 0;
  // 0 loaded, -1 not loaded, -2 no document component.
  virtual int loadXml(const char* xml) = 0;
  // XML of the first matching node, or "".
  virtual const char* selectSingleNode(const char* xpath) = 0;
  // XML of every matching node, each followed by a line feed, or "".
  virtual const char* selectNodes(const char* xpath) = 0;
  // The visitor's result, or -1 when the query fails (the visitor is then not called).
  virtual int selectNodes(const char* xpath, std::function<int(IXMLDOMNodeList*)> visitor) = 0;
};

// ---------------------------------------------------------------------------------------------
// Preset manager

// The "Preset" section of private-profile (INI) files under numeric handles. Handle 0 is the
// failure result of open. The thread's last error is errno: an invalid handle given to save or
// saveAs sets EBADF.
class KORAPresetManagerInterface : public KORAToolInterface {
 public:
  // "1.0.12001.24001"
  virtual const char* getVersion() = 0;
  virtual uint32_t open(const std::string& path) = 0;
  virtual int32_t close(uint32_t handle) = 0;
  virtual bool saveAs(uint32_t handle, const std::string& path) = 0;
  virtual bool save(uint32_t handle) = 0;
  // "" for an invalid handle or an absent key; valid while the preset is open.
  virtual const char* getValue(uint32_t handle, const std::string& key) = 0;
  virtual void setDefault(uint32_t handle) = 0;
  virtual bool addMissingFromDefault(uint32_t handle) = 0;
  // Keys of `first` whose value differs in `second` ("Preset Driver" excepted), with second's
  // values.
  virtual std::map<std::string, std::string> getDifferences(uint32_t first, uint32_t second) = 0;
  // Copies into `to` every setting of `from` whose key `to` lacks, in key order.
  virtual bool addMissing(uint32_t from, uint32_t to) = 0;
};

// ---------------------------------------------------------------------------------------------
// Log manager

// Inventories a folder tree of `.log` files, splits it into files to keep and to delete by one
// of six policies, deletes on request and reports both steps as XML texts.
class KORALogManagerInterface : public KORAToolInterface {
 public:
  // "1.0.12001.24001"
  virtual std::string getVersion() = 0;
  virtual void setPath(const std::string& folder) = 0;
  // Returns the number of files to delete.
  virtual uint32_t removeAll() = 0;
  virtual int32_t keepLatest() = 0;
  virtual int32_t keepToday() = 0;
  virtual int32_t keepThisWeek() = 0;
  virtual int32_t keepThisMonth() = 0;
  // order: 0 by time, 1 by size, any other value in scan order.
  virtual int32_t removeByThreshold(int32_t megabytes, int32_t order) = 0;
  virtual const std::string& getReport() = 0;
  virtual const std::string& getDeleteReport() = 0;
  // `confirm` gets each file's full path and returns true to delete it; it may be empty.
  virtual int32_t deleteFiles(std::function<bool(const std::string&)> confirm) = 0;
  virtual int32_t deleteFiles() = 0;
  // One status line per processed file; an empty callable switches them off.
  virtual void setStatusCallback(std::function<void(const std::string&)> status) = 0;
};

// ---------------------------------------------------------------------------------------------
// Tag manager

// Reads a tag store file into a dictionary of tag ids, names and values.
inline constexpr int32_t KORA_TAG_NOT_FOUND = 427172114;  // 0x19762112

class KORATagManagerInterface : public KORAToolInterface {
 public:
  virtual const char* getPath() = 0;
  virtual bool load(const char* path) = 0;
  virtual const char* lookupTagName(int32_t tagId) = 0;
  virtual int32_t lookupTagId(const char* tagName) = 0;
  // KORA_TAG_NOT_FOUND when absent.
  virtual int32_t getTagId(const char* tagName) = 0;
  virtual int32_t getValueId(int32_t tagId, const char* valueName) = 0;
  // An absent id creates a tag named "0x" and at least 4 hexadecimal digits ("0x001a").
  virtual const char* getTagName(int32_t tagId) = 0;
  virtual const char* getValueName(int32_t tagId, int32_t valueId) = 0;
};

// ---------------------------------------------------------------------------------------------
// The exports

extern "C" {
ZTTOOLS_API KORALogManagerInterface* KORALogManagerFactory_Create();
ZTTOOLS_API KORALogManagerInterface* KORALogManagerFactory_Destroy(KORALogManagerInterface* object);
ZTTOOLS_API KORAPresetManagerInterface* KORAPresetManagerFactory_Create();
ZTTOOLS_API KORAPresetManagerInterface* KORAPresetManagerFactory_Destroy(
    KORAPresetManagerInterface* object);
ZTTOOLS_API KORATokenParserInterface* KORATokenParserFactory_Create();
ZTTOOLS_API KORATokenParserInterface* KORATokenParserFactory_Destroy(
    KORATokenParserInterface* object);
ZTTOOLS_API KORAXmlParserInterface* KORAXmlParserFactory_Create();
ZTTOOLS_API KORAXmlParserInterface* KORAXmlParserFactory_Destroy(KORAXmlParserInterface* object);
ZTTOOLS_API KORAXmlWriterInterface* KORAXmlWriterFactory_Create();
ZTTOOLS_API KORAXmlWriterInterface* KORAXmlWriterFactory_Destroy(KORAXmlWriterInterface* object);
ZTTOOLS_API KORAXmlXPathInterface* KORAXmlXPathFactory_Create();
ZTTOOLS_API KORAXmlXPathInterface* KORAXmlXPathFactory_Destroy(KORAXmlXPathInterface* object);
ZTTOOLS_API KORATagManagerInterface* KORATagManagerFactory_Create();
ZTTOOLS_API KORATagManagerInterface* KORATagManagerFactory_Destroy(KORATagManagerInterface* object);
ZTTOOLS_API KORATokenParserExInterface* KORATokenParserExFactory_Create();
ZTTOOLS_API KORATokenParserExInterface* KORATokenParserExFactory_Destroy(
    KORATokenParserExInterface* object);
}

#endif  // ZTTOOLS_H
