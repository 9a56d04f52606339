// What every tool does with hostile documents and paths and when memory runs out, tried through
// the public objects: files that are not regular files, documents with a document type
// declaration, an allocation failing anywhere inside an operation.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <functional>
#include <memory>
#include <new>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "event_recorder.h"
#include "platform/descriptor.h"
#include "scratch_dir.h"
#include "zttools.h"

// The replacement below serves operator new from malloc and returns it to free, which GCC's
// mismatch check cannot see through once the two are inlined into one caller.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

// Allocation failure on demand: while armed, the allocation counted down to by `failAfter` throws
// std::bad_alloc (or gives null, for the nothrow forms), once; every other allocation is served
// as usual. Every form is replaced, so that no block crosses between this allocator and another.
namespace {
long failAfter = -1;
bool failed = false;
}  // namespace

void* operator new(std::size_t size) {
  if (failAfter >= 0 && failAfter-- == 0) {
    failed = true;
    throw std::bad_alloc();
  }
  if (void* block = std::malloc(size == 0 ? 1 : size)) {
    return block;
  }
  throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t& /*tag*/) noexcept {
  try {
    return ::operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size) {
  return ::operator new(size);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return ::operator new(size, tag);
}
void operator delete(void* block) noexcept {
  std::free(block);
}
void operator delete(void* block, std::size_t /*size*/) noexcept {
  std::free(block);
}
void operator delete(void* block, const std::nothrow_t& /*tag*/) noexcept {
  std::free(block);
}
void operator delete[](void* block) noexcept {
  std::free(block);
}
void operator delete[](void* block, std::size_t /*size*/) noexcept {
  std::free(block);
}
void operator delete[](void* block, const std::nothrow_t& /*tag*/) noexcept {
  std::free(block);
}

namespace {

template <typename Tool, Tool* (*Destroy)(Tool*)>
struct Destroyer {
  void operator()(Tool* tool) const { Destroy(tool); }
};
template <typename Tool, Tool* (*Create)(), Tool* (*Destroy)(Tool*)>
std::unique_ptr<Tool, Destroyer<Tool, Destroy>> make() {
  return std::unique_ptr<Tool, Destroyer<Tool, Destroy>>(Create());
}
auto xmlParser() {
  return make<KORAXmlParserInterface, KORAXmlParserFactory_Create, KORAXmlParserFactory_Destroy>();
}
auto xpath() {
  return make<KORAXmlXPathInterface, KORAXmlXPathFactory_Create, KORAXmlXPathFactory_Destroy>();
}
auto tags() {
  return make<KORATagManagerInterface, KORATagManagerFactory_Create,
              KORATagManagerFactory_Destroy>();
}
auto presets() {
  return make<KORAPresetManagerInterface, KORAPresetManagerFactory_Create,
              KORAPresetManagerFactory_Destroy>();
}
auto tokenParser() {
  return make<KORATokenParserInterface, KORATokenParserFactory_Create,
              KORATokenParserFactory_Destroy>();
}
auto tokenParserEx() {
  return make<KORATokenParserExInterface, KORATokenParserExFactory_Create,
              KORATokenParserExFactory_Destroy>();
}

// Records the errors of a parse: "fatal <line>:<column> <code> <message>" (messages are ASCII).
class ErrorRecorder final : public IKORAXmlErrorHandler {
 public:
  std::vector<std::string> errors;

  long error(ISAXLocator* at, const wchar_t* message, long code) override {
    return add("error", at, message, code);
  }
  long fatalError(ISAXLocator* at, const wchar_t* message, long code) override {
    return add("fatal", at, message, code);
  }
  long ignorableWarning(ISAXLocator* at, const wchar_t* message, long code) override {
    return add("warning", at, message, code);
  }

 private:
  long add(const char* level, ISAXLocator* at, const wchar_t* message, long code) {
    std::string text;
    for (const wchar_t* c = message; *c != L'\0'; ++c) {
      text += static_cast<char>(*c);
    }
    errors.push_back(std::string(level) + ' ' + std::to_string(at->getLineNumber()) + ':' +
                     std::to_string(at->getColumnNumber()) + ' ' + std::to_string(code) + ' ' +
                     text);
    return 0;
  }
};

bool hasElementEvents(const EventRecorder& recorder) {
  for (const std::string& event : recorder.events) {
    if (event != "startDocument" && event != "endDocument") {
      return true;
    }
  }
  return false;
}

std::string repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) {
    out += text;
  }
  return out;
}

// A folder, a FIFO without a writer, a socket and a device: each refused at once (a FIFO or
// /dev/zero read would block or never end), with the system's reason where the call can give one.
TEST(NonRegularFiles, EveryFileTakingCallRefusesEveryKind) {
  ScratchDir dir;
  const std::string folder = (dir.path() / "folder").string();
  const std::string fifo = (dir.path() / "fifo").string();
  const std::string socketPath = (dir.path() / "socket").string();
  ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const zt::platform::Descriptor listener(::socket(AF_UNIX, SOCK_STREAM, 0));
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  socketPath.copy(address.sun_path, socketPath.size());
  ASSERT_EQ(::bind(listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const std::string preset = dir.write("p.ini", "[Preset]\nk=v\n");

  struct Kind {
    const char* name;
    std::string path;
    int error;           // the thread's last error
    const char* reason;  // the error sink's text
  };
  const Kind kinds[] = {
      {"folder", folder, EISDIR, "Is a directory"},
      {"FIFO", fifo, EINVAL, "not a regular file"},
      {"socket", socketPath, ENXIO, "No such device or address"},
      {"device", "/dev/zero", EINVAL, "not a regular file"},
  };
  for (const Kind& kind : kinds) {
    SCOPED_TRACE(kind.name);
    const char* path = kind.path.c_str();
    {
      EventRecorder handler;
      ErrorRecorder sink;
      const long status = xmlParser()->parseFile(path, &handler, &sink);
      EXPECT_LT(status, 0);
      EXPECT_FALSE(hasElementEvents(handler));
      EXPECT_EQ(sink.errors, (std::vector<std::string>{"fatal 0:0 " + std::to_string(status) + ' ' +
                                                       kind.reason}));
    }
    errno = 0;
    EXPECT_EQ(xpath()->loadFile(path), -1);
    EXPECT_EQ(errno, kind.error);
    errno = 0;
    EXPECT_FALSE(tags()->load(path));
    EXPECT_EQ(errno, kind.error);
    auto manager = presets();
    errno = 0;
    EXPECT_EQ(manager->open(kind.path), 0u);
    EXPECT_EQ(errno, kind.error);
    const uint32_t handle = manager->open(preset);
    errno = 0;
    EXPECT_FALSE(manager->saveAs(handle, kind.path));
    EXPECT_EQ(errno, kind.error);
  }
}

// However the declaration is built, the document fails at it: nothing in it is declared, read or
// expanded (the quadratic and exponential expansions below would take gigabytes), and nothing of
// the document reaches a handler.
TEST(DtdProhibited, EveryParsePathRefusesIt) {
  ScratchDir dir;
  const std::string secret = dir.write("secret.txt", "SECRET");
  const std::string laughs = [] {
    std::string dtd = "<!DOCTYPE l [<!ENTITY l0 \"lol\">";
    for (int i = 1; i < 10; ++i) {
      dtd += "<!ENTITY l" + std::to_string(i) + " \"" +
             repeat("&l" + std::to_string(i - 1) + ";", 10) + "\">";
    }
    return dtd + "]>";
  }();
  struct Case {
    const char* what;
    std::string dtd;        // the document's prolog
    std::string reference;  // text of the root element
    const char* at;         // line and column of the declaration
  };
  const Case cases[] = {
      {"name only", "<!DOCTYPE r>", "", "1:1"},
      {"external id", "<?xml version=\"1.0\"?>\n<!DOCTYPE r SYSTEM \"r.dtd\">", "", "2:1"},
      {"empty subset, after a comment", "<!-- c -->  <!DOCTYPE r []>", "", "1:13"},
      {"declaration over lines", "\n<!--\n-->\t<!DOCTYPE\nr\n[\n]>", "", "3:5"},
      {"internal entity", "<!DOCTYPE r [<!ENTITY e \"x\">]>", "&e;", "1:1"},
      {"external entity", "<!DOCTYPE r [<!ENTITY e SYSTEM \"file://" + secret + "\">]>", "&e;",
       "1:1"},
      {"external parameter entity",
       "<!DOCTYPE r [<!ENTITY % p SYSTEM \"file://" + secret + "\"> %p;]>", "", "1:1"},
      {"exponential expansion", laughs, "&l9;", "1:1"},
      // 100 KB that would expand to 625 MB.
      {"quadratic expansion", "<!DOCTYPE r [<!ENTITY a \"" + std::string(50000, 'a') + "\">]>",
       repeat("&a;", 12500), "1:1"},
  };
  const std::string processed = [] {
    std::string xml;
    tokenParser()->processTokens("Lot %Y", xml);
    return xml;
  }();
  const std::string templated = "<template><tokens><date/></tokens></template>";
  const std::string store =
      "<vexkoratagstore><tags><tag name=\"Color\"><id>7</id></tag></tags></vexkoratagstore>";
  {  // Without the declaration, each document reads.
    std::string out;
    ASSERT_NE(tokenParser()->buildTokenString(processed.c_str(), out), 0u);
    ASSERT_NE(tokenParser()->buildTemplateString(templated.c_str(), out), 0u);
    ASSERT_TRUE(tags()->load(dir.write("plain.xml", store).c_str()));
  }
  const std::string refused = std::to_string(-1072894386) + " DTD is prohibited";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string xml = c.dtd + "<r>" + c.reference + "</r>";
    const std::string file = dir.write("doc.xml", xml);
    const std::vector<std::string> expected = {std::string("fatal ") + c.at + ' ' + refused};
    const std::function<long(KORAXmlParserInterface&, IKORAXmlContentHandler*, ErrorRecorder*)>
        parses[] = {
            [&](auto& p, auto* h, auto* s) { return p.parseString(xml.c_str(), h, s); },
            [&](auto& p, auto* h, auto* s) {
              return p.parseBuffer(xml.data(), static_cast<int>(xml.size()), h, s);
            },
            [&](auto& p, auto* h, auto* s) { return p.parseFile(file.c_str(), h, s); },
        };
    for (const auto& parse : parses) {
      EventRecorder handler;
      ErrorRecorder sink;
      EXPECT_EQ(parse(*xmlParser(), &handler, &sink), -1072894386);
      EXPECT_EQ(sink.errors, expected);
      EXPECT_FALSE(hasElementEvents(handler));
    }

    auto query = xpath();
    EXPECT_EQ(query->loadXml(xml.c_str()), -1);
    EXPECT_EQ(query->loadFile(file.c_str()), -1);
    EXPECT_STREQ(query->selectNodes("//node()"), "");

    const std::string tokens = c.dtd + processed;
    const std::string templates = c.dtd + templated;
    std::string out = "old";
    EXPECT_EQ(tokenParser()->buildTokenString(tokens.c_str(), out), 0u);
    EXPECT_EQ(out, "");
    EXPECT_EQ(tokenParser()->buildTemplateString(templates.c_str(), out), 0u);
    EXPECT_EQ(tokenParserEx()->buildTokenString(tokens.c_str(), out, nullptr), 0u);
    EXPECT_EQ(tokenParserEx()->buildTemplateString(templates.c_str(), out, nullptr), 0u);
    EXPECT_EQ(out, "");

    auto manager = tags();
    EXPECT_FALSE(manager->load(dir.write("store.xml", c.dtd + store).c_str()));
    EXPECT_EQ(manager->getTagId("Color"), KORA_TAG_NOT_FOUND);
  }
}

// One public operation tried with each of its allocations failing in turn: `prepare` builds what
// it needs (nothing fails there), `run` calls it and keeps what it gave, `documented` says whether
// that is one of the results the operation promises, the failure result when an allocation failed.
struct Trial {
  const char* name;
  std::function<void()> prepare;
  std::function<void()> run;
  std::function<bool()> documented;
};

class Formatter final : public KORATokenFormatterInterface {
 public:
  int formatToken(const std::string& specifier, const std::string&, const std::string&,
                  const std::string& text, std::stringstream& out) override {
    out << (specifier.empty() ? text : "<" + specifier + ">");
    return 0;
  }
};

class FormatterEx final : public KORATokenFormatterExInterface {
 public:
  bool acceptToken(char, char, char) override { return true; }
  int formatToken(const std::string& specifier, const std::string&, const std::string&,
                  const std::string& text, std::stringstream& out) override {
    out << (specifier.empty() ? text : "<" + specifier + ">");
    return 0;
  }
};

// Each operation gives its success or its documented failure whichever allocation fails, leaves
// nothing half-made that a later call trips over, and leaks nothing (the address sanitizer build
// checks the last).
TEST(OutOfMemory, EveryOperationGivesADocumentedResult) {
  ScratchDir dir;
  const std::string storeFile = dir.write(
      "store.xml",
      "<vexkoratagstore><tags><tag name=\"Color\"><id>7</id><tagvalues><tagvalue name=\"Red\">"
      "<value>2</value></tagvalue></tagvalues></tag></tags></vexkoratagstore>");
  const std::string xmlFile = dir.write("doc.xml", "<r a=\"1\">text<c/></r>");
  const std::string presetFile = dir.write("p.ini", "[Preset]\nPreset Driver=d\nk=v\nj=w\n");
  const std::string otherPreset = dir.write("q.ini", "[Preset]\nk=x\nm=y\n");
  const std::string savedPreset = (dir.path() / "saved.ini").string();
  dir.write("logs/a.log", "a");
  dir.write("logs/sub/b.log", "b");
  constexpr long kOutOfMemory = -2147024882;  // E_OUTOFMEMORY
  const std::string format = "Lot %05S %1/Y text";

  std::unique_ptr<KORATokenParserInterface,
                  Destroyer<KORATokenParserInterface, KORATokenParserFactory_Destroy>>
      parser;
  std::unique_ptr<KORATokenParserExInterface,
                  Destroyer<KORATokenParserExInterface, KORATokenParserExFactory_Destroy>>
      parserEx;
  std::string processed;
  std::string processedEx;
  std::string templateXml;
  {
    tokenParser()->processTokens(format.c_str(), processed);
    tokenParserEx()->processTokens(format.c_str(), processedEx, nullptr);
    templateXml = "<template><tokens><message>Lot</message><date/></tokens></template>";
  }
  // Each result as the operation gives it when nothing fails.
  std::string expectedTemplate;
  std::string expectedFormat;
  std::string expectedFormatEx;
  std::string expectedText = "old";
  std::string expectedTextEx = "old";
  {
    tokenParser()->buildTemplateString(templateXml.c_str(), expectedTemplate);
    tokenParser()->buildTokenString(processed.c_str(), expectedFormat);
    tokenParserEx()->buildTokenString(processedEx.c_str(), expectedFormatEx, nullptr);
    Formatter formatter;
    tokenParser()->formatTokens(format.c_str(), expectedText, &formatter);
    FormatterEx formatterEx;
    tokenParserEx()->formatTokens(format.c_str(), expectedTextEx, &formatterEx);
  }

  std::string out;
  uint32_t length = 0;
  long status = 0;
  int result = 0;
  const char* text = nullptr;  // a text the object keeps, compared once nothing fails
  const auto textIs = [&](std::initializer_list<std::string_view> allowed) {
    return std::find(allowed.begin(), allowed.end(), std::string_view(text)) != allowed.end();
  };
  const std::string dtdFile = dir.write("dtd.xml", "<!DOCTYPE r><r/>");
  const std::string logFolder = (dir.path() / "logs").string();
  const auto fresh = [&] {
    parser = tokenParser();
    parserEx = tokenParserEx();
    out = "old";
  };
  // The out-string holds the result, or is untouched (processing, printing) or emptied (reading)
  // when the operation failed.
  const auto gave = [&](const std::string& expected, const std::string& onFailure) {
    return (length == expected.size() && out == expected) || (length == 0 && out == onFailure);
  };

  auto xml = xmlParser();
  EventRecorder handler;
  ErrorRecorder sink;
  auto query = xpath();
  auto logs =
      make<KORALogManagerInterface, KORALogManagerFactory_Create, KORALogManagerFactory_Destroy>();
  auto store = tags();
  auto writer =
      make<KORAXmlWriterInterface, KORAXmlWriterFactory_Create, KORAXmlWriterFactory_Destroy>();
  const auto writeDocument = [&] {
    status = 0;
    // The first failure counts: the calls after it meet what it left (an element not opened).
    const auto step = [&](long s) {
      if (status == 0) {
        status = s;
      }
    };
    step(writer->startDocument());
    IKORAXmlAttribute* set = writer->createAttribute("id", 7, 0);
    if (set == nullptr) {
      step(kOutOfMemory);  // the caller is told; what it writes without the set is its own
    } else {
      set->addAttribute("kind", "first");
    }
    step(writer->startElement("r", set));
    step(writer->writeElement("v", "text", false, nullptr));
    step(writer->endElement());
    step(writer->endDocument());
    text = writer->getXml();
  };
  writeDocument();
  const std::string written = text;
  auto manager = presets();
  uint32_t handle = 0;
  const char* value = nullptr;
  std::map<std::string, std::string> differences;
  bool added = false;
  bool saved = false;
  bool loaded = false;
  int32_t id = 0;
  const std::vector<std::string> parsed = {
      "startDocument", "<r", "[r", "a=1", "]r", "text:text", "<c", "]c", "/c", "/r", "endDocument"};

  const Trial trials[] = {
      {"processTokens", fresh, [&] { length = parser->processTokens(format.c_str(), out); },
       [&] { return gave(processed, "old"); }},
      {"buildTokenString", fresh,
       [&] { length = parser->buildTokenString(processed.c_str(), out); },
       [&] { return gave(expectedFormat, ""); }},
      {"buildTemplateString", fresh,
       [&] { length = parser->buildTemplateString(templateXml.c_str(), out); },
       [&] { return gave(expectedTemplate, ""); }},
      {"formatTokens", fresh,
       [&] {
         Formatter formatter;
         length = parser->formatTokens(format.c_str(), out, &formatter);
       },
       [&] { return gave(expectedText, "old"); }},
      {"extended processTokens", fresh,
       [&] { length = parserEx->processTokens(format.c_str(), out, nullptr); },
       [&] { return gave(processedEx, "old"); }},
      {"extended buildTokenString", fresh,
       [&] { length = parserEx->buildTokenString(processedEx.c_str(), out, nullptr); },
       [&] { return gave(expectedFormatEx, ""); }},
      {"extended formatTokens", fresh,
       [&] {
         FormatterEx formatter;
         length = parserEx->formatTokens(format.c_str(), out, &formatter);
       },
       [&] { return gave(expectedTextEx, "old"); }},
      {"parseString",
       [&] {
         xml = xmlParser();
         handler = EventRecorder();
       },
       [&] { status = xml->parseString("<r a=\"1\">text<c/></r>", &handler, nullptr); },
       [&] { return (status == 0 && handler.events == parsed) || status == kOutOfMemory; }},
      {"parseFile of a document with a DTD, with an error sink",
       [&] {
         xml = xmlParser();
         sink = ErrorRecorder();
       },
       [&] { status = xml->parseFile(dtdFile.c_str(), &handler, &sink); },
       [&] { return status == -1072894386 || status == kOutOfMemory; }},
      {"parseFile",
       [&] {
         xml = xmlParser();
         handler = EventRecorder();
       },
       [&] { status = xml->parseFile(xmlFile.c_str(), &handler, nullptr); },
       [&] { return (status == 0 && handler.events == parsed) || status == kOutOfMemory; }},
      {"XPath loadXml and selectNodes", [&] { query = xpath(); },
       [&] {
         result = query->loadXml("<r><a>first value</a><a>second value</a></r>");
         text = query->selectNodes("//a");
       },
       [&] {
         return (result == 0 && textIs({"<a>first value</a>\n<a>second value</a>\n", ""})) ||
                (result == -1 && textIs({""}));
       }},
      {"XPath loadFile and selectSingleNode", [&] { query = xpath(); },
       [&] {
         result = query->loadFile(xmlFile.c_str());
         text = query->selectSingleNode("/r/c");
       },
       [&] {
         return (result == 0 && textIs({"<c/>", ""})) || (result == -1 && textIs({""}));
       }},
      // An attribute set that lost a pair fails the element it is given to.
      {"XML writer and attribute sets",
       [&] {
         writer = make<KORAXmlWriterInterface, KORAXmlWriterFactory_Create,
                       KORAXmlWriterFactory_Destroy>();
       },
       writeDocument,
       [&] {
         return (status == 0 && textIs({written, ""})) || status == kOutOfMemory;
       }},
      {"preset open, getValue, getDifferences, addMissing, saveAs",
       [&] {
         manager = presets();
         ::unlink(savedPreset.c_str());
       },
       [&] {
         handle = manager->open(presetFile);
         const uint32_t other = manager->open(otherPreset);
         value = manager->getValue(handle, "k");
         differences = manager->getDifferences(handle, other);
         added = manager->addMissing(other, handle);
         saved = manager->saveAs(handle, savedPreset);
       },
       [&] {
         using Map = std::map<std::string, std::string>;
         const bool opened = handle != 0;
         return (!opened || std::string_view(value) == "v") &&
                (differences.empty() || differences == Map{{"k", "x"}}) && (!saved || opened) &&
                (!opened || (std::string_view(manager->getValue(handle, "m")) == "y") == added);
       }},
      {"log policy and deletion", [&] {},
       [&] {
         logs->setPath(logFolder);
         result = logs->removeAll();
         const int32_t deleted = logs->deleteFiles([](const std::string&) { return false; });
         status = deleted;
       },
       [&] { return (result == 2 || result == 0) && (status == 0 || status == kOutOfMemory); }},
      {"tag load and lookups", [&] { store = tags(); },
       [&] {
         loaded = store->load(storeFile.c_str());
         id = store->getValueId(7, "Red");
         text = store->getTagName(9);
       },
       [&] {
         return (loaded ? id == 2 : id == KORA_TAG_NOT_FOUND) && textIs({"0x0009", ""});
       }},
  };

  for (const Trial& trial : trials) {
    SCOPED_TRACE(trial.name);
    for (long allocation = 0;; ++allocation) {
      trial.prepare();
      failed = false;
      failAfter = allocation;
      try {
        trial.run();
      } catch (...) {
        failAfter = -1;
        ADD_FAILURE() << "an exception left the operation at allocation " << allocation;
        break;
      }
      failAfter = -1;
      EXPECT_TRUE(trial.documented()) << "allocation " << allocation;
      if (!failed) {
        break;
      }
    }
  }
}

// A formatter's own exception, even one about memory, passes on as it was thrown.
TEST(OutOfMemory, AFormattersOwnExceptionPassesOn) {
  class Throwing final : public KORATokenFormatterInterface {
   public:
    int formatToken(const std::string&, const std::string&, const std::string&, const std::string&,
                    std::stringstream&) override {
      throw std::bad_alloc();
    }
  } formatter;
  std::string out = "old";
  EXPECT_THROW(tokenParser()->formatTokens("%Y", out, &formatter), std::bad_alloc);
  EXPECT_EQ(out, "old");
}

}  // namespace
