// The baselines: libxml2 called directly, the way a program without this library would.
#ifndef ZT_BENCH_RAW_LIBXML2_H
#define ZT_BENCH_RAW_LIBXML2_H

#include <string>
#include <string_view>
#include <vector>

namespace zt::bench {

// SAX2 parses with no-op callbacks and the reader's options (no network, no diagnostics
// printed). Return libxml2's result: 0 for a well-formed document. rawSaxParse is libxml2's
// one-call parse of a memory block; rawSaxPush feeds its push parser 256 KB at a time.
int rawSaxParse(std::string_view document);
int rawSaxPush(std::string_view document);
int rawSaxParseFile(const std::string& path);

// One event of a recorded document, to be written again through xmlTextWriter.
struct WriteEvent {
  enum Kind { kStart, kAttribute, kText, kEnd } kind;
  std::string name;
  std::string value;
};

// The elements, attributes and non-blank text of `document`, in document order.
std::vector<WriteEvent> recordEvents(std::string_view document);

// `events` written again by a new xmlTextWriter, indented, with a declaration.
std::string rawWrite(const std::vector<WriteEvent>& events);

}  // namespace zt::bench

#endif  // ZT_BENCH_RAW_LIBXML2_H
