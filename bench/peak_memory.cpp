// Peak memory of a file parse: `zt_bench_memory --make PATH MB` writes a generated document of
// MB megabytes; `zt_bench_memory PATH` parses it with parseFile and a no-op handler and prints
// the process's peak resident size before and after the parse (VmHWM, in kB) and the seconds the
// parse took. Run in a process of its own, so that nothing else has raised the peak.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "inputs.h"
#include "zttools.h"

namespace {

long peakKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) {
      return std::strtol(line.c_str() + 6, nullptr, 10);
    }
  }
  return -1;
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

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--make") == 0) {
    std::FILE* file = std::fopen(argv[2], "wb");
    if (file == nullptr) {
      std::perror(argv[2]);
      return 1;
    }
    zt::bench::catalogue(std::strtoul(argv[3], nullptr, 10) << 20, [&](std::string_view piece) {
      std::fwrite(piece.data(), 1, piece.size(), file);
    });
    return std::fclose(file) == 0 ? 0 : 1;
  }
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s PATH | --make PATH MEGABYTES\n", argv[0]);
    return 2;
  }
  const long before = peakKilobytes();
  KORAXmlParserInterface* parser = KORAXmlParserFactory_Create();
  NoOpHandler handler;
  const auto start = std::chrono::steady_clock::now();
  const long status = parser->parseFile(argv[1], &handler, nullptr);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  KORAXmlParserFactory_Destroy(parser);
  std::printf("%ld %ld %.3f\n", before, peakKilobytes(), took.count());
  return status == 0 ? 0 : 1;
}
