/* zttools_c.h - the plain C interface of libzttools.
 *
 * Every tool of zttools.h, usable from C, from any compiler and through any language's
 * foreign-function layer. It is a thin layer over the same objects: one opaque handle type per
 * tool, made by zt_<tool>_new and ended by zt_<tool>_free (NULL is harmless), and one
 * zt_<tool>_<operation> function per operation. Valid C99 and C++.
 *
 * Conventions, followed by every function below:
 *
 * - Status. Every call except zt_version, zt_last_error_message, zt_free and the new and free
 *   functions returns an int status: 0 (ZT_OK) is success, a negative value a failure. The XML
 *   objects pass on their HRESULT statuses (ZT_E_*), the XPath loads their plain -1 and -2; the
 *   layer's own failures are negative errno values (ZT_EINVAL, ZT_ENOMEM, ...). Results come
 *   back through out-parameters, which a failed call leaves as they were. No call aborts and no
 *   exception leaves the library.
 * - Last error. Every failed call sets this thread's zt_last_error_message(): the text of the
 *   library's exception or the reason the layer refused the call. Successful calls leave it.
 * - Token errors. A format string that breaks a token rule gives ZT_ETOKEN and fills the
 *   caller's zt_token_error (code, index in the format string, the code's message).
 * - Text. Strings are UTF-8 and zero-terminated, both ways. Text the library hands out is either
 *   caller-owned (documents, reports, format and template strings, printed text: released with
 *   zt_free) or handle-owned (lookups: versions, paths, names, values, property values, XPath
 *   answers: valid until the next call on the same handle or its free). Each function's comment
 *   says "caller-owned" or "handle-owned".
 * - Pointers. NULL for a required pointer gives ZT_EINVAL, never a crash. Pointers that may be
 *   NULL say so.
 * - Callbacks. Every callback is a C function pointer plus a `void* user` given with it and
 *   passed back unchanged as the callback's first argument. Strings handed to a callback are
 *   valid only during that call.
 * - Threads. As in zttools.h: one handle serves one thread at a time. The last error message is
 *   per thread.
 */
#ifndef ZTTOOLS_C_H
#define ZTTOOLS_C_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#ifndef ZTTOOLS_API
#if defined(__GNUC__)
#define ZTTOOLS_API __attribute__((visibility("default")))
#else
#define ZTTOOLS_API
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------------------------------------ */
/* Statuses, library-wide text */

#define ZT_OK 0
/* HRESULT statuses of the XML objects, 32-bit and negative. */
#define ZT_E_FAIL (-2147467259)        /* 0x80004005: failed; also a tool's plain "no" */
#define ZT_E_ABORT (-2147467260)       /* 0x80004004: a handler stopped the parse */
#define ZT_E_INVALIDARG (-2147024809)  /* 0x80070057 */
#define ZT_E_OUTOFMEMORY (-2147024882) /* 0x8007000E */
#define ZT_E_UNEXPECTED (-2147418113)  /* 0x8000FFFF: an unexpected exception; see the message */
/* Negative errno values of the layer. File failures of the preset manager give -errno of the
   system call that failed (-ENOENT, -EACCES, ...). */
#define ZT_EBADF (-9)   /* an unknown preset handle */
#define ZT_ENOMEM (-12) /* memory ran out */
#define ZT_EINVAL (-22) /* a required pointer is NULL */
#define ZT_ETOKEN (-74) /* the format string breaks a token rule (EBADMSG); see zt_token_error */

/* The library's version, "1.0.0"; library-owned. */
ZTTOOLS_API const char* zt_version(void);
/* Text of the last failure of a call on this thread ("" before any); valid until the next failed
   call on this thread. */
ZTTOOLS_API const char* zt_last_error_message(void);
/* Releases caller-owned text. NULL is harmless. */
ZTTOOLS_API void zt_free(void* text);

/* ------------------------------------------------------------------------------------------ */
/* Token parser and extended token parser */

typedef struct zt_token_error {
  int code;          /* the token error code (26: unknown format specifier, ...) */
  int position;      /* index in the format string where the fault was found */
  char message[128]; /* the code's message, cut to fit and zero-terminated */
} zt_token_error;

/* Where a formatter writes one token's printed text; valid during the formatter call only. */
typedef struct zt_token_output zt_token_output;
/* Appends `text` to the token's printed text. */
ZTTOOLS_API int zt_token_output_write(zt_token_output* out, const char* text);

/* Renders one token: `specifier` is the kind letter (Y date, T time, S counter, M message,
   N newline, _ blank; extended: A to F, L), `modifier` the date/time modifier digit or counter
   width (or "#"), `delimiter` the date separators or counter flag, `text` the message text.
   Returns 0 (or any non-negative value) to go on; a negative value stops the conversion, whose
   call then returns that value. */
typedef int (*zt_token_format_fn)(void* user, const char* specifier, const char* modifier,
                                  const char* delimiter, const char* text, zt_token_output* out);
/* Says whether a kind can be rendered. Each argument is the first character of the field, or 0
   for an empty field; while a format string is validated the last two are both 'z'. */
typedef bool (*zt_token_accept_fn)(void* user, char specifier, char modifier, char delimiter);

typedef struct zt_token_parser zt_token_parser;

/* NULL when memory runs out. */
ZTTOOLS_API zt_token_parser* zt_token_parser_new(void);
ZTTOOLS_API void zt_token_parser_free(zt_token_parser* parser);
/* Format string -> processedtokens document (caller-owned). A broken rule gives ZT_ETOKEN and
   fills *error; `error` may be NULL. */
ZTTOOLS_API int zt_token_parser_process(zt_token_parser* parser, const char* format, char** xml_out,
                                        zt_token_error* error);
/* processedtokens document -> format string (caller-owned; "" for unreadable XML). */
ZTTOOLS_API int zt_token_parser_build_string(zt_token_parser* parser, const char* xml,
                                             char** format_out);
/* Template document -> template string (caller-owned; "" on failure). */
ZTTOOLS_API int zt_token_parser_build_template_string(zt_token_parser* parser, const char* xml,
                                                      char** template_out);
/* Format string -> printed text (caller-owned), one `format_token` call per token. A NULL
   `format_token` gives "". `error` may be NULL. */
ZTTOOLS_API int zt_token_parser_format(zt_token_parser* parser, const char* format,
                                       zt_token_format_fn format_token, void* user, char** text_out,
                                       zt_token_error* error);
/* Always ZT_ETOKEN, with *error filled for `code` and `position`; `error` may be NULL. */
ZTTOOLS_API int zt_token_parser_raise_error(zt_token_parser* parser, int code, int position,
                                            zt_token_error* error);

typedef struct zt_token_parser_ex zt_token_parser_ex;

ZTTOOLS_API zt_token_parser_ex* zt_token_parser_ex_new(void);
ZTTOOLS_API void zt_token_parser_ex_free(zt_token_parser_ex* parser);
/* Format string -> result document (caller-owned); tokens `accept` refuses are left out of
   "tokens". A NULL `accept` accepts every kind. `error` may be NULL. */
ZTTOOLS_API int zt_token_parser_ex_process(zt_token_parser_ex* parser, const char* format,
                                           zt_token_accept_fn accept, void* user, char** xml_out,
                                           zt_token_error* error);
/* As the token parser's, on the extended documents (caller-owned). */
ZTTOOLS_API int zt_token_parser_ex_build_string(zt_token_parser_ex* parser, const char* xml,
                                                char** format_out);
ZTTOOLS_API int zt_token_parser_ex_build_template_string(zt_token_parser_ex* parser,
                                                         const char* xml, char** template_out);
/* Format string -> printed text (caller-owned). A kind `accept` refuses is token error 27; a
   NULL `accept` accepts every kind; a NULL `format_token` gives "". `error` may be NULL. */
ZTTOOLS_API int zt_token_parser_ex_format(zt_token_parser_ex* parser, const char* format,
                                          zt_token_accept_fn accept,
                                          zt_token_format_fn format_token, void* user,
                                          char** text_out, zt_token_error* error);
ZTTOOLS_API int zt_token_parser_ex_raise_error(zt_token_parser_ex* parser, int code, int position,
                                               zt_token_error* error);

/* ------------------------------------------------------------------------------------------ */
/* Log manager */

typedef struct zt_log_manager zt_log_manager;
/* Gets each file's full path; returns true to delete it. */
typedef bool (*zt_log_confirm_fn)(void* user, const char* path);
/* Gets one status line per processed file. */
typedef void (*zt_log_status_fn)(void* user, const char* line);

ZTTOOLS_API zt_log_manager* zt_log_manager_new(void);
ZTTOOLS_API void zt_log_manager_free(zt_log_manager* logs);
/* "1.0.12001.24001" (handle-owned). */
ZTTOOLS_API int zt_log_manager_get_version(zt_log_manager* logs, const char** version);
ZTTOOLS_API int zt_log_manager_set_path(zt_log_manager* logs, const char* folder);
/* The policies. `count` (may be NULL) gets the policy's result: the number of files to delete
   for remove_all, 0 for the others. Threshold order: 0 by time, 1 by size, other: scan order. */
ZTTOOLS_API int zt_log_manager_remove_all(zt_log_manager* logs, uint32_t* count);
ZTTOOLS_API int zt_log_manager_keep_latest(zt_log_manager* logs, int32_t* count);
ZTTOOLS_API int zt_log_manager_keep_today(zt_log_manager* logs, int32_t* count);
ZTTOOLS_API int zt_log_manager_keep_this_week(zt_log_manager* logs, int32_t* count);
ZTTOOLS_API int zt_log_manager_keep_this_month(zt_log_manager* logs, int32_t* count);
ZTTOOLS_API int zt_log_manager_remove_by_threshold(zt_log_manager* logs, int32_t megabytes,
                                                   int32_t order, int32_t* count);
/* The last policy report and the last deletion report (caller-owned). */
ZTTOOLS_API int zt_log_manager_get_report(zt_log_manager* logs, char** report);
ZTTOOLS_API int zt_log_manager_get_delete_report(zt_log_manager* logs, char** report);
/* Deletes the files of the delete list; with a NULL `confirm` all of them without asking.
   `result` (may be NULL) gets the tool's result (0); per-file failures are in the report. */
ZTTOOLS_API int zt_log_manager_delete_files(zt_log_manager* logs, zt_log_confirm_fn confirm,
                                            void* user, int32_t* result);
/* Replaces the status callback; NULL switches status lines off. */
ZTTOOLS_API int zt_log_manager_set_status_callback(zt_log_manager* logs, zt_log_status_fn status,
                                                   void* user);

/* ------------------------------------------------------------------------------------------ */
/* Preset manager */

typedef struct zt_preset_manager zt_preset_manager;
/* Gets one differing setting: the key and the second preset's value. */
typedef void (*zt_preset_difference_fn)(void* user, const char* key, const char* value);

ZTTOOLS_API zt_preset_manager* zt_preset_manager_new(void);
ZTTOOLS_API void zt_preset_manager_free(zt_preset_manager* presets);
/* "1.0.12001.24001" (handle-owned). */
ZTTOOLS_API int zt_preset_manager_get_version(zt_preset_manager* presets, const char** version);
/* Reads the "Preset" section of `path` into a new preset whose handle (never 0) goes to
 *preset. A file that cannot be read gives -errno (ZT_E_FAIL when the system gave no code). */
ZTTOOLS_API int zt_preset_manager_open(zt_preset_manager* presets, const char* path,
                                       uint32_t* preset);
/* Forgets the preset; an unknown handle is not an error. */
ZTTOOLS_API int zt_preset_manager_close(zt_preset_manager* presets, uint32_t preset);
/* Write the preset back (to its file, or to `path`). ZT_EBADF for an unknown handle, -errno
   for a failed write. */
ZTTOOLS_API int zt_preset_manager_save(zt_preset_manager* presets, uint32_t preset);
ZTTOOLS_API int zt_preset_manager_save_as(zt_preset_manager* presets, uint32_t preset,
                                          const char* path);
/* The key's value, "" for an unknown handle or an absent key (handle-owned). */
ZTTOOLS_API int zt_preset_manager_get_value(zt_preset_manager* presets, uint32_t preset,
                                            const char* key, const char** value);
ZTTOOLS_API int zt_preset_manager_set_default(zt_preset_manager* presets, uint32_t preset);
/* Copy into `to` every setting of the source (the default preset, or `from`) whose key `to`
   lacks, in key order. `added` (may be NULL) gets whether anything was added: false also for an
   unknown handle. */
ZTTOOLS_API int zt_preset_manager_add_missing_from_default(zt_preset_manager* presets, uint32_t to,
                                                           bool* added);
ZTTOOLS_API int zt_preset_manager_add_missing(zt_preset_manager* presets, uint32_t from,
                                              uint32_t to, bool* added);
/* Calls `difference` for each key of `first` whose value differs in `second` ("Preset Driver"
   excepted), in key order, with second's value. Unknown handles give no call. */
ZTTOOLS_API int zt_preset_manager_get_differences(zt_preset_manager* presets, uint32_t first,
                                                  uint32_t second,
                                                  zt_preset_difference_fn difference, void* user);

/* ------------------------------------------------------------------------------------------ */
/* Tag manager */

#define ZT_TAG_NOT_FOUND 427172114 /* 0x19762112 */

typedef struct zt_tag_manager zt_tag_manager;

ZTTOOLS_API zt_tag_manager* zt_tag_manager_new(void);
ZTTOOLS_API void zt_tag_manager_free(zt_tag_manager* tags);
/* The path of the last load (handle-owned). */
ZTTOOLS_API int zt_tag_manager_get_path(zt_tag_manager* tags, const char** path);
/* Reads a tag store file into the dictionary; ZT_E_FAIL when it cannot be read. */
ZTTOOLS_API int zt_tag_manager_load(zt_tag_manager* tags, const char* path);
/* Lookups (names handle-owned). Absent: lookup_tag_name and get_value_name give "",
   lookup_tag_id and get_value_id the tool's number, get_tag_id ZT_TAG_NOT_FOUND; get_tag_name of
   an absent id files a tag named "0x%04x" (ids 0 to 65535) or gives "". */
ZTTOOLS_API int zt_tag_manager_lookup_tag_name(zt_tag_manager* tags, int32_t tag_id,
                                               const char** name);
ZTTOOLS_API int zt_tag_manager_lookup_tag_id(zt_tag_manager* tags, const char* name,
                                             int32_t* tag_id);
ZTTOOLS_API int zt_tag_manager_get_tag_id(zt_tag_manager* tags, const char* name, int32_t* tag_id);
ZTTOOLS_API int zt_tag_manager_get_value_id(zt_tag_manager* tags, int32_t tag_id,
                                            const char* value_name, int32_t* value_id);
ZTTOOLS_API int zt_tag_manager_get_tag_name(zt_tag_manager* tags, int32_t tag_id,
                                            const char** name);
ZTTOOLS_API int zt_tag_manager_get_value_name(zt_tag_manager* tags, int32_t tag_id,
                                              int32_t value_id, const char** name);

/* ------------------------------------------------------------------------------------------ */
/* XML parser with caller handlers */

/* The parser's stack of handlers, handed to set_controller; valid while the parser is. */
typedef struct zt_xml_controller zt_xml_controller;

/* A content handler: any member may be NULL (an int callback then answers 0). Names are local
   names. Answers: 0 goes on; non-zero from start_document, start_element, an element's last
   attribute or end_element stops the parse. The parser copies the struct. */
typedef struct zt_xml_content_handler {
  int (*start_document)(void* user);
  int (*end_document)(void* user);
  int (*start_element)(void* user, const char* name);
  /* Text after a start tag up to the next tag, leading white space removed. */
  int (*characters)(void* user, const char* text);
  int (*end_element)(void* user, const char* name);
  /* Before the first attribute, only when the element has attributes. */
  void (*start_attributes)(void* user, const char* element);
  int (*attribute)(void* user, const char* name, const char* value);
  /* After the attributes of every accepted element start. */
  void (*end_attributes)(void* user, const char* element);
  /* Each time the handler is pushed on the parser's handler stack. */
  void (*set_controller)(void* user, zt_xml_controller* controller);
} zt_xml_content_handler;

/* An error handler: the position (1-based line and column), the reader's message and a negative
   code; the answer goes back to the reader. Any member may be NULL (it then answers 0). The
   parser copies the struct. */
typedef int (*zt_xml_error_fn)(void* user, int line, int column, const char* message, int code);
typedef struct zt_xml_error_handler {
  zt_xml_error_fn error;
  zt_xml_error_fn fatal_error;
  zt_xml_error_fn ignorable_warning;
} zt_xml_error_handler;

/* Makes the handler current (calling its set_controller). */
ZTTOOLS_API int zt_xml_controller_push_handler(zt_xml_controller* controller,
                                               const zt_xml_content_handler* handler, void* user);
/* Removes the current handler; events go to the one below, or to nobody. */
ZTTOOLS_API int zt_xml_controller_pop_handler(zt_xml_controller* controller);
/* The `user` pointer of the current handler; *has_handler false (and *user NULL) when none. */
ZTTOOLS_API int zt_xml_controller_current_handler(zt_xml_controller* controller, bool* has_handler,
                                                  void** user);

typedef struct zt_xml_parser zt_xml_parser;

ZTTOOLS_API zt_xml_parser* zt_xml_parser_new(void);
ZTTOOLS_API void zt_xml_parser_free(zt_xml_parser* parser);
/* Each parse pushes `handler` on the handler stack (nothing is popped afterwards) and returns the
   reader's status. `errors` may be NULL: the error handler of an earlier call stays. */
ZTTOOLS_API int zt_xml_parser_parse_file(zt_xml_parser* parser, const char* path,
                                         const zt_xml_content_handler* handler, void* user,
                                         const zt_xml_error_handler* errors, void* errors_user);
/* Exactly `length` bytes; a negative length gives ZT_E_INVALIDARG. */
ZTTOOLS_API int zt_xml_parser_parse_buffer(zt_xml_parser* parser, const char* data, int32_t length,
                                           const zt_xml_content_handler* handler, void* user,
                                           const zt_xml_error_handler* errors, void* errors_user);
ZTTOOLS_API int zt_xml_parser_parse_string(zt_xml_parser* parser, const char* xml,
                                           const zt_xml_content_handler* handler, void* user,
                                           const zt_xml_error_handler* errors, void* errors_user);

/* ------------------------------------------------------------------------------------------ */
/* XML writer and attribute sets */

#define ZT_XML_DECIMAL 0
#define ZT_XML_HEX 1

/* An attribute set, made by a writer and owned by it. The first value given for a name stays.
   Numbers: decimal without padding, hexadecimal as "0x" and 8 lower-case digits. */
typedef struct zt_xml_attribute zt_xml_attribute;

ZTTOOLS_API int zt_xml_attribute_add_text(zt_xml_attribute* set, const char* name,
                                          const char* value);
ZTTOOLS_API int zt_xml_attribute_add_bool(zt_xml_attribute* set, const char* name, bool value);
ZTTOOLS_API int zt_xml_attribute_add_int32(zt_xml_attribute* set, const char* name, int32_t value);
ZTTOOLS_API int zt_xml_attribute_add_uint32(zt_xml_attribute* set, const char* name,
                                            uint32_t value);
ZTTOOLS_API int zt_xml_attribute_add_hex(zt_xml_attribute* set, const char* name, uint32_t value);
ZTTOOLS_API int zt_xml_attribute_clear(zt_xml_attribute* set);

/* A new writer writes no XML declaration, indents and reports the encoding "utf-8". Statuses are
   the component's: 0, negative on failure, 1 when the writer component is missing. Every
   `attributes` argument may be NULL. */
typedef struct zt_xml_writer zt_xml_writer;

ZTTOOLS_API zt_xml_writer* zt_xml_writer_new(void);
ZTTOOLS_API void zt_xml_writer_free(zt_xml_writer* writer);
/* `prefix` may be NULL; a prefix given once applies to every later element name. */
ZTTOOLS_API int zt_xml_writer_start_document(zt_xml_writer* writer, const char* prefix);
ZTTOOLS_API int zt_xml_writer_end_document(zt_xml_writer* writer);
ZTTOOLS_API int zt_xml_writer_start_element(zt_xml_writer* writer, const char* name,
                                            zt_xml_attribute* attributes);
/* One element with a value: text, a character's decimal number ('A' gives "65"), a boolean or
   a 32-bit number. */
ZTTOOLS_API int zt_xml_writer_write_element_text(zt_xml_writer* writer, const char* name,
                                                 const char* text, bool cdata,
                                                 zt_xml_attribute* attributes);
ZTTOOLS_API int zt_xml_writer_write_element_char(zt_xml_writer* writer, const char* name,
                                                 char value, bool cdata,
                                                 zt_xml_attribute* attributes);
ZTTOOLS_API int zt_xml_writer_write_element_bool(zt_xml_writer* writer, const char* name,
                                                 bool value, bool cdata,
                                                 zt_xml_attribute* attributes);
ZTTOOLS_API int zt_xml_writer_write_element_int32(zt_xml_writer* writer, const char* name,
                                                  int32_t value, bool cdata,
                                                  zt_xml_attribute* attributes);
ZTTOOLS_API int zt_xml_writer_write_element_uint32(zt_xml_writer* writer, const char* name,
                                                   uint32_t value, bool cdata,
                                                   zt_xml_attribute* attributes);
/* A NULL name closes the innermost element opened by start_element (ZT_E_FAIL when none is
   open); a given name is written as it is, without prefix. */
ZTTOOLS_API int zt_xml_writer_end_element(zt_xml_writer* writer, const char* name);
ZTTOOLS_API int zt_xml_writer_characters(zt_xml_writer* writer, const char* text, bool cdata);
/* The document so far (caller-owned). */
ZTTOOLS_API int zt_xml_writer_get_xml(zt_xml_writer* writer, char** xml);
ZTTOOLS_API int zt_xml_writer_set_omit_xml_declaration(zt_xml_writer* writer, bool value);
ZTTOOLS_API int zt_xml_writer_get_omit_xml_declaration(zt_xml_writer* writer, bool* value);
ZTTOOLS_API int zt_xml_writer_set_byte_order_mark(zt_xml_writer* writer, bool value);
ZTTOOLS_API int zt_xml_writer_get_byte_order_mark(zt_xml_writer* writer, bool* value);
ZTTOOLS_API int zt_xml_writer_set_disable_output_escaping(zt_xml_writer* writer, bool value);
ZTTOOLS_API int zt_xml_writer_get_disable_output_escaping(zt_xml_writer* writer, bool* value);
ZTTOOLS_API int zt_xml_writer_set_standalone(zt_xml_writer* writer, bool value);
ZTTOOLS_API int zt_xml_writer_get_standalone(zt_xml_writer* writer, bool* value);
ZTTOOLS_API int zt_xml_writer_set_indent(zt_xml_writer* writer, bool value);
ZTTOOLS_API int zt_xml_writer_get_indent(zt_xml_writer* writer, bool* value);
ZTTOOLS_API int zt_xml_writer_set_encoding(zt_xml_writer* writer, const char* name);
/* Handle-owned. */
ZTTOOLS_API int zt_xml_writer_get_encoding(zt_xml_writer* writer, const char** name);
ZTTOOLS_API int zt_xml_writer_set_version(zt_xml_writer* writer, const char* version);
/* Handle-owned. */
ZTTOOLS_API int zt_xml_writer_get_version(zt_xml_writer* writer, const char** version);
ZTTOOLS_API int zt_xml_writer_flush(zt_xml_writer* writer);
/* Starts over with a new writer component running with its own defaults. */
ZTTOOLS_API int zt_xml_writer_reset(zt_xml_writer* writer);
/* New attribute sets, empty or with a first attribute; `format` is ZT_XML_DECIMAL or
   ZT_XML_HEX. The writer owns them and writes only sets it made. */
ZTTOOLS_API int zt_xml_writer_create_attribute(zt_xml_writer* writer, zt_xml_attribute** set);
ZTTOOLS_API int zt_xml_writer_create_attribute_text(zt_xml_writer* writer, const char* name,
                                                    const char* value, zt_xml_attribute** set);
ZTTOOLS_API int zt_xml_writer_create_attribute_bool(zt_xml_writer* writer, const char* name,
                                                    bool value, zt_xml_attribute** set);
ZTTOOLS_API int zt_xml_writer_create_attribute_int32(zt_xml_writer* writer, const char* name,
                                                     int32_t value, int format,
                                                     zt_xml_attribute** set);
ZTTOOLS_API int zt_xml_writer_create_attribute_uint32(zt_xml_writer* writer, const char* name,
                                                      uint32_t value, int format,
                                                      zt_xml_attribute** set);

/* ------------------------------------------------------------------------------------------ */
/* XPath */

/* The nodes a query selected, in document order, walked with a cursor; and one of its nodes.
   Both are valid only during the visitor call that hands the list out. */
typedef struct zt_xml_node_list zt_xml_node_list;
typedef struct zt_xml_node zt_xml_node;
/* The visitor's answer becomes the query's result. */
typedef int (*zt_xml_visit_fn)(void* user, zt_xml_node_list* nodes);

ZTTOOLS_API int zt_xml_node_list_length(zt_xml_node_list* nodes, int32_t* length);
/* The node at the cursor, then advances; *node is NULL after the last node. */
ZTTOOLS_API int zt_xml_node_list_next(zt_xml_node_list* nodes, zt_xml_node** node);
ZTTOOLS_API int zt_xml_node_list_reset(zt_xml_node_list* nodes);
/* The node as XML, its qualified name ("#text" for text), its text content. Handle-owned: the
   handle is the node. */
ZTTOOLS_API int zt_xml_node_xml(zt_xml_node* node, const char** xml);
ZTTOOLS_API int zt_xml_node_name(zt_xml_node* node, const char** name);
ZTTOOLS_API int zt_xml_node_text(zt_xml_node* node, const char** text);

typedef struct zt_xml_xpath zt_xml_xpath;

ZTTOOLS_API zt_xml_xpath* zt_xml_xpath_new(void);
ZTTOOLS_API void zt_xml_xpath_free(zt_xml_xpath* xpath);
/* 0 loaded, -1 not loaded (also for the path loaded last), -2 no document component (load_xml). */
ZTTOOLS_API int zt_xml_xpath_load_file(zt_xml_xpath* xpath, const char* path);
ZTTOOLS_API int zt_xml_xpath_load_xml(zt_xml_xpath* xpath, const char* xml);
/* XML of the first matching node / of every matching node each followed by a line feed; ""
   when nothing matches or the query fails (handle-owned). */
ZTTOOLS_API int zt_xml_xpath_select_single_node(zt_xml_xpath* xpath, const char* query,
                                                const char** xml);
ZTTOOLS_API int zt_xml_xpath_select_nodes(zt_xml_xpath* xpath, const char* query, const char** xml);
/* Hands the selected nodes to `visit`; *result gets its answer, or -1 when the query fails (the
   visitor is then not called). */
ZTTOOLS_API int zt_xml_xpath_visit_nodes(zt_xml_xpath* xpath, const char* query,
                                         zt_xml_visit_fn visit, void* user, int* result);

#ifdef __cplusplus
}
#endif

#endif /* ZTTOOLS_C_H */
