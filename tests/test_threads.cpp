// The tools on several threads at once: every thread has its own token position counters and
// its own path buffer, so concurrent scans, file parses and tag loads each give exactly what they
// give alone. CI runs this suite under ThreadSanitizer too.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "event_recorder.h"
#include "scratch_dir.h"
#include "tag/tag_manager.h"
#include "token/token_parser.h"
#include "token/token_scanner.h"
#include "xml/xml_parser.h"
#include "zttools.h"

namespace {

constexpr int kThreads = 8;

// Runs job(i) for i in [0, jobs) once alone, to get each answer, then runs every job `rounds`
// times on its own thread, all starting together, and counts the answers that differ.
int mismatchesUnderContention(int jobs, int rounds, const std::function<std::string(int)>& job) {
  std::vector<std::string> alone;
  for (int i = 0; i < jobs; ++i) {
    alone.push_back(job(i));
  }
  std::atomic<int> mismatches{0};
  std::latch start(jobs);
  std::vector<std::thread> threads;
  for (int i = 0; i < jobs; ++i) {
    threads.emplace_back([&, i] {
      start.arrive_and_wait();
      for (int r = 0; r < rounds; ++r) {
        if (job(i) != alone[i]) {
          ++mismatches;
        }
      }
    });
  }
  for (auto& t : threads) {
    t.join();
  }
  return mismatches.load();
}

std::string classicScan(const std::string& format) {
  zt::token::TokenParser parser;
  try {
    zt::token::TokenStringScanner().scan(&parser, format);
  } catch (const kora_token_parser_exception& e) {
    return "error " + std::to_string(e.code) + " at " + std::to_string(e.position);
  }
  std::string out;
  for (const auto& t : parser.tokens()) {
    out += t->specifier + t->modifier + "|" + t->delimiter + "|" + t->text + ";";
  }
  return out;
}

TEST(Threads, ClassicScansKeepTheirOwnPositions) {
  // Failures at different positions, with different newline counts, and successes.
  const std::vector<std::string> formats = {
      "%N%N%N",         "AB CD %1,Y", "Lot %05S %1/Y %N%T", "%1N", "one %Y two %T %X",
      "%N x %N y %12Y", "#a#%Z",      "%25S and more text",
  };
  ASSERT_EQ(formats.size(), static_cast<size_t>(kThreads));
  EXPECT_EQ(classicScan(formats[0]), "error 23 at 4");
  EXPECT_EQ(classicScan(formats[1]), "error 2 at 8");
  EXPECT_EQ(
      mismatchesUnderContention(kThreads, 300, [&](int i) { return classicScan(formats[i]); }), 0);
}

std::string parsedEvents(const std::string& path) {
  zt::xml::KORAXmlParser parser;
  EventRecorder recorder;
  const long status = parser.parseFile(path.c_str(), &recorder, nullptr);
  std::string out = std::to_string(status);
  for (const auto& e : recorder.events()) {
    out += "\n" + e;
  }
  return out;
}

TEST(Threads, FileParsesRunAtOnce) {
  // Paths of different lengths, so that a shared path buffer would mix them up.
  ScratchDir dir;
  std::vector<std::string> paths;
  for (int i = 0; i < kThreads; ++i) {
    const std::string name = std::string(static_cast<size_t>(i + 1) * 7, 'd') + ".xml";
    std::string xml = "<root n=\"" + std::to_string(i) + "\">";
    for (int k = 0; k <= i; ++k) {
      xml += "<item>" + std::to_string(i * 100 + k) + "</item>";
    }
    paths.push_back(dir.write(name, xml + "</root>"));
  }
  EXPECT_EQ(parsedEvents(paths[1]),
            "0\nstartDocument\n<root\n[root\nn=1\n]root\n<item\n]item\ntext:100\n/item\n<item\n"
            "]item\ntext:101\n/item\n/root\nendDocument");
  EXPECT_EQ(mismatchesUnderContention(kThreads, 40, [&](int i) { return parsedEvents(paths[i]); }),
            0);
}

std::string loadedTags(const std::string& path) {
  zt::tag::KORATagManager manager;
  if (!manager.load(path.c_str())) {
    return "not loaded";
  }
  return std::string(manager.getTagName(manager.getTagId("Colour"))) + " " +
         std::to_string(manager.getValueId(manager.getTagId("Colour"), "Blue"));
}

TEST(Threads, TagLoadsRunAtOnce) {
  ScratchDir dir;
  std::vector<std::string> paths;
  for (int i = 0; i < kThreads; ++i) {
    paths.push_back(
        dir.write("store" + std::string(static_cast<size_t>(i), 's') + ".xml",
                  "<vexkoratagstore><tags><tag name=\"Colour\"><id>" + std::to_string(i + 1) +
                      "</id><tagvalues><tagvalue name=\"Blue\"><value>" + std::to_string(10 * i) +
                      "</value></tagvalue></tagvalues></tag></tags></vexkoratagstore>"));
  }
  EXPECT_EQ(loadedTags(paths[3]), "Colour 30");
  EXPECT_EQ(mismatchesUnderContention(kThreads, 40, [&](int i) { return loadedTags(paths[i]); }),
            0);
}

}  // namespace
