// What every tool does with hostile documents and paths and when memory runs out, tried through
// the public objects: files that are not regular files, documents with a document type
// declaration, an allocation failing anywhere inside an operation.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cwchar>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <sstream>
#include <string>
#include <string_view>
#include <tuple>
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
// std::bad_alloc (or gives null, for the nothrow form), once; every other allocation is served
// as usual. Every scalar form is replaced, so that no block crosses between this allocator and
// another; the library makes no array allocation, and the array forms are left to the runtime,
// which pairs them among themselves.
namespace {
long failAfter = -1;
}  // namespace

void* operator new(std::size_t size) {
  if (failAfter >= 0 && failAfter-- == 0) {
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
void operator delete(void* block) noexcept {
  std::free(block);
}
void operator delete(void* block, std::size_t /*size*/) noexcept {
  std::free(block);
}
void operator delete(void* block, const std::nothrow_t& /*tag*/) noexcept {
  std::free(block);
}

namespace {

using ::testing::AnyOf;
using ::testing::Each;

template <auto Create, auto Destroy>
auto make() {
  using Tool = std::remove_pointer_t<decltype(Create())>;
  return std::unique_ptr<Tool, decltype([](Tool* tool) { Destroy(tool); })>(Create());
}
constexpr auto xmlParser = make<KORAXmlParserFactory_Create, KORAXmlParserFactory_Destroy>;
constexpr auto xpath = make<KORAXmlXPathFactory_Create, KORAXmlXPathFactory_Destroy>;
constexpr auto tags = make<KORATagManagerFactory_Create, KORATagManagerFactory_Destroy>;
constexpr auto presets = make<KORAPresetManagerFactory_Create, KORAPresetManagerFactory_Destroy>;
constexpr auto tokenParser = make<KORATokenParserFactory_Create, KORATokenParserFactory_Destroy>;
constexpr auto tokenParserEx =
    make<KORATokenParserExFactory_Create, KORATokenParserExFactory_Destroy>;
constexpr auto xmlWriter = make<KORAXmlWriterFactory_Create, KORAXmlWriterFactory_Destroy>;
constexpr long kOutOfMemory = -2147024882;    // E_OUTOFMEMORY
constexpr long kDtdProhibited = -1072894386;  // 0xC00CEE4E

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
    errors.push_back(std::string(level) + ' ' + std::to_string(at->getLineNumber()) + ':' +
                     std::to_string(at->getColumnNumber()) + ' ' + std::to_string(code) + ' ' +
                     std::string(message, message + std::wcslen(message)));
    return 0;
  }
};

std::string repeat(const std::string& text, int times) {
  std::string out;
  while (times-- > 0) {
    out += text;
  }
  return out;
}

// A folder, a FIFO without a writer, a socket and a device: each refused at once (a FIFO or
// /dev/zero read would block or never end), with the system's reason where the call can give one.
TEST(NonRegularFiles, EveryFileTakingCallRefusesEveryKind) {
  ScratchDir dir;
  const std::string fifo = (dir.path() / "fifo").string();
  const std::string socketPath = (dir.path() / "socket").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const zt::platform::Descriptor listener(::socket(AF_UNIX, SOCK_STREAM, 0));
  sockaddr_un address{.sun_family = AF_UNIX, .sun_path = {}};
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  socketPath.copy(address.sun_path, socketPath.size());
  ASSERT_EQ(::bind(listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

  auto manager = presets();
  const uint32_t handle = manager->open(dir.write("p.ini", "[Preset]\nk=v\n"));
  // Each kind: the thread's last error after a refusal, and the error sink's text.
  const std::tuple<std::string, int, const char*> kinds[] = {
      {dir.path().string(), EISDIR, "Is a directory"},
      {fifo, EINVAL, "not a regular file"},
      {socketPath, ENXIO, "No such device or address"},
      {"/dev/zero", EINVAL, "not a regular file"}};
  for (const auto& [file, error, reason] : kinds) {
    SCOPED_TRACE(file);
    EventRecorder handler;
    ErrorRecorder sink;
    const long status = xmlParser()->parseFile(file.c_str(), &handler, &sink);
    EXPECT_LT(status, 0);
    EXPECT_THAT(handler.events, Each(AnyOf("startDocument", "endDocument")));
    EXPECT_EQ(sink.errors,
              std::vector<std::string>{"fatal 0:0 " + std::to_string(status) + ' ' + reason});
    const std::pair<const char*, std::function<bool()>> refusals[] = {
        {"XPath loadFile", [&] { return xpath()->loadFile(file.c_str()) == -1; }},
        {"tag load", [&] { return !tags()->load(file.c_str()); }},
        {"preset open", [&] { return manager->open(file) == 0; }},
        {"preset saveAs", [&] { return !manager->saveAs(handle, file); }}};
    for (const auto& [call, refused] : refusals) {
      errno = 0;
      EXPECT_TRUE(refused()) << call;
      EXPECT_EQ(errno, error) << call;
    }
  }
}

// However the declaration is built, the document fails at it: nothing in it is declared, read or
// expanded (the quadratic and exponential expansions below would take gigabytes), and nothing of
// the document reaches a handler. There are two readers: the parser object's, tried from text
// (parseString shares parseBuffer's way), from a file and through the classic token reader, which
// gives it no error sink (the extended token readers and the tag loader use the parser object),
// and the XPath document's.
TEST(DtdProhibited, EveryParsePathRefusesIt) {
  ScratchDir dir;
  const std::string secret = "file://" + dir.write("secret.txt", "SECRET");
  std::string laughs = "<!DOCTYPE l [<!ENTITY l0 \"lol\">";
  for (int i = 1; i < 10; ++i) {
    laughs += "<!ENTITY l" + std::to_string(i) + " \"" +
              repeat("&l" + std::to_string(i - 1) + ";", 10) + "\">";
  }
  // Each case: the document's prolog, the text after its token list, and the line and column of
  // the declaration.
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {"<!DOCTYPE r>", "", "1:1"},
      {"<?xml version=\"1.0\"?>\n<!DOCTYPE r SYSTEM \"r.dtd\">", "", "2:1"},
      {"<!-- c -->  <!DOCTYPE r []>", "", "1:13"},
      {"\n<!--\n-->\t<!DOCTYPE\nr\n[\n]>", "", "3:5"},
      {"<!DOCTYPE r [<!ENTITY e \"x\">]>", "&e;", "1:1"},
      {"<!DOCTYPE r [<!ENTITY e SYSTEM \"" + secret + "\">]>", "&e;", "1:1"},
      {"<!DOCTYPE r [<!ENTITY % p SYSTEM \"" + secret + "\"> %p;]>", "", "1:1"},
      {laughs + "]>", "&l9;", "1:1"},
      // 100 KB that would expand to 625 MB.
      {"<!DOCTYPE r [<!ENTITY a \"" + std::string(50000, 'a') + "\">]>", repeat("&a;", 12500),
       "1:1"},
  };
  const std::string refusal = ' ' + std::to_string(kDtdProhibited) + " DTD is prohibited";
  for (const auto& [dtd, reference, at] : cases) {
    SCOPED_TRACE(dtd.substr(0, 60));
    const std::string xml = dtd + "<r><tokens><date/></tokens>" + reference + "</r>";
    const std::string file = dir.write("doc.xml", xml);
    for (const bool fromFile : {false, true}) {
      EventRecorder handler;
      ErrorRecorder sink;
      auto parser = xmlParser();
      const long status =
          fromFile ? parser->parseFile(file.c_str(), &handler, &sink)
                   : parser->parseBuffer(xml.data(), static_cast<int>(xml.size()), &handler, &sink);
      EXPECT_EQ(status, kDtdProhibited) << fromFile;
      EXPECT_EQ(sink.errors, std::vector<std::string>{"fatal " + at + refusal});
      EXPECT_THAT(handler.events, Each(AnyOf("startDocument", "endDocument")));
    }

    auto query = xpath();
    EXPECT_EQ(query->loadXml(xml.c_str()), -1);
    EXPECT_EQ(query->loadFile(file.c_str()), -1);
    EXPECT_STREQ(query->selectNodes("//node()"), "");

    // The reader of token documents parses without an error sink.
    std::string out = "old";
    EXPECT_EQ(tokenParser()->buildTokenString(xml.c_str(), out), 0u);
    EXPECT_EQ(out, "");
  }
}

// Each trial builds what it needs, calls `arm` so that the allocation counted down to fails, runs
// its operation, calls `disarm` and says whether the result is one the operation promises (its
// failure result when an allocation failed). It runs once for each allocation of the operation.
long armAt = 0;
bool failed = false;  // whether the allocation counted down to came while armed
void arm() {
  failAfter = armAt;
}
void disarm() {
  failed = failAfter < 0;
  failAfter = -1;
}
void tryEveryAllocation(const std::string& name, const std::function<bool()>& trial) {
  SCOPED_TRACE(name);
  // Until a run meets no failed allocation.
  for (armAt = 0; armAt == 0 || failed; ++armAt) {
    try {
      EXPECT_TRUE(trial()) << "allocation " << armAt;
    } catch (...) {
      disarm();
      ADD_FAILURE() << "an exception left the operation at allocation " << armAt;
      return;
    }
  }
}

// Serves both token parsers: a field prints as "<specifier>", text as itself, unless it is told
// to throw as if its own allocation failed.
class Formatter final : public KORATokenFormatterInterface, public KORATokenFormatterExInterface {
 public:
  bool throws = false;
  bool acceptToken(char, char, char) override { return true; }
  int formatToken(const std::string& specifier, const std::string&, const std::string&,
                  const std::string& text, std::stringstream& out) override {
    if (throws) {
      throw std::bad_alloc();
    }
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
  const std::string dtdFile = dir.write("dtd.xml", "<!DOCTYPE r><r/>");
  const std::string presetFile = dir.write("p.ini", "[Preset]\nPreset Driver=d\nk=v\nj=w\n");
  const std::string otherPreset = dir.write("q.ini", "[Preset]\nk=x\nm=y\n");
  const std::string savedPreset = (dir.path() / "saved.ini").string();
  dir.write("logs/a.log", "a");
  dir.write("logs/sub/b.log", "b");

  // The out-string holds the result, or is untouched (processing, printing) or emptied (reading)
  // when the operation failed.
  const char* format = "Lot %05S %1/Y text";
  std::string processed;
  std::string processedEx;
  tokenParser()->processTokens(format, processed);
  tokenParserEx()->processTokens(format, processedEx, nullptr);
  const char* templateXml = "<template><tokens><message>Lot</message><date/></tokens></template>";
  Formatter formatter;
  using Call =
      std::function<uint32_t(KORATokenParserInterface&, KORATokenParserExInterface&, std::string&)>;
  const std::tuple<const char*, Call, const char*> tokenCalls[] = {
      {"processTokens", [&](auto& p, auto&, auto& o) { return p.processTokens(format, o); }, "old"},
      {"buildTokenString",
       [&](auto& p, auto&, auto& o) { return p.buildTokenString(processed.c_str(), o); }, ""},
      {"buildTemplateString",
       [&](auto& p, auto&, auto& o) { return p.buildTemplateString(templateXml, o); }, ""},
      {"formatTokens",
       [&](auto& p, auto&, auto& o) { return p.formatTokens(format, o, &formatter); }, "old"},
      {"extended processTokens",
       [&](auto&, auto& x, auto& o) { return x.processTokens(format, o, nullptr); }, "old"},
      {"extended buildTokenString",
       [&](auto&, auto& x, auto& o) { return x.buildTokenString(processedEx.c_str(), o, nullptr); },
       ""},
      {"extended formatTokens",
       [&](auto&, auto& x, auto& o) { return x.formatTokens(format, o, &formatter); }, "old"},
  };
  for (const auto& [name, call, onFailure] : tokenCalls) {
    std::string expected = "old";
    const uint32_t expectedLength = call(*tokenParser(), *tokenParserEx(), expected);
    tryEveryAllocation(name, [&] {
      auto parser = tokenParser();
      auto parserEx = tokenParserEx();
      std::string out = "old";
      arm();
      const uint32_t length = call(*parser, *parserEx, out);
      disarm();
      return (length == expectedLength && out == expected) || (length == 0 && out == onFailure);
    });
  }

  const auto is = [](const char* text, std::initializer_list<std::string_view> allowed) {
    return std::ranges::find(allowed, std::string_view(text)) != allowed.end();
  };
  // Each parse in turn with one parser: a failed parse leaves nothing the next one meets. The
  // other XML tools (XPath documents, the tag loader, the writer) run in the same trial. An
  // attribute set that lost a pair fails the element it is given to; the first failure counts, as
  // the calls after it meet what it left (an element not opened). A set that could not be made is
  // told to the caller; what it writes without the set is its own.
  tryEveryAllocation("parses, XPath, tag load and lookups, writer and attribute sets", [&] {
    auto xml = xmlParser();
    EventRecorder handlers[3];
    ErrorRecorder sink;
    auto one = xpath();
    auto other = xpath();
    auto store = tags();
    auto writer = xmlWriter();
    arm();
    const long statuses[] = {xml->parseString("<r a=\"1\">text<c/></r>", &handlers[0], nullptr),
                             xml->parseFile(xmlFile.c_str(), &handlers[1], nullptr),
                             xml->parseFile(dtdFile.c_str(), &handlers[2], &sink)};
    const int loadedXml = one->loadXml("<r><a>first value</a><a>second value</a></r>");
    const char* nodes = one->selectNodes("//a");
    const int loadedFile = other->loadFile(xmlFile.c_str());
    const char* node = other->selectSingleNode("/r/c");
    const bool loaded = store->load(storeFile.c_str());
    const int32_t id = store->getValueId(7, "Red");
    const char* name = store->getTagName(9);
    long status = writer->startDocument();
    const auto step = [&](long s) { status = status == 0 ? s : status; };
    IKORAXmlAttribute* set = writer->createAttribute("id", 7, 0);
    step(set == nullptr ? kOutOfMemory : 0);
    if (set != nullptr) {
      set->addAttribute("kind", "first");
    }
    step(writer->startElement("r", set));
    step(writer->writeElement("v", "text", false, nullptr));
    step(writer->endElement());
    step(writer->endDocument());
    const char* written = writer->getXml();
    disarm();
    const std::vector<std::string> parsed = {"startDocument", "<r", "[r", "a=1", "]r",
                                             "text:text",     "<c", "]c", "/c",  "/r",
                                             "endDocument"};
    const auto read = [&](int i) {
      return statuses[i] == kOutOfMemory || (statuses[i] == 0 && handlers[i].events == parsed);
    };
    return read(0) && read(1) && (statuses[2] == kDtdProhibited || statuses[2] == kOutOfMemory) &&
           ((loadedXml == 0 && is(nodes, {"<a>first value</a>\n<a>second value</a>\n", ""})) ||
            (loadedXml == -1 && is(nodes, {""}))) &&
           ((loadedFile == 0 && is(node, {"<c/>", ""})) || (loadedFile == -1 && is(node, {""}))) &&
           (loaded ? id == 2 : id == KORA_TAG_NOT_FOUND) && is(name, {"0x0009", ""}) &&
           ((status == 0 &&
             is(written, {"<r kind=\"first\" id=\"7\">\r\n\t<v>text</v>\r\n</r>", ""})) ||
            status == kOutOfMemory);
  });

  auto logs = make<KORALogManagerFactory_Create, KORALogManagerFactory_Destroy>();
  const std::string logFolder = (dir.path() / "logs").string();
  tryEveryAllocation("preset calls, log policy and deletion", [&] {
    auto manager = presets();
    ::unlink(savedPreset.c_str());
    arm();
    const uint32_t handle = manager->open(presetFile);
    const uint32_t other = manager->open(otherPreset);
    const char* value = manager->getValue(handle, "k");
    const std::map<std::string, std::string> differences = manager->getDifferences(handle, other);
    const bool added = manager->addMissing(other, handle);
    const bool saved = manager->saveAs(handle, savedPreset);
    logs->setPath(logFolder);
    const int removeAll = logs->removeAll();
    const long deleted = logs->deleteFiles([](const std::string&) { return false; });
    disarm();
    using Map = std::map<std::string, std::string>;
    const bool opened = handle != 0;
    return (!opened || std::string_view(value) == "v") &&
           (differences.empty() || differences == Map{{"k", "x"}}) && (!saved || opened) &&
           (!opened || (std::string_view(manager->getValue(handle, "m")) == "y") == added) &&
           (removeAll == 2 || removeAll == 0) && (deleted == 0 || deleted == kOutOfMemory);
  });
}

// A formatter's own exception, even one about memory, passes on as it was thrown.
TEST(OutOfMemory, AFormattersOwnExceptionPassesOn) {
  Formatter formatter;
  formatter.throws = true;
  std::string out = "old";
  EXPECT_THROW(tokenParser()->formatTokens("%Y", out, &formatter), std::bad_alloc);
  EXPECT_EQ(out, "old");
}

}  // namespace
