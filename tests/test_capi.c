/* The C interface, driven from C: every tool through its handle. What the tools do is pinned by
   the C++ suites; this program proves the wiring, who owns which text, how failures become
   statuses and that callbacks get their arguments and their user pointer. */
#define _POSIX_C_SOURCE 200809L
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <zttools_c.h>

static int failures;

static void check(bool ok, const char* what) {
  if (!ok) {
    fprintf(stderr, "FAILED: %s (last error: %s)\n", what, zt_last_error_message());
    ++failures;
  }
}

/* A NULL for a required pointer is refused with ZT_EINVAL, never a crash. */
static void refused(int status, const char* call) {
  check(status == ZT_EINVAL, call);
}

static bool contains(const char* text, const char* part) {
  return text != NULL && strstr(text, part) != NULL;
}

/* Compares caller-owned text with `expected` and releases it. */
static bool take(char* text, const char* expected) {
  const bool same = text != NULL && strcmp(text, expected) == 0;
  zt_free(text);
  return same;
}

/* Whether a call succeeded and left handle-owned `expected` in its out-parameter. */
static bool gave(int status, const char* const* text, const char* expected) {
  return status == ZT_OK && *text != NULL && strcmp(*text, expected) == 0;
}

static char folder[] = "/tmp/zt-capi-XXXXXX";

static const char* pathOf(const char* name) {
  static char path[256];
  snprintf(path, sizeof path, "%s/%s", folder, name);
  return path;
}

static void writeFile(const char* name, const char* text) {
  FILE* file = fopen(pathOf(name), "wb");
  fputs(text, file);
  fclose(file);
}

/* ---------------------------------------------------------------------------------------- */
/* Token parsers */

/* Prints every token as its letter and fields; a "stop" user answers -5 at the first token. */
static int printToken(void* user, const char* specifier, const char* modifier,
                      const char* delimiter, const char* text, zt_token_output* out) {
  char printed[64];
  snprintf(printed, sizeof printed, "[%s%s%s%s]", specifier, modifier, delimiter, text);
  return user != NULL && strcmp(user, "stop") == 0 ? -5 : zt_token_output_write(out, printed);
}

/* Refuses the kind the user's text names by its letter, modifier and delimiter. */
static bool acceptOthers(void* user, char specifier, char modifier, char delimiter) {
  const char* kind = user;
  return specifier != kind[0] || modifier != kind[1] || delimiter != kind[2];
}

static void testTokenParser(void) {
  zt_token_parser* parser = zt_token_parser_new();
  zt_token_error error = {0, 0, ""};
  char* xml = NULL;
  char* text = NULL;
  char* kept = NULL;
  refused(zt_token_parser_process(NULL, "%Y", &kept, NULL), "process without a parser");
  refused(zt_token_parser_process(parser, NULL, &kept, NULL), "process without a format");
  refused(zt_token_parser_process(parser, "%Y", NULL, NULL), "process without an out-parameter");
  refused(zt_token_output_write(NULL, "x"), "write without output");
  check(contains(zt_last_error_message(), "NULL"), "the last error names the NULL pointer");

  check(zt_token_parser_process(parser, "%Q", &kept, &error) == ZT_ETOKEN && kept == NULL &&
            error.code == 26 && error.position == 1 &&
            strcmp(error.message, "Unknown format specifier.") == 0 &&
            strcmp(zt_last_error_message(), "Unknown format specifier.") == 0 &&
            zt_token_parser_raise_error(parser, 9, 3, &error) == ZT_ETOKEN && error.code == 9 &&
            error.position == 3,
        "a broken rule, and raise_error, fill the error and leave the out-parameter");
  check(zt_token_parser_format(parser, "A%5S%M", printToken, NULL, &text, &error) == ZT_OK &&
            take(text, "[MA][S5][M]") &&
            zt_token_parser_format(parser, "A%3S", NULL, NULL, &text, &error) == ZT_OK &&
            take(text, "") &&
            zt_token_parser_format(parser, "A%3S", printToken, "stop", &kept, &error) == -5 &&
            kept == NULL,
        "the formatter gets each token's fields, none writes nothing, a negative answer stops");
  zt_token_parser_free(parser);

  zt_token_parser_ex* extended = zt_token_parser_ex_new();
  refused(zt_token_parser_ex_build_string(NULL, "<a/>", &text), "extended without a parser");
  check(zt_token_parser_ex_process(extended, "Scan %A %2L", acceptOthers, "L2", &xml, &error) ==
                ZT_OK &&
            contains(xml, "<iafielda") && !contains(xml, "<level"),
        "extended process leaves refused tokens out");
  check(zt_token_parser_ex_build_string(extended, xml, &text) == ZT_OK && take(text, "Scan %A ") &&
            zt_token_parser_ex_build_template_string(extended, xml, &text) == ZT_OK &&
            take(text, "1 A "),
        "extended build_string and build_template_string");
  zt_free(xml);
  check(zt_token_parser_ex_format(extended, "%A%2L", acceptOthers, printToken, "Lzz", &kept,
                                  &error) == ZT_ETOKEN &&
            error.code == 27 && error.position == 4 && kept == NULL,
        "a refused kind is error 27");
  check(zt_token_parser_ex_format(extended, "%A", NULL, printToken, NULL, &text, NULL) == ZT_OK &&
            take(text, "[A]") && zt_token_parser_ex_raise_error(extended, 21, 0, NULL) == ZT_ETOKEN,
        "extended format without accept accepts all; a NULL error is fine");
  zt_token_parser_ex_free(extended);
}

/* ---------------------------------------------------------------------------------------- */
/* Log manager */

/* Counts the files it is asked about and keeps them all. */
static bool refuseDeletion(void* user, const char* path) {
  *(int*)user += contains(path, "/old.log") ? 1 : 100;
  return false;
}

static void countLine(void* user, const char* line) {
  *(int*)user += contains(line, "deleting: ") ? 1 : 100;
}

static void testLogManager(void) {
  writeFile("old.log", "x");
  zt_log_manager* logs = zt_log_manager_new();
  const char* version = NULL;
  char* report = NULL;
  int32_t result = -1;
  refused(zt_log_manager_get_report(logs, NULL), "report without an out-parameter");
  check(gave(zt_log_manager_get_version(logs, &version), &version, "1.0.12001.24001") &&
            zt_log_manager_set_path(logs, folder) == ZT_OK &&
            zt_log_manager_keep_latest(logs, &result) == ZT_OK && result == 0 &&
            zt_log_manager_remove_all(logs, NULL) == ZT_OK,
        "version; a policy's result comes back");

  int confirms = 0;
  int lines = 0;
  check(zt_log_manager_set_status_callback(logs, countLine, &lines) == ZT_OK &&
            zt_log_manager_delete_files(logs, refuseDeletion, &confirms, &result) == ZT_OK &&
            result == 0 && confirms == 1 && lines == 1 && access(pathOf("old.log"), F_OK) == 0 &&
            zt_log_manager_get_delete_report(logs, &report) == ZT_OK &&
            contains(report, "<code>1223</code>"),
        "a refused deletion keeps the file, reports through both callbacks and in the report");
  zt_free(report);
  zt_log_manager_set_status_callback(logs, NULL, NULL);
  check(zt_log_manager_remove_all(logs, NULL) == ZT_OK &&
            zt_log_manager_delete_files(logs, NULL, NULL, NULL) == ZT_OK && lines == 1 &&
            access(pathOf("old.log"), F_OK) != 0,
        "deletion without confirm and without status lines");
  zt_log_manager_free(logs);
}

/* ---------------------------------------------------------------------------------------- */
/* Preset manager */

static void collectDifference(void* user, const char* key, const char* value) {
  sprintf((char*)user + strlen(user), "%s=%s;", key, value);
}

static void testPresetManager(void) {
  writeFile("a.ini", "[Preset]\nDpi=300\nMode=gray\n");
  writeFile("b.ini", "[Preset]\nDpi=600\n");
  zt_preset_manager* presets = zt_preset_manager_new();
  const char* text = NULL;
  uint32_t a = 0;
  uint32_t b = 0;
  uint32_t absent = 0;
  bool added = false;
  refused(zt_preset_manager_open(presets, NULL, &absent), "open without a path");
  refused(zt_preset_manager_get_differences(presets, 1, 2, NULL, NULL), "no callback");
  check(gave(zt_preset_manager_get_version(presets, &text), &text, "1.0.12001.24001"), "version");
  check(zt_preset_manager_open(presets, pathOf("a.ini"), &a) == ZT_OK && a != 0 &&
            zt_preset_manager_open(presets, pathOf("b.ini"), &b) == ZT_OK && b != a &&
            zt_preset_manager_open(presets, pathOf("none.ini"), &absent) == -2 && absent == 0,
        "open gives handles; a missing file is -ENOENT, and no call that fails fills the handle");

  char seen[64] = "";
  check(zt_preset_manager_get_differences(presets, a, b, collectDifference, seen) == ZT_OK &&
            strcmp(seen, "Dpi=600;") == 0,
        "get_differences calls back per key with the user pointer");
  check(zt_preset_manager_set_default(presets, a) == ZT_OK &&
            zt_preset_manager_add_missing_from_default(presets, b, &added) == ZT_OK && added &&
            zt_preset_manager_add_missing(presets, a, b, &added) == ZT_OK && !added,
        "add_missing says whether anything was added");
  check(zt_preset_manager_save_as(presets, b, pathOf("c.ini")) == ZT_OK &&
            zt_preset_manager_save(presets, b) == ZT_OK &&
            zt_preset_manager_close(presets, b) == ZT_OK &&
            zt_preset_manager_save(presets, b) == ZT_EBADF &&
            zt_preset_manager_save_as(presets, a, pathOf("no/such/folder.ini")) == -2,
        "save_as and save; a closed handle is ZT_EBADF, a failed write -errno");
  zt_preset_manager_free(presets);
}

/* ---------------------------------------------------------------------------------------- */
/* Tag manager */

static void testTagManager(void) {
  writeFile("tags.xml",
            "<vexkoratagstore><tags><tag name=\"Color\"><id>1</id></tag></tags>"
            "</vexkoratagstore>");
  zt_tag_manager* tags = zt_tag_manager_new();
  const char* text = NULL;
  int32_t id = 0;
  refused(zt_tag_manager_load(tags, NULL), "load without a path");
  refused(zt_tag_manager_get_tag_name(tags, 1, NULL), "tag name without an out-parameter");
  check(zt_tag_manager_load(tags, pathOf("none.xml")) == ZT_E_FAIL &&
            zt_tag_manager_load(tags, pathOf("tags.xml")) == ZT_OK &&
            zt_tag_manager_get_path(tags, &text) == ZT_OK && contains(text, "/tags.xml") &&
            zt_tag_manager_lookup_tag_id(tags, "Color", &id) == ZT_OK && id == 1 &&
            gave(zt_tag_manager_lookup_tag_name(tags, 1, &text), &text, "Color") &&
            gave(zt_tag_manager_get_tag_name(tags, 26, &text), &text, "0x001a"),
        "a failed load is E_FAIL; load, get_path, lookups; get_tag_name files an absent id");
  zt_tag_manager_free(tags);
}

/* ---------------------------------------------------------------------------------------- */
/* XML parser, writer and XPath */

/* What the handlers saw, appended as text. */
struct Events {
  char text[512];
  zt_xml_controller* controller;
  struct Events* inner; /* pushed at <push>, popped at its end */
};

static void note(struct Events* events, const char* a, const char* b) {
  strcat(events->text, a);
  strcat(events->text, b);
}

static int onStart(void* user, const char* name) {
  note(user, "<", name);
  return strcmp(name, "stop") == 0;
}
static int onText(void* user, const char* text) {
  note(user, "", text);
  return 0;
}
static int onAttribute(void* user, const char* name, const char* value) {
  note(user, name, value);
  return 0;
}
static void onController(void* user, zt_xml_controller* controller) {
  ((struct Events*)user)->controller = controller;
}
static int onEnd(void* user, const char* name);

static const zt_xml_content_handler recorder = {NULL, NULL,        onStart, onText,      onEnd,
                                                NULL, onAttribute, NULL,    onController};

/* The outer handler hands the <push> element's content to its inner handler. */
static int onEnd(void* user, const char* name) {
  struct Events* events = user;
  note(events, "/", name);
  if (strcmp(name, "push") == 0 && events->inner != NULL) {
    zt_xml_controller_push_handler(events->controller, &recorder, events->inner);
  }
  if (strcmp(name, "pop") == 0) {
    bool has = false;
    void* current = NULL;
    zt_xml_controller_current_handler(events->controller, &has, &current);
    note(events, has && current == events ? "(self)" : "(other)", "");
    zt_xml_controller_pop_handler(events->controller);
  }
  return 0;
}

static int onError(void* user, int line, int column, const char* message, int code) {
  char* seen = user;
  snprintf(seen, 128, "line %d %s %s", line, column > 0 ? "column" : "?",
           code < 0 && message[0] != '\0' ? "message" : "?");
  return code;
}

static void testXmlParser(void) {
  zt_xml_parser* parser = zt_xml_parser_new();
  const zt_xml_content_handler nothing = {0};
  struct Events inner = {"", NULL, NULL};
  struct Events outer = {"", NULL, &inner};
  refused(zt_xml_parser_parse_string(parser, "<a/>", NULL, NULL, NULL, NULL), "no handler");
  refused(zt_xml_parser_parse_buffer(parser, NULL, 1, &nothing, NULL, NULL, NULL), "no data");
  refused(zt_xml_controller_push_handler(NULL, &nothing, NULL), "push without a controller");
  check(zt_xml_parser_parse_string(parser, "<a k=\"v\">x<push/><b>y</b><pop/></a>", &recorder,
                                   &outer, NULL, NULL) == ZT_OK &&
            strcmp(outer.text, "<akvx<push/push/a") == 0 &&
            strcmp(inner.text, "<by/b<pop/pop(self)") == 0 && outer.controller != NULL,
        "events reach the handler on top of the stack, with its own user pointer");

  struct Events stopped = {"", NULL, NULL};
  check(zt_xml_parser_parse_buffer(parser, "<r><stop/><later/></r>", 22, &recorder, &stopped, NULL,
                                   NULL) == ZT_E_ABORT &&
            strcmp(stopped.text, "<r<stop") == 0,
        "a non-zero answer stops the parse with E_ABORT");

  char seen[128] = "";
  const zt_xml_error_handler errors = {onError, onError, onError};
  check(zt_xml_parser_parse_string(parser, "<a>\n<b></a>", &nothing, NULL, &errors, seen) < 0 &&
            strcmp(seen, "line 2 column message") == 0 &&
            zt_xml_parser_parse_file(parser, pathOf("none.xml"), &nothing, NULL, NULL, NULL) < 0 &&
            contains(zt_last_error_message(), "status 0x"),
        "the error handler gets position, message, code; a failed parse a status and message");
  zt_xml_parser_free(parser);
}

static void testXmlWriter(void) {
  zt_xml_writer* writer = zt_xml_writer_new();
  zt_xml_attribute* root = NULL;
  zt_xml_attribute* set = NULL;
  char* xml = NULL;
  const char* text = NULL;
  bool flag = false;
  refused(zt_xml_writer_start_element(writer, NULL, NULL), "element without a name");
  refused(zt_xml_attribute_add_text(NULL, "a", "b"), "attribute without a set");
  /* One attribute per set, cleared between elements, fixes the attribute order. */
  check(
      zt_xml_writer_create_attribute_int32(writer, "version", 2, ZT_XML_DECIMAL, &root) == ZT_OK &&
          zt_xml_writer_create_attribute(writer, &set) == ZT_OK &&
          zt_xml_writer_set_indent(writer, false) == ZT_OK &&
          zt_xml_writer_start_document(writer, NULL) == ZT_OK &&
          zt_xml_writer_start_element(writer, "settings", root) == ZT_OK &&
          zt_xml_attribute_add_text(set, "side", "front") == ZT_OK &&
          zt_xml_writer_write_element_text(writer, "scan", "a & b", false, set) == ZT_OK &&
          zt_xml_attribute_clear(set) == ZT_OK &&
          zt_xml_attribute_add_int32(set, "n", -1) == ZT_OK &&
          zt_xml_writer_write_element_char(writer, "c", 'A', false, set) == ZT_OK &&
          zt_xml_attribute_clear(set) == ZT_OK &&
          zt_xml_attribute_add_bool(set, "on", true) == ZT_OK &&
          zt_xml_writer_write_element_bool(writer, "b", true, false, set) == ZT_OK &&
          zt_xml_attribute_clear(set) == ZT_OK &&
          zt_xml_attribute_add_hex(set, "mask", 255) == ZT_OK &&
          zt_xml_writer_write_element_int32(writer, "i", -7, false, set) == ZT_OK &&
          zt_xml_attribute_clear(set) == ZT_OK &&
          zt_xml_attribute_add_uint32(set, "dpi", 300u) == ZT_OK &&
          zt_xml_writer_write_element_uint32(writer, "u", 7u, true, set) == ZT_OK &&
          zt_xml_writer_characters(writer, "t", false) == ZT_OK &&
          zt_xml_writer_end_element(writer, NULL) == ZT_OK &&
          zt_xml_writer_end_document(writer) == ZT_OK && zt_xml_writer_flush(writer) == ZT_OK &&
          zt_xml_writer_get_xml(writer, &xml) == ZT_OK &&
          contains(xml,
                   "<settings version=\"2\"><scan side=\"front\">a &amp; b</scan><c n=\"-1\">65</c>"
                   "<b on=\"true\">true</b><i mask=\"0x000000ff\">-7</i>"
                   "<u dpi=\"300\"><![CDATA[7]]></u>t</settings>"),
      "every typed value and attribute, and a set cleared for reuse");
  zt_free(xml);
  check(zt_xml_writer_end_element(writer, NULL) == ZT_E_FAIL, "nothing open to end");

  const struct {
    int (*set)(zt_xml_writer*, bool);
    int (*get)(zt_xml_writer*, bool*);
  } flags[] = {
      {zt_xml_writer_set_omit_xml_declaration, zt_xml_writer_get_omit_xml_declaration},
      {zt_xml_writer_set_byte_order_mark, zt_xml_writer_get_byte_order_mark},
      {zt_xml_writer_set_disable_output_escaping, zt_xml_writer_get_disable_output_escaping},
      {zt_xml_writer_set_standalone, zt_xml_writer_get_standalone},
      {zt_xml_writer_set_indent, zt_xml_writer_get_indent},
  };
  for (size_t i = 0; i < sizeof flags / sizeof flags[0]; ++i) {
    check(flags[i].set(writer, true) == ZT_OK && flags[i].get(writer, &flag) == ZT_OK && flag &&
              flags[i].set(writer, false) == ZT_OK && flags[i].get(writer, &flag) == ZT_OK && !flag,
          "a flag reads back what was set");
  }
  const char* version = NULL;
  check(zt_xml_writer_set_encoding(writer, "ISO-8859-1") == ZT_OK &&
            zt_xml_writer_set_version(writer, "1.0") == ZT_OK &&
            zt_xml_writer_get_encoding(writer, &text) == ZT_OK &&
            zt_xml_writer_get_version(writer, &version) == ZT_OK &&
            strcmp(text, "ISO-8859-1") == 0 && strcmp(version, "1.0") == 0,
        "encoding and version, handle-owned");
  zt_xml_attribute* more = NULL;
  check(zt_xml_writer_reset(writer) == ZT_OK &&
            zt_xml_writer_create_attribute_text(writer, "a", "1", &more) == ZT_OK &&
            zt_xml_writer_create_attribute_bool(writer, "b", false, &more) == ZT_OK &&
            zt_xml_writer_create_attribute_uint32(writer, "c", 16u, ZT_XML_HEX, &more) == ZT_OK &&
            zt_xml_writer_start_document(writer, "p") == ZT_OK &&
            zt_xml_writer_start_element(writer, "e", more) == ZT_OK &&
            zt_xml_writer_end_element(writer, NULL) == ZT_OK &&
            zt_xml_writer_get_xml(writer, &xml) == ZT_OK &&
            contains(xml, "<p:e c=\"0x00000010\"/>"),
        "reset, prefix and the remaining attribute makers");
  zt_free(xml);
  zt_xml_writer_free(writer);
}

/* Reads every node's name, text and XML; answers the number of nodes. */
static int visitNodes(void* user, zt_xml_node_list* nodes) {
  char* seen = user;
  int32_t length = 0;
  zt_xml_node* node = NULL;
  const char* text = NULL;
  zt_xml_node_list_length(nodes, &length);
  while (zt_xml_node_list_next(nodes, &node) == ZT_OK && node != NULL) {
    zt_xml_node_name(node, &text);
    strcat(seen, text);
    zt_xml_node_text(node, &text);
    strcat(seen, text);
    zt_xml_node_xml(node, &text);
    strcat(seen, text);
  }
  zt_xml_node_list_reset(nodes);
  zt_xml_node_list_next(nodes, &node);
  strcat(seen, node != NULL ? "|again" : "|end");
  return length;
}

static void testXPath(void) {
  zt_xml_xpath* xpath = zt_xml_xpath_new();
  const char* text = NULL;
  char seen[256] = "";
  int result = 0;
  refused(zt_xml_node_text(NULL, &text), "node text without a node");
  refused(zt_xml_xpath_visit_nodes(xpath, "/a", visitNodes, NULL, NULL), "query without a result");
  refused(zt_xml_xpath_visit_nodes(xpath, "/a", NULL, NULL, &result), "query without a visitor");
  check(text == NULL && zt_xml_xpath_load_file(xpath, pathOf("none.xml")) == -1 &&
            zt_xml_xpath_load_file(xpath, pathOf("tags.xml")) == ZT_OK &&
            zt_xml_xpath_load_xml(xpath, "<r><s n=\"1\">a</s><s>b</s></r>") == ZT_OK &&
            gave(zt_xml_xpath_select_nodes(xpath, "//s/text()", &text), &text, "a\nb\n"),
        "load_file, load_xml, select_nodes; a missing file is -1");
  check(zt_xml_xpath_visit_nodes(xpath, "//s", visitNodes, seen, &result) == ZT_OK && result == 2 &&
            strcmp(seen, "sa<s n=\"1\">a</s>sb<s>b</s>|again") == 0,
        "the visitor walks the list and its answer is the result");
  check(zt_xml_xpath_visit_nodes(xpath, "//[", visitNodes, seen, &result) == ZT_OK && result == -1,
        "a failed query gives -1 without calling the visitor");
  zt_xml_xpath_free(xpath);
}

int main(void) {
  if (mkdtemp(folder) == NULL) {
    return 2;
  }
  testTokenParser();
  testLogManager();
  testPresetManager();
  testTagManager();
  testXmlParser();
  testXmlWriter();
  testXPath();
  /* NULL handles are harmless to free, and so is NULL text. */
  zt_token_parser_free(NULL);
  zt_free(NULL);
  check(strcmp(zt_version(), ZT_EXPECTED_VERSION) == 0, "zt_version");
  const char* leftovers[] = {"a.ini", "b.ini", "c.ini", "tags.xml"};
  for (size_t i = 0; i < sizeof leftovers / sizeof leftovers[0]; ++i) unlink(pathOf(leftovers[i]));
  rmdir(folder);
  printf("%s\n", failures == 0 ? "C interface ok" : "C interface failed");
  return failures == 0 ? 0 : 1;
}
