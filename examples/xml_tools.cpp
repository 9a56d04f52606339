// A driver's use of the XML objects and the tag manager: write a settings document with
// attribute sets, read it back through a content handler, query it with XPath, and translate
// tag names through a tag store. Exits non-zero on any unexpected result.
#include <zttools.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

int failures = 0;

void check(bool ok, const std::string& what) {
  std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
  if (!ok) {
    ++failures;
  }
}

// Collects the "scan" elements' attributes and texts.
class SettingsHandler : public IKORAXmlContentHandler {
 public:
  std::vector<std::string> seen;

  int startDocument() override { return 0; }
  int endDocument() override { return 0; }
  int reserved(void*) override { return 0; }
  int startElement(const char* name) override {
    seen.push_back(std::string("<") + name);
    return 0;
  }
  int characters(const char* text) override {
    seen.push_back(text);
    return 0;
  }
  int endElement(const char*) override { return 0; }
  void startAttributes(const char*) override {}
  int attribute(const char* name, const char* value) override {
    seen.push_back(std::string(name) + "=" + value);
    return 0;
  }
  void endAttributes(const char*) override {}
  void setController(IKORAXmlContentController*) override {}
};

std::string writeFile(const std::string& dir, const char* name, const std::string& content) {
  const std::string path = dir + "/" + name;
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

}  // namespace

int main() {
  char pattern[] = "/tmp/xml_tools-XXXXXX";
  const char* dir = mkdtemp(pattern);
  if (dir == nullptr) {
    return 2;
  }

  // Write: one attribute per set, so that the attribute order is fixed.
  KORAXmlWriterInterface* writer = KORAXmlWriterFactory_Create();
  writer->setIndent(false);
  writer->startDocument();
  writer->startElement("settings", writer->createAttribute("version", 2, 0));
  writer->writeElement("scan", "front", false, writer->createAttribute("dpi", 300UL, 0));
  writer->writeElement("scan", "back & side", false, writer->createAttribute("mask", 255, 1));
  writer->endElement();
  writer->endDocument();
  const std::string xml = writer->getXml();
  check(xml ==
            "<settings version=\"2\"><scan dpi=\"300\">front</scan>"
            "<scan mask=\"0x000000ff\">back &amp; side</scan></settings>",
        "writer: " + xml);
  KORAXmlWriterFactory_Destroy(writer);

  // Parse the written file into the driver's handler.
  const std::string settings = writeFile(dir, "settings.xml", xml);
  KORAXmlParserInterface* parser = KORAXmlParserFactory_Create();
  SettingsHandler handler;
  const long status = parser->parseFile(settings.c_str(), &handler, nullptr);
  check(status == 0, "parseFile status " + std::to_string(status));
  check(
      handler.seen == std::vector<std::string>{"<settings", "version=2", "<scan", "dpi=300",
                                               "front", "<scan", "mask=0x000000ff", "back & side"},
      "parsed events");
  SettingsHandler broken;
  check(parser->parseString("<settings>", &broken, nullptr) < 0, "malformed text fails");
  KORAXmlParserFactory_Destroy(parser);

  // Query.
  KORAXmlXPathInterface* xpath = KORAXmlXPathFactory_Create();
  check(xpath->loadFile(settings.c_str()) == 0, "xpath loads the file");
  check(std::string(xpath->selectSingleNode("/settings/scan[@dpi]")) ==
            "<scan dpi=\"300\">front</scan>",
        "selectSingleNode");
  check(std::string(xpath->selectNodes("//scan/text()")) == "front\nback &amp; side\n",
        "selectNodes");
  const int count = xpath->selectNodes(
      "//scan", [](IXMLDOMNodeList* list) { return static_cast<int>(list->length()); });
  check(count == 2, "visitor sees both scans");
  KORAXmlXPathFactory_Destroy(xpath);

  // Translate tags.
  const std::string store =
      writeFile(dir, "tags.xml",
                "<vexkoratagstore><tags><tag name=\"Color\"><id>0x1</id><tagvalues>"
                "<tagvalue name=\"Red\"><value>0</value></tagvalue>"
                "<tagvalue name=\"Blue\"><value>1</value></tagvalue>"
                "</tagvalues></tag></tags></vexkoratagstore>");
  KORATagManagerInterface* tags = KORATagManagerFactory_Create();
  check(tags->load(store.c_str()), "tag store loads");
  check(tags->getTagId("Color") == 1, "tag id");
  check(tags->getValueId(1, "Blue") == 1, "value id");
  check(std::string(tags->getValueName(1, 0)) == "Red", "value name");
  check(tags->getTagId("Size") == KORA_TAG_NOT_FOUND, "absent tag");
  KORATagManagerFactory_Destroy(tags);

  unlink(settings.c_str());
  unlink(store.c_str());
  rmdir(dir);
  return failures == 0 ? 0 : 1;
}
