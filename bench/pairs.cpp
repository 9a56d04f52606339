#include "pairs.h"

#include <fcntl.h>
#include <libxml/xmlwriter.h>
#include <libxml/xpath.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "floor_writer.h"
#include "inputs.h"
#include "raw_libxml2.h"
#include "zttools.h"

namespace zt::bench {
namespace {

constexpr std::size_t kDocumentBytes = 32u << 20;
constexpr std::size_t kXPathDocumentBytes = 4u << 20;
constexpr int kWrittenElements = 1'000'000;
constexpr int kAttributeSetElements = 200'000;
constexpr int kFormats = 500;
constexpr int kLogFiles = 100'000;
constexpr int kTags = 50'000;
constexpr const char* kXPath = "/catalogue/record[@type='b']/name";

void check(bool ok, const char* what) {
  if (!ok) {
    throw std::runtime_error(what);
  }
}

// A generated input, made on first use and kept.
template <typename Make>
const std::string& kept(const std::string& name, Make make) {
  static std::map<std::string, std::string> inputs;
  auto found = inputs.find(name);
  if (found == inputs.end()) {
    found = inputs.emplace(name, make()).first;
  }
  return found->second;
}

// A generated file in the data folder, written on first use; its path.
template <typename Make>
const std::string& dataFile(const std::string& name, Make make) {
  return kept("file:" + name, [&] {
    std::string path = dataFolder() + "/" + name;
    writeFile(path, make());
    return path;
  });
}

const std::string& document(Text text) {
  return kept(text == Text::kMixed ? "mixed" : "ascii",
              [text] { return catalogue(kDocumentBytes, text); });
}

class NoOpHandler final : public IKORAXmlContentHandler {
 public:
  int startDocument() override { return 0; }
  int endDocument() override { return 0; }
  int reserved(void*) override { return 0; }
  int startElement(const char*) override { return 0; }
  int characters(const char*) override { return 0; }
  int endElement(const char*) override { return 0; }
  void startAttributes(const char*) override {}
  int attribute(const char*, const char*) override { return 0; }
  void endAttributes(const char*) override {}
  void setController(IKORAXmlContentController*) override {}
};

// Releases a factory-made object through its Destroy export.
template <typename T, T* (*Destroy)(T*)>
struct Destroyer {
  void operator()(T* object) const { Destroy(object); }
};
using XmlParser = std::unique_ptr<KORAXmlParserInterface,
                                  Destroyer<KORAXmlParserInterface, KORAXmlParserFactory_Destroy>>;
using XmlWriter = std::unique_ptr<KORAXmlWriterInterface,
                                  Destroyer<KORAXmlWriterInterface, KORAXmlWriterFactory_Destroy>>;

// --- parseBuffer of a 32 MB document ------------------------------------------------------------

Pair parsePair(Text text) {
  const bool mixed = text == Text::kMixed;
  return {
      mixed ? "parse-mixed" : "parse",
      mixed ? "parseBuffer 32 MB mixed vs libxml2 SAX2" : "parseBuffer 32 MB vs libxml2 SAX2",
      mixed ? 1.20 : 1.15,
      [text] {
        static const XmlParser parser(KORAXmlParserFactory_Create());
        const std::string& xml = document(text);
        NoOpHandler handler;
        check(parser->parseBuffer(xml.data(), static_cast<int>(xml.size()), &handler, nullptr) == 0,
              "parseBuffer failed");
      },
      [text] { check(rawSaxPush(document(text)) == 0, "libxml2 parse failed"); }};
}

// --- selectNodes in text form -------------------------------------------------------------------

const std::string& xpathDocument() {
  return kept("xpath", [] { return catalogue(kXPathDocumentBytes); });
}

Pair xpathPair() {
  return {"xpath", "selectNodes text vs xmlXPathEval+xmlNodeDump", 1.05,
          [] {
            static KORAXmlXPathInterface* const xpath = [] {
              KORAXmlXPathInterface* made = KORAXmlXPathFactory_Create();
              check(made->loadXml(xpathDocument().c_str()) == 0, "loadXml failed");
              return made;
            }();
            check(*xpath->selectNodes(kXPath) != '\0', "selectNodes found nothing");
          },
          [] {
            static const xmlDocPtr doc = [] {
              const std::string& text = xpathDocument();
              xmlDocPtr made =
                  xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr,
                                XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
              check(made != nullptr, "xmlReadMemory failed");
              return made;
            }();
            xmlXPathContextPtr context = xmlXPathNewContext(doc);
            xmlXPathObjectPtr result =
                xmlXPathEval(reinterpret_cast<const xmlChar*>(kXPath), context);
            xmlBufferPtr out = xmlBufferCreate();
            if (result != nullptr && result->nodesetval != nullptr) {
              for (int i = 0; i < result->nodesetval->nodeNr; ++i) {
                xmlNodeDump(out, doc, result->nodesetval->nodeTab[i], 0, 0);
                xmlBufferCCat(out, "\n");
              }
            }
            check(xmlBufferLength(out) > 0, "xmlXPathEval found nothing");
            xmlBufferFree(out);
            xmlXPathFreeObject(result);
            xmlXPathFreeContext(context);
          }};
}

// --- writing 1 000 000 elements with attributes, indented ---------------------------------------

// The writer pair's document of `elements` elements through the library, handed to `use` where
// the writer keeps it.
template <typename Use>
auto withWriterDocument(int elements, Use use) {
  const XmlWriter writer(KORAXmlWriterFactory_Create());
  IKORAXmlAttribute* attributes = writer->createAttribute();
  writer->startDocument();
  writer->startElement("pages", nullptr);
  for (int i = 0; i < elements; ++i) {
    attributes->clear()->addAttribute("id", i)->addAttribute("kind", "scan");
    writer->writeElement("page", "front side", false, attributes);
  }
  writer->endElement();
  writer->endDocument();
  return use(writer->getXml());
}

std::string writerDocument(int elements) {
  return withWriterDocument(elements, [](const char* xml) { return std::string(xml); });
}

// The writer pair's document through the library; its length. The text is measured where the
// writer keeps it, not copied.
std::size_t writeOurs() {
  return withWriterDocument(kWrittenElements, [](const char* xml) { return std::strlen(xml); });
}

Pair writerPair() {
  return {"writer", "writer 1e6 elements vs xmlTextWriter", 0.6, [] { writeOurs(); },
          [] {
            xmlBufferPtr buffer = xmlBufferCreate();
            xmlTextWriterPtr writer = xmlNewTextWriterMemory(buffer, 0);
            xmlTextWriterSetIndent(writer, 1);
            xmlTextWriterStartElement(writer, BAD_CAST "pages");
            char number[16];
            for (int i = 0; i < kWrittenElements; ++i) {
              std::snprintf(number, sizeof number, "%d", i);
              xmlTextWriterStartElement(writer, BAD_CAST "page");
              xmlTextWriterWriteAttribute(writer, BAD_CAST "id", BAD_CAST number);
              xmlTextWriterWriteAttribute(writer, BAD_CAST "kind", BAD_CAST "scan");
              xmlTextWriterWriteString(writer, BAD_CAST "front side");
              xmlTextWriterEndElement(writer);
            }
            xmlTextWriterEndElement(writer);
            xmlFreeTextWriter(writer);
            check(xmlBufferLength(buffer) > 0, "xmlTextWriter wrote nothing");
            xmlBufferFree(buffer);
          }};
}

Pair writerFloorPair() {
  return {"writer-floor", "writer 1e6 elements vs std::string appender", 1.5, [] { writeOurs(); },
          [] {
            static const bool same = floorDocument(1000) == writerDocument(1000);
            check(same, "the floor writes other bytes than the writer");
            check(!floorDocument(kWrittenElements).empty(), "the floor wrote nothing");
          }};
}

// A diagnostic for writer-floor: the floor plus only the attribute-set work that the interface
// fixes (a hash map per set, written in its order), against the floor. Its ratio is the least
// writer-floor can come down to.
Pair writerMapPair() {
  return {"writer-map", "diagnostic: floor with the set's hash map vs floor", 1.5,
          [] {
            static const bool same = mapFloorDocument(1000) == writerDocument(1000);
            check(same, "the floor with a map writes other bytes than the writer");
            check(!mapFloorDocument(kWrittenElements).empty(), "the floor wrote nothing");
          },
          [] { check(!floorDocument(kWrittenElements).empty(), "the floor wrote nothing"); }};
}

// One attribute set per element, made by the writer, against one set cleared for each element.
Pair attributeSetsPair() {
  return {"writer-sets", "writer 2e5 elements, a set each vs one set", 1.3,
          [] {
            const XmlWriter writer(KORAXmlWriterFactory_Create());
            writer->startElement("items", nullptr);
            for (int i = 0; i < kAttributeSetElements; ++i) {
              writer->writeElement("item", "text", false, writer->createAttribute("id", i, 0));
            }
            writer->endElement();
            check(*writer->getXml() != '\0', "writer wrote nothing");
          },
          [] {
            const XmlWriter writer(KORAXmlWriterFactory_Create());
            IKORAXmlAttribute* shared = writer->createAttribute();
            writer->startElement("items", nullptr);
            for (int i = 0; i < kAttributeSetElements; ++i) {
              writer->writeElement("item", "text", false, shared->clear()->addAttribute("id", i));
            }
            writer->endElement();
            check(*writer->getXml() != '\0', "writer wrote nothing");
          }};
}

// --- processTokens of a batch of different format strings ---------------------------------------

const std::vector<std::string>& formats() {
  static const std::vector<std::string> list = tokenFormats(kFormats);
  return list;
}

Pair tokensPair() {
  return {"tokens", "processTokens 500 formats vs xmlTextWriter", 1.0,
          [] {
            static KORATokenParserInterface* const parser = KORATokenParserFactory_Create();
            std::string xml;
            for (const std::string& format : formats()) {
              parser->processTokens(format.c_str(), xml);
              check(!xml.empty(), "processTokens wrote nothing");
            }
          },
          // The same processedtokens documents, taken from the library once and written again
          // through xmlTextWriter event by event, a writer per document.
          [] {
            static const std::vector<std::vector<WriteEvent>> documents = [] {
              KORATokenParserInterface* parser = KORATokenParserFactory_Create();
              std::vector<std::vector<WriteEvent>> recorded;
              std::string xml;
              for (const std::string& format : formats()) {
                parser->processTokens(format.c_str(), xml);
                recorded.push_back(recordEvents(xml));
                check(!recorded.back().empty(), "no processedtokens events");
              }
              KORATokenParserFactory_Destroy(parser);
              return recorded;
            }();
            for (const std::vector<WriteEvent>& events : documents) {
              check(!rawWrite(events).empty(), "xmlTextWriter wrote nothing");
            }
          }};
}

// --- removeAll on a tree of 100 000 files (plans only: nothing is deleted) ----------------------

const std::string& logFolder() {
  static const std::string path = [] {
    std::string root = dataFolder() + "/logs";
    logTree(root, kLogFiles);
    return root;
  }();
  return path;
}

Pair logsPair() {
  return {
      "logs", "removeAll 100000 files vs find", 1.2,
      [] {
        KORALogManagerInterface* logs = KORALogManagerFactory_Create();
        logs->setPath(logFolder());
        check(logs->removeAll() > 0, "removeAll found no log files");
        check(!logs->getReport().empty(), "no report");
        KORALogManagerFactory_Destroy(logs);
      },
      [] {
        const std::string& root = logFolder();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        char* argv[] = {const_cast<char*>("find"),
                        const_cast<char*>(root.c_str()),
                        const_cast<char*>("-type"),
                        const_cast<char*>("f"),
                        const_cast<char*>("-iname"),
                        const_cast<char*>("*.log"),
                        const_cast<char*>("-printf"),
                        const_cast<char*>("%s %T@\\n"),
                        nullptr};
        pid_t child = 0;
        check(posix_spawnp(&child, "find", &actions, nullptr, argv, environ) == 0, "spawn find");
        int status = 0;
        check(waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0,
              "find failed");
        posix_spawn_file_actions_destroy(&actions);
      }};
}

// --- open of a 4 MB preset section against a 1 MB one -------------------------------------------

void presetOpen(const std::string& path) {
  static KORAPresetManagerInterface* const presets = KORAPresetManagerFactory_Create();
  const uint32_t handle = presets->open(path);
  check(handle != 0, "open failed");
  presets->close(handle);
}

Pair presetPair() {
  return {"preset", "open 4 MB section vs 1 MB section", 4.5,
          [] { presetOpen(dataFile("preset-4mb.ini", [] { return presetFile(4u << 20); })); },
          [] { presetOpen(dataFile("preset-1mb.ini", [] { return presetFile(1u << 20); })); }};
}

// --- load of a 50 000-tag store -----------------------------------------------------------------

const std::string& tagFile(Text text) {
  return text == Text::kMixed
             ? dataFile("tags-mixed.xml", [] { return tagStore(kTags, Text::kMixed); })
             : dataFile("tags.xml", [] { return tagStore(kTags); });
}

// Tag managers loaded and not yet released: ending a dictionary is not part of loading it.
std::vector<KORATagManagerInterface*>& loadedTags() {
  static std::vector<KORATagManagerInterface*> loaded;
  return loaded;
}

Pair tagsPair(Text text) {
  const bool mixed = text == Text::kMixed;
  return {mixed ? "tags-mixed" : "tags",
          mixed ? "load 50000 mixed tags vs libxml2 SAX2" : "load 50000 tags vs libxml2 SAX2",
          1.3,
          [text] {
            KORATagManagerInterface* tags = KORATagManagerFactory_Create();
            loadedTags().push_back(tags);
            check(tags->load(tagFile(text).c_str()), "load failed");
          },
          [text] { check(rawSaxParseFile(tagFile(text)) == 0, "libxml2 parse failed"); },
          [] {
            for (KORATagManagerInterface* tags : loadedTags()) {
              KORATagManagerFactory_Destroy(tags);
            }
            loadedTags().clear();
          }};
}

// The parse of the same store through the parser object with a handler that does nothing: what
// any handler pays before it does its own work.
Pair tagsParsePair() {
  return {"tags-parse", "parseFile 50000-tag store, no-op handler vs libxml2 SAX2", 1.15,
          [] {
            static const XmlParser parser(KORAXmlParserFactory_Create());
            NoOpHandler handler;
            check(parser->parseFile(tagFile(Text::kAscii).c_str(), &handler, nullptr) == 0,
                  "parseFile failed");
          },
          [] { check(rawSaxParseFile(tagFile(Text::kAscii)) == 0, "libxml2 parse failed"); }};
}

// --- a document whose entities would expand to 100 MB -------------------------------------------

Pair entityExpansionCase() {
  return {"dtd",
          "parseString 100 KB, entities to 100 MB: failure in ms",
          5.0,
          [] {
            static const XmlParser parser(KORAXmlParserFactory_Create());
            static const std::string& xml = kept("dtd", entityExpansionDocument);
            NoOpHandler handler;
            check(parser->parseString(xml.c_str(), &handler, nullptr) != 0,
                  "the expanding document was accepted");
          },
          {}};
}

}  // namespace

std::vector<Pair> pairs() {
  return {parsePair(Text::kAscii),
          parsePair(Text::kMixed),
          xpathPair(),
          writerPair(),
          writerFloorPair(),
          writerMapPair(),
          attributeSetsPair(),
          tokensPair(),
          logsPair(),
          presetPair(),
          tagsPair(Text::kAscii),
          tagsPair(Text::kMixed),
          tagsParsePair(),
          entityExpansionCase()};
}

}  // namespace zt::bench
