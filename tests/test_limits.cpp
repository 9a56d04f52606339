// Inputs at the size limits: megabyte format strings through both token parsers, crash-safe
// preset saves under SIGKILL, a 200 MB document parsed in bounded memory, a log folder of
// 100 000 files and bytes that are not UTF-8 at every narrow entry. The time and memory bounds
// hold for an optimised build; sanitizer builds only check the results, since their
// instrumentation changes both.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "event_recorder.h"
#include "scratch_dir.h"
#include "token_scan.h"

#include "log/log_manager.h"
#include "preset/preset_manager.h"
#include "tag/tag_manager.h"
#include "token/kora_token_parser.h"
#include "token/kora_token_parser_ex.h"
#include "xml/xml_content_handler.h"
#include "xml/xml_parser.h"
#include "xml/xml_writer.h"
#include "xml/xml_xpath.h"
#include "zttools.h"

namespace {

namespace fs = std::filesystem;

// GCC names the sanitizers by macros, clang by features.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
constexpr bool kSanitized = __has_feature(address_sanitizer) || __has_feature(thread_sanitizer);
#else
constexpr bool kSanitized = false;
#endif

std::string repeatedToMegabyte(const std::string& unit) {
  std::string s;
  while (s.size() < (1u << 20)) s += unit;
  return s;
}

// A megabyte format string of many short tokens and one of a single message with no break
// character through the public objects of both families: documents of 16 MB are written and read
// back to the string they came from, and the echo prints every token. A megabyte of message
// pieces that all differ is refused as too many messages, at its last character. Every operation
// stays linear in the length of its input: a quadratic one would run for hours and meet the
// suite's time limit (tests/CMakeLists.txt), which guards against hangs, not speed.
TEST(MegabyteFormatStrings, PublicObjectsStayLinear) {
  const std::string many = repeatedToMegabyte("a%Y");
  const std::string unbroken(1u << 20, 'm');
  std::string manyPrinted;
  while (manyPrinted.size() < many.size() / 3 * 13) manyPrinted += "[M|||a][Y|||]";
  zt::token::KORATokenParser classic;
  zt::token::KORATokenParserEx extended;
  zt::token::Formatter echo;
  for (const auto& [format, printed] :
       {std::pair{&many, manyPrinted}, std::pair{&unbroken, "[M|||" + unbroken + "]"}}) {
    std::string xml[2], back[2], text[2];
    classic.processTokens(format->c_str(), xml[0]);
    extended.processTokens(format->c_str(), xml[1], &echo);
    classic.buildTokenString(xml[0].c_str(), back[0]);
    extended.buildTokenString(xml[1].c_str(), back[1], nullptr);
    classic.formatTokens(format->c_str(), text[0], &echo);
    extended.formatTokens(format->c_str(), text[1], &echo);
    for (int k = 0; k < 2; ++k) {
      EXPECT_TRUE(back[k] == *format) << k << format->substr(0, 4) << ": " << back[k].size();
      EXPECT_TRUE(text[k] == printed) << k << format->substr(0, 4);
    }
  }
  std::string distinct;
  for (unsigned n = 0; distinct.size() < (1u << 20); ++n) {
    std::string piece(20, 'a');
    for (unsigned v = n, i = 0; v != 0; v /= 26, ++i) piece[i] = static_cast<char>('a' + v % 26);
    distinct += piece;
  }
  const zt::token::Rejection expected{32, static_cast<int>(distinct.size()) - 1};
  std::string xml;
  EXPECT_EQ(zt::token::rejection([&] { classic.processTokens(distinct.c_str(), xml); }), expected);
  EXPECT_EQ(zt::token::rejection([&] { extended.processTokens(distinct.c_str(), xml, &echo); }),
            expected);
}

// A preset saved over and over, alternating two contents, by a child process that is killed at
// a random moment: the file is always one of the two, whole. Saves write a temporary file, flush
// it and rename it over the original, so there is no moment at which a kill can leave a mixture
// or a truncated file.
TEST(CrashSafeSaves, AKilledSaveLeavesTheOldOrTheNewFileWhole) {
  ScratchDir dir;
  // Contents of different lengths, so that a truncated or partly overwritten file shows. A save
  // writes them as they are.
  const std::string contents[] = {
      "[Preset]\nPreset Driver=small\n",
      "[Preset]\nPreset Driver=large\nSetting=" + std::string(60000, 'a') + "\n"};
  const std::string sources[] = {dir.write("small.ini", contents[0]),
                                 dir.write("large.ini", contents[1])};
  const std::string target = dir.write("target.ini", contents[0]);
  std::mt19937 random(20240301);
  std::uniform_int_distribution<int> delay(0, 15000);  // microseconds before the kill
  for (int round = 0; round < 60; ++round) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      zt::preset::KORAPresetManager saver;
      const uint32_t handles[] = {saver.open(sources[0]), saver.open(sources[1])};
      // Saves until killed, so that every kill falls into the run however fast the machine.
      for (int i = 0;; ++i) {
        if (!saver.saveAs(handles[i % 2], target)) ::_exit(1);
      }
    }
    ::usleep(static_cast<useconds_t>(delay(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "a save failed";
    const std::string content = readFile(target);
    ASSERT_TRUE(content == contents[0] || content == contents[1])
        << "round " << round << ": " << content.size() << " bytes";
  }
}

class IgnoreAll final : public zt::xml::KORAXmlContentHandler {
 public:
  [[nodiscard]] const char* handlerName() const override { return "IgnoreAll"; }
};

// VmRSS or VmHWM of this process in kB, from /proc/self/status.
long memoryFigure(const std::string& field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with(field + ":")) return std::stol(line.substr(field.size() + 1));
  }
  return -1;
}

// A 200 MB document parsed from its file with a handler that ignores every event: the parser
// streams it in chunks, so its peak memory stays far below the document's size.
TEST(HugeDocument, ParsesA200MegabyteFileInBoundedMemory) {
  ScratchDir dir;
  const std::string path = (dir.path() / "huge.xml").string();
  {
    std::ofstream out(path, std::ios::binary);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<log>\n";
    const std::string block = repeatedToMegabyte(
        "  <entry id=\"12345\" level=\"info\">scan finished &amp; stored "
        "<b>\xC3\xA9</b></entry>\n");
    for (int megabytes = 0; megabytes < 200; ++megabytes) out << block;
    out << "</log>\n";
    ASSERT_TRUE(out.good());
  }
  // The peak is reset to what is resident now, so earlier tests in this process do not count.
  std::ofstream("/proc/self/clear_refs") << "5";
  const long before = memoryFigure("VmRSS");
  IgnoreAll ignore;
  EXPECT_EQ(zt::xml::KORAXmlParser().parseFile(path.c_str(), &ignore, nullptr), 0)
      << "parse status";
  const long growth = memoryFigure("VmHWM") - before;
  EXPECT_TRUE(kSanitized || growth < 64 * 1024) << "peak growth " << growth << " kB";
}

std::size_t occurrences(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// A log folder of 100 000 files in a hundred subfolders: every file is inventoried, planned,
// deleted and reported once.
TEST(LogFolder, HundredThousandFilesArePlannedAndCleaned) {
  ScratchDir dir;
  const fs::path folder = dir.path() / "logs";
  constexpr std::size_t kFiles = 100000;
  for (std::size_t i = 0; i < kFiles; ++i) {
    const fs::path sub = folder / ("day" + std::to_string(i % 100));
    if (i < 100) fs::create_directories(sub);
    std::ofstream(sub / ("scan" + std::to_string(i) + ".log")).put('x');
  }
  std::ofstream(folder / "keep.txt").put('x');
  zt::log::KORALogManager manager;
  manager.setPath(folder.string());
  EXPECT_EQ(manager.removeAll(), kFiles);
  EXPECT_EQ(occurrences(manager.getReport(), ".log\""), kFiles);
  EXPECT_EQ(manager.deleteFiles(), 0);
  EXPECT_EQ(occurrences(manager.getDeleteReport(), "<code>0</code>"), kFiles);
  std::size_t left = 0;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    left += entry.is_regular_file();
  EXPECT_EQ(left, 1u) << "only keep.txt";
}

// Every class of ill-formed UTF-8, the well-formed characters at the edges of each range, and the
// two noncharacters XML forbids, where narrow text enters XML: each byte of an ill-formed
// sequence becomes U+FFFD wherever the sequence stands, well-formed text passes unchanged, and a
// forbidden character is written as one U+FFFD but refused in a document read.
TEST(InvalidUtf8, EachClassIsRepairedWhereItEnters) {
  struct Class {
    const char* name;
    std::string bytes;
    int replaced;  // the number of U+FFFD it becomes, 0 for well-formed text
    bool forbidden = false;
  };
  const Class classes[] = {
      {"overlong two bytes", "\xC0\xAF", 2},
      {"overlong two bytes, highest", "\xC1\xBF", 2},
      {"overlong three bytes", "\xE0\x80\xAF", 3},
      {"overlong three bytes, highest", "\xE0\x9F\xBF", 3},
      {"overlong four bytes", "\xF0\x80\x80\xAF", 4},
      {"overlong four bytes, highest", "\xF0\x8F\xBF\xBF", 4},
      {"surrogate, lowest", "\xED\xA0\x80", 3},
      {"surrogate, highest", "\xED\xBF\xBF", 3},
      {"above U+10FFFF", "\xF4\x90\x80\x80", 4},
      {"lead F5", "\xF5\x80\x80\x80", 4},
      {"lead F8", "\xF8", 1},
      {"lead FF", "\xFF", 1},
      {"lone continuation", "\x80", 1},
      {"lone continuation, highest", "\xBF", 1},
      {"two-byte sequence cut short", "\xC3", 1},
      {"three-byte sequence cut short", "\xE2\x82", 2},
      {"four-byte sequence cut short", "\xF0\x9F\x98", 3},
      {"U+FFFE", "\xEF\xBF\xBE", 1, true},
      {"U+FFFF", "\xEF\xBF\xBF", 1, true},
      {"U+0080", "\xC2\x80", 0},
      {"U+07FF", "\xDF\xBF", 0},
      {"U+0800", "\xE0\xA0\x80", 0},
      {"U+D7FF", "\xED\x9F\xBF", 0},
      {"U+E000", "\xEE\x80\x80", 0},
      {"U+FFFD", "\xEF\xBF\xBD", 0},
      {"U+10000", "\xF0\x90\x80\x80", 0},
      {"U+10FFFF", "\xF4\x8F\xBF\xBF", 0},
  };
  // The text each object reports for `text`, or "refused".
  auto parsed = [](const std::string& document, std::size_t at) {
    EventRecorder recorder;
    const long status = zt::xml::KORAXmlParser().parseString(document.c_str(), &recorder, nullptr);
    return status == 0 ? recorder.events.at(at) : std::string("refused");
  };
  auto processed = [](auto&& parser, const std::string& text, auto... formatter) {
    std::string xml;
    parser.processTokens(text.c_str(), xml, formatter...);
    return xml.substr(xml.rfind("<message>"));
  };
  const struct {
    const char* name;
    bool reads;  // refuses a forbidden character instead of writing U+FFFD
    std::function<std::string(const std::string&)> reported;
  } entries[] = {
      {"parser text", true,
       [&](const std::string& text) { return parsed("<e>" + text + "</e>", 3); }},
      {"parser attribute", true,
       [&](const std::string& text) { return parsed("<e v=\"" + text + "\"/>", 3); }},
      {"writer value, text and CDATA", false,
       [](const std::string& text) {
         zt::xml::KORAXmlWriter writer;
         writer.startElement("e", writer.createAttribute("n", text.c_str()));
         writer.characters(text.c_str(), false);
         writer.writeElement("t", text.c_str(), false, nullptr);
         writer.writeElement("c", text.c_str(), true, nullptr);
         writer.endElement();
         return std::string(writer.getXml());
       }},
      {"xpath document", true,
       [](const std::string& text) {
         zt::xml::KORAXmlXPath xpath;
         if (xpath.loadXml(("<e>" + text + "</e>").c_str()) != 0) return std::string("refused");
         return std::string(xpath.selectSingleNode("/e"));
       }},
      {"format string", false,
       [&](const std::string& text) { return processed(zt::token::KORATokenParser(), text); }},
      {"extended format string", false,
       [&](const std::string& text) {
         return processed(zt::token::KORATokenParserEx(), text, nullptr);
       }},
  };
  for (const auto& entry : entries) {
    for (const Class& c : classes) {
      std::string repaired = c.replaced == 0 ? c.bytes : "";
      for (int i = 0; i < c.replaced; ++i) repaired += "\xEF\xBF\xBD";
      for (const char* after : {"", "z"}) {
        SCOPED_TRACE(std::string(entry.name) + ": " + c.name +
                     (*after ? " inside" : " at the end"));
        const std::string reported = entry.reported("a" + c.bytes + after);
        if (c.forbidden && entry.reads) {
          EXPECT_EQ(reported, "refused");
        } else {
          EXPECT_EQ(reported, entry.reported("a" + repaired + after));
          EXPECT_NE(reported.find("a" + repaired + after), std::string::npos);
        }
      }
    }
  }
}

// Bytes that are not UTF-8 (a stray continuation, an overlong form, a surrogate, a byte that
// never occurs) in the narrow strings the table above does not reach: an XPath expression selects
// nothing, and what the library keeps byte for byte (log paths, preset settings) comes back
// unchanged.
TEST(InvalidUtf8, EveryNarrowEntryKeepsItsXmlWellFormed) {
  const std::string bad =
      "a\x80"
      "b\xC0\xAF\xED\xA0\x80\xFF";
  ScratchDir dir;
  // An expression that is not UTF-8 selects nothing.
  zt::xml::KORAXmlXPath xpath;
  ASSERT_EQ(xpath.loadXml("<r><a>x</a></r>"), 0);
  EXPECT_STREQ(xpath.selectNodes(("/r/" + bad).c_str()), "");

  // Log reports carry paths byte for byte (their format escapes nothing), and the file with
  // such a name is found and deleted.
  const std::string logFile = dir.write("logs" + bad + "/f" + bad + ".log", "x");
  zt::log::KORALogManager logs;
  logs.setPath((dir.path() / ("logs" + bad)).string());
  EXPECT_EQ(logs.removeAll(), 1u);
  EXPECT_NE(logs.getReport().find("name=\"" + logFile + "\""), std::string::npos);
  EXPECT_EQ(logs.deleteFiles(), 0);
  EXPECT_NE(logs.getDeleteReport().find("<file name=\"" + logFile + "\" >\n       <code>0</code>"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(logFile));

  // Preset keys and values are bytes, not XML: kept exactly.
  zt::preset::KORAPresetManager presets;
  const uint32_t handle = presets.open(dir.write("p.ini", "[Preset]\nk" + bad + "=v" + bad + "\n"));
  EXPECT_STREQ(presets.getValue(handle, "k" + bad), ("v" + bad).c_str());
  const std::string copy = (dir.path() / "copy.ini").string();
  EXPECT_TRUE(presets.saveAs(handle, copy));
  EXPECT_NE(readFile(copy).find("k" + bad + "=v" + bad), std::string::npos);

  // A tag store path that is not UTF-8 goes through the parser's path buffer, and a tag name that
  // is not UTF-8 is simply not found.
  zt::tag::KORATagManager tags;
  EXPECT_FALSE(tags.load((dir.path() / ("t" + bad + ".xml")).c_str()));
  EXPECT_EQ(tags.getTagId(bad.c_str()), KORA_TAG_NOT_FOUND);
}

}  // namespace
