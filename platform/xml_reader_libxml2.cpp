// The SAX reader over libxml2's push and pull parsers: the parts that do not depend on the
// content sink's type (platform/xml_reader_libxml2.h has the rest), and the reader for the
// SaxContentSink interface.
#include "platform/xml_reader_libxml2.h"

#include <libxml/xmlerror.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "platform/regular_file.h"
#include "platform/utf8.h"

namespace zt::platform {

template class BasicSaxReader<SaxContentSink>;

Status readerErrorStatus(int errorNumber) {
  // A facility of its own (0xC00C) keeps reader errors apart from the generic statuses.
  return hresult(0xC00C0000u | (static_cast<uint32_t>(errorNumber) & 0xFFFFu));
}

namespace libxml2_reader {

namespace {

constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOWARNING | XML_PARSE_NOERROR;
// Text in memory is handed to the push parser in pieces: the parser copies what it is given
// into its own input buffer, and refuses to look ahead over more than 10 MB of unparsed input,
// so one piece of a large document would double its memory and then fail.
constexpr std::size_t kMemoryChunk = std::size_t{256} * 1024;

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

}  // namespace

std::size_t decodeAmpersands(std::string_view value, const char* ampersand, char* out) {
  constexpr std::size_t kReference = std::string_view("&#38;").size();
  const char* from = value.data();
  const char* const end = from + value.size();
  char* to = out;
  do {
    const auto run = static_cast<std::size_t>(ampersand - from) + 1;  // with the ampersand
    std::memcpy(to, from, run);
    to += run;
    from = ampersand + std::min(kReference, static_cast<std::size_t>(end - ampersand));
    ampersand = firstAmpersand(from, end);
  } while (ampersand != end);
  std::memcpy(to, from, static_cast<std::size_t>(end - from));
  return static_cast<std::size_t>(to - out) + static_cast<std::size_t>(end - from);
}

void TextRun::appendGrowing(std::string_view chunk) {
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

void RunBase::collectGrowing(void* context, std::string_view chunk) {
  guarded<RunBase>(context,
                   [chunk](RunBase& run, xmlParserCtxtPtr) { run.text_.appendGrowing(chunk); });
}

void RunBase::addCommonHandlers(xmlSAXHandler& sax) {
  sax.internalSubset = refuseDtd;
  sax.serror = structuredError;
}

xmlParserCtxtPtr RunBase::newContext(const xmlSAXHandler& sax) {
  xmlInitParser();
  xmlParserCtxtPtr context =
      xmlCreatePushParserCtxt(const_cast<xmlSAXHandler*>(&sax), nullptr, nullptr, 0, nullptr);
  if (context != nullptr) {
    context->_private = this;
  }
  return context;
}

Status RunBase::finish(xmlParserCtxtPtr context) {
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

// Fed in pieces; each is checked for UTF-8 while it is still in the cache on its way to the
// parser, and only a piece with bad bytes is copied to be repaired.
Status RunBase::parse(const xmlSAXHandler& sax, std::string_view document, SaxBadUtf8 badUtf8) {
  xmlParserCtxtPtr context = newContext(sax);
  if (context == nullptr) {
    return kOutOfMemory;
  }
  // In-memory text is always UTF-8, whatever a declaration in it says.
  xmlCtxtUseOptions(context, kParseOptions | XML_PARSE_IGNORE_ENC);
  const bool repair = badUtf8 == SaxBadUtf8::kReplace;
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
Status RunBase::parseFile(const xmlSAXHandler& sax, const std::string& path) {
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
  // The parser closes the file through the callback, even when it cannot be created.
  xmlParserCtxtPtr context = xmlCreateIOParserCtxt(const_cast<xmlSAXHandler*>(&sax), nullptr, read,
                                                   close, &source, XML_CHAR_ENCODING_NONE);
  if (context == nullptr) {
    return kOutOfMemory;
  }
  context->_private = this;
  xmlCtxtUseOptions(context, kParseOptions);
  xmlParseDocument(context);
  const Status parsed = finish(context);
  return source.failed ? readerErrorStatus(XML_IO_EIO) : parsed;
}

// A document type declaration is refused before its internal subset is read, so that nothing in
// it is declared, loaded or expanded.
void RunBase::refuseDtd(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
  guarded<RunBase>(context, [](RunBase& run, xmlParserCtxtPtr ctxt) {
    run.report(doctypeStart(ctxt), kDtdProhibitedMessage, kDtdProhibited);
    run.check(ctxt, kDtdProhibited);
  });
}

void RunBase::report(const Locator& at, std::string_view message, Status code) {
  if (errors_ != nullptr && !failed(stopStatus_)) {
    Locator locator = at;
    errors_->fatalError(locator, message, code);
  }
}

void RunBase::structuredError(void* context, xmlErrorPtr error) {
  if (context == nullptr || error == nullptr) {
    return;
  }
  guarded<RunBase>(context, [error](RunBase& run, xmlParserCtxtPtr) {
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

}  // namespace libxml2_reader

}  // namespace zt::platform
