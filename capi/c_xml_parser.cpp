// The XML parser behind a C handle. C handler structs are put behind the parser's handler
// interfaces by adapters that the handle keeps as long as the parser may call them: the parser's
// handler stack holds on to every handler pushed, and its error sink stays until replaced.
#include <array>
#include <cstdint>
#include <cstring>
#include <map>
#include <utility>

#include "capi/c_support.h"

using zt::capi::guarded;
using zt::capi::require;

namespace zt::capi {

class ContentAdapter;

// The same C handler and user pointer always get the same adapter, so repeated parses with one
// handler add no adapters.
using HandlerKey = std::pair<std::array<char, sizeof(zt_xml_content_handler)>, std::uintptr_t>;

}  // namespace zt::capi

struct zt_xml_controller {
  IKORAXmlContentController* stack = nullptr;  // the parser's, given at the first push
  std::map<zt::capi::HandlerKey, std::unique_ptr<zt::capi::ContentAdapter>> adapters;

  zt::capi::ContentAdapter* adapterFor(const zt_xml_content_handler& handler, void* user);
};

namespace zt::capi {

class ContentAdapter final : public IKORAXmlContentHandler {
 public:
  ContentAdapter(const zt_xml_content_handler& handler, void* user, zt_xml_controller& controller)
      : handler_(handler), user_(user), controller_(controller) {}

  [[nodiscard]] void* user() const { return user_; }

  int startDocument() override { return answer(handler_.start_document); }
  int endDocument() override { return answer(handler_.end_document); }
  int reserved(void* /*unused*/) override { return 0; }
  int startElement(const char* name) override { return answer(handler_.start_element, name); }
  int characters(const char* text) override { return answer(handler_.characters, text); }
  int endElement(const char* name) override { return answer(handler_.end_element, name); }
  void startAttributes(const char* element) override { notify(handler_.start_attributes, element); }
  int attribute(const char* name, const char* value) override {
    return answer(handler_.attribute, name, value);
  }
  void endAttributes(const char* element) override { notify(handler_.end_attributes, element); }
  void setController(IKORAXmlContentController* controller) override {
    controller_.stack = controller;
    notify(handler_.set_controller, &controller_);
  }

 private:
  template <class Callback, class... Args>
  int answer(Callback callback, Args... args) {
    return callback == nullptr ? 0 : callback(user_, args...);
  }
  template <class Callback, class... Args>
  void notify(Callback callback, Args... args) {
    if (callback != nullptr) {
      callback(user_, args...);
    }
  }

  zt_xml_content_handler handler_;
  void* user_;
  zt_xml_controller& controller_;
};

namespace {

// The reader's wide text as UTF-8; code points that are not characters become U+FFFD.
std::string utf8(const wchar_t* text) {
  std::string out;
  for (; text != nullptr && *text != 0; ++text) {
    auto code = static_cast<uint32_t>(static_cast<char32_t>(*text));
    if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      code = 0xFFFD;
    }
    const int tail = code < 0x80 ? 0 : code < 0x800 ? 1 : code < 0x10000 ? 2 : 3;
    static constexpr std::array<unsigned, 4> kLead = {0x00, 0xC0, 0xE0, 0xF0};
    out += static_cast<char>(kLead[tail] | (code >> (6 * tail)));
    for (int i = tail - 1; i >= 0; --i) {
      out += static_cast<char>(0x80 | ((code >> (6 * i)) & 0x3F));
    }
  }
  return out;
}

}  // namespace

class ErrorAdapter final : public IKORAXmlErrorHandler {
 public:
  void set(const zt_xml_error_handler& handler, void* user) {
    handler_ = handler;
    user_ = user;
  }
  long error(ISAXLocator* locator, const wchar_t* message, long code) override {
    return forward(handler_.error, locator, message, code);
  }
  long fatalError(ISAXLocator* locator, const wchar_t* message, long code) override {
    return forward(handler_.fatal_error, locator, message, code);
  }
  long ignorableWarning(ISAXLocator* locator, const wchar_t* message, long code) override {
    return forward(handler_.ignorable_warning, locator, message, code);
  }

 private:
  // Runs inside the reader: nothing may be thrown from here.
  long forward(zt_xml_error_fn callback, ISAXLocator* locator, const wchar_t* message,
               long code) noexcept {
    if (callback == nullptr) {
      return 0;
    }
    try {
      const std::string text = utf8(message);
      return callback(user_, locator == nullptr ? 0 : locator->getLineNumber(),
                      locator == nullptr ? 0 : locator->getColumnNumber(), text.c_str(),
                      static_cast<int>(code));
    } catch (...) {
      return ZT_E_OUTOFMEMORY;
    }
  }

  zt_xml_error_handler handler_{};
  void* user_ = nullptr;
};

}  // namespace zt::capi

zt::capi::ContentAdapter* zt_xml_controller::adapterFor(const zt_xml_content_handler& handler,
                                                        void* user) {
  zt::capi::HandlerKey key{{}, reinterpret_cast<std::uintptr_t>(user)};
  std::memcpy(key.first.data(), &handler, sizeof handler);
  auto& adapter = adapters[key];
  if (!adapter) {
    adapter = std::make_unique<zt::capi::ContentAdapter>(handler, user, *this);
  }
  return adapter.get();
}

// The tool is the last member so that it goes first, before the adapters it points at.
struct zt_xml_parser {
  zt_xml_controller controller;
  zt::capi::ErrorAdapter errors;
  zt::capi::ToolPtr<KORAXmlParserInterface, KORAXmlParserFactory_Destroy> tool{
      KORAXmlParserFactory_Create()};
};

namespace {

// `input` is the document argument, checked before anything changes.
template <class Parse>
int parseWith(zt_xml_parser* parser, const char* input, const zt_xml_content_handler* handler,
              void* user, const zt_xml_error_handler* errors, void* errorsUser, Parse parse) {
  return guarded([&] {
    require(parser, "parser");
    require(input, "document");
    require(handler, "handler");
    IKORAXmlContentHandler* content = parser->controller.adapterFor(*handler, user);
    IKORAXmlErrorHandler* sink = nullptr;
    if (errors != nullptr) {
      parser->errors.set(*errors, errorsUser);
      sink = &parser->errors;
    }
    return zt::capi::passStatus(parse(*parser->tool, content, sink));
  });
}

}  // namespace

extern "C" {

int zt_xml_controller_push_handler(zt_xml_controller* controller,
                                   const zt_xml_content_handler* handler, void* user) {
  return guarded([&] {
    require(controller, "controller");
    require(handler, "handler");
    controller->stack->pushHandler(controller->adapterFor(*handler, user));
    return ZT_OK;
  });
}

int zt_xml_controller_pop_handler(zt_xml_controller* controller) {
  return guarded([&] {
    require(controller, "controller");
    controller->stack->popHandler();
    return ZT_OK;
  });
}

int zt_xml_controller_current_handler(zt_xml_controller* controller, bool* has_handler,
                                      void** user) {
  return guarded([&] {
    require(controller, "controller");
    require(has_handler, "has_handler");
    require(user, "user");
    // Only adapters are ever pushed on a parser behind a handle.
    auto* current = static_cast<zt::capi::ContentAdapter*>(controller->stack->currentHandler());
    *has_handler = current != nullptr;
    *user = current == nullptr ? nullptr : current->user();
    return ZT_OK;
  });
}

zt_xml_parser* zt_xml_parser_new(void) {
  return zt::capi::newHandle<zt_xml_parser>();
}

void zt_xml_parser_free(zt_xml_parser* parser) {
  zt::capi::freeHandle(parser);
}

int zt_xml_parser_parse_file(zt_xml_parser* parser, const char* path,
                             const zt_xml_content_handler* handler, void* user,
                             const zt_xml_error_handler* errors, void* errors_user) {
  return parseWith(
      parser, path, handler, user, errors, errors_user,
      [&](auto& tool, auto* content, auto* sink) { return tool.parseFile(path, content, sink); });
}

int zt_xml_parser_parse_buffer(zt_xml_parser* parser, const char* data, int32_t length,
                               const zt_xml_content_handler* handler, void* user,
                               const zt_xml_error_handler* errors, void* errors_user) {
  // No bytes need no data pointer.
  return parseWith(parser, length > 0 ? data : "", handler, user, errors, errors_user,
                   [&](auto& tool, auto* content, auto* sink) {
                     return tool.parseBuffer(data, length, content, sink);
                   });
}

int zt_xml_parser_parse_string(zt_xml_parser* parser, const char* xml,
                               const zt_xml_content_handler* handler, void* user,
                               const zt_xml_error_handler* errors, void* errors_user) {
  return parseWith(
      parser, xml, handler, user, errors, errors_user,
      [&](auto& tool, auto* content, auto* sink) { return tool.parseString(xml, content, sink); });
}

}  // extern "C"
