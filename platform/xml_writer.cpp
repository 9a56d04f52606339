#include "platform/xml_writer.h"

#include <emmintrin.h>

#include <bit>
#include <cstdint>
#include <cstring>

#include "platform/short_bytes.h"
#include "platform/utf8.h"

namespace zt::platform {

namespace {

// The bytes appendText copies as they are: printable ASCII, less the markup characters that are
// escaped where the text goes (`&`, `<` and `>` unless escaping is off, and `"` in attribute
// values). Everything else takes the slow path: a reference, or a character that is checked whole.
struct PlainBytes {
  bool markup;  // `&`, `<` and `>` are not plain
  bool quote;   // nor is `"`
};

// Marks with 0xFF each byte of `bytes` that is not plain. Read as signed, every byte above ASCII
// is below 0x20, so one comparison takes the controls and the non-ASCII bytes together.
[[gnu::always_inline]] inline __m128i notPlain(__m128i bytes, PlainBytes plain) {
  const auto is = [&](char c) { return _mm_cmpeq_epi8(bytes, _mm_set1_epi8(c)); };
  __m128i marked = _mm_or_si128(_mm_cmplt_epi8(bytes, _mm_set1_epi8(0x20)), is(0x7F));
  if (plain.markup) {
    marked = _mm_or_si128(marked, _mm_or_si128(is('&'), _mm_or_si128(is('<'), is('>'))));
  }
  if (plain.quote) {
    marked = _mm_or_si128(marked, is('"'));
  }
  return marked;
}

[[gnu::always_inline]] inline unsigned notPlainMask(__m128i bytes, PlainBytes plain) {
  return static_cast<unsigned>(_mm_movemask_epi8(notPlain(bytes, plain)));
}

template <typename Piece>
[[gnu::always_inline]] inline __m128i loadPiece(const char* at) {
  Piece piece{};
  std::memcpy(&piece, at, sizeof piece);
  if constexpr (sizeof piece == 8) {
    return _mm_cvtsi64_si128(static_cast<long long>(piece));
  } else {
    return _mm_cvtsi32_si128(static_cast<int>(piece));
  }
}

// Where the run of plain bytes from `at` ends. Names, values and texts are mostly a few bytes, so
// the short ones are classified at once too, without reading past their end: from 4 to 15 bytes
// as two pieces that overlap (the lower one first, so the first marked byte is the first in the
// text), from 1 to 3 as the first, middle and last byte; longer ones 16 bytes at a time.
[[gnu::always_inline]] inline const char* plainRunEnd(PlainBytes plain, const char* at,
                                                      const char* end) {
  const auto length = static_cast<std::size_t>(end - at);
  if (length >= 16) {
    const char* last = end - 16;
    for (;;) {
      const unsigned marked =
          notPlainMask(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), plain);
      if (marked != 0) {
        return at + std::countr_zero(marked);
      }
      if (at == last) {
        return end;
      }
      at = at + 16 < last ? at + 16 : last;
    }
  }
  if (length >= 8) {
    const unsigned marked = notPlainMask(
        _mm_unpacklo_epi64(loadPiece<uint64_t>(at), loadPiece<uint64_t>(end - 8)), plain);
    if (marked == 0) {
      return end;
    }
    const int first = std::countr_zero(marked);
    return first < 8 ? at + first : end - 16 + first;
  }
  if (length >= 4) {
    const unsigned marked =
        notPlainMask(_mm_unpacklo_epi32(loadPiece<uint32_t>(at), loadPiece<uint32_t>(end - 4)),
                     plain) &
        0xFF;
    if (marked == 0) {
      return end;
    }
    const int first = std::countr_zero(marked);
    return first < 4 ? at + first : end - 8 + first;
  }
  if (length == 0) {
    return end;
  }
  const std::size_t middle = length / 2;
  const int bytes = static_cast<unsigned char>(at[0]) |
                    static_cast<unsigned char>(at[middle]) << 8 |
                    static_cast<unsigned char>(at[length - 1]) << 16;
  const unsigned marked = notPlainMask(_mm_cvtsi32_si128(bytes), plain) & 0x7;
  if (marked == 0) {
    return end;
  }
  const int first = std::countr_zero(marked);
  return at + (first == 0 ? 0 : first == 1 ? middle : length - 1);
}

// Copies `text` to `at`; returns where it ends.
char* put(char* at, std::string_view text) {
  copyShort(at, text.data(), text.size());
  return at + text.size();
}

// Writes at `at` the line break of `length` bytes that XmlWriter::lineBreakLength() measured
// (nothing for 0); returns where it ends.
char* putLineBreak(char* at, std::size_t length) {
  static constexpr std::string_view kTabs = "\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t";
  if (length != 0) {
    *at++ = '\r';
    *at++ = '\n';
    const std::size_t tabs = length - 2;
    if (tabs <= kTabs.size()) {
      copyShort(at, kTabs.data(), tabs);  // the usual depth, without a call
    } else {
      std::memset(at, '\t', tabs);
    }
    at += tabs;
  }
  return at;
}

// The pieces of a tag whose name and values need no escaping, as the plain paths write them
// into room already made: the lengths say how much room each takes.
constexpr std::size_t startTagLength(bool closeOpenTag, std::size_t lineBreak,
                                     std::string_view name) {
  return (closeOpenTag ? 1 : 0) + lineBreak + 1 + name.size();
}

// The '>' of a start tag still open when `closeOpenTag`, the line break of `lineBreak` bytes and
// `<name`.
char* putStartTag(char* at, bool closeOpenTag, std::size_t lineBreak, std::string_view name) {
  if (closeOpenTag) {
    *at++ = '>';
  }
  at = putLineBreak(at, lineBreak);
  *at++ = '<';
  return put(at, name);
}

constexpr std::size_t attributeLength(std::string_view name, std::string_view value) {
  return name.size() + value.size() + 4;
}

// ` name="value"`.
char* putAttribute(char* at, std::string_view name, std::string_view value) {
  *at++ = ' ';
  at = put(at, name);
  *at++ = '=';
  *at++ = '"';
  at = put(at, value);
  *at++ = '"';
  return at;
}

constexpr std::size_t endTagLength(std::string_view name) {
  return name.size() + 3;
}

// `</name>`.
char* putEndTag(char* at, std::string_view name) {
  *at++ = '<';
  *at++ = '/';
  at = put(at, name);
  *at++ = '>';
  return at;
}

// Writes U+FFFD for what starts `text` and XML cannot carry, and returns how many bytes it stands
// for: a whole character that XML forbids (a control, U+FFFE, U+FFFF), or one byte that is not
// part of a well-formed UTF-8 sequence.
std::size_t replaceUncarried(TextBuffer& out, std::string_view text) {
  out += kReplacementCharacter;
  char32_t ignored = 0;
  const std::size_t length = utf8SequenceAt(text, 0, ignored);
  return length == 0 ? 1 : length;
}

}  // namespace

XmlWriter::XmlWriter() = default;
XmlWriter::~XmlWriter() = default;

std::string_view XmlWriter::output() const {
  return out_.view();
}

void XmlWriter::resetOutput() {
  out_.clear();
  depth_ = 0;
  startTagOpen_ = afterText_ = anyTag_ = inCdata_ = false;
}

Status XmlWriter::flush() {
  return kOk;
}

Status XmlWriter::startDocument() {
  depth_ = 0;
  anyTag_ = afterText_ = false;
  if (!omitXmlDeclaration_) {
    // The writer names the encoding of its own in-memory text; callers that want the configured
    // name in the declaration put it there when they fetch the text.
    out_ += "<?xml version=\"";
    appendText(version_, true);
    out_ += R"(" encoding="UTF-16" standalone=")";
    out_ += standalone_ ? "yes" : "no";
    out_ += "\"?>\r\n";
  }
  return kOk;
}

Status XmlWriter::endDocument() {
  closePendingStartTag();
  return kOk;
}

void XmlWriter::closePendingStartTag() {
  if (startTagOpen_) {
    out_ += '>';
    startTagOpen_ = false;
  }
}

// Tags start on a line of their own, indented by depth, except the first tag of a document and
// a tag right after character data, so that text stays on its element's line.
void XmlWriter::breakLine() {
  if (indent_ && anyTag_ && !afterText_) {
    out_ += "\r\n";
    out_.append(static_cast<std::size_t>(depth_), '\t');
  }
}

// The pieces of a tag go into the text with one test for room and one terminator when its name
// (and value) needs no escaping, as nearly all do; the rest takes the escaping path piece by piece.
[[gnu::always_inline]] inline bool XmlWriter::isPlain(std::string_view text, bool attribute) const {
  const char* end = text.data() + text.size();
  return plainRunEnd({attribute || !disableOutputEscaping_, attribute}, text.data(), end) == end;
}

// The length of what breakLine() would write now.
std::size_t XmlWriter::lineBreakLength() const {
  return indent_ && anyTag_ && !afterText_ ? 2 + static_cast<std::size_t>(depth_) : 0;
}

Status XmlWriter::startElement(std::string_view qualifiedName, const XmlAttributeList* attributes) {
  return writeStartTag(qualifiedName, isPlain(qualifiedName, false), attributes);
}

Status XmlWriter::startElement(CheckedName name, const XmlAttributeList* attributes) {
  return writeStartTag(name.text, true, attributes);
}

Status XmlWriter::writeStartTag(std::string_view qualifiedName, bool plainName,
                                const XmlAttributeList* attributes) {
  if (plainName) {
    const std::size_t lineBreak = lineBreakLength();
    putStartTag(out_.extend(startTagLength(startTagOpen_, lineBreak, qualifiedName)), startTagOpen_,
                lineBreak, qualifiedName);
  } else {
    closePendingStartTag();
    breakLine();
    out_ += '<';
    appendEscaped(qualifiedName, false);
  }
  startTagOpen_ = true;
  anyTag_ = true;
  afterText_ = false;
  ++depth_;
  if (attributes != nullptr) {
    for (const auto& [name, value] : attributes->items()) {
      attribute(name, value);
    }
  }
  return kOk;
}

Status XmlWriter::attribute(std::string_view qualifiedName, std::string_view value) {
  return writeAttribute(qualifiedName, isPlain(qualifiedName, false), value);
}

Status XmlWriter::attribute(CheckedName name, std::string_view value) {
  return writeAttribute(name.text, true, value);
}

Status XmlWriter::writeAttribute(std::string_view qualifiedName, bool plainName,
                                 std::string_view value) {
  if (!startTagOpen_) {
    return kOk;
  }
  if (plainName && isPlain(value, true)) {
    putAttribute(out_.extend(attributeLength(qualifiedName, value)), qualifiedName, value);
    return kOk;
  }
  writeEscapedAttribute(qualifiedName, value);
  return kOk;
}

void XmlWriter::writeEscapedAttribute(std::string_view qualifiedName, std::string_view value) {
  out_ += ' ';
  appendText(qualifiedName, false);
  out_ += "=\"";
  appendText(value, true);
  out_ += '"';
}

Status XmlWriter::endElement(std::string_view qualifiedName) {
  return writeEndTag(qualifiedName, isPlain(qualifiedName, false));
}

Status XmlWriter::endElement(CheckedName name) {
  return writeEndTag(name.text, true);
}

Status XmlWriter::writeEndTag(std::string_view qualifiedName, bool plainName) {
  if (depth_ > 0) {
    --depth_;
  }
  if (startTagOpen_) {
    out_ += "/>";
    startTagOpen_ = false;
  } else if (plainName) {
    const std::size_t lineBreak = lineBreakLength();
    putEndTag(putLineBreak(out_.extend(lineBreak + endTagLength(qualifiedName)), lineBreak),
              qualifiedName);
  } else {
    breakLine();
    out_ += "</";
    appendEscaped(qualifiedName, false);
    out_ += '>';
  }
  anyTag_ = true;
  afterText_ = false;
  return kOk;
}

Status XmlWriter::characters(std::string_view text) {
  if (text.empty()) {
    return kOk;
  }
  if (!inCdata_ && isPlain(text, false)) {
    char* at = out_.extend((startTagOpen_ ? 1 : 0) + text.size());
    if (startTagOpen_) {
      *at++ = '>';
      startTagOpen_ = false;
    }
    put(at, text);
    afterText_ = true;
    return kOk;
  }
  writeEscapedCharacters(text);
  return kOk;
}

void XmlWriter::writeEscapedCharacters(std::string_view text) {
  closePendingStartTag();
  if (inCdata_) {
    appendCdata(text);
  } else {
    appendText(text, false);
  }
  afterText_ = true;
}

bool XmlWriter::writePlainElement(CheckedName name, std::span<const AttributeText> attributes,
                                  std::string_view text) {
  if (inCdata_ || text.empty() || !isPlain(text, false)) {
    return false;
  }
  // The start tag, its attributes, '>', the text and the end tag.
  const std::size_t lineBreak = lineBreakLength();
  std::size_t length = startTagLength(startTagOpen_, lineBreak, name.text) + 1 + text.size() +
                       endTagLength(name.text);
  for (const AttributeText& attribute : attributes) {
    if (!isPlain(attribute.value, true)) {
      return false;
    }
    length += attributeLength(attribute.name, attribute.value);
  }
  char* at = putStartTag(out_.extend(length), startTagOpen_, lineBreak, name.text);
  for (const AttributeText& attribute : attributes) {
    at = putAttribute(at, attribute.name, attribute.value);
  }
  *at++ = '>';
  putEndTag(put(at, text), name.text);
  // As after the end tag: the text kept the end tag on its line.
  startTagOpen_ = false;
  anyTag_ = true;
  afterText_ = false;
  return true;
}

Status XmlWriter::startCdata() {
  closePendingStartTag();
  out_ += "<![CDATA[";
  inCdata_ = true;
  return kOk;
}

Status XmlWriter::endCdata() {
  if (inCdata_) {
    out_ += "]]>";
    inCdata_ = false;
    afterText_ = true;
  }
  return kOk;
}

// Escapes markup characters (and quotes in attribute values) and replaces what XML cannot
// carry. A CR is written as a reference so that it survives reading back; in attribute values
// TAB and LF are too, because readers normalise them to spaces there. Runs of plain bytes are
// found through a table and copied whole; a text that is one such run, as names and most values
// are, is copied without setting up the escaping loop.
void XmlWriter::appendText(std::string_view text, bool attribute) {
  if (isPlain(text, attribute)) {
    out_.append(text.data(), text.size());
    return;
  }
  appendEscaped(text, attribute);
}

void XmlWriter::appendEscaped(std::string_view text, bool attribute) {
  const bool escape = attribute || !disableOutputEscaping_;
  const PlainBytes plainBytes{escape, attribute};
  std::size_t plain = 0;  // start of the run not yet copied
  std::size_t i = 0;
  auto copyRun = [&] { out_.append(text.data() + plain, i - plain); };
  while (i < text.size()) {
    i = static_cast<std::size_t>(
        plainRunEnd(plainBytes, text.data() + i, text.data() + text.size()) - text.data());
    if (i == text.size()) {
      break;
    }
    const char c = text[i];
    const char* replacement = nullptr;
    std::size_t length = 1;
    if (c == '\r') {
      replacement = "&#13;";
    } else if (escape && c == '&') {
      replacement = "&amp;";
    } else if (escape && c == '<') {
      replacement = "&lt;";
    } else if (escape && c == '>') {
      replacement = "&gt;";
    } else if (attribute && c == '"') {
      replacement = "&quot;";
    } else if (attribute && c == '\n') {
      replacement = "&#10;";
    } else if (attribute && c == '\t') {
      replacement = "&#9;";
    } else {
      length = xmlCharacterLength(text.substr(i));
      if (length == 0) {
        copyRun();
        length = replaceUncarried(out_, text.substr(i));
        plain = i + length;
      }
      i += length;
      continue;
    }
    copyRun();
    out_ += replacement;
    plain = ++i;
  }
  copyRun();
}

// CDATA content is written raw, except that "]]>" is split across two sections and a CR closes
// the section around a character reference, so the document stays well-formed and the CR
// survives reading back.
void XmlWriter::appendCdata(std::string_view text) {
  std::size_t plain = 0;
  std::size_t i = 0;
  auto copyRun = [&] { out_.append(text.data() + plain, i - plain); };
  while (i < text.size()) {
    const char c = text[i];
    if (c >= 0x20 && c < 0x7F && c != ']') {
      ++i;
    } else if (c == '\r') {
      copyRun();
      out_ += "]]>&#13;<![CDATA[";
      plain = ++i;
    } else if (c == ']' && text.substr(i, 3) == "]]>") {
      i += 2;
      copyRun();
      out_ += "]]><![CDATA[>";
      plain = ++i;
    } else {
      std::size_t length = xmlCharacterLength(text.substr(i));
      if (length == 0) {
        copyRun();
        length = replaceUncarried(out_, text.substr(i));
        plain = i + length;
      }
      i += length;
    }
  }
  copyRun();
}

}  // namespace zt::platform
