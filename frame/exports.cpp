// The 16 exports. Every Create builds a new tool on the heap, behind the boundary that keeps
// running out of memory inside an operation from leaving it as an exception; every Destroy is the
// same null-safe deleting call through slot 0 of the tool's table, so any tool may be given to any
// Destroy.
#include "zttools.h"

#include "frame/guarded_tools.h"

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
  return new zt::frame::GuardedLogManager();
}

KORAPresetManagerInterface* KORAPresetManagerFactory_Create() {
  return new zt::frame::GuardedPresetManager();
}

KORATokenParserInterface* KORATokenParserFactory_Create() {
  return new zt::frame::GuardedTokenParser();
}

KORAXmlParserInterface* KORAXmlParserFactory_Create() {
  return new zt::frame::GuardedXmlParser();
}

KORAXmlWriterInterface* KORAXmlWriterFactory_Create() {
  return new zt::frame::GuardedXmlWriter();
}

KORAXmlXPathInterface* KORAXmlXPathFactory_Create() {
  return new zt::frame::GuardedXmlXPath();
}

KORATagManagerInterface* KORATagManagerFactory_Create() {
  return new zt::frame::GuardedTagManager();
}

KORATokenParserExInterface* KORATokenParserExFactory_Create() {
  return new zt::frame::GuardedTokenParserEx();
}

}  // extern "C"
