// Inputs at the size limits: megabyte format strings through both token parsers, crash-safe
// preset saves under SIGKILL, a 200 MB document parsed in bounded memory and a log folder of
// 100 000 files. The time and memory bounds hold for an optimised build; sanitizer builds only
// check the results, since their instrumentation changes both.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "scratch_dir.h"

#include "token/kora_token_parser.h"
#include "token/kora_token_parser_ex.h"
#include "token/token_parser.h"
#include "token/token_parser_ex.h"
#include "token/token_scanner.h"
#include "xml/utf8_text.h"
#include "xml/xml_content_handler.h"
#include "zttools.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ZT_TEST_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ZT_TEST_SANITIZED 1
#endif
#endif

namespace {

constexpr bool kSanitized =
#ifdef ZT_TEST_SANITIZED
    true;
#else
    false;
#endif

#ifdef NDEBUG
constexpr bool kOptimised = !kSanitized;
#else
constexpr bool kOptimised = false;
#endif

// Processor seconds this thread has used: other work on a shared machine does not count.
double threadSeconds() {
  timespec now{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Runs `work` and, in an optimised build, expects it to take less than a second of processor
// time. A linear pass over a megabyte takes a fraction of that; a quadratic one takes minutes.
// A slow first run (page faults of a busy machine count too) is given one more try.
template <class Work>
void expectFast(Work&& work, const std::string& what) {
  for (int attempt = 0;; ++attempt) {
    const double start = threadSeconds();
    work();
    const double seconds = threadSeconds() - start;
    if (!kOptimised || seconds < 1.0) {
      return;
    }
    if (attempt == 1) {
      ADD_FAILURE() << what << " took " << seconds << " s";
      return;
    }
  }
}

std::string repeatedToMegabyte(const std::string& unit) {
  std::string s;
  s.reserve((1u << 20) + unit.size());
  while (s.size() < (1u << 20)) {
    s += unit;
  }
  return s;
}

class EchoFormatter final : public KORATokenFormatterInterface {
 public:
  int formatToken(const std::string& specifier, const std::string&, const std::string&,
                  const std::string& text, std::stringstream& out) override {
    out << (specifier == "M" ? text : specifier);
    return 0;
  }
};

class EchoFormatterEx final : public KORATokenFormatterExInterface {
 public:
  bool acceptToken(char, char, char) override { return true; }
  int formatToken(const std::string& specifier, const std::string&, const std::string&,
                  const std::string& text, std::stringstream& out) override {
    out << (specifier == "M" ? text : specifier);
    return 0;
  }
};

// A megabyte format string of many short tokens, and one of a single message with no break
// character, through every operation that scans: the builders directly and the public objects of
// both families. Each must stay linear in the length of the string.
TEST(MegabyteFormatStrings, ScanInLinearTime) {
  const std::string many = repeatedToMegabyte("a%Y");
  const std::string unbroken(1u << 20, 'm');
  const std::size_t manyTokens = many.size() / 3 * 2;
  const std::vector<std::string> unbrokenPieces{std::string(20, 'm'),
                                                std::string((1u << 20) % 20, 'm')};

  struct Scan {
    const char* name;
    std::vector<std::string> (*messages)(const std::string&, std::size_t&);
  };
  const Scan scans[] = {
      {"classic",
       [](const std::string& f, std::size_t& tokens) {
         zt::token::TokenParser parser;
         zt::token::TokenStringScanner().scan(&parser, f);
         tokens = parser.tokens().size();
         return parser.messages();
       }},
      {"extended",
       [](const std::string& f, std::size_t& tokens) {
         EchoFormatterEx formatter;
         zt::token::TokenParserEx parser(&formatter);
         zt::token::TokenStringScanner().scan(&parser, f);
         tokens = parser.tokens().size();
         return parser.messages();
       }},
  };
  for (const Scan& scan : scans) {
    std::size_t tokens = 0;
    std::vector<std::string> messages;
    expectFast([&] { messages = scan.messages(many, tokens); }, std::string(scan.name) + " a%Y");
    EXPECT_EQ(tokens, manyTokens) << scan.name;
    EXPECT_EQ(messages, std::vector<std::string>{"a"}) << scan.name;
    expectFast([&] { messages = scan.messages(unbroken, tokens); },
               std::string(scan.name) + " unbroken");
    EXPECT_EQ(tokens, 1u) << scan.name;
    EXPECT_EQ(messages, unbrokenPieces) << scan.name;
  }
}

// The same megabyte message, but of pieces that all differ: refused as too many messages, at its
// last character, in the same linear time.
TEST(MegabyteFormatStrings, DistinctPiecesAreRefusedInLinearTime) {
  std::string distinct;
  for (unsigned n = 0; distinct.size() < (1u << 20); ++n) {
    std::string piece(20, 'a');
    for (unsigned v = n, i = 0; v != 0; v /= 26, ++i) {
      piece[i] = static_cast<char>('a' + v % 26);
    }
    distinct += piece;
  }
  auto refusal = [&](auto& parser) {
    try {
      zt::token::TokenStringScanner().scan(&parser, distinct);
    } catch (const kora_token_parser_exception& e) {
      return std::pair{e.code, e.position};
    }
    return std::pair{0, -1};
  };
  const std::pair expected{32, static_cast<int>(distinct.size()) - 1};
  expectFast(
      [&] {
        zt::token::TokenParser classic;
        EXPECT_EQ(refusal(classic), expected);
      },
      "classic distinct pieces");
  expectFast(
      [&] {
        zt::token::TokenParserEx extended(nullptr);
        EXPECT_EQ(refusal(extended), expected);
      },
      "extended distinct pieces");
}

TEST(MegabyteFormatStrings, PublicObjectsStayLinear) {
  const std::string many = repeatedToMegabyte("a%Y");
  const std::string unbroken(1u << 20, 'm');
  zt::token::KORATokenParser classic;
  zt::token::KORATokenParserEx extended;
  EchoFormatter echo;
  EchoFormatterEx echoEx;
  for (const std::string* format : {&many, &unbroken}) {
    const std::string label = format == &many ? "a%Y" : "unbroken";
    std::string classicXml;
    std::string extendedXml;
    expectFast([&] { classic.processTokens(format->c_str(), classicXml); },
               "classic processTokens " + label);
    expectFast([&] { extended.processTokens(format->c_str(), extendedXml, &echoEx); },
               "extended processTokens " + label);
    // The document round-trips to the format string it came from.
    std::string back;
    expectFast([&] { classic.buildTokenString(classicXml.c_str(), back); },
               "classic buildTokenString " + label);
    EXPECT_TRUE(back == *format) << label << ": " << back.size() << " bytes back";
    back.clear();
    expectFast([&] { extended.buildTokenString(extendedXml.c_str(), back, nullptr); },
               "extended buildTokenString " + label);
    EXPECT_TRUE(back == *format) << label << ": " << back.size() << " bytes back";

    std::string text;
    std::string textEx;
    expectFast([&] { classic.formatTokens(format->c_str(), text, &echo); },
               "classic formatTokens " + label);
    expectFast([&] { extended.formatTokens(format->c_str(), textEx, &echoEx); },
               "extended formatTokens " + label);
    const std::string expected =
        format == &many ? repeatedToMegabyte("aY").substr(0, many.size() / 3 * 2) : unbroken;
    EXPECT_TRUE(text == expected) << label;
    EXPECT_TRUE(textEx == expected) << label;
  }
}

}  // namespace

namespace {

namespace fs = std::filesystem;

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A preset saved over and over, alternating two contents, by a child process that is killed at
// a random moment: the file is always one of the two, whole. Saves write a temporary file, flush
// it and rename it over the original, so there is no moment at which a kill can leave a mixture
// or a truncated file.
TEST(CrashSafeSaves, AKilledSaveLeavesTheOldOrTheNewFileWhole) {
  ScratchDir dir;
  // Contents of different lengths, so that a truncated or partly overwritten file shows.
  std::string small = "[Preset]\nPreset Driver=small\n";
  std::string large = "[Preset]\nPreset Driver=large\n";
  for (int i = 0; i < 2000; ++i) {
    large += "Setting" + std::to_string(i) + "=" +
             std::string(20, static_cast<char>('a' + i % 26)) + "\n";
  }
  const std::string sources[] = {dir.write("small.ini", small), dir.write("large.ini", large)};
  const std::string target = (dir.path() / "target.ini").string();

  // What one complete save of each gives.
  std::string expected[2];
  {
    KORAPresetManagerInterface* manager = KORAPresetManagerFactory_Create();
    for (int k = 0; k < 2; ++k) {
      const uint32_t handle = manager->open(sources[k]);
      ASSERT_NE(handle, 0u);
      const std::string reference = (dir.path() / ("reference" + std::to_string(k))).string();
      ASSERT_TRUE(manager->saveAs(handle, reference));
      expected[k] = readFile(reference);
      fs::remove(reference);
    }
    ASSERT_TRUE(manager->saveAs(manager->open(sources[0]), target));
    KORAPresetManagerFactory_Destroy(manager);
  }
  ASSERT_NE(expected[0], expected[1]);

  std::mt19937 random(20240301);
  std::uniform_int_distribution<int> delay(0, 15000);  // microseconds before the kill
  int killedWhileSaving = 0;
  constexpr int kRounds = 60;
  for (int round = 0; round < kRounds; ++round) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      KORAPresetManagerInterface* manager = KORAPresetManagerFactory_Create();
      const uint32_t handles[] = {manager->open(sources[0]), manager->open(sources[1])};
      for (int i = 0; i < 400; ++i) {
        if (!manager->saveAs(handles[i % 2], target)) {
          ::_exit(1);
        }
      }
      ::_exit(0);
    }
    ::usleep(static_cast<useconds_t>(delay(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) == 0));
    killedWhileSaving += WIFSIGNALED(status) ? 1 : 0;
    const std::string content = readFile(target);
    ASSERT_TRUE(content == expected[0] || content == expected[1])
        << "round " << round << ": " << content.size() << " bytes";
  }
  // Most children die mid-run; otherwise the test proves nothing.
  EXPECT_GT(killedWhileSaving, kRounds / 2);
}

class IgnoreAll final : public zt::xml::KORAXmlContentHandler {
 public:
  [[nodiscard]] const char* handlerName() const override { return "IgnoreAll"; }
};

// VmRSS or VmHWM of this process in kB, from /proc/self/status.
long memoryFigure(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with(field + ":")) {
      return std::stol(line.substr(field.size() + 1));
    }
  }
  return -1;
}

// A 200 MB document parsed from its file with a handler that ignores every event: the parser
// streams it in chunks, so its peak memory stays far below the document's size. Measured in a
// child process, whose peak starts from what it inherited.
TEST(HugeDocument, ParsesA200MegabyteFileInBoundedMemory) {
  ScratchDir dir;
  const std::string path = (dir.path() / "huge.xml").string();
  constexpr std::size_t kSize = 200u << 20;
  {
    std::ofstream out(path, std::ios::binary);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<log>\n";
    const std::string record =
        "  <entry id=\"12345\" level=\"info\">scan finished &amp; stored <b>\xC3\xA9</b></entry>\n";
    std::string block;
    while (block.size() < (1u << 20)) {
      block += record;
    }
    for (std::size_t written = 0; written < kSize; written += block.size()) {
      out << block;
    }
    out << "</log>\n";
    ASSERT_TRUE(out.good());
  }

  int pipeEnds[2];
  ASSERT_EQ(::pipe(pipeEnds), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    IgnoreAll ignore;
    const long before = memoryFigure("VmRSS");
    KORAXmlParserInterface* parser = KORAXmlParserFactory_Create();
    const long status = parser->parseFile(path.c_str(), &ignore, nullptr);
    KORAXmlParserFactory_Destroy(parser);
    const long figures[] = {status, memoryFigure("VmHWM") - before};
    const bool sent = ::write(pipeEnds[1], figures, sizeof figures) == sizeof figures;
    ::_exit(sent ? 0 : 1);
  }
  ::close(pipeEnds[1]);
  long figures[2] = {1, 0};
  const bool received = ::read(pipeEnds[0], figures, sizeof figures) == sizeof figures;
  ::close(pipeEnds[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(received && WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(figures[0], 0) << "parse status";
  if (!kSanitized) {
    EXPECT_LT(figures[1], 64 * 1024) << "peak growth in kB";
  }
}

// A log folder of 100 000 files in a hundred subfolders: every file is inventoried, planned,
// deleted and reported once.
TEST(LogFolder, HundredThousandFilesArePlannedAndCleaned) {
  ScratchDir dir;
  const fs::path folder = dir.path() / "logs";
  constexpr int kFiles = 100000;
  for (int i = 0; i < kFiles; ++i) {
    const fs::path sub = folder / ("day" + std::to_string(i % 100));
    if (i < 100) {
      fs::create_directories(sub);
    }
    std::ofstream(sub / ("scan" + std::to_string(i) + ".log")).put('x');
  }
  std::ofstream(folder / "keep.txt").put('x');

  KORALogManagerInterface* manager = KORALogManagerFactory_Create();
  manager->setPath(folder.string());
  EXPECT_EQ(manager->removeAll(), static_cast<uint32_t>(kFiles));
  const std::string& plan = manager->getReport();
  const auto count = [](const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
      ++n;
    }
    return n;
  };
  EXPECT_EQ(count(plan, ".log\""), static_cast<std::size_t>(kFiles));
  EXPECT_EQ(manager->deleteFiles(), 0);
  EXPECT_EQ(count(manager->getDeleteReport(), "<code>0</code>"), static_cast<std::size_t>(kFiles));
  KORALogManagerFactory_Destroy(manager);

  std::size_t left = 0;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    left += entry.is_regular_file() ? 1 : 0;
  }
  EXPECT_EQ(left, 1u) << "only keep.txt";
}

// Whether `text` is well-formed XML, read by the library's own parser.
bool wellFormed(const std::string& text) {
  KORAXmlParserInterface* parser = KORAXmlParserFactory_Create();
  IgnoreAll ignore;
  const long status = parser->parseString(text.c_str(), &ignore, nullptr);
  KORAXmlParserFactory_Destroy(parser);
  return status == 0;
}

// Bytes that are not UTF-8 (a stray continuation, an overlong form, a surrogate, a byte that
// never occurs) given wherever a narrow string enters: whatever the XML objects and token parsers
// write is valid UTF-8 and well-formed, and what the library keeps byte for byte (log paths,
// preset settings) comes back unchanged.
TEST(InvalidUtf8, EveryNarrowEntryKeepsItsXmlWellFormed) {
  const std::string bad =
      "a\x80"
      "b\xC0\xAF\xED\xA0\x80\xFF";
  ScratchDir dir;
  struct Case {
    const char* entry;
    std::function<std::string()> xml;
  };
  const Case cases[] = {
      {"classic format string",
       [&] {
         std::string xml;
         KORATokenParserInterface* p = KORATokenParserFactory_Create();
         p->processTokens((bad + " %Y").c_str(), xml);
         KORATokenParserFactory_Destroy(p);
         return xml;
       }},
      {"extended format string",
       [&] {
         std::string xml;
         EchoFormatterEx accept;
         KORATokenParserExInterface* p = KORATokenParserExFactory_Create();
         p->processTokens((bad + " %A").c_str(), xml, &accept);
         KORATokenParserExFactory_Destroy(p);
         return xml;
       }},
      {"writer names, values and texts",
       [&] {
         KORAXmlWriterInterface* w = KORAXmlWriterFactory_Create();
         IKORAXmlAttribute* attributes = w->createAttribute(("n" + bad).c_str(), bad.c_str());
         w->startDocument();
         w->startElement(("e" + bad).c_str(), attributes);
         w->characters(bad.c_str(), false);
         w->writeElement("c", bad.c_str(), true, nullptr);
         w->endElement();
         w->endDocument();
         std::string xml = w->getXml();
         KORAXmlWriterFactory_Destroy(w);
         return xml;
       }},
      {"xpath document and expression",
       [&] {
         KORAXmlXPathInterface* x = KORAXmlXPathFactory_Create();
         x->loadXml(("<r><a>" + bad + "</a></r>").c_str());
         std::string xml = x->selectSingleNode("/r/a");
         const std::string none = x->selectNodes(("/r/" + bad).c_str());
         KORAXmlXPathFactory_Destroy(x);
         return none.empty() ? xml : none;
       }},
  };
  for (const Case& c : cases) {
    const std::string xml = c.xml();
    EXPECT_FALSE(xml.empty()) << c.entry;
    EXPECT_TRUE(zt::xml::isValidUtf8(xml)) << c.entry;
    EXPECT_TRUE(wellFormed(xml)) << c.entry << ":\n" << xml;
    EXPECT_NE(xml.find("\xEF\xBF\xBD"), std::string::npos) << c.entry << " shows U+FFFD";
  }

  // Log reports carry paths byte for byte (their format escapes nothing), and the file with
  // such a name is found and deleted.
  const fs::path folder = dir.path() / ("logs" + bad);
  const std::string logFile = (folder / ("f" + bad + ".log")).string();
  fs::create_directories(folder);
  std::ofstream(logFile).put('x');
  KORALogManagerInterface* logs = KORALogManagerFactory_Create();
  logs->setPath(folder.string());
  EXPECT_EQ(logs->removeAll(), 1u);
  EXPECT_NE(logs->getReport().find("name=\"" + logFile + "\""), std::string::npos);
  EXPECT_EQ(logs->deleteFiles(), 0);
  EXPECT_NE(logs->getDeleteReport().find("<file name=\"" + logFile + "\" >\n       <code>0</code>"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(logFile));
  KORALogManagerFactory_Destroy(logs);

  // Preset keys and values are bytes, not XML: kept exactly.
  const std::string preset = dir.write("p.ini", "[Preset]\nk" + bad + "=v" + bad + "\n");
  KORAPresetManagerInterface* presets = KORAPresetManagerFactory_Create();
  const uint32_t handle = presets->open(preset);
  EXPECT_STREQ(presets->getValue(handle, "k" + bad), ("v" + bad).c_str());
  const std::string copy = (dir.path() / "copy.ini").string();
  EXPECT_TRUE(presets->saveAs(handle, copy));
  EXPECT_NE(readFile(copy).find("k" + bad + "=v" + bad), std::string::npos);
  KORAPresetManagerFactory_Destroy(presets);

  // A tag name that is not UTF-8 is simply not found.
  KORATagManagerInterface* tags = KORATagManagerFactory_Create();
  EXPECT_FALSE(tags->load((dir.path() / ("t" + bad + ".xml")).c_str()));
  EXPECT_EQ(tags->getTagId(bad.c_str()), 427172114);
  KORATagManagerFactory_Destroy(tags);
}

}  // namespace
