#include "platform/xml_writer.h"

#include <array>
#include <cstring>

#include "platform/short_bytes.h"
#include "platform/utf8.h"

namespace zt::platform {

namespace {

// Bytes appendText copies as they are, for element text with escaping (0), element text without
// it (1) and attribute values (2): printable ASCII, less the markup characters each escapes.
// Everything else takes the slow path: a reference, or a character that is checked whole.
constexpr auto kPlainBytes = [] {
  std::array<std::array<bool, 256>, 3> plain{};
  for (auto& bytes : plain) {
    for (int c = 0x20; c < 0x7F; ++c) {
      bytes[static_cast<std::size_t>(c)] = true;
    }
  }
  for (const char c : {'&', '<', '>'}) {
    plain[0][static_cast<unsigned char>(c)] = false;
    plain[2][static_cast<unsigned char>(c)] = false;
  }
  plain[2]['"'] = false;
  return plain;
}();

// Where the run of plain bytes from `at` ends. Kept apart so that the loop keeps its few values
// in registers.
[[gnu::always_inline]] inline const char* plainRunEnd(const std::array<bool, 256>& plain,
                                                      const char* at, const char* end) {
  while (at != end && plain[static_cast<unsigned char>(*at)]) {
    ++at;
  }
  return at;
}

// Copies `text` to `at`; returns where it ends.
char* put(char* at, std::string_view text) {
  copyShort(at, text.data(), text.size());
  return at + text.size();
}

// Writes at `at` the line break of `length` bytes that XmlWriter::lineBreakLength() measured
// (nothing for 0); returns where it ends.
char* putLineBreak(char* at, std::size_t length) {
  if (length != 0) {
    *at++ = '\r';
    *at++ = '\n';
    std::memset(at, '\t', length - 2);
    at += length - 2;
  }
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
bool XmlWriter::isPlain(std::string_view text, bool attribute) const {
  const auto& plainByte = kPlainBytes[attribute ? 2 : disableOutputEscaping_ ? 1 : 0];
  const char* end = text.data() + text.size();
  return plainRunEnd(plainByte, text.data(), end) == end;
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
    char* at = out_.extend((startTagOpen_ ? 1 : 0) + lineBreak + 1 + qualifiedName.size());
    if (startTagOpen_) {
      *at++ = '>';
    }
    at = putLineBreak(at, lineBreak);
    *at++ = '<';
    put(at, qualifiedName);
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
    char* at = out_.extend(qualifiedName.size() + value.size() + 4);
    *at++ = ' ';
    at = put(at, qualifiedName);
    *at++ = '=';
    *at++ = '"';
    at = put(at, value);
    *at = '"';
    return kOk;
  }
  out_ += ' ';
  appendText(qualifiedName, false);
  out_ += "=\"";
  appendText(value, true);
  out_ += '"';
  return kOk;
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
    char* at = putLineBreak(out_.extend(lineBreak + 3 + qualifiedName.size()), lineBreak);
    *at++ = '<';
    *at++ = '/';
    at = put(at, qualifiedName);
    *at = '>';
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
  closePendingStartTag();
  if (inCdata_) {
    appendCdata(text);
  } else {
    appendText(text, false);
  }
  afterText_ = true;
  return kOk;
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
  const auto& plainByte = kPlainBytes[attribute ? 2 : escape ? 0 : 1];
  std::size_t plain = 0;  // start of the run not yet copied
  std::size_t i = 0;
  auto copyRun = [&] { out_.append(text.data() + plain, i - plain); };
  while (i < text.size()) {
    i = static_cast<std::size_t>(
        plainRunEnd(plainByte, text.data() + i, text.data() + text.size()) - text.data());
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
