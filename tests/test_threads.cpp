// The tools on several threads at once: every thread has its own token position counters and
// its own path buffer, so concurrent scans, file parses and tag loads each give exactly what they
// give alone. CI runs this suite under ThreadSanitizer too.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <latch>
#include <numeric>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "scratch_dir.h"
#include "tag/tag_manager.h"
#include "token_scan.h"
#include "zttools.h"

namespace zt::token {
namespace {

constexpr int kThreads = 8;

// Runs job(i) for each thread's i once alone, then `rounds` times on its own thread, all threads
// starting together, and expects each answer alone every time. The answers alone must all
// differ: jobs that fail alike everywhere would agree under any sharing.
void expectAnswersAlone(int rounds, const std::function<std::string(int)>& job) {
  std::vector<std::string> alone;
  for (int i = 0; i < kThreads; ++i) alone.push_back(job(i));
  EXPECT_EQ(std::set<std::string>(alone.begin(), alone.end()).size(), alone.size());
  std::atomic<int> mismatches{0};
  std::latch start(kThreads);
  {
    std::vector<std::jthread> threads;
    for (int i = 0; i < kThreads; ++i) {
      threads.emplace_back([&, i] {
        start.arrive_and_wait();
        for (int r = 0; r < rounds; ++r) mismatches += job(i) == alone[i] ? 0 : 1;
      });
    }
  }
  EXPECT_EQ(mismatches.load(), 0);
}

TEST(Threads, ClassicScansKeepTheirOwnPositions) {
  // Failures at different positions, with different newline counts, and successes.
  const std::vector<std::string> formats = {
      "%N%N%N",         "AB CD %1,Y", "Lot %05S %1/Y %N%T", "%1N", "one %Y two %T %X",
      "%N x %N y %12Y", "#a#%Z",      "%25S and more text",
  };
  expectAnswersAlone(300, [&](int i) {
    Tokens tokens;
    const Rejection error = rejection([&] { tokens = scanTokens(formats[i]); });
    return testing::PrintToString(error) +
           std::accumulate(tokens.begin(), tokens.end(), std::string());
  });
}

// A scan of each family halted after two newlines while whole scans of both families run to
// their end on another thread: the halted scan goes on with its own positions and newline count.
// The threads take turns, so the outcome never depends on timing.
template <class Parser>
void expectHaltedScanUndisturbed() {
  Parser parser;
  parser.reset();
  auto newline = [&parser] {
    parser.beginToken('%');
    parser.addSpecifier('N');
    parser.commitToken();
  };
  newline();
  newline();
  std::vector<Rejection> others;
  std::jthread([&] {
    others = {scanRejection<TokenParser>("AB %N%N%N"), scanRejection<TokenParserEx>("AB %N%N%N")};
  }).join();
  EXPECT_EQ(others, (std::vector<Rejection>{{23, 7}, {23, 7}}));
  EXPECT_EQ(rejection(newline), (Rejection{23, 4}));
}

TEST(Threads, AHaltedScanKeepsItsPositionsWhileOthersRun) {
  expectHaltedScanUndisturbed<TokenParser>();
  expectHaltedScanUndisturbed<TokenParserEx>();
}

// A tag load is a file parse: files of names of different lengths, so that a shared path buffer
// of the parser would mix them up.
TEST(Threads, TagLoadsRunAtOnce) {
  ScratchDir dir;
  std::vector<std::string> paths;
  for (int i = 0; i < kThreads; ++i) {
    const std::string xml =
        "<vexkoratagstore><tags><tag name=\"Colour\"><id>" + std::to_string(i + 1) +
        "</id><tagvalues><tagvalue name=\"Blue\"><value>" + std::to_string(10 * i) +
        "</value></tagvalue></tagvalues></tag></tags></vexkoratagstore>";
    paths.push_back(dir.write(std::string(static_cast<size_t>(i + 1) * 7, 'd') + ".xml", xml));
  }
  expectAnswersAlone(40, [&](int i) {
    tag::KORATagManager manager;
    if (!manager.load(paths[i].c_str())) return std::string("not loaded");
    const int32_t id = manager.getTagId("Colour");
    return std::string(manager.getTagName(id)) + " " + std::to_string(id) + " " +
           std::to_string(manager.getValueId(id, "Blue"));
  });
}

}  // namespace
}  // namespace zt::token
