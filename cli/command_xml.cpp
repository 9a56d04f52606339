// xml events and xml xpath: what the XML parser object delivers to a handler, and what the XPath
// object selects.
#include <ostream>
#include <string>
#include <vector>

#include "caret.h"
#include "commands.h"
#include "display.h"
#include "io.h"
#include "tools.h"

namespace zt::cli {

namespace {

// Prints every call the parser makes, one per line, indented by element depth.
class EventPrinter final : public IKORAXmlContentHandler {
 public:
  explicit EventPrinter(std::ostream& out) : out_(out) {}
  int startDocument() override { return print("startDocument"); }
  int endDocument() override { return print("endDocument"); }
  int reserved(void*) override { return 0; }
  int startElement(const char* name) override {
    print("startElement " + std::string(name));
    ++depth_;
    return 0;
  }
  int characters(const char* text) override { return print("characters " + quotedText(text)); }
  int endElement(const char* name) override {
    depth_ = depth_ > 0 ? depth_ - 1 : 0;
    return print("endElement " + std::string(name));
  }
  void startAttributes(const char* element) override {
    print("startAttributes " + std::string(element));
  }
  int attribute(const char* name, const char* value) override {
    return print("attribute " + std::string(name) + "=" + quotedText(value));
  }
  void endAttributes(const char* element) override {
    print("endAttributes " + std::string(element));
  }
  void setController(IKORAXmlContentController*) override { print("setController"); }

 private:
  int print(const std::string& line) {
    out_ << std::string(2 * depth_, ' ') << line << '\n';
    return 0;
  }
  std::ostream& out_;
  std::size_t depth_ = 0;
};

int events(const Args& args, Io& io) {
  args.expectPositionals(1, 1, "FILE");
  const InputFile input(args.positional(0), io);
  auto parser = makeXmlParser();
  EventPrinter printer(io.out);
  XmlErrorCollector errors;
  if (parser->parseFile(input.path().c_str(), &printer, &errors) < 0) {
    printXmlError(io.err, input, errors.first());
    return kRejected;
  }
  return kSuccess;
}

int xpath(const Args& args, Io& io) {
  args.expectPositionals(2, 2, "FILE and EXPR");
  const InputFile input(args.positional(0), io);
  const std::string& expression = args.positional(1);
  auto query = makeXPath();
  if (query->loadFile(input.path().c_str()) != 0) {
    reportUnloaded(input, "not loaded", io);
    return kRejected;
  }
  std::vector<std::string> nodes;
  const int result = query->selectNodes(expression.c_str(), [&](IXMLDOMNodeList* list) {
    for (IXMLDOMNode* node = list->nextNode(); node != nullptr; node = list->nextNode()) {
      nodes.push_back(node->xml());
    }
    return 0;
  });
  if (result < 0) {
    io.err << quotedText(expression) << ": not a valid XPath 1.0 expression\n";
    return kRejected;
  }
  for (const std::string& node : nodes) {
    io.out << node << '\n';
  }
  if (nodes.empty()) {
    io.err << "no node matches " << printable(expression) << '\n';
  }
  return kSuccess;
}

}  // namespace

std::vector<Command> xmlCommands() {
  return {
      {"xml",
       "events",
       "FILE|-",
       "print the events the XML parser delivers to a content handler",
       "Parses FILE (standard input for -) with the library's XML parser and prints every\n"
       "handler call in order, one per line, indented by element depth: setController,\n"
       "startDocument, startElement, startAttributes, attribute, endAttributes, characters\n"
       "(text up to the next tag, its leading white space removed), endElement, endDocument.\n"
       "A document the reader rejects is shown with the line and a caret under the error\n"
       "(exit status 1).",
       {},
       events},
      {"xml",
       "xpath",
       "FILE|- EXPR",
       "print the nodes an XPath 1.0 expression selects",
       "Loads FILE (standard input for -) into the XPath object and prints the XML of every\n"
       "node EXPR selects, one per line, in document order. An invalid expression or an\n"
       "unloadable file gives exit status 1; no match prints a note on standard error and\n"
       "exits 0.",
       {},
       xpath},
  };
}

}  // namespace zt::cli
