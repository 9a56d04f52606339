// A content handler for the hardening tests and fuzz targets: records every event of the XML
// parser object as one short line ("<a", "[a", "k=v", "]a", "text:t", "/a"), or, with recording
// off, only counts them, so that huge documents cost no memory.
#ifndef ZT_TESTS_EVENT_RECORDER_H
#define ZT_TESTS_EVENT_RECORDER_H

#include <cstddef>
#include <string>
#include <vector>

#include "zttools.h"

class EventRecorder : public IKORAXmlContentHandler {
 public:
  explicit EventRecorder(bool keep = true) : keep_(keep) {}

  const std::vector<std::string>& events() const { return events_; }
  std::size_t count() const { return count_; }
  int depth() const { return depth_; }

  int startDocument() override { return add("startDocument", ""); }
  int endDocument() override { return add("endDocument", ""); }
  int reserved(void* /*unused*/) override { return 0; }
  int startElement(const char* name) override {
    ++depth_;
    return add("<", name);
  }
  int characters(const char* text) override { return add("text:", text); }
  int endElement(const char* name) override {
    --depth_;
    return add("/", name);
  }
  void startAttributes(const char* element) override { add("[", element); }
  int attribute(const char* name, const char* value) override {
    return add(std::string(name) + "=", value);
  }
  void endAttributes(const char* element) override { add("]", element); }
  void setController(IKORAXmlContentController* /*controller*/) override {}

 private:
  int add(const std::string& kind, const char* text) {
    ++count_;
    if (keep_) {
      events_.push_back(kind + text);
    }
    return 0;
  }

  bool keep_;
  std::size_t count_ = 0;
  int depth_ = 0;
  std::vector<std::string> events_;
};

#endif  // ZT_TESTS_EVENT_RECORDER_H
