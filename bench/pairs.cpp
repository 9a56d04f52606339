// One benchmark per side of each pair: "<pair>/ours" drives the library through its public
// factories as a driver would; "<pair>/base" does the same work with the engine underneath called
// directly. bench/compare runs both sides interleaved and prints the ratio of their medians.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <libxml/xmlwriter.h>
#include <libxml/xpath.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string>

#include "inputs.h"
#include "raw_libxml2.h"
#include "zttools.h"

extern char** environ;

namespace zt::bench {
namespace {

constexpr std::size_t kDocumentBytes = 32u << 20;
constexpr std::size_t kXPathDocumentBytes = 4u << 20;
constexpr int kWrittenElements = 1'000'000;
constexpr const char* kTemplate = "Lot %05S %1/Y %2T%N";
constexpr int kLogFiles = 100'000;
constexpr int kTags = 50'000;
constexpr const char* kXPath = "/catalogue/record[@type='b']/name";

void check(bool ok, const char* what) {
  if (!ok) {
    throw std::runtime_error(what);
  }
}

const std::string& document() {
  static const std::string text = catalogue(kDocumentBytes);
  return text;
}

const std::string& xpathDocument() {
  static const std::string text = catalogue(kXPathDocumentBytes);
  return text;
}

// A generated file in the data folder, written on first use.
const std::string& dataFile(const std::string& name, std::string (*make)()) {
  static std::map<std::string, std::string> paths;
  auto found = paths.find(name);
  if (found == paths.end()) {
    const std::string path = dataFolder() + "/" + name;
    writeFile(path, make());
    found = paths.emplace(name, path).first;
  }
  return found->second;
}

const std::string& logFolder() {
  static const std::string path = [] {
    const std::string root = dataFolder() + "/logs";
    logTree(root, kLogFiles);
    return root;
  }();
  return path;
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

void setBytes(benchmark::State& state, std::size_t bytes) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

// --- parseBuffer of a 32 MB document ------------------------------------------------------------

void parseOurs(benchmark::State& state) {
  const std::string& text = document();
  KORAXmlParserInterface* parser = KORAXmlParserFactory_Create();
  NoOpHandler handler;
  for (auto _ : state) {
    check(parser->parseBuffer(text.data(), static_cast<int>(text.size()), &handler, nullptr) == 0,
          "parseBuffer failed");
  }
  KORAXmlParserFactory_Destroy(parser);
  setBytes(state, text.size());
}

void parseBase(benchmark::State& state) {
  const std::string& text = document();
  for (auto _ : state) {
    check(rawSaxPush(text) == 0, "libxml2 parse failed");
  }
  setBytes(state, text.size());
}

// libxml2's one-call parse of a memory block, for reference: not part of a pair.
void parseBaseWhole(benchmark::State& state) {
  const std::string& text = document();
  for (auto _ : state) {
    check(rawSaxParse(text) == 0, "libxml2 parse failed");
  }
  setBytes(state, text.size());
}

// --- selectNodes in text form -------------------------------------------------------------------

void xpathOurs(benchmark::State& state) {
  KORAXmlXPathInterface* xpath = KORAXmlXPathFactory_Create();
  check(xpath->loadXml(xpathDocument().c_str()) == 0, "loadXml failed");
  std::size_t bytes = 0;
  for (auto _ : state) {
    const char* nodes = xpath->selectNodes(kXPath);
    bytes = std::strlen(nodes);
    benchmark::DoNotOptimize(nodes);
  }
  check(bytes > 0, "selectNodes found nothing");
  KORAXmlXPathFactory_Destroy(xpath);
  state.SetItemsProcessed(state.iterations());
}

void xpathBase(benchmark::State& state) {
  const std::string& text = xpathDocument();
  xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr,
                                XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  check(doc != nullptr, "xmlReadMemory failed");
  for (auto _ : state) {
    xmlXPathContextPtr context = xmlXPathNewContext(doc);
    xmlXPathObjectPtr result = xmlXPathEval(reinterpret_cast<const xmlChar*>(kXPath), context);
    xmlBufferPtr out = xmlBufferCreate();
    if (result != nullptr && result->nodesetval != nullptr) {
      for (int i = 0; i < result->nodesetval->nodeNr; ++i) {
        xmlNodeDump(out, doc, result->nodesetval->nodeTab[i], 0, 0);
        xmlBufferCCat(out, "\n");
      }
    }
    benchmark::DoNotOptimize(xmlBufferContent(out));
    xmlBufferFree(out);
    xmlXPathFreeObject(result);
    xmlXPathFreeContext(context);
  }
  xmlFreeDoc(doc);
  state.SetItemsProcessed(state.iterations());
}

// --- writing 1 000 000 elements with attributes, indented ---------------------------------------

void writerOurs(benchmark::State& state) {
  std::size_t bytes = 0;
  for (auto _ : state) {
    KORAXmlWriterInterface* writer = KORAXmlWriterFactory_Create();
    IKORAXmlAttribute* attributes = writer->createAttribute();
    writer->startDocument();
    writer->startElement("pages", nullptr);
    for (int i = 0; i < kWrittenElements; ++i) {
      attributes->clear()->addAttribute("id", i)->addAttribute("kind", "scan");
      writer->writeElement("page", "front side", false, attributes);
    }
    writer->endElement();
    writer->endDocument();
    bytes = std::strlen(writer->getXml());
    KORAXmlWriterFactory_Destroy(writer);
  }
  setBytes(state, bytes);
  state.SetItemsProcessed(state.iterations() * kWrittenElements);
}

void writerBase(benchmark::State& state) {
  std::size_t bytes = 0;
  for (auto _ : state) {
    xmlBufferPtr buffer = xmlBufferCreate();
    xmlTextWriterPtr writer = xmlNewTextWriterMemory(buffer, 0);
    xmlTextWriterSetIndent(writer, 1);
    xmlTextWriterStartElement(writer, BAD_CAST "pages");
    for (int i = 0; i < kWrittenElements; ++i) {
      xmlTextWriterStartElement(writer, BAD_CAST "page");
      xmlTextWriterWriteAttribute(writer, BAD_CAST "id", BAD_CAST std::to_string(i).c_str());
      xmlTextWriterWriteAttribute(writer, BAD_CAST "kind", BAD_CAST "scan");
      xmlTextWriterWriteString(writer, BAD_CAST "front side");
      xmlTextWriterEndElement(writer);
    }
    xmlTextWriterEndElement(writer);
    xmlFreeTextWriter(writer);
    bytes = std::strlen(reinterpret_cast<const char*>(xmlBufferContent(buffer)));
    xmlBufferFree(buffer);
  }
  setBytes(state, bytes);
  state.SetItemsProcessed(state.iterations() * kWrittenElements);
}

// --- processTokens of a typical template --------------------------------------------------------

void tokensOurs(benchmark::State& state) {
  KORATokenParserInterface* parser = KORATokenParserFactory_Create();
  std::string xml;
  for (auto _ : state) {
    parser->processTokens(kTemplate, xml);
    benchmark::DoNotOptimize(xml.data());
  }
  KORATokenParserFactory_Destroy(parser);
  state.SetItemsProcessed(state.iterations());
}

// The same processedtokens document, taken from the library once and written again through
// xmlTextWriter event by event.
void tokensBase(benchmark::State& state) {
  KORATokenParserInterface* parser = KORATokenParserFactory_Create();
  std::string xml;
  parser->processTokens(kTemplate, xml);
  KORATokenParserFactory_Destroy(parser);
  const std::vector<WriteEvent> events = recordEvents(xml);
  check(!events.empty(), "no processedtokens events");
  for (auto _ : state) {
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
    xml.assign(reinterpret_cast<const char*>(xmlBufferContent(buffer)));
    xmlBufferFree(buffer);
  }
  state.SetItemsProcessed(state.iterations());
}

// --- removeAll on a tree of 100 000 files (plans only: nothing is deleted) ----------------------

void logsOurs(benchmark::State& state) {
  const std::string& root = logFolder();
  uint32_t planned = 0;
  for (auto _ : state) {
    KORALogManagerInterface* logs = KORALogManagerFactory_Create();
    logs->setPath(root);
    planned = logs->removeAll();
    benchmark::DoNotOptimize(logs->getReport().size());
    KORALogManagerFactory_Destroy(logs);
  }
  check(planned > 0, "removeAll found no log files");
  state.SetItemsProcessed(state.iterations() * kLogFiles);
}

void logsBase(benchmark::State& state) {
  const std::string root = logFolder();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  char* argv[] = {
      const_cast<char*>("find"),    const_cast<char*>(root.c_str()), const_cast<char*>("-type"),
      const_cast<char*>("f"),       const_cast<char*>("-iname"),     const_cast<char*>("*.log"),
      const_cast<char*>("-printf"), const_cast<char*>("%s %T@\\n"),  nullptr};
  for (auto _ : state) {
    pid_t child = 0;
    check(posix_spawnp(&child, "find", &actions, nullptr, argv, environ) == 0, "spawn find");
    int status = 0;
    check(waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0,
          "find failed");
  }
  posix_spawn_file_actions_destroy(&actions);
  state.SetItemsProcessed(state.iterations() * kLogFiles);
}

// --- open of a 4 MB preset section against a 1 MB one -------------------------------------------

void presetOpen(benchmark::State& state, const std::string& path, std::size_t bytes) {
  KORAPresetManagerInterface* presets = KORAPresetManagerFactory_Create();
  for (auto _ : state) {
    const uint32_t handle = presets->open(path);
    check(handle != 0, "open failed");
    presets->close(handle);
  }
  KORAPresetManagerFactory_Destroy(presets);
  setBytes(state, bytes);
}

void presetOurs(benchmark::State& state) {
  presetOpen(state, dataFile("preset-4mb.ini", [] { return presetFile(4u << 20); }), 4u << 20);
}

void presetBase(benchmark::State& state) {
  presetOpen(state, dataFile("preset-1mb.ini", [] { return presetFile(1u << 20); }), 1u << 20);
}

// --- load of a 50 000-tag store -----------------------------------------------------------------

const std::string& tagFile() {
  return dataFile("tags.xml", [] { return tagStore(kTags); });
}

void tagsOurs(benchmark::State& state) {
  const std::string& path = tagFile();
  for (auto _ : state) {
    KORATagManagerInterface* tags = KORATagManagerFactory_Create();
    check(tags->load(path.c_str()), "load failed");
    // Ending the dictionary is not part of loading it.
    state.PauseTiming();
    KORATagManagerFactory_Destroy(tags);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kTags);
}

void tagsBase(benchmark::State& state) {
  const std::string& path = tagFile();
  for (auto _ : state) {
    check(rawSaxParseFile(path) == 0, "libxml2 parse failed");
  }
  state.SetItemsProcessed(state.iterations() * kTags);
}

// The tag store read through parseFile with a no-op handler: the share of a load that is the
// parse, for reference; not part of a pair.
void tagsParseOnly(benchmark::State& state) {
  const std::string& path = tagFile();
  KORAXmlParserInterface* parser = KORAXmlParserFactory_Create();
  NoOpHandler handler;
  for (auto _ : state) {
    check(parser->parseFile(path.c_str(), &handler, nullptr) == 0, "parseFile failed");
  }
  KORAXmlParserFactory_Destroy(parser);
  state.SetItemsProcessed(state.iterations() * kTags);
}

BENCHMARK(parseOurs)->Name("parse/ours")->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(parseBase)->Name("parse/base")->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(parseBaseWhole)->Name("parse-whole/base")->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(xpathOurs)->Name("xpath/ours")->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(xpathBase)->Name("xpath/base")->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(writerOurs)->Name("writer/ours")->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(writerBase)->Name("writer/base")->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(tokensOurs)->Name("tokens/ours")->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(tokensBase)->Name("tokens/base")->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(logsOurs)->Name("logs/ours")->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(logsBase)->Name("logs/base")->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(presetOurs)->Name("preset/ours")->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(presetBase)->Name("preset/base")->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(tagsOurs)->Name("tags/ours")->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(tagsBase)->Name("tags/base")->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(tagsParseOnly)->Name("tags-parse/ours")->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zt::bench

BENCHMARK_MAIN();
