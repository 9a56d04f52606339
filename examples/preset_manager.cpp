// A driver's configuration step: a default preset and a user preset are opened, compared,
// the user's is completed from the default and saved, and a copy is written elsewhere.
#include <zttools.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace {

int failures = 0;

void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "FAILED: %s\n", what);
    ++failures;
  }
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

}  // namespace

int main() {
  char folderName[] = "/tmp/zt-preset-example-XXXXXX";
  if (mkdtemp(folderName) == nullptr) return 1;
  const std::string folder = folderName;
  const std::string defaults = folder + "/default.ini";
  const std::string user = folder + "/user.ini";
  const std::string copy = folder + "/copy.ini";
  writeFile(defaults, "[Preset]\nPreset Driver=Front\ndpi=300\nmode=color\nduplex=on\n");
  writeFile(user,
            "; user settings\r\n[Preset]\r\nPreset Driver=Back\r\ndpi=200\r\n"
            "\r\n[Window]\r\nx=10\r\n");

  KORAPresetManagerInterface* presets = KORAPresetManagerFactory_Create();
  check(std::string(presets->getVersion()) == "1.0.12001.24001", "version");

  const uint32_t base = presets->open(defaults);
  const uint32_t mine = presets->open(user);
  check(base != 0 && mine == base + 16, "handles");
  check(presets->open(folder + "/missing.ini") == 0, "missing file gives handle 0");

  const std::map<std::string, std::string> expected{{"dpi", "200"}};
  check(presets->getDifferences(base, mine) == expected, "differences ignore the driver");

  presets->setDefault(base);
  check(presets->addMissingFromDefault(mine), "completion from the default");
  check(std::string(presets->getValue(mine, "mode")) == "color", "completed value");
  check(std::string(presets->getValue(mine, "dpi")) == "200", "own value kept");
  check(std::string(presets->getValue(mine, "absent")).empty(), "absent key");

  check(presets->saveAs(mine, copy), "saveAs");
  check(presets->save(mine), "save");
  const std::string saved =
      "; user settings\r\n[Preset]\r\nPreset Driver=Back\r\ndpi=200\r\nduplex=on\r\n"
      "mode=color\r\n\r\n[Window]\r\nx=10\r\n";
  check(readFile(user) == saved, "saved file keeps the rest byte for byte");
  check(readFile(copy) == "[Preset]\nPreset Driver=Back\ndpi=200\nduplex=on\nmode=color\n", "copy");

  presets->close(mine);
  check(!presets->save(mine), "closed handle cannot be saved");
  presets = KORAPresetManagerFactory_Destroy(presets);

  for (const std::string& file : {defaults, user, copy}) std::remove(file.c_str());
  std::remove(folder.c_str());
  std::puts(failures == 0 ? "preset manager ok" : "preset manager failed");
  return failures == 0 ? 0 : 1;
}
