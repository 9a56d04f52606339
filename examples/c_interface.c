/* A driver written in C: every tool family through zttools_c.h, with statuses, caller-owned and
   handle-owned text, and callbacks that get the driver's own data back. */
#define _POSIX_C_SOURCE 200809L
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <zttools_c.h>

static int failures;

static void check(bool ok, const char* what) {
  if (!ok) {
    fprintf(stderr, "FAILED: %s (%s)\n", what, zt_last_error_message());
    ++failures;
  }
}

static char folder[] = "/tmp/zt-c-example-XXXXXX";

static const char* inFolder(const char* name) {
  static char path[256];
  snprintf(path, sizeof path, "%s/%s", folder, name);
  return path;
}

static void writeFile(const char* name, const char* text) {
  FILE* file = fopen(inFolder(name), "wb");
  if (file != NULL) {
    fputs(text, file);
    fclose(file);
  }
}

/* Prints a counter from the driver's own counter value, messages as they are. */
static int printToken(void* user, const char* specifier, const char* modifier,
                      const char* delimiter, const char* text, zt_token_output* out) {
  (void)modifier;
  (void)delimiter;
  char number[16];
  switch (specifier[0]) {
    case 'S':
      snprintf(number, sizeof number, "%05d", *(const int*)user);
      return zt_token_output_write(out, number);
    case 'M':
      return zt_token_output_write(out, text);
    case '_':
      return zt_token_output_write(out, " ");
    default:
      return 0;
  }
}

static void tokenParser(void) {
  zt_token_parser* parser = zt_token_parser_new();
  char* xml = NULL;
  char* format = NULL;
  zt_token_error error;

  if (zt_token_parser_process(parser, "Lot %05S", &xml, &error) == ZT_OK) {
    zt_token_parser_build_string(parser, xml, &format);
    check(strcmp(format, "Lot %50S") == 0, "the document reads back");
    zt_free(format);
    zt_free(xml);
  }

  int counter = 42;
  char* printed = NULL;
  zt_token_parser_format(parser, "Lot %5S", printToken, &counter, &printed, NULL);
  check(strcmp(printed, "Lot 00042") == 0, "printed through the driver's formatter");
  zt_free(printed);

  if (zt_token_parser_process(parser, "%Q", &xml, &error) == ZT_ETOKEN) {
    printf("token error %d at %d: %s\n", error.code, error.position, error.message);
  }
  zt_token_parser_free(parser);
}

static bool refuseAll(void* user, const char* path) {
  ++*(int*)user;
  printf("keeping %s\n", path);
  return false;
}

static void logManager(void) {
  writeFile("scan.log", "x");
  zt_log_manager* logs = zt_log_manager_new();
  uint32_t planned = 0;
  char* report = NULL;
  int asked = 0;

  zt_log_manager_set_path(logs, folder);
  zt_log_manager_remove_all(logs, &planned);
  zt_log_manager_get_report(logs, &report);
  check(planned == 1 && strstr(report, "scan.log") != NULL, "the plan names the file");
  zt_free(report);

  zt_log_manager_delete_files(logs, refuseAll, &asked, NULL);
  check(asked == 1 && access(inFolder("scan.log"), F_OK) == 0, "a refused file stays");
  zt_log_manager_free(logs);
  unlink(inFolder("scan.log"));
}

static void printDifference(void* user, const char* key, const char* value) {
  printf("%s: %s differs, %s\n", (const char*)user, key, value);
}

static void presetManager(void) {
  writeFile("default.ini", "[Preset]\ndpi=300\nmode=color\n");
  writeFile("user.ini", "[Preset]\ndpi=200\n");
  zt_preset_manager* presets = zt_preset_manager_new();
  uint32_t base = 0;
  uint32_t mine = 0;
  const char* mode = NULL;
  bool added = false;

  if (zt_preset_manager_open(presets, inFolder("default.ini"), &base) != ZT_OK ||
      zt_preset_manager_open(presets, inFolder("user.ini"), &mine) != ZT_OK) {
    check(false, "open");
  }
  zt_preset_manager_get_differences(presets, base, mine, printDifference, "user preset");
  zt_preset_manager_set_default(presets, base);
  zt_preset_manager_add_missing_from_default(presets, mine, &added);
  zt_preset_manager_get_value(presets, mine, "mode", &mode);
  check(added && strcmp(mode, "color") == 0, "completed from the default");
  check(zt_preset_manager_save(presets, mine) == ZT_OK, "saved");

  uint32_t none = 0;
  const int status = zt_preset_manager_open(presets, inFolder("missing.ini"), &none);
  printf("missing preset: status %d, %s\n", status, zt_last_error_message());
  zt_preset_manager_free(presets);
  unlink(inFolder("default.ini"));
  unlink(inFolder("user.ini"));
}

static void tagManager(void) {
  writeFile("tags.xml",
            "<vexkoratagstore><tags><tag name=\"Color\"><id>1</id><tagvalues>"
            "<tagvalue name=\"Blue\"><value>1</value></tagvalue></tagvalues></tag></tags>"
            "</vexkoratagstore>");
  zt_tag_manager* tags = zt_tag_manager_new();
  int32_t color = 0;
  int32_t blue = 0;
  const char* name = NULL;

  check(zt_tag_manager_load(tags, inFolder("tags.xml")) == ZT_OK, "the store loads");
  zt_tag_manager_get_tag_id(tags, "Color", &color);
  zt_tag_manager_get_value_id(tags, color, "Blue", &blue);
  zt_tag_manager_get_value_name(tags, color, blue, &name);
  check(color == 1 && blue == 1 && strcmp(name, "Blue") == 0, "tag and value ids");
  zt_tag_manager_get_tag_id(tags, "Size", &color);
  check(color == ZT_TAG_NOT_FOUND, "an absent tag");
  zt_tag_manager_free(tags);
  unlink(inFolder("tags.xml"));
}

/* Counts the "scan" elements the parser reports. */
static int countScans(void* user, const char* name) {
  *(int*)user += strcmp(name, "scan") == 0;
  return 0;
}

static void xmlObjects(void) {
  zt_xml_writer* writer = zt_xml_writer_new();
  zt_xml_attribute* dpi = NULL;
  char* xml = NULL;
  zt_xml_writer_set_indent(writer, false);
  zt_xml_writer_create_attribute_uint32(writer, "dpi", 300, ZT_XML_DECIMAL, &dpi);
  zt_xml_writer_start_element(writer, "settings", NULL);
  zt_xml_writer_write_element_text(writer, "scan", "front", false, dpi);
  zt_xml_writer_write_element_text(writer, "scan", "back", false, NULL);
  zt_xml_writer_end_element(writer, NULL);
  zt_xml_writer_get_xml(writer, &xml);
  zt_xml_writer_free(writer);

  zt_xml_parser* parser = zt_xml_parser_new();
  zt_xml_content_handler handler = {0};
  handler.start_element = countScans;
  int scans = 0;
  check(
      zt_xml_parser_parse_string(parser, xml, &handler, &scans, NULL, NULL) == ZT_OK && scans == 2,
      "the parser reports both scans");
  zt_xml_parser_free(parser);

  zt_xml_xpath* xpath = zt_xml_xpath_new();
  const char* first = NULL;
  zt_xml_xpath_load_xml(xpath, xml);
  zt_xml_xpath_select_single_node(xpath, "/settings/scan[@dpi]", &first);
  check(strcmp(first, "<scan dpi=\"300\">front</scan>") == 0, "the query finds the first scan");
  zt_xml_xpath_free(xpath);
  zt_free(xml);
}

int main(void) {
  if (mkdtemp(folder) == NULL) {
    return 2;
  }
  tokenParser();
  logManager();
  presetManager();
  tagManager();
  xmlObjects();
  rmdir(folder);
  puts(failures == 0 ? "C interface example ok" : "C interface example failed");
  return failures == 0 ? 0 : 1;
}
