// The SAX reader over libxml2: the parts that call the content sink, as templates over the sink's
// type, so that a reader made for a final sink class calls it directly. Included by the backend's
// own source, which makes the reader for the SaxContentSink interface, and by a caller that makes
// a reader for its own sink class.
//
// Options are chosen for untrusted input: a document type declaration stops the parse before
// its internal subset is read, so no entity is ever declared, loaded or expanded (only the five
// predefined ones and character references are decoded); no network; libxml2's limit on nesting
// depth. Only the events the reader uses are handled: libxml2 builds no tree.
#ifndef ZT_PLATFORM_XML_READER_LIBXML2_H
#define ZT_PLATFORM_XML_READER_LIBXML2_H

#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <array>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/xml_reader.h"

namespace zt::platform::libxml2_reader {

class Locator final : public ISAXLocator {
 public:
  Locator(int line, int column) : line_(line), column_(column) {}
  int getLineNumber() override { return line_; }
  int getColumnNumber() override { return column_; }

 private:
  int line_;
  int column_;
};

// The first ampersand from `at`, or `end`. Attribute values are short: a plain loop finds it
// sooner than a call into the C library, whose set-up outweighs its speed on a few bytes, or
// std::find, whose unrolling does.
inline const char* firstAmpersand(const char* at, const char* end) {
  while (at != end && *at != '&') {
    ++at;
  }
  return at;
}

// The parser leaves "&#38;" in attribute values for each ampersand the document wrote as "&amp;"
// or "&#38;" (every other character reference and predefined entity arrives decoded, and no
// other entity can be declared): decodes the value into `out`, from the first one, which the
// caller has found.
// `out` has room for the whole value; returns the length of the decoded value.
std::size_t decodeAmpersands(std::string_view value, const char* ampersand, char* out);

class Attributes {
 public:
  void reset() {
    items_.clear();
    decodedCount_ = 0;
  }
  void add(std::string_view name, std::string_view value) { items_.push_back({name, value}); }
  // Room for a decoded value of at most `size` bytes, kept until the next reset. The blocks are
  // reused from element to element and never move, so the views handed out stay valid.
  char* keep(std::size_t size) {
    if (decodedCount_ == decoded_.size()) {
      decoded_.emplace_back();
    }
    Decoded& decoded = decoded_[decodedCount_++];
    if (decoded.capacity < size) {
      decoded.block = std::make_unique_for_overwrite<char[]>(size);
      decoded.capacity = size;
    }
    return decoded.block.get();
  }
  [[nodiscard]] SaxAttributes items() const { return items_; }

 private:
  std::vector<SaxAttribute> items_;
  struct Decoded {
    std::unique_ptr<char[]> block;
    std::size_t capacity = 0;
  };
  std::vector<Decoded> decoded_;
  std::size_t decodedCount_ = 0;
};

// Element and attribute names come from the parser's dictionary, which keeps each name at one
// address for the whole parse: a name's length is measured the first time its address is seen
// and looked up by the address afterwards.
class NameLengths {
 public:
  std::string_view operator()(const xmlChar* name) {
    const auto address = reinterpret_cast<std::uintptr_t>(name);
    Slot& slot = slots_[(address * 0x9E3779B97F4A7C15u) >> (64 - kBits)];
    if (slot.name != name) [[unlikely]] {
      slot = {name, std::strlen(reinterpret_cast<const char*>(name))};
    }
    assert(slot.length == std::strlen(reinterpret_cast<const char*>(name)));
    return {reinterpret_cast<const char*>(name), slot.length};
  }

 private:
  static constexpr int kBits = 8;
  struct Slot {
    const xmlChar* name = nullptr;
    std::size_t length = 0;
  };
  std::array<Slot, std::size_t{1} << kBits> slots_{};
};

// The character data of the current run, joined across the parser's callbacks. Appending a
// chunk that fits is inline and needs no stack frame: it is the common case, and it happens for
// every text callback; only growth, which may throw, is a call. Room for the terminator is always
// kept, and the terminator is written when the text is handed on.
class TextRun {
 public:
  [[nodiscard]] bool empty() const { return size_ == 0; }
  void clear() { size_ = 0; }
  [[nodiscard]] bool fits(std::string_view chunk) const { return chunk.size() < capacity_ - size_; }
  // Only for a chunk that fits.
  void appendFitting(std::string_view chunk) {
    char* at = data_.get() + size_;
    size_ += chunk.size();
    std::memcpy(at, chunk.data(), chunk.size());
  }
  void appendGrowing(std::string_view chunk);
  // The text, followed by a zero byte; only for a run that is not empty.
  [[nodiscard]] std::string_view terminated() {
    data_[size_] = '\0';
    return {data_.get(), size_};
  }

 private:
  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

// What one parse keeps apart from its content sink, and the parts of a parse that never call
// the sink: feeding the parser, errors, the refused DTD. The libxml2 context's _private points
// to the parse.
class RunBase {
 public:
  explicit RunBase(SaxErrorSink* errors) : errors_(errors) {}
  RunBase(const RunBase&) = delete;
  RunBase& operator=(const RunBase&) = delete;

  // `sax` is the handler table of the parse that derives from this.
  Status parse(const xmlSAXHandler& sax, std::string_view document, SaxBadUtf8 badUtf8);
  Status parseFile(const xmlSAXHandler& sax, const std::string& path);

 protected:
  ~RunBase() = default;

  template <typename Run>
  static Run& of(void* context) {
    return *static_cast<Run*>(
        static_cast<RunBase*>(static_cast<xmlParserCtxtPtr>(context)->_private));
  }

  // Runs the body of a callback. An exception must not pass through libxml2's frames: it stops
  // the parser and is thrown again once the parser is freed.
  template <typename Run, typename Body>
  static void guarded(void* context, Body&& body) noexcept {
    Run& run = of<Run>(context);
    try {
      body(run, static_cast<xmlParserCtxtPtr>(context));
    } catch (...) {
      run.stopOnException(static_cast<xmlParserCtxtPtr>(context));
    }
  }
  // Keeps the exception being handled and stops the parser.
  void stopOnException(xmlParserCtxtPtr context) noexcept {
    if (!exception_) {
      exception_ = std::current_exception();
    }
    check(context, kFail);
  }

  // A sink's refusal stops the parser; the refusal is the parse's status.
  void check(xmlParserCtxtPtr context, Status status) {
    if (failed(status) && !failed(stopStatus_)) {
      stopStatus_ = status;
      xmlStopParser(context);
    }
  }
  // A sink's answer to a content event: whether it stops the parse, and whether it wants the
  // text up to its next event.
  void answer(xmlParserCtxtPtr context, Status status) {
    check(context, status);
    textWanted_ = status == kOk;
  }
  // Appends text that does not fit what the run holds; out of line, so that the callback that
  // appends what fits needs no stack frame.
  [[gnu::noinline]] static void collectGrowing(void* context, std::string_view chunk);

  // Handlers every parse shares: the refused DTD and errors.
  static void addCommonHandlers(xmlSAXHandler& sax);

  SaxErrorSink* errors_;
  TextRun text_;
  bool textWanted_ = false;
  bool dropsLeadingSpace_ = false;
  Attributes attributes_;
  NameLengths names_;
  Status stopStatus_ = kOk;
  // libxml2's nesting limit, read once a parse rather than through its global at every element.
  int maxDepth_ = static_cast<int>(xmlParserMaxDepth);

 private:
  xmlParserCtxtPtr newContext(const xmlSAXHandler& sax);
  Status finish(xmlParserCtxtPtr context);
  static void refuseDtd(void* context, const xmlChar* name, const xmlChar* publicId,
                        const xmlChar* systemId);
  static void structuredError(void* context, xmlErrorPtr error);
  void report(const Locator& at, std::string_view message, Status code);

  Status errorStatus_ = kOk;
  std::exception_ptr exception_;
};

// One parse delivering its content events to a sink of type `Sink`.
template <typename Sink>
class Run final : public RunBase {
 public:
  Run(Sink* content, SaxErrorSink* errors) : RunBase(errors), content_(content) {}

  static xmlSAXHandler handler();

 private:
  friend class RunBase;

  void flushText(xmlParserCtxtPtr context) {
    if (!text_.empty()) {
      if (content_ != nullptr && !failed(stopStatus_)) {
        check(context, content_->characters(text_.terminated()));
      }
      text_.clear();
    }
  }

  static void startDocument(void* context);
  static void endDocument(void* context);
  static void startElement(void* context, const xmlChar* localName, const xmlChar* prefix,
                           const xmlChar* uri, int namespaceCount, const xmlChar** namespaces,
                           int attributeCount, int defaulted, const xmlChar** attributes);
  static void endElement(void* context, const xmlChar* localName, const xmlChar* prefix,
                         const xmlChar* uri);
  static void characters(void* context, const xmlChar* text, int length);
  [[gnu::always_inline]] inline void onStartElement(xmlParserCtxtPtr ctxt, const xmlChar* localName,
                                                    int attributeCount, const xmlChar** attributes);
  [[gnu::always_inline]] inline void onEndElement(xmlParserCtxtPtr ctxt, const xmlChar* localName);
  static void markup(void* context, const xmlChar* target, const xmlChar* data);
  static void comment(void* context, const xmlChar* text);

  Sink* content_;
};

template <typename Sink>
xmlSAXHandler Run<Sink>::handler() {
  xmlSAXHandler sax;
  std::memset(&sax, 0, sizeof sax);
  sax.initialized = XML_SAX2_MAGIC;
  sax.startDocument = startDocument;
  sax.endDocument = endDocument;
  sax.startElementNs = startElement;
  sax.endElementNs = endElement;
  sax.characters = characters;
  sax.cdataBlock = characters;
  sax.ignorableWhitespace = characters;
  sax.processingInstruction = markup;
  sax.comment = comment;
  addCommonHandlers(sax);
  return sax;
}

template <typename Sink>
void Run<Sink>::startDocument(void* context) {
  guarded<Run>(context, [](Run& run, xmlParserCtxtPtr ctxt) {
    if (run.content_ != nullptr) {
      run.dropsLeadingSpace_ = run.content_->dropsLeadingSpace();
      run.answer(ctxt, run.content_->startDocument());
    }
  });
}

template <typename Sink>
void Run<Sink>::endDocument(void* context) {
  guarded<Run>(context, [](Run& run, xmlParserCtxtPtr ctxt) {
    run.flushText(ctxt);
    if (run.content_ != nullptr && !failed(run.stopStatus_)) {
      run.content_->endDocument();
    }
  });
}

// The element callbacks run their bodies as `guarded` does, written out: the compiler would
// make the lambda and `guarded` calls of their own, with a frame and the captures spilled, for
// every element.
template <typename Sink>
void Run<Sink>::startElement(void* context, const xmlChar* localName, const xmlChar*,
                             const xmlChar*, int, const xmlChar**, int attributeCount, int,
                             const xmlChar** attributes) {
  Run& run = of<Run>(context);
  try {
    run.onStartElement(static_cast<xmlParserCtxtPtr>(context), localName, attributeCount,
                       attributes);
  } catch (...) {
    run.stopOnException(static_cast<xmlParserCtxtPtr>(context));
  }
}

template <typename Sink>
void Run<Sink>::onStartElement(xmlParserCtxtPtr ctxt, const xmlChar* localName, int attributeCount,
                               const xmlChar** attributes) {
  flushText(ctxt);
  // libxml2's push mode does not apply its own depth limit to SAX events; apply it here, with
  // the error libxml2 reports for it, so that deep nesting fails as in its pull mode.
  if (ctxt->nameNr > maxDepth_) {
    check(ctxt, readerErrorStatus(XML_ERR_INTERNAL_ERROR));
    return;
  }
  if (content_ == nullptr || failed(stopStatus_)) {
    return;
  }
  attributes_.reset();
  for (int i = 0; i < attributeCount; ++i) {
    const xmlChar** a =
        attributes + std::ptrdiff_t{5} * i;  // local name, prefix, URI, value, value end
    std::string_view value(reinterpret_cast<const char*>(a[3]),
                           static_cast<std::size_t>(a[4] - a[3]));
    const char* ampersand = firstAmpersand(value.data(), value.data() + value.size());
    if (ampersand != value.data() + value.size()) {
      char* decoded = attributes_.keep(value.size());
      value = {decoded, decodeAmpersands(value, ampersand, decoded)};
    }
    attributes_.add(names_(a[0]), value);
  }
  answer(ctxt, content_->startElement(names_(localName), attributes_.items()));
}

template <typename Sink>
void Run<Sink>::endElement(void* context, const xmlChar* localName, const xmlChar*,
                           const xmlChar*) {
  Run& run = of<Run>(context);
  try {
    run.onEndElement(static_cast<xmlParserCtxtPtr>(context), localName);
  } catch (...) {
    run.stopOnException(static_cast<xmlParserCtxtPtr>(context));
  }
}

template <typename Sink>
void Run<Sink>::onEndElement(xmlParserCtxtPtr ctxt, const xmlChar* localName) {
  if (content_ == nullptr || failed(stopStatus_)) {
    text_.clear();
    return;
  }
  // flushText, with the sink and the stop tested once for both events.
  if (!text_.empty()) {
    check(ctxt, content_->characters(text_.terminated()));
    text_.clear();
    if (failed(stopStatus_)) {
      return;
    }
  }
  answer(ctxt, content_->endElement(names_(localName)));
}

// Text, CDATA sections and decoded references between two markup events are joined into one
// chunk, delivered at the next markup event.
template <typename Sink>
void Run<Sink>::characters(void* context, const xmlChar* text, int length) {
  Run& run = of<Run>(context);
  // Half the runs are unwanted, and most wanted ones that start a text are white space alone
  // for a sink that drops it: both return before anything that needs a stack frame, and so does
  // a chunk that fits the text collected so far.
  if (!run.textWanted_) {
    return;
  }
  std::string_view chunk(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length));
  if (run.dropsLeadingSpace_ && run.text_.empty()) {
    std::size_t kept = 0;
    while (kept < chunk.size() &&
           (chunk[kept] == ' ' || (chunk[kept] >= '\t' && chunk[kept] <= '\r'))) {
      ++kept;
    }
    if (kept == chunk.size()) {
      return;
    }
    chunk.remove_prefix(kept);
  }
  if (run.text_.fits(chunk)) {
    run.text_.appendFitting(chunk);
    return;
  }
  collectGrowing(context, chunk);
}

template <typename Sink>
void Run<Sink>::markup(void* context, const xmlChar*, const xmlChar*) {
  guarded<Run>(context, [](Run& run, xmlParserCtxtPtr ctxt) { run.flushText(ctxt); });
}

template <typename Sink>
void Run<Sink>::comment(void* context, const xmlChar*) {
  guarded<Run>(context, [](Run& run, xmlParserCtxtPtr ctxt) { run.flushText(ctxt); });
}

// A local path, or a file:// URL with percent-escapes; anything with another scheme is refused.
bool localPath(std::string_view url, std::string& path);

}  // namespace zt::platform::libxml2_reader

namespace zt::platform {

template <typename Sink>
Status BasicSaxReader<Sink>::parse(std::string_view document, BadUtf8 badUtf8) {
  using libxml2_reader::Run;
  return Run<Sink>(content_, errors_).parse(Run<Sink>::handler(), document, badUtf8);
}

template <typename Sink>
Status BasicSaxReader<Sink>::parseUrl(std::string_view url) {
  using libxml2_reader::Run;
  std::string path;
  if (!libxml2_reader::localPath(url, path)) {
    return kInvalidArg;
  }
  return Run<Sink>(content_, errors_).parseFile(Run<Sink>::handler(), path);
}

}  // namespace zt::platform

#endif  // ZT_PLATFORM_XML_READER_LIBXML2_H
