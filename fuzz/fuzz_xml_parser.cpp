// The XML parser object on arbitrary bytes, with a handler that records every event. Whatever
// the bytes, the status is 0 or negative; events are well nested, names match their start tags
// and fit the parser's name buffer; every text handed to the handler is valid UTF-8; a success
// runs from startDocument to endDocument. The same bytes given as a string (when they hold no
// NUL) give the same status and events.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "tests/event_recorder.h"
#include "xml/xml_parser.h"
#include "zttools.h"

namespace {

class ErrorSink : public IKORAXmlErrorHandler {
 public:
  long error(ISAXLocator* /*l*/, const wchar_t* m, long c) override { return note(m, c); }
  long fatalError(ISAXLocator* /*l*/, const wchar_t* m, long c) override { return note(m, c); }
  long ignorableWarning(ISAXLocator* /*l*/, const wchar_t* m, long c) override {
    return note(m, c);
  }

 private:
  static long note(const wchar_t* message, long code) {
    ZT_FUZZ_CHECK(message != nullptr);
    ZT_FUZZ_CHECK(code < 0);
    return code;
  }
};

void checkEvents(const EventRecorder& recorder, long status) {
  ZT_FUZZ_CHECK(status <= 0);
  std::vector<std::string> open;
  const auto& events = recorder.events;
  for (const std::string& e : events) {
    ZT_FUZZ_CHECK(zt::fuzz::isUtf8(e));
    if (e.starts_with("<")) {
      ZT_FUZZ_CHECK(e.size() > 1 && e.size() - 1 < 1024);
      open.push_back(e.substr(1));
    } else if (e.starts_with("/")) {
      ZT_FUZZ_CHECK(!open.empty() && open.back() == e.substr(1));
      open.pop_back();
    } else if (e.starts_with("text:")) {
      ZT_FUZZ_CHECK(!open.empty());
    } else if (e.starts_with("[") || e.starts_with("]")) {
      ZT_FUZZ_CHECK(!open.empty() && open.back() == e.substr(1));
    }
  }
  if (status == 0) {
    ZT_FUZZ_CHECK(open.empty());
    ZT_FUZZ_CHECK(events.size() >= 4);  // a document has at least one element
    ZT_FUZZ_CHECK(events.front() == "startDocument" && events.back() == "endDocument");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  zt::xml::KORAXmlParser parser;
  ErrorSink errors;
  EventRecorder fromBuffer;
  const long bufferStatus =
      parser.parseBuffer(bytes.data(), static_cast<int>(bytes.size()), &fromBuffer, &errors);
  checkEvents(fromBuffer, bufferStatus);

  if (bytes.find('\0') == std::string::npos) {
    // The same parser again: its handler stack now holds both recorders, the new one on top.
    EventRecorder fromString;
    const long stringStatus = parser.parseString(bytes.c_str(), &fromString, nullptr);
    ZT_FUZZ_CHECK(stringStatus == bufferStatus);
    ZT_FUZZ_CHECK(fromString.events == fromBuffer.events);
  }
  return 0;
}
