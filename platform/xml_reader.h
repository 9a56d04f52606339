// SAX-style XML reader: the stand-in for the host platform's SAX reader component.
//
// Parses an in-memory document or a local file and delivers narrow UTF-8 events to a content
// sink. Secure by default: a document type declaration is refused (so no entity but the
// predefined ones exists), no network, bounded nesting. Malformed input always ends in a negative
// status.
#ifndef ZT_PLATFORM_XML_READER_H
#define ZT_PLATFORM_XML_READER_H

#include <span>
#include <string_view>

#include "platform/status.h"
#include "zttools_platform.h"

namespace zt::platform {

// One attribute of a start tag: its local name (followed by a zero byte outside the view) and
// its decoded value (not so followed).
struct SaxAttribute {
  std::string_view localName;
  std::string_view value;
};

// Attributes of one start tag, in document order; valid only during the startElement call.
using SaxAttributes = std::span<const SaxAttribute>;

// Receives the content events. A negative status from startDocument, startElement or endElement
// stops the parse, which then fails with that status. Each run of character data between two
// markup events (tags, comments, processing instructions) arrives as one characters call, with
// CDATA sections and references inside the run already joined and decoded. A zero byte follows
// the text and every element name (outside the view), so that they can be handed on as C strings
// without a copy.
//
// The answer of startDocument, startElement and endElement also says whether the character data
// up to the next of these events is wanted: kOk takes it, kFalse (a success) has it dropped
// unread, which spares collecting text nobody receives.
class SaxContentSink {
 public:
  virtual Status startDocument() = 0;
  virtual Status endDocument() = 0;
  virtual Status startElement(std::string_view localName, SaxAttributes attributes) = 0;
  virtual Status endElement(std::string_view localName) = 0;
  virtual Status characters(std::string_view text) = 0;
  // Asked once, before startDocument: a sink that would strip the leading white space of every
  // run anyway answers true, and each run then arrives without its leading ASCII white space
  // (tab, line feed, vertical tab, form feed, carriage return, space); a run of nothing else is
  // not delivered at all.
  virtual bool dropsLeadingSpace() { return false; }

 protected:
  ~SaxContentSink() = default;
};

// Receives errors: the position, the reader's message (UTF-8) and a negative code.
class SaxErrorSink {
 public:
  virtual Status error(ISAXLocator& locator, std::string_view message, Status code) = 0;
  virtual Status fatalError(ISAXLocator& locator, std::string_view message, Status code) = 0;
  virtual Status ignorableWarning(ISAXLocator& locator, std::string_view message, Status code) = 0;

 protected:
  ~SaxErrorSink() = default;
};

// What becomes of bytes of an in-memory document that are not well-formed UTF-8: they fail the
// parse, as any malformed input does, or each is read as U+FFFD.
enum class SaxBadUtf8 { kFail, kReplace };

// The reader, for content sinks of type `Sink`. `SaxReader` calls its sink through the
// SaxContentSink interface; a reader made for a final sink class calls it directly, so that a
// sink on the hot path of a large parse costs no call of its own per event. The definitions are
// the backend's (platform/xml_reader_libxml2.h), included where a reader for another sink type
// is made.
template <typename Sink>
class BasicSaxReader {
 public:
  BasicSaxReader() = default;
  ~BasicSaxReader() = default;
  BasicSaxReader(const BasicSaxReader&) = delete;
  BasicSaxReader& operator=(const BasicSaxReader&) = delete;

  // Sinks are not owned; null means none.
  void setContentSink(Sink* sink) { content_ = sink; }
  void setErrorSink(SaxErrorSink* sink) { errors_ = sink; }

  using BadUtf8 = SaxBadUtf8;

  // An exception thrown by a sink stops the parse and leaves the call once the parser is freed.

  // Parses exactly the bytes of `document`.
  Status parse(std::string_view document, BadUtf8 badUtf8 = BadUtf8::kFail);
  // Parses a local file named by a path or a file:// URL; any other scheme fails. Only a regular
  // file is read: a file that cannot be opened, a folder, FIFO, socket or device fails with the
  // load error, errno set and the reason ("Is a directory", "not a regular file", ...) given to
  // the error sink as a fatal error at line 0.
  Status parseUrl(std::string_view url);

 private:
  Sink* content_ = nullptr;
  SaxErrorSink* errors_ = nullptr;
};

using SaxReader = BasicSaxReader<SaxContentSink>;
extern template class BasicSaxReader<SaxContentSink>;

// Status of a document the reader rejects, from the reader's own error number.
Status readerErrorStatus(int errorNumber);

// A document with a document type declaration, with or without an internal subset, is refused
// with this status and message, at the declaration's line and column.
inline constexpr Status kDtdProhibited = hresult(0xC00CEE4E);
inline constexpr std::string_view kDtdProhibitedMessage = "DTD is prohibited";

}  // namespace zt::platform

#endif  // ZT_PLATFORM_XML_READER_H
