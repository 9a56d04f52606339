// What every tool does with hostile documents and paths, tried through the public objects: files
// that are not regular files, documents with a document type declaration.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "event_recorder.h"
#include "platform/descriptor.h"
#include "scratch_dir.h"
#include "zttools.h"

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
  for (const std::string& event : recorder.events()) {
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
  std::strcpy(address.sun_path, socketPath.c_str());
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

}  // namespace
