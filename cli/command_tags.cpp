// tags: a tag store loaded by the tag manager, listed or looked up in either direction.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "caret.h"
#include "commands.h"
#include "display.h"
#include "io.h"
#include "json.h"
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

// The tag and value names of a store in document order, from one pass of the library's XML
// parser: a tag is named by the last "name" attribute before its "id" element ends, a value by
// the last one before its "value" element ends.
class StoreNames final : public IKORAXmlContentHandler {
 public:
  struct Tag {
    std::string name;
    std::vector<std::string> values;
  };
  int startDocument() override { return 0; }
  int endDocument() override { return 0; }
  int reserved(void*) override { return 0; }
  int startElement(const char*) override { return 0; }
  int characters(const char*) override { return 0; }
  int endElement(const char* element) override {
    const std::string_view name(element);
    if (name == "id") {
      tags.push_back({name_, {}});
    } else if (name == "value" && !tags.empty()) {
      tags.back().values.push_back(name_);
    }
    return 0;
  }
  void startAttributes(const char*) override {}
  int attribute(const char* name, const char* value) override {
    if (std::string_view(name) == "name") {
      name_ = value;
    }
    return 0;
  }
  void endAttributes(const char*) override {}
  void setController(IKORAXmlContentController*) override {}
  std::vector<Tag> tags;

 private:
  std::string name_;
};

// Every tag the manager holds with its values, in the store's order. The manager answers
// lookups only, so the names come from one pass over the file, and a tag or value is listed
// where its name last occurs (a later tag with the same name replaces an earlier one), when the
// manager answers for it both ways (a later tag with the same id replaces it too). One pass
// and one lookup per name keep the listing linear.
Json listStore(KORATagManagerInterface& tags, const InputFile& input) {
  auto parser = makeXmlParser();
  StoreNames names;
  XmlErrorCollector ignored;
  parser->parseFile(input.path().c_str(), &names, &ignored);
  std::unordered_map<std::string_view, std::size_t> last;
  for (std::size_t i = 0; i < names.tags.size(); ++i) {
    last[names.tags[i].name] = i;
  }
  Json listing = Json::array();
  for (std::size_t i = 0; i < names.tags.size(); ++i) {
    const StoreNames::Tag& tag = names.tags[i];
    const int32_t id = tags.getTagId(tag.name.c_str());
    if (last[tag.name] != i || id == KORA_TAG_NOT_FOUND || tag.name != tags.getTagName(id)) {
      continue;
    }
    Json values = Json::array();
    std::unordered_set<std::string> seen;
    for (const std::string& value : tag.values) {
      const int32_t valueId = tags.getValueId(id, value.c_str());
      if (valueId != KORA_TAG_NOT_FOUND && value == tags.getValueName(id, valueId) &&
          seen.insert(value).second) {
        values.push_back({{"id", valueId}, {"name", value}});
      }
    }
    listing.push_back({{"id", id}, {"name", tag.name}, {"values", std::move(values)}});
  }
  return listing;
}

void printListing(const Json& listing, Io& io) {
  for (const Json& tag : listing) {
    io.out << tag["id"].get<int32_t>() << '\t' << tag["name"].get<std::string>() << '\n';
    for (const Json& value : tag["values"]) {
      io.out << '\t' << value["id"].get<int32_t>() << '\t' << value["name"].get<std::string>()
             << '\n';
    }
  }
}

// The id of the tag that --id or --name names, or nothing (reported) when the store lacks it.
std::optional<int32_t> selectTag(KORATagManagerInterface& tags, const Args& args, Io& io) {
  if (const std::optional<std::string> name = args.value("--name")) {
    const int32_t id = tags.getTagId(name->c_str());
    if (id == KORA_TAG_NOT_FOUND) {
      io.err << "no tag named " << quotedText(*name) << '\n';
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

// A value found by --value: its id and name as JSON, or the one that was asked for.
void printValue(int32_t tag, int32_t id, const std::string& name, bool json,
                const std::string& answer, Io& io) {
  if (json) {
    printJson(io.out, {{"tag", tag}, {"id", id}, {"name", name}});
  } else {
    io.out << answer << '\n';
  }
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
  const InputFile input(args.positional(0), io);
  auto tags = makeTagManager();
  if (!tags->load(input.path().c_str())) {
    reportUnloaded(input, "not a tag store (an attribute it does not know ends the load)", io);
    return kRejected;
  }
  const bool json = args.has("--json");
  if (!lookup) {
    const Json listing = listStore(*tags, input);
    if (listing.empty()) {
      io.err << printable(input.name()) << ": not a tag store (no tag loaded)\n";
      return kRejected;
    }
    if (json) {
      printJson(io.out, {{"tags", listing}});
    } else {
      printListing(listing, io);
    }
    return kSuccess;
  }
  const std::optional<int32_t> id = selectTag(*tags, args, io);
  if (!id) {
    return kRejected;
  }
  const std::optional<std::string> value = args.value("--value");
  if (!value) {
    const std::string name = tags->getTagName(*id);
    if (json) {
      printJson(io.out, {{"id", *id}, {"name", name}});
    } else {
      io.out << (args.has("--name") ? std::to_string(*id) : name) << '\n';
    }
    return kSuccess;
  }
  // A value given as a number is a value id; any other text is a value name.
  if (const std::optional<long> valueId = parseId(*value, INT32_MIN, INT32_MAX)) {
    const std::string name = tags->getValueName(*id, static_cast<int32_t>(*valueId));
    if (name.empty()) {
      io.err << "tag " << *id << " has no value with id " << *valueId << '\n';
      return kRejected;
    }
    printValue(*id, static_cast<int32_t>(*valueId), name, json, name, io);
    return kSuccess;
  }
  const int32_t valueId = tags->getValueId(*id, value->c_str());
  if (valueId == KORA_TAG_NOT_FOUND) {
    io.err << "tag " << *id << " has no value named " << quotedText(*value) << '\n';
    return kRejected;
  }
  printValue(*id, valueId, *value, json, std::to_string(valueId), io);
  return kSuccess;
}

}  // namespace

std::vector<Command> tagCommands() {
  return {
      {"tags",
       "",
       "FILE|- [--id N | --name NAME] [--value ID|NAME] [--json]",
       "list a tag store, or look up tags and their values",
       "Loads FILE (standard input for -) into the tag manager. Without --id or --name, lists\n"
       "every tag it loaded as 'id<TAB>name', each followed by its values as\n"
       "'<TAB>id<TAB>name', in the store's order. With --id N prints the tag's name, with\n"
       "--name NAME its id; --value then looks up within that tag: a number (decimal, 0x\n"
       "hexadecimal) prints the value's name, any other text the value's id. --json prints\n"
       "the same as one JSON document. Exit status 1 when the file is not a readable tag\n"
       "store (no tag loaded) or the tag or value is absent.",
       {{"--id", true}, {"--name", true}, {"--value", true}, {"--json", false}},
       run},
  };
}

}  // namespace zt::cli
