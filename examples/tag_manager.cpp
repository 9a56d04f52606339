// A driver's tag translation step: a tag store is loaded, tags and their values are translated
// between names and ids in both directions, ids the store lacks get generated names, and a store
// that fails to load leaves what was read before it.
#include <zttools.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

int failures = 0;

void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "FAILED: %s\n", what);
    ++failures;
  }
}

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

}  // namespace

int main() {
  char folderName[] = "/tmp/zt-tag-example-XXXXXX";
  if (mkdtemp(folderName) == nullptr) return 1;
  const std::string folder = folderName;
  const std::string store = folder + "/tags.xml";
  const std::string broken = folder + "/broken.xml";
  // Ids are read as C integers: 0x2 is 2. Size has no values.
  writeFile(store,
            "<?xml version=\"1.0\"?>\n"
            "<vexkoratagstore>\n"
            "  <tags>\n"
            "    <tag name=\"Color\">\n"
            "      <id>1</id>\n"
            "      <tagvalues>\n"
            "        <tagvalue name=\"Red\"><value>0</value></tagvalue>\n"
            "        <tagvalue name=\"Blue\"><value>1</value></tagvalue>\n"
            "      </tagvalues>\n"
            "    </tag>\n"
            "    <tag name=\"Size\"><id>0x2</id><tagvalues/></tag>\n"
            "  </tags>\n"
            "</vexkoratagstore>\n");
  // The second tag carries an attribute outside the store's words as its last one.
  writeFile(broken,
            "<vexkoratagstore><tags>"
            "<tag name=\"Mode\"><id>3</id><tagvalues/></tag>"
            "<tag name=\"Duplex\" kind=\"bool\"><id>4</id><tagvalues/></tag>"
            "</tags></vexkoratagstore>");

  KORATagManagerInterface* tags = KORATagManagerFactory_Create();
  check(std::string(tags->getPath()).empty(), "no path before the first load");
  check(tags->getTagId("Color") == KORA_TAG_NOT_FOUND, "a fresh manager knows no tag");

  check(tags->load(store.c_str()), "the store loads");
  check(tags->getPath() == store, "getPath names the store");

  // Tags by name and by id; the lookup forms answer as the get forms.
  const int32_t color = tags->getTagId("Color");
  check(color == 1 && tags->lookupTagId("Color") == color, "tag id by name");
  check(tags->getTagId("Size") == 2, "a hexadecimal id");
  check(std::string(tags->getTagName(2)) == "Size", "tag name by id");
  check(std::string(tags->lookupTagName(2)) == "Size", "lookupTagName");
  check(tags->getTagId("color") == KORA_TAG_NOT_FOUND, "names match case and all");

  // Values within a tag.
  check(tags->getValueId(color, "Blue") == 1, "value id by name");
  check(std::string(tags->getValueName(color, 0)) == "Red", "value name by id");
  check(tags->getValueId(color, "Green") == KORA_TAG_NOT_FOUND, "absent value name");
  check(std::string(tags->getValueName(color, 7)).empty(), "absent value id");
  check(tags->getValueId(2, "Red") == KORA_TAG_NOT_FOUND, "a tag without values");
  check(tags->getValueId(9, "Red") == KORA_TAG_NOT_FOUND, "an absent tag id");

  // Asking for the name of an absent id files a tag under a generated name.
  const std::string generated = tags->getTagName(26);
  check(generated == "0x001a", "absent id gets \"0x\" and four hex digits");
  check(tags->getTagId("0x001a") == 26, "the generated name can be looked up");
  check(std::string(tags->getValueName(26, 0)).empty(), "a generated tag has no values");
  // 0x10001 shares its low 16 bits with Color's id, which must not be disturbed.
  check(std::string(tags->getTagName(0x10001)).empty(), "an id beyond 16 bits gets no name");
  check(std::string(tags->getTagName(1)) == "Color", "and replaces no tag");

  // A load that stops keeps what it read, and the path it was given.
  check(!tags->load(broken.c_str()), "a foreign last attribute stops the load");
  check(tags->getPath() == broken, "a failed load still sets the path");
  check(tags->getTagId("Mode") == 3, "tags read before the stop stay");
  check(tags->getTagId("Duplex") == KORA_TAG_NOT_FOUND, "the stopped tag is missing");
  check(tags->getTagId("Color") == 1, "earlier loads are kept");
  check(!tags->load((folder + "/missing.xml").c_str()), "a missing file does not load");

  tags = KORATagManagerFactory_Destroy(tags);
  check(tags == nullptr, "destroy returns null");

  std::filesystem::remove_all(folder);
  std::puts(failures == 0 ? "tag manager ok" : "tag manager failed");
  return failures == 0 ? 0 : 1;
}
