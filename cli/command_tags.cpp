// tags: a tag store loaded by the tag manager, listed or looked up in either direction.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "caret.h"
#include "commands.h"
#include "io.h"
#include "tools.h"

namespace zt::cli {

namespace {

// A number as the store writes ids: decimal, 0x hexadecimal or 0 octal, in [low, high].
std::optional<long> parseId(const std::string& text, long low, long high) {
  if (text.empty()) {
    return std::nullopt;
  }
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text.c_str(), &end, 0);
  if (errno != 0 || *end != '\0' || value < low || value > high) {
    return std::nullopt;
  }
  return value;
}

// The texts of the nodes an expression selects.
std::vector<std::string> texts(KORAXmlXPathInterface& xpath, const std::string& expression) {
  std::vector<std::string> result;
  xpath.selectNodes(expression.c_str(), [&](IXMLDOMNodeList* nodes) {
    for (IXMLDOMNode* node = nodes->nextNode(); node != nullptr; node = nodes->nextNode()) {
      result.push_back(node->text());
    }
    return 0;
  });
  return result;
}

// Every tag of the store with its values. The tag manager answers lookups only, so the names
// are read from the file with XPath and each is then looked up through the manager.
void listStore(KORATagManagerInterface& tags, const std::string& path, Io& io) {
  auto xpath = makeXPath();
  xpath->loadFile(path.c_str());
  const std::vector<std::string> names = texts(*xpath, "/vexkoratagstore/tags/tag/@name");
  for (std::size_t i = 0; i < names.size(); ++i) {
    const int32_t id = tags.getTagId(names[i].c_str());
    if (id == KORA_TAG_NOT_FOUND) {
      continue;  // a later tag with the same id took its place
    }
    io.out << id << '\t' << names[i] << '\n';
    const std::string values =
        "(/vexkoratagstore/tags/tag)[" + std::to_string(i + 1) + "]/tagvalues/tagvalue/@name";
    for (const std::string& value : texts(*xpath, values)) {
      io.out << '\t' << tags.getValueId(id, value.c_str()) << '\t' << value << '\n';
    }
  }
}

// The id of the tag that --id or --name names, or nothing (reported) when the store lacks it.
std::optional<int32_t> selectTag(KORATagManagerInterface& tags, const Args& args, Io& io) {
  if (const std::optional<std::string> name = args.value("--name")) {
    const int32_t id = tags.getTagId(name->c_str());
    if (id == KORA_TAG_NOT_FOUND) {
      io.err << "no tag named " << quoted(*name) << '\n';
      return std::nullopt;
    }
    return id;
  }
  const std::string text = *args.value("--id");
  const std::optional<long> id = parseId(text, 0, 65535);
  if (!id) {
    throw UsageError("--id needs a tag id from 0 to 65535 (decimal or 0x hexadecimal), not '" +
                     text + "'");
  }
  // Asked for an id it lacks, the manager makes a tag named after the id; such a name means the
  // store had no tag with this id unless the store itself uses that name.
  char generated[16];
  std::snprintf(generated, sizeof generated, "0x%04lx", *id);
  const bool storeNamesIt = tags.getTagId(generated) == *id;
  const std::string name = tags.getTagName(static_cast<int32_t>(*id));
  if (name == generated && !storeNamesIt) {
    io.err << "no tag with id " << *id << '\n';
    return std::nullopt;
  }
  return static_cast<int32_t>(*id);
}

int run(const Args& args, Io& io) {
  args.expectPositionals(1, 1, "FILE");
  if (args.has("--id") && args.has("--name")) {
    throw UsageError("give --id or --name, not both");
  }
  const bool lookup = args.has("--id") || args.has("--name");
  if (args.has("--value") && !lookup) {
    throw UsageError("--value needs the tag, given with --id or --name");
  }
  const std::string& path = args.positional(0);
  auto tags = makeTagManager();
  if (!tags->load(path.c_str())) {
    reportUnloaded(path, "not a tag store (an attribute it does not know ends the load)", io);
    return kRejected;
  }
  if (!lookup) {
    listStore(*tags, path, io);
    return kSuccess;
  }
  const std::optional<int32_t> id = selectTag(*tags, args, io);
  if (!id) {
    return kRejected;
  }
  const std::optional<std::string> value = args.value("--value");
  if (!value) {
    io.out << (args.has("--name") ? std::to_string(*id) : tags->getTagName(*id)) << '\n';
    return kSuccess;
  }
  // A value given as a number is a value id; any other text is a value name.
  if (const std::optional<long> valueId = parseId(*value, INT32_MIN, INT32_MAX)) {
    const std::string name = tags->getValueName(*id, static_cast<int32_t>(*valueId));
    if (name.empty()) {
      io.err << "tag " << *id << " has no value with id " << *valueId << '\n';
      return kRejected;
    }
    io.out << name << '\n';
    return kSuccess;
  }
  const int32_t valueId = tags->getValueId(*id, value->c_str());
  if (valueId == KORA_TAG_NOT_FOUND) {
    io.err << "tag " << *id << " has no value named " << quoted(*value) << '\n';
    return kRejected;
  }
  io.out << valueId << '\n';
  return kSuccess;
}

}  // namespace

std::vector<Command> tagCommands() {
  return {
      {"tags",
       "",
       "FILE [--id N | --name NAME] [--value ID|NAME]",
       "list a tag store, or look up tags and their values",
       "Without --id or --name, lists every tag as 'id<TAB>name', each followed by its values\n"
       "as '<TAB>id<TAB>name'. With --id N prints the tag's name, with --name NAME its id;\n"
       "--value then looks up within that tag: a number (decimal, 0x hexadecimal) prints the\n"
       "value's name, any other text the value's id. Exit status 1 when the file is not a\n"
       "readable tag store or the tag or value is absent.",
       {{"--id", true}, {"--name", true}, {"--value", true}},
       run},
  };
}

}  // namespace zt::cli
