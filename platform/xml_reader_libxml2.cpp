// The SAX reader over libxml2's push parser.
//
// Options are chosen for untrusted input: a document type declaration stops the parse before
// its internal subset is read, so no entity is ever declared, loaded or expanded (only the five
// predefined ones and character references are decoded); no network; libxml2's limit on nesting
// depth. Only the events the reader uses are handled: libxml2 builds no tree.
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cassert>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "platform/regular_file.h"
#include "platform/utf8.h"
#include "platform/xml_reader.h"

namespace zt::platform {

Status readerErrorStatus(int errorNumber) {
  // A facility of its own (0xC00C) keeps reader errors apart from the generic statuses.
  return hresult(0xC00C0000u | (static_cast<uint32_t>(errorNumber) & 0xFFFFu));
}

namespace {

constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOWARNING | XML_PARSE_NOERROR;
// Text in memory is handed to the push parser in pieces: the parser copies what it is given
// into its own input buffer, and refuses to look ahead over more than 10 MB of unparsed input,
// so one piece of a large document would double its memory and then fail.
constexpr std::size_t kMemoryChunk = std::size_t{256} * 1024;

class Locator final : public ISAXLocator {
 public:
  Locator(int line, int column) : line_(line), column_(column) {}
  int getLineNumber() override { return line_; }
  int getColumnNumber() override { return column_; }

 private:
  int line_;
  int column_;
};

// The parser leaves "&#38;" in attribute values for each ampersand the document wrote as "&amp;"
// or "&#38;" (every other character reference and predefined entity arrives decoded, and no
// other entity can be declared): decodes them into `out`, from the first one, which the caller
// has found.
// The first ampersand from `at`, or `end`. Attribute values are short: a plain loop finds it
// sooner than a call into the C library, whose set-up outweighs its speed on a few bytes, or
// std::find, whose unrolling does.
const char* firstAmpersand(const char* at, const char* end) {
  while (at != end && *at != '&') {
    ++at;
  }
  return at;
}

void decodeAmpersands(std::string_view value, const char* ampersand, std::string& out) {
  constexpr std::size_t kReference = std::string_view("&#38;").size();
  const char* from = value.data();
  const char* const end = from + value.size();
  out.clear();
  do {
    out.append(from, static_cast<std::size_t>(ampersand - from) + 1);
    from = ampersand + std::min(kReference, static_cast<std::size_t>(end - ampersand));
    ampersand = firstAmpersand(from, end);
  } while (ampersand != end);
  out.append(from, static_cast<std::size_t>(end - from));
}

class Attributes {
 public:
  void reset() {
    items_.clear();
    decodedCount_ = 0;
  }
  void add(std::string_view name, std::string_view value) { items_.push_back({name, value}); }
  // A string for a decoded value, kept until the next reset; the strings are reused from
  // element to element, and each lives in a block of its own that never moves, so the views
  // handed out stay valid.
  std::string& keep() {
    if (decodedCount_ == decoded_.size()) {
      decoded_.push_back(std::make_unique<std::string>());
    }
    return *decoded_[decodedCount_++];
  }
  [[nodiscard]] SaxAttributes items() const { return items_; }

 private:
  std::vector<SaxAttribute> items_;
  std::vector<std::unique_ptr<std::string>> decoded_;
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
    if (slot.name != name) {
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
  [[gnu::noinline]] void appendGrowing(std::string_view chunk) {
    const std::size_t needed = size_ + chunk.size() + 1;
    std::size_t capacity = capacity_ < 256 ? 256 : capacity_;
    while (capacity < needed) {
      capacity *= 2;
    }
    auto grown = std::make_unique_for_overwrite<char[]>(capacity);
    if (size_ != 0) {
      std::memcpy(grown.get(), data_.get(), size_);
    }
    data_ = std::move(grown);
    capacity_ = capacity;
    appendFitting(chunk);
  }
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

// One parse: the libxml2 context's _private points here.
class Run {
 public:
  Run(SaxContentSink* content, SaxErrorSink* errors) : content_(content), errors_(errors) {}

  Status parse(std::string_view document, SaxReader::BadUtf8 badUtf8);
  Status parseFile(const std::string& path);

 private:
  static Run& of(void* context) {
    return *static_cast<Run*>(static_cast<xmlParserCtxtPtr>(context)->_private);
  }
  static xmlSAXHandler handler();
  xmlParserCtxtPtr newContext(const char* firstChunk, int size, const char* name);
  Status finish(xmlParserCtxtPtr context);

  // Runs the body of a callback. An exception must not pass through libxml2's frames: it stops
  // the parser and is thrown again once the parser is freed.
  template <typename Body>
  static void guarded(void* context, Body&& body) noexcept {
    Run& run = of(context);
    try {
      body(run, static_cast<xmlParserCtxtPtr>(context));
    } catch (...) {
      if (!run.exception_) {
        run.exception_ = std::current_exception();
      }
      run.check(static_cast<xmlParserCtxtPtr>(context), kFail);
    }
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
  [[gnu::noinline]] static void collectGrowing(void* context, std::string_view chunk);
  static void markup(void* context, const xmlChar* target, const xmlChar* data);
  static void comment(void* context, const xmlChar* text);
  static void refuseDtd(void* context, const xmlChar* name, const xmlChar* publicId,
                        const xmlChar* systemId);
  static void structuredError(void* context, xmlErrorPtr error);
  void report(const Locator& at, std::string_view message, Status code);

  SaxContentSink* content_;
  SaxErrorSink* errors_;
  TextRun text_;
  bool textWanted_ = false;
  bool dropsLeadingSpace_ = false;
  Attributes attributes_;
  NameLengths names_;
  Status stopStatus_ = kOk;
  Status errorStatus_ = kOk;
  std::exception_ptr exception_;
};

xmlSAXHandler Run::handler() {
  xmlSAXHandler sax;
  std::memset(&sax, 0, sizeof sax);
  sax.initialized = XML_SAX2_MAGIC;
  sax.internalSubset = refuseDtd;
  sax.startDocument = startDocument;
  sax.endDocument = endDocument;
  sax.startElementNs = startElement;
  sax.endElementNs = endElement;
  sax.characters = characters;
  sax.cdataBlock = characters;
  sax.ignorableWhitespace = characters;
  sax.processingInstruction = markup;
  sax.comment = comment;
  sax.serror = structuredError;
  return sax;
}

xmlParserCtxtPtr Run::newContext(const char* firstChunk, int size, const char* name) {
  xmlInitParser();
  xmlSAXHandler sax = handler();
  xmlParserCtxtPtr context = xmlCreatePushParserCtxt(&sax, nullptr, firstChunk, size, name);
  if (context != nullptr) {
    context->_private = this;
  }
  return context;
}

Status Run::finish(xmlParserCtxtPtr context) {
  const bool wellFormed = context->wellFormed != 0;
  const int errorNumber = context->errNo;
  xmlFreeParserCtxt(context);
  if (exception_) {
    std::rethrow_exception(exception_);
  }
  if (failed(stopStatus_)) {
    return stopStatus_;
  }
  if (failed(errorStatus_)) {
    return errorStatus_;
  }
  if (!wellFormed) {
    return readerErrorStatus(errorNumber != 0 ? errorNumber : XML_ERR_INTERNAL_ERROR);
  }
  return kOk;
}

// A piece of a document ends where no UTF-8 sequence can straddle the cut: before a byte that
// is not a continuation byte, or, when the last three bytes and the next one are all
// continuation bytes, anywhere among them (none of them can start a sequence).
std::size_t pieceEnd(std::string_view document, std::size_t at, std::size_t size) {
  const auto continues = [&](std::size_t i) {
    return (static_cast<unsigned char>(document[i]) & 0xC0) == 0x80;
  };
  std::size_t end = at + size;
  if (end == document.size()) {
    return end;
  }
  for (int back = 0; back < 3 && continues(end); ++back) {
    --end;
  }
  return continues(end) ? at + size : end;
}

// Fed in pieces; each is checked for UTF-8 while it is still in the cache on its way to the
// parser, and only a piece with bad bytes is copied to be repaired.
Status Run::parse(std::string_view document, SaxReader::BadUtf8 badUtf8) {
  xmlParserCtxtPtr context = newContext(nullptr, 0, nullptr);
  if (context == nullptr) {
    return kOutOfMemory;
  }
  // In-memory text is always UTF-8, whatever a declaration in it says.
  xmlCtxtUseOptions(context, kParseOptions | XML_PARSE_IGNORE_ENC);
  const bool repair = badUtf8 == SaxReader::BadUtf8::kReplace;
  std::string repaired;
  std::size_t at = 0;
  do {
    const std::size_t size = std::min(document.size() - at, kMemoryChunk);
    const std::size_t end = repair ? pieceEnd(document, at, size) : at + size;
    std::string_view piece = document.substr(at, end - at);
    at = end;
    if (repair && !isValidUtf8(piece)) {
      repaired.clear();
      appendRepairedUtf8(repaired, piece);
      piece = repaired;
    }
    const int last = at == document.size() ? 1 : 0;
    if (xmlParseChunk(context, piece.data(), static_cast<int>(piece.size()), last) != 0) {
      break;
    }
  } while (at < document.size());
  return finish(context);
}

// A file is read by libxml2's pull parser through read callbacks: it keeps only a window of
// the file in memory, like the push parser, but scans each construct once where the push parser
// first looks ahead for the end of it.
Status Run::parseFile(const std::string& path) {
  // libxml2 asks for 4 000 bytes at a time; the file is read in larger blocks and handed out
  // from them, which takes a sixteenth of the system calls.
  constexpr std::size_t kBlock = std::size_t{64} * 1024;
  struct Source {
    RegularFile file;
    bool failed = false;
    std::unique_ptr<char[]> block = std::make_unique_for_overwrite<char[]>(kBlock);
    std::size_t at = 0;
    std::size_t end = 0;
  };
  Source source{RegularFile(path.c_str())};
  if (!source.file.isOpen()) {
    const int error = source.file.error();
    report(Locator(0, 0), source.file.failureText(), readerErrorStatus(XML_IO_LOAD_ERROR));
    errno = error;
    return readerErrorStatus(XML_IO_LOAD_ERROR);
  }
  const auto read = [](void* from, char* buffer, int length) -> int {
    auto* file = static_cast<Source*>(from);
    if (file->at == file->end) {
      ssize_t got = 0;
      do {
        got = ::read(file->file.descriptor(), file->block.get(), kBlock);
      } while (got < 0 && errno == EINTR);
      if (got < 0) {
        file->failed = true;
        return -1;
      }
      file->at = 0;
      file->end = static_cast<std::size_t>(got);
    }
    const std::size_t size = std::min(file->end - file->at, static_cast<std::size_t>(length));
    std::memcpy(buffer, file->block.get() + file->at, size);
    file->at += size;
    return static_cast<int>(size);
  };
  const auto close = [](void* from) -> int {
    static_cast<Source*>(from)->file.close();
    return 0;
  };
  xmlInitParser();
  xmlSAXHandler sax = handler();
  // The parser closes the file through the callback, even when it cannot be created.
  xmlParserCtxtPtr context =
      xmlCreateIOParserCtxt(&sax, nullptr, read, close, &source, XML_CHAR_ENCODING_NONE);
  if (context == nullptr) {
    return kOutOfMemory;
  }
  context->_private = this;
  xmlCtxtUseOptions(context, kParseOptions);
  xmlParseDocument(context);
  const Status parsed = finish(context);
  return source.failed ? readerErrorStatus(XML_IO_EIO) : parsed;
}

void Run::startDocument(void* context) {
  guarded(context, [](Run& run, xmlParserCtxtPtr ctxt) {
    if (run.content_ != nullptr) {
      run.dropsLeadingSpace_ = run.content_->dropsLeadingSpace();
      run.answer(ctxt, run.content_->startDocument());
    }
  });
}

void Run::endDocument(void* context) {
  guarded(context, [](Run& run, xmlParserCtxtPtr ctxt) {
    run.flushText(ctxt);
    if (run.content_ != nullptr && !failed(run.stopStatus_)) {
      run.content_->endDocument();
    }
  });
}

void Run::startElement(void* context, const xmlChar* localName, const xmlChar*, const xmlChar*, int,
                       const xmlChar**, int attributeCount, int, const xmlChar** attributes) {
  guarded(context, [&](Run& run, xmlParserCtxtPtr ctxt) {
    run.flushText(ctxt);
    // libxml2's push mode does not apply its own depth limit to SAX events; apply it here, with
    // the error libxml2 reports for it, so that deep nesting fails as in its pull mode.
    if (ctxt->nameNr > static_cast<int>(xmlParserMaxDepth)) {
      run.check(ctxt, readerErrorStatus(XML_ERR_INTERNAL_ERROR));
      return;
    }
    if (run.content_ == nullptr || failed(run.stopStatus_)) {
      return;
    }
    run.attributes_.reset();
    for (int i = 0; i < attributeCount; ++i) {
      const xmlChar** a =
          attributes + std::ptrdiff_t{5} * i;  // local name, prefix, URI, value, value end
      std::string_view value(reinterpret_cast<const char*>(a[3]),
                             static_cast<std::size_t>(a[4] - a[3]));
      const char* ampersand = firstAmpersand(value.data(), value.data() + value.size());
      if (ampersand != value.data() + value.size()) {
        std::string& decoded = run.attributes_.keep();
        decodeAmpersands(value, ampersand, decoded);
        value = decoded;
      }
      run.attributes_.add(run.names_(a[0]), value);
    }
    run.answer(ctxt, run.content_->startElement(run.names_(localName), run.attributes_.items()));
  });
}

void Run::endElement(void* context, const xmlChar* localName, const xmlChar*, const xmlChar*) {
  guarded(context, [&](Run& run, xmlParserCtxtPtr ctxt) {
    run.flushText(ctxt);
    if (run.content_ != nullptr && !failed(run.stopStatus_)) {
      run.answer(ctxt, run.content_->endElement(run.names_(localName)));
    }
  });
}

// Text, CDATA sections and decoded references between two markup events are joined into one
// chunk, delivered at the next markup event.
void Run::characters(void* context, const xmlChar* text, int length) {
  Run& run = of(context);
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

void Run::collectGrowing(void* context, std::string_view chunk) {
  guarded(context, [chunk](Run& run, xmlParserCtxtPtr) { run.text_.appendGrowing(chunk); });
}

void Run::markup(void* context, const xmlChar*, const xmlChar*) {
  guarded(context, [](Run& run, xmlParserCtxtPtr ctxt) { run.flushText(ctxt); });
}

void Run::comment(void* context, const xmlChar*) {
  guarded(context, [](Run& run, xmlParserCtxtPtr ctxt) { run.flushText(ctxt); });
}

// Where the "<!DOCTYPE" of the declaration being parsed starts. libxml2 calls refuseDtd once the
// name and external id are read: the parser stands after them, and the declaration's start is
// still in its input buffer (counted back from where the parser stands); the parser's own
// position is taken when it is not.
Locator doctypeStart(xmlParserCtxtPtr context) {
  const xmlParserInputPtr input = context->input;
  const std::string_view before(reinterpret_cast<const char*>(input->base),
                                static_cast<std::size_t>(input->cur - input->base));
  const std::size_t start = before.rfind("<!DOCTYPE");
  if (start == std::string_view::npos) {
    return {input->line, input->col};
  }
  const auto characters = [](std::string_view text) {
    return static_cast<int>(std::count_if(text.begin(), text.end(), [](char c) {
      return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
  };
  const std::string_view declared = before.substr(start);
  const auto lines = static_cast<int>(std::count(declared.begin(), declared.end(), '\n'));
  if (lines == 0) {
    return {input->line, input->col - characters(declared)};
  }
  const std::size_t lineStart = before.rfind('\n', start);
  const std::size_t from = lineStart == std::string_view::npos ? 0 : lineStart + 1;
  return {input->line - lines, characters(before.substr(from, start - from)) + 1};
}

// A document type declaration is refused before its internal subset is read, so that nothing in
// it is declared, loaded or expanded.
void Run::refuseDtd(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
  guarded(context, [](Run& run, xmlParserCtxtPtr ctxt) {
    run.report(doctypeStart(ctxt), kDtdProhibitedMessage, kDtdProhibited);
    run.check(ctxt, kDtdProhibited);
  });
}

void Run::report(const Locator& at, std::string_view message, Status code) {
  if (errors_ != nullptr && !failed(stopStatus_)) {
    Locator locator = at;
    errors_->fatalError(locator, message, code);
  }
}

void Run::structuredError(void* context, xmlErrorPtr error) {
  if (context == nullptr || error == nullptr) {
    return;
  }
  guarded(context, [error](Run& run, xmlParserCtxtPtr) {
    const Status code = readerErrorStatus(error->code);
    if (error->level == XML_ERR_FATAL && !failed(run.errorStatus_)) {
      run.errorStatus_ = code;
    }
    if (run.errors_ == nullptr) {
      return;
    }
    std::string message = error->message != nullptr ? error->message : "";
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) {
      message.pop_back();
    }
    Locator locator(error->line, error->int2);
    switch (error->level) {
      case XML_ERR_WARNING:
        run.errors_->ignorableWarning(locator, message, code);
        break;
      case XML_ERR_ERROR:
        run.errors_->error(locator, message, code);
        break;
      default:
        run.errors_->fatalError(locator, message, code);
        break;
    }
  });
}

// A local path, or a file:// URL with percent-escapes; anything with another scheme is refused.
bool localPath(std::string_view url, std::string& path) {
  constexpr std::string_view kFileScheme = "file://";
  if (url.size() >= kFileScheme.size() &&
      xmlStrncasecmp(reinterpret_cast<const xmlChar*>(url.data()),
                     reinterpret_cast<const xmlChar*>(kFileScheme.data()),
                     static_cast<int>(kFileScheme.size())) == 0) {
    url.remove_prefix(kFileScheme.size());
    if (url.substr(0, 9) == "localhost") {
      url.remove_prefix(9);
    }
    if (url.empty() || url.front() != '/') {
      return false;
    }
    path.clear();
    for (std::size_t i = 0; i < url.size(); ++i) {
      const auto hex = [](char c) {
        return c >= '0' && c <= '9'   ? c - '0'
               : c >= 'a' && c <= 'f' ? c - 'a' + 10
               : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                      : -1;
      };
      if (url[i] == '%' && i + 2 < url.size() && hex(url[i + 1]) >= 0 && hex(url[i + 2]) >= 0) {
        path += static_cast<char>(hex(url[i + 1]) * 16 + hex(url[i + 2]));
        i += 2;
      } else {
        path += url[i];
      }
    }
    return true;
  }
  const std::size_t scheme = url.find("://");
  if (scheme != std::string_view::npos && url.find('/') > scheme) {
    return false;
  }
  path.assign(url);
  return !path.empty();
}

}  // namespace

void SaxReader::setContentSink(SaxContentSink* sink) {
  content_ = sink;
}
void SaxReader::setErrorSink(SaxErrorSink* sink) {
  errors_ = sink;
}

Status SaxReader::parse(std::string_view document, BadUtf8 badUtf8) {
  return Run(content_, errors_).parse(document, badUtf8);
}

Status SaxReader::parseUrl(std::string_view url) {
  std::string path;
  if (!localPath(url, path)) {
    return kInvalidArg;
  }
  return Run(content_, errors_).parseFile(path);
}

}  // namespace zt::platform
