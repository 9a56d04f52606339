// The 16 exports. Every Create builds a new tool on the heap; every Destroy is the same null-safe
// deleting call through slot 0 of the tool's table, so any tool may be given to any Destroy.
#include "zttools.h"

#include "log/log_manager.h"
#include "preset/preset_manager.h"
#include "tag/tag_manager.h"
#include "token/kora_token_parser.h"
#include "token/kora_token_parser_ex.h"
#include "xml/xml_parser.h"
#include "xml/xml_writer.h"
#include "xml/xml_xpath.h"

namespace {

KORAToolInterface* destroyTool(KORAToolInterface* object) {
  delete object;
  return nullptr;
}

}  // namespace

extern "C" {

KORALogManagerInterface* KORALogManagerFactory_Destroy(KORALogManagerInterface* object) {
  destroyTool(object);
  return nullptr;
}

KORAPresetManagerInterface* KORAPresetManagerFactory_Destroy(KORAPresetManagerInterface* object) {
  destroyTool(object);
  return nullptr;
}

KORATokenParserInterface* KORATokenParserFactory_Destroy(KORATokenParserInterface* object) {
  destroyTool(object);
  return nullptr;
}

KORAXmlParserInterface* KORAXmlParserFactory_Destroy(KORAXmlParserInterface* object) {
  destroyTool(object);
  return nullptr;
}

KORAXmlWriterInterface* KORAXmlWriterFactory_Destroy(KORAXmlWriterInterface* object) {
  destroyTool(object);
  return nullptr;
}

KORAXmlXPathInterface* KORAXmlXPathFactory_Destroy(KORAXmlXPathInterface* object) {
  destroyTool(object);
  return nullptr;
}

KORATagManagerInterface* KORATagManagerFactory_Destroy(KORATagManagerInterface* object) {
  destroyTool(object);
  return nullptr;
}

KORATokenParserExInterface* KORATokenParserExFactory_Destroy(KORATokenParserExInterface* object) {
  destroyTool(object);
  return nullptr;
}

// Create exports, one block per tool.

KORALogManagerInterface* KORALogManagerFactory_Create() {
  return new zt::log::KORALogManager();
}

KORAPresetManagerInterface* KORAPresetManagerFactory_Create() {
  return new zt::preset::KORAPresetManager();
}

KORATokenParserInterface* KORATokenParserFactory_Create() {
  return new zt::token::KORATokenParser();
}

KORAXmlParserInterface* KORAXmlParserFactory_Create() {
  return new zt::xml::KORAXmlParser();
}

KORAXmlWriterInterface* KORAXmlWriterFactory_Create() {
  return new zt::xml::KORAXmlWriter();
}

KORAXmlXPathInterface* KORAXmlXPathFactory_Create() {
  return new zt::xml::KORAXmlXPath();
}

KORATagManagerInterface* KORATagManagerFactory_Create() {
  return new zt::tag::KORATagManager();
}

KORATokenParserExInterface* KORATokenParserExFactory_Create() {
  return new zt::token::KORATokenParserEx();
}

}  // extern "C"
