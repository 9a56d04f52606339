#include "raw_libxml2.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlreader.h>
#include <libxml/xmlwriter.h>

#include <algorithm>
#include <cstring>

namespace zt::bench {

namespace {

constexpr int kOptions = XML_PARSE_NONET | XML_PARSE_NOWARNING | XML_PARSE_NOERROR;

void startElement(void*, const xmlChar*, const xmlChar*, const xmlChar*, int, const xmlChar**, int,
                  int, const xmlChar**) {}
void endElement(void*, const xmlChar*, const xmlChar*, const xmlChar*) {}
void characters(void*, const xmlChar*, int) {}

xmlSAXHandler noOpHandler() {
  xmlSAXHandler sax;
  std::memset(&sax, 0, sizeof sax);
  sax.initialized = XML_SAX2_MAGIC;
  sax.startElementNs = startElement;
  sax.endElementNs = endElement;
  sax.characters = characters;
  sax.cdataBlock = characters;
  sax.ignorableWhitespace = characters;
  return sax;
}

int run(xmlParserCtxtPtr context, int options) {
  if (context == nullptr) {
    return -1;
  }
  xmlSAXHandler sax = noOpHandler();
  std::memcpy(context->sax, &sax, sizeof sax);
  xmlCtxtUseOptions(context, options);
  xmlParseDocument(context);
  const int result = context->wellFormed ? 0 : context->errNo;
  if (context->myDoc != nullptr) {
    xmlFreeDoc(context->myDoc);
  }
  xmlFreeParserCtxt(context);
  return result;
}

}  // namespace

int rawSaxParse(std::string_view document) {
  return run(xmlCreateMemoryParserCtxt(document.data(), static_cast<int>(document.size())),
             kOptions | XML_PARSE_IGNORE_ENC);
}

int rawSaxPush(std::string_view document) {
  xmlSAXHandler sax = noOpHandler();
  xmlParserCtxtPtr context = xmlCreatePushParserCtxt(&sax, nullptr, nullptr, 0, nullptr);
  if (context == nullptr) {
    return -1;
  }
  xmlCtxtUseOptions(context, kOptions | XML_PARSE_IGNORE_ENC);
  constexpr std::size_t kChunk = 256 * 1024;
  for (std::size_t at = 0;;) {
    const std::size_t chunk = std::min(kChunk, document.size() - at);
    at += chunk;
    if (xmlParseChunk(context, document.data() + at - chunk, static_cast<int>(chunk),
                      at == document.size() ? 1 : 0) != 0 ||
        at == document.size()) {
      break;
    }
  }
  const int result = context->wellFormed ? 0 : context->errNo;
  xmlFreeParserCtxt(context);
  return result;
}

int rawSaxParseFile(const std::string& path) {
  return run(xmlCreateFileParserCtxt(path.c_str()), kOptions);
}

std::vector<WriteEvent> recordEvents(std::string_view document) {
  std::vector<WriteEvent> events;
  xmlTextReaderPtr reader = xmlReaderForMemory(document.data(), static_cast<int>(document.size()),
                                               nullptr, nullptr, kOptions | XML_PARSE_NOBLANKS);
  const auto text = [](const xmlChar* value) {
    return value == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(value));
  };
  while (reader != nullptr && xmlTextReaderRead(reader) == 1) {
    switch (xmlTextReaderNodeType(reader)) {
      case XML_READER_TYPE_ELEMENT: {
        const bool empty = xmlTextReaderIsEmptyElement(reader) == 1;
        events.push_back({WriteEvent::kStart, text(xmlTextReaderConstName(reader)), {}});
        while (xmlTextReaderMoveToNextAttribute(reader) == 1) {
          events.push_back({WriteEvent::kAttribute, text(xmlTextReaderConstName(reader)),
                            text(xmlTextReaderConstValue(reader))});
        }
        if (empty) {
          events.push_back({WriteEvent::kEnd, {}, {}});
        }
        break;
      }
      case XML_READER_TYPE_TEXT:
      case XML_READER_TYPE_CDATA:
        events.push_back({WriteEvent::kText, {}, text(xmlTextReaderConstValue(reader))});
        break;
      case XML_READER_TYPE_END_ELEMENT:
        events.push_back({WriteEvent::kEnd, {}, {}});
        break;
      default:
        break;
    }
  }
  xmlFreeTextReader(reader);
  return events;
}

std::string rawWrite(const std::vector<WriteEvent>& events) {
  xmlBufferPtr buffer = xmlBufferCreate();
  xmlTextWriterPtr writer = xmlNewTextWriterMemory(buffer, 0);
  xmlTextWriterSetIndent(writer, 1);
  xmlTextWriterStartDocument(writer, nullptr, "UTF-8", nullptr);
  for (const WriteEvent& event : events) {
    switch (event.kind) {
      case WriteEvent::kStart:
        xmlTextWriterStartElement(writer, BAD_CAST event.name.c_str());
        break;
      case WriteEvent::kAttribute:
        xmlTextWriterWriteAttribute(writer, BAD_CAST event.name.c_str(),
                                    BAD_CAST event.value.c_str());
        break;
      case WriteEvent::kText:
        xmlTextWriterWriteString(writer, BAD_CAST event.value.c_str());
        break;
      case WriteEvent::kEnd:
        xmlTextWriterEndElement(writer);
        break;
    }
  }
  xmlTextWriterEndDocument(writer);
  xmlFreeTextWriter(writer);
  std::string xml(reinterpret_cast<const char*>(xmlBufferContent(buffer)),
                  static_cast<std::size_t>(xmlBufferLength(buffer)));
  xmlBufferFree(buffer);
  return xml;
}

}  // namespace zt::bench
