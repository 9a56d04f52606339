// token and tokenex: format strings checked, converted to their document, printed through the
// reference formatter, and documents read back, through the classic or the extended parser.
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "caret.h"
#include "commands.h"
#include "display.h"
#include "io.h"
#include "json.h"
#include "reference_formatter.h"
#include "tools.h"

namespace zt::cli {

namespace {

std::string_view kindName(char kind) {
  switch (kind) {
    case 'Y':
      return "date";
    case 'T':
      return "time";
    case 'S':
      return "counter";
    case 'M':
      return "message";
    case 'N':
      return "newline";
    case '_':
      return "blank";
    case 'L':
      return "level";
    case 'A':
      return "iafielda";
    case 'B':
      return "iafieldb";
    case 'C':
      return "iafieldc";
    case 'D':
      return "iafieldd";
    case 'E':
      return "iafielde";
    case 'F':
      return "iafieldf";
    default:
      return "token";
  }
}

// Lists the tokens the parser hands to a formatter, with the fields it fills.
void listToken(std::ostream& out, const std::string& specifier, const std::string& modifier,
               const std::string& delimiter, const std::string& text) {
  std::string line = "  " + std::string(kindName(specifier.empty() ? '\0' : specifier[0]));
  line.resize(12, ' ');
  if (!modifier.empty()) {
    line += " modifier " + quotedText(modifier);
  }
  if (!delimiter.empty()) {
    line += " delimiter " + quotedText(delimiter);
  }
  if (specifier == "M") {
    line += " text " + quotedText(text);
  }
  while (!line.empty() && line.back() == ' ') {
    line.pop_back();
  }
  out << line << '\n';
}

// Serves both parsers: one formatToken overrides the operation of both formatter interfaces.
class Lister final : public KORATokenFormatterInterface, public KORATokenFormatterExInterface {
 public:
  explicit Lister(std::string refused = "") : refused_(std::move(refused)) {}
  bool acceptToken(char specifier, char, char) override {
    return refused_.find(specifier) == std::string::npos;
  }
  int formatToken(const std::string& specifier, const std::string& modifier,
                  const std::string& delimiter, const std::string& text,
                  std::stringstream&) override {
    listToken(lines, specifier, modifier, delimiter, text);
    Json token = {{"kind", kindName(specifier.empty() ? '\0' : specifier[0])},
                  {"specifier", specifier},
                  {"modifier", modifier},
                  {"delimiter", delimiter}};
    if (specifier == "M") {
      token["text"] = text;
    }
    tokens.push_back(std::move(token));
    return 0;
  }
  std::ostringstream lines;
  Json tokens = Json::array();

 private:
  std::string refused_;
};

std::string refusedLetters(const Args& args) {
  std::string letters = args.value("--refuse").value_or("");
  for (char c : letters) {
    if (std::string_view("YTSMN_ABCDEFL").find(c) == std::string_view::npos) {
      throw UsageError(std::string("--refuse takes kind letters (Y T S M N _ A-F L), not '") + c +
                       "'");
    }
  }
  return letters;
}

RenderInputs renderInputs(const Args& args) {
  RenderInputs inputs;
  if (const std::optional<std::string> now = args.value("--now")) {
    const std::optional<Clock> clock = parseClock(*now);
    if (!clock) {
      throw UsageError("--now needs a date and time as YYYY-MM-DDTHH:MM:SS, not '" + *now + "'");
    }
    inputs.clock = *clock;
  } else {
    inputs.clock = localClock();
  }
  if (const std::optional<int64_t> counter = args.number("--counter", 0, INT64_MAX)) {
    inputs.counter = static_cast<uint64_t>(*counter);
  }
  return inputs;
}

const std::string& formatArgument(const Args& args) {
  args.expectPositionals(1, 1, "FORMAT");
  return args.positional(0);
}

// Runs `work` on the format string; a rule the string breaks is shown with a caret under it.
template <typename Work>
int onFormat(const std::string& format, Io& io, Work work) {
  try {
    work(format.c_str());
    return kSuccess;
  } catch (const kora_token_parser_exception& error) {
    printTokenError(io.err, format, error);
    return kRejected;
  }
}

template <bool Extended>
int check(const Args& args, Io& io) {
  const std::string& format = formatArgument(args);
  Lister lister(Extended ? refusedLetters(args) : "");
  std::string text;
  const auto parse = [&] {
    if constexpr (Extended) {
      makeTokenParserEx()->formatTokens(format.c_str(), text, &lister);
    } else {
      makeTokenParser()->formatTokens(format.c_str(), text, &lister);
    }
  };
  if (!args.has("--json")) {
    return onFormat(format, io, [&](const char*) {
      parse();
      io.out << "valid: " << lister.tokens.size() << " tokens\n" << lister.lines.str();
    });
  }
  // A script reads the verdict from standard output either way; the status still tells it.
  try {
    parse();
    printJson(io.out, {{"valid", true}, {"tokens", lister.tokens}});
    return kSuccess;
  } catch (const kora_token_parser_exception& error) {
    printJson(io.out, {{"valid", false},
                       {"code", error.code},
                       {"position", error.position},
                       {"message", error.what()}});
    return kRejected;
  }
}

template <bool Extended>
int toXml(const Args& args, Io& io) {
  const std::string& format = formatArgument(args);
  std::string xml;
  return onFormat(format, io, [&](const char* chars) {
    if constexpr (Extended) {
      ReferenceFormatter judge(RenderInputs{}, refusedLetters(args));
      makeTokenParserEx()->processTokens(chars, xml, &judge);
    } else {
      makeTokenParser()->processTokens(chars, xml);
    }
    io.out << xml << (xml.empty() || xml.back() == '\n' ? "" : "\n");
  });
}

template <bool Extended>
int format(const Args& args, Io& io) {
  const std::string& format = formatArgument(args);
  const RenderInputs inputs = renderInputs(args);
  std::string text;
  return onFormat(format, io, [&](const char* chars) {
    if constexpr (Extended) {
      ReferenceFormatter formatter(inputs, refusedLetters(args));
      makeTokenParserEx()->formatTokens(chars, text, &formatter);
    } else {
      ReferenceFormatter formatter(inputs);
      makeTokenParser()->formatTokens(chars, text, &formatter);
    }
    io.out << text << '\n';
  });
}

enum class Reading { kFormatString, kTemplateString };

template <bool Extended, Reading What>
int readBack(const Args& args, Io& io) {
  args.expectPositionals(1, 1, "FILE (or - for standard input)");
  const InputFile input(args.positional(0), io);
  const std::string document = input.content();
  if (!checkWellFormed(input, io, &document)) {
    return kRejected;
  }
  std::string result;
  if constexpr (Extended) {
    auto parser = makeTokenParserEx();
    if constexpr (What == Reading::kFormatString) {
      parser->buildTokenString(document.c_str(), result, nullptr);
    } else {
      parser->buildTemplateString(document.c_str(), result, nullptr);
    }
  } else {
    auto parser = makeTokenParser();
    if constexpr (What == Reading::kFormatString) {
      parser->buildTokenString(document.c_str(), result);
    } else {
      parser->buildTemplateString(document.c_str(), result);
    }
  }
  if (result.empty()) {
    io.err << printable(input.name()) << ": nothing read: the document has no token elements"
           << (What == Reading::kFormatString ? ", or holds an \"error\" element" : "") << '\n';
  }
  io.out << result << '\n';
  return kSuccess;
}

constexpr std::string_view kCheckDetails =
    "Validates FORMAT and lists its tokens with the fields the parser hands to a formatter\n"
    "(counters after their width and flag are split). A rejected string is printed with a\n"
    "caret under the rejected character, the error code, its position and the message;\n"
    "the exit status is then 1. --json prints {valid, tokens} (each token as {kind,\n"
    "specifier, modifier, delimiter, text for messages}), or {valid, code, position,\n"
    "message} for a rejected string, on standard output.";
constexpr std::string_view kXmlDetails =
    "Prints the processedtokens document of FORMAT: its message pieces and its tokens.";
constexpr std::string_view kStringDetails =
    "Reads a processedtokens document from FILE, or from standard input for -, and prints\n"
    "the format string it describes. A document the XML reader rejects is shown with the\n"
    "line and a caret under the error (exit status 1).";
constexpr std::string_view kTemplateDetails =
    "Reads a template document from FILE, or from standard input for -, and prints its\n"
    "template string: kind letters, blanks, and the numbers of the message definitions.";
constexpr std::string_view kRefuseNote =
    "\n\n--refuse LETTERS makes the formatter refuse those kinds (for example --refuse L);"
    "\nwhile a string is checked or printed a refused kind is error 27 at its letter; the"
    "\ndocument of 'xml' leaves refused tokens out.";

template <bool Extended>
std::vector<Command> family(std::string_view group) {
  std::vector<OptionSpec> formatOptions = {{"--now", true}, {"--counter", true}};
  std::vector<OptionSpec> plainOptions;
  if (Extended) {
    formatOptions.push_back({"--refuse", true});
    plainOptions.push_back({"--refuse", true});
  }
  std::vector<OptionSpec> checkOptions = plainOptions;
  checkOptions.push_back({"--json", false});
  // Built once per family: the command table refers to these texts for the program's life.
  static const std::string checkEx = std::string(kCheckDetails) + std::string(kRefuseNote);
  static const std::string xmlEx = std::string(kXmlDetails) + std::string(kRefuseNote);
  static const std::string formatText =
      "Prints FORMAT as the built-in reference formatter renders it.\n\n" +
      std::string(kReferenceRules);
  static const std::string formatEx = formatText + std::string(kRefuseNote.substr(1)) + "\n";
  static const std::string refuse = Extended ? "[--refuse LETTERS] " : "";
  static const std::string plainSynopsis = refuse + "FORMAT";
  static const std::string checkSynopsis = refuse + "[--json] FORMAT";
  static const std::string formatSynopsis =
      "[--now YYYY-MM-DDTHH:MM:SS] [--counter N] " + refuse + "FORMAT";
  return {
      {group, "check", checkSynopsis, "validate a format string and list its tokens",
       Extended ? std::string_view(checkEx) : kCheckDetails, checkOptions, check<Extended>},
      {group, "xml", plainSynopsis, "print the processedtokens document of a format string",
       Extended ? std::string_view(xmlEx) : kXmlDetails, plainOptions, toXml<Extended>},
      {group, "format", formatSynopsis, "print a format string through the reference formatter",
       Extended ? std::string_view(formatEx) : std::string_view(formatText), formatOptions,
       format<Extended>},
      {group,
       "string",
       "FILE|-",
       "read a processedtokens document back to its format string",
       kStringDetails,
       {},
       readBack<Extended, Reading::kFormatString>},
      {group,
       "template",
       "FILE|-",
       "read a template document to its template string",
       kTemplateDetails,
       {},
       readBack<Extended, Reading::kTemplateString>},
  };
}

}  // namespace

std::vector<Command> tokenCommands() {
  std::vector<Command> commands = family<false>("token");
  std::vector<Command> extended = family<true>("tokenex");
  commands.insert(commands.end(), extended.begin(), extended.end());
  return commands;
}

}  // namespace zt::cli
