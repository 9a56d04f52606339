// A content handler for the XML parser object's tests and fuzz targets: records every event as
// one short line ("<a" start, "[a" attributes begin, "k=v" attribute, "]a" attributes end,
// "text:t", "/a" end), and answers what `onEvent` answers for it (0 without one).
#ifndef ZT_TESTS_EVENT_RECORDER_H
#define ZT_TESTS_EVENT_RECORDER_H

#include <functional>
#include <string>
#include <vector>

#include "zttools.h"

class EventRecorder : public IKORAXmlContentHandler {
 public:
  std::vector<std::string> events;
  std::function<int(const std::string&)> onEvent;
  IKORAXmlContentController* controller = nullptr;
  int pushes = 0;

  int startDocument() override { return record("startDocument"); }
  int endDocument() override { return record("endDocument"); }
  int reserved(void* /*unused*/) override { return 0; }
  int startElement(const char* name) override { return record(std::string("<") + name); }
  int characters(const char* text) override { return record(std::string("text:") + text); }
  int endElement(const char* name) override { return record(std::string("/") + name); }
  void startAttributes(const char* element) override { record(std::string("[") + element); }
  int attribute(const char* name, const char* value) override {
    return record(std::string(name) + "=" + value);
  }
  void endAttributes(const char* element) override { record(std::string("]") + element); }
  void setController(IKORAXmlContentController* c) override {
    controller = c;
    ++pushes;
  }

 private:
  int record(const std::string& event) {
    events.push_back(event);
    return onEvent ? onEvent(event) : 0;
  }
};

#endif  // ZT_TESTS_EVENT_RECORDER_H
