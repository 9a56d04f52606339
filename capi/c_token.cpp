// The two token parsers behind C handles, with C formatters in front of their formatter
// interfaces.
#include <sstream>

#include "capi/c_support.h"

using zt::capi::guarded;
using zt::capi::require;

struct zt_token_parser
    : zt::capi::ToolHandle<KORATokenParserInterface, KORATokenParserFactory_Create,
                           KORATokenParserFactory_Destroy> {};
struct zt_token_parser_ex
    : zt::capi::ToolHandle<KORATokenParserExInterface, KORATokenParserExFactory_Create,
                           KORATokenParserExFactory_Destroy> {};

struct zt_token_output {
  std::stringstream& text;
};

namespace {

// Calls the C formatter for one token; a negative answer ends the conversion with that status.
int formatWith(zt_token_format_fn format, void* user, const std::string& specifier,
               const std::string& modifier, const std::string& delimiter, const std::string& text,
               std::stringstream& out) {
  zt_token_output output{out};
  const int answer =
      format(user, specifier.c_str(), modifier.c_str(), delimiter.c_str(), text.c_str(), &output);
  if (answer < 0) {
    throw zt::capi::Refusal{answer, "the formatter stopped the conversion", {}};
  }
  return answer;
}

class Formatter final : public KORATokenFormatterInterface {
 public:
  Formatter(zt_token_format_fn format, void* user) : format_(format), user_(user) {}
  int formatToken(const std::string& specifier, const std::string& modifier,
                  const std::string& delimiter, const std::string& text,
                  std::stringstream& out) override {
    return formatWith(format_, user_, specifier, modifier, delimiter, text, out);
  }

 private:
  zt_token_format_fn format_;
  void* user_;
};

// A null accept function accepts every kind; a null format function writes nothing.
class FormatterEx final : public KORATokenFormatterExInterface {
 public:
  FormatterEx(zt_token_accept_fn accept, zt_token_format_fn format, void* user)
      : accept_(accept), format_(format), user_(user) {}
  bool acceptToken(char specifier, char modifier, char delimiter) override {
    return accept_ == nullptr || accept_(user_, specifier, modifier, delimiter);
  }
  int formatToken(const std::string& specifier, const std::string& modifier,
                  const std::string& delimiter, const std::string& text,
                  std::stringstream& out) override {
    return format_ == nullptr
               ? 0
               : formatWith(format_, user_, specifier, modifier, delimiter, text, out);
  }

 private:
  zt_token_accept_fn accept_;
  zt_token_format_fn format_;
  void* user_;
};

// Every conversion of both parsers: text in, caller-owned text out, token errors into `error`.
template <class Handle, class Convert>
int convert(Handle* parser, const char* in, char** out, zt_token_error* error, Convert operation) {
  return guarded(error, [&] {
    require(parser, "parser");
    require(in, "input text");
    require(out, "out");
    std::string text;
    operation(*parser->tool, in, text);
    return zt::capi::giveText(text, out);
  });
}

template <class Handle>
int raise(Handle* parser, int code, int position, zt_token_error* error) {
  return guarded(error, [&]() -> int {
    require(parser, "parser");
    parser->tool->raiseError(code, position);
    // Unreached while the tool keeps its promise to throw.
    throw zt::capi::Refusal{ZT_E_UNEXPECTED, "raiseError returned", {}};
  });
}

}  // namespace

extern "C" {

int zt_token_output_write(zt_token_output* out, const char* text) {
  return guarded([&] {
    require(out, "out");
    require(text, "text");
    out->text << text;
    return ZT_OK;
  });
}

zt_token_parser* zt_token_parser_new(void) {
  return zt::capi::newHandle<zt_token_parser>();
}

void zt_token_parser_free(zt_token_parser* parser) {
  zt::capi::freeHandle(parser);
}

int zt_token_parser_process(zt_token_parser* parser, const char* format, char** xml_out,
                            zt_token_error* error) {
  return convert(parser, format, xml_out, error,
                 [](auto& tool, const char* in, std::string& out) { tool.processTokens(in, out); });
}

int zt_token_parser_build_string(zt_token_parser* parser, const char* xml, char** format_out) {
  return convert(
      parser, xml, format_out, nullptr,
      [](auto& tool, const char* in, std::string& out) { tool.buildTokenString(in, out); });
}

int zt_token_parser_build_template_string(zt_token_parser* parser, const char* xml,
                                          char** template_out) {
  return convert(
      parser, xml, template_out, nullptr,
      [](auto& tool, const char* in, std::string& out) { tool.buildTemplateString(in, out); });
}

int zt_token_parser_format(zt_token_parser* parser, const char* format,
                           zt_token_format_fn format_token, void* user, char** text_out,
                           zt_token_error* error) {
  Formatter formatter(format_token, user);
  return convert(parser, format, text_out, error,
                 [&](auto& tool, const char* in, std::string& out) {
                   tool.formatTokens(in, out, format_token == nullptr ? nullptr : &formatter);
                 });
}

int zt_token_parser_raise_error(zt_token_parser* parser, int code, int position,
                                zt_token_error* error) {
  return raise(parser, code, position, error);
}

zt_token_parser_ex* zt_token_parser_ex_new(void) {
  return zt::capi::newHandle<zt_token_parser_ex>();
}

void zt_token_parser_ex_free(zt_token_parser_ex* parser) {
  zt::capi::freeHandle(parser);
}

int zt_token_parser_ex_process(zt_token_parser_ex* parser, const char* format,
                               zt_token_accept_fn accept, void* user, char** xml_out,
                               zt_token_error* error) {
  FormatterEx formatter(accept, nullptr, user);
  return convert(parser, format, xml_out, error, [&](auto& tool, const char* in, std::string& out) {
    tool.processTokens(in, out, accept == nullptr ? nullptr : &formatter);
  });
}

int zt_token_parser_ex_build_string(zt_token_parser_ex* parser, const char* xml,
                                    char** format_out) {
  return convert(parser, xml, format_out, nullptr,
                 [](auto& tool, const char* in, std::string& out) {
                   tool.buildTokenString(in, out, nullptr);
                 });
}

int zt_token_parser_ex_build_template_string(zt_token_parser_ex* parser, const char* xml,
                                             char** template_out) {
  return convert(parser, xml, template_out, nullptr,
                 [](auto& tool, const char* in, std::string& out) {
                   tool.buildTemplateString(in, out, nullptr);
                 });
}

int zt_token_parser_ex_format(zt_token_parser_ex* parser, const char* format,
                              zt_token_accept_fn accept, zt_token_format_fn format_token,
                              void* user, char** text_out, zt_token_error* error) {
  FormatterEx formatter(accept, format_token, user);
  return convert(parser, format, text_out, error,
                 [&](auto& tool, const char* in, std::string& out) {
                   tool.formatTokens(in, out, format_token == nullptr ? nullptr : &formatter);
                 });
}

int zt_token_parser_ex_raise_error(zt_token_parser_ex* parser, int code, int position,
                                   zt_token_error* error) {
  return raise(parser, code, position, error);
}

}  // extern "C"
