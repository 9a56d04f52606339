// preset show, diff and fill: the "Preset" section of INI files as the preset manager sees it.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "commands.h"
#include "display.h"
#include "io.h"
#include "tools.h"

namespace zt::cli {

namespace {

uint32_t openPreset(KORAPresetManagerInterface& presets, const InputFile& input, Io& io) {
  const uint32_t handle = presets.open(input.path());
  if (handle == 0) {
    io.err << printable(input.name()) << ": no \"Preset\" section, or an empty one\n";
  }
  return handle;
}

// The keys of an open preset in the order the manager keeps them. The manager lists no keys,
// so the preset is saved into a scratch file and the keys are read from the section written
// there; the values are then asked of the manager.
std::vector<std::string> presetKeys(KORAPresetManagerInterface& presets, uint32_t handle) {
  const TempDir scratch("zttools-preset");
  const std::string copy = scratch.file("keys.ini");
  if (!presets.saveAs(handle, copy)) {
    throw std::runtime_error("cannot list the preset's keys: " + std::string(std::strerror(errno)));
  }
  std::ifstream in(copy, std::ios::binary);
  std::vector<std::string> keys;
  bool inSection = false;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    if (!line.empty() && line[0] == '[') {
      inSection = line == "[Preset]";
    } else if (inSection && line.find('=') != std::string::npos) {
      keys.push_back(line.substr(0, line.find('=')));
    }
  }
  return keys;
}

int show(const Args& args, Io& io) {
  args.expectPositionals(1, 2, "FILE");
  const InputFile input(args.positional(0), io);
  auto presets = makePresetManager();
  const uint32_t handle = openPreset(*presets, input, io);
  if (handle == 0) {
    return kRejected;
  }
  const std::vector<std::string> keys = presetKeys(*presets, handle);
  if (args.positionals().size() == 2) {
    const std::string& key = args.positional(1);
    if (std::find(keys.begin(), keys.end(), key) == keys.end()) {
      io.err << printable(input.name()) << ": no key " << quotedText(key) << " in the preset\n";
      return kRejected;
    }
    io.out << presets->getValue(handle, key) << '\n';
    return kSuccess;
  }
  for (const std::string& key : keys) {
    io.out << key << '=' << presets->getValue(handle, key) << '\n';
  }
  return kSuccess;
}

int diff(const Args& args, Io& io) {
  args.expectPositionals(2, 2, "the two preset files A and B");
  if (args.positional(0) == "-" && args.positional(1) == "-") {
    throw UsageError("standard input can be only one of A and B");
  }
  const InputFile a(args.positional(0), io);
  const InputFile b(args.positional(1), io);
  auto presets = makePresetManager();
  const uint32_t first = openPreset(*presets, a, io);
  const uint32_t second = first == 0 ? 0 : openPreset(*presets, b, io);
  if (second == 0) {
    return kRejected;
  }
  for (const auto& [key, value] : presets->getDifferences(first, second)) {
    io.out << key << ": " << presets->getValue(first, key) << " -> " << value << '\n';
  }
  return kSuccess;
}

int fill(const Args& args, Io& io) {
  args.expectPositionals(0, 0, "");
  const std::optional<std::string> from = args.value("--from");
  const std::optional<std::string> into = args.value("--into");
  if (!from || !into) {
    throw UsageError("preset fill needs --from A and --into B");
  }
  requirePath(*into, "--into");
  const InputFile source(*from, io);
  const InputFile target(*into, io);
  auto presets = makePresetManager();
  const uint32_t sourceHandle = openPreset(*presets, source, io);
  const uint32_t handle = sourceHandle == 0 ? 0 : openPreset(*presets, target, io);
  if (handle == 0) {
    return kRejected;
  }
  const std::size_t before = presetKeys(*presets, handle).size();
  if (!presets->addMissing(sourceHandle, handle)) {
    io.err << printable(*into) << " has every key of " << printable(source.name())
           << "; nothing to add\n";
    return kSuccess;
  }
  // The manager appends the added keys after the preset's own.
  const std::vector<std::string> keys = presetKeys(*presets, handle);
  for (std::size_t i = before; i < keys.size(); ++i) {
    io.out << "+ " << keys[i] << '=' << presets->getValue(handle, keys[i]) << '\n';
  }
  if (!args.has("--write")) {
    io.err << "dry run: " << printable(*into) << " is unchanged (--write saves it)\n";
    return kSuccess;
  }
  if (!presets->save(handle)) {
    io.err << reasonText(*into, errno) << " (not saved)\n";
    return kRejected;
  }
  io.err << "saved " << printable(*into) << '\n';
  return kSuccess;
}

}  // namespace

std::vector<Command> presetCommands() {
  return {
      {"preset",
       "show",
       "FILE|- [KEY]",
       "print the settings of a preset, or one value",
       "Prints the key=value lines of the \"Preset\" section of FILE (standard input for -)\n"
       "in file order, or the value of KEY alone (exit status 1 when the preset has no such\n"
       "key). A missing file or an empty section is rejected.",
       {},
       show},
      {"preset",
       "diff",
       "A B",
       "print the settings whose values differ between two presets",
       "Prints 'key: A's value -> B's value' for every key of A whose value differs in B.\n"
       "Keys that only one preset has are not compared, nor is \"Preset Driver\". Either A\n"
       "or B (not both) may be - for standard input.",
       {},
       diff},
      {"preset",
       "fill",
       "--from A --into B [--write]",
       "complete a preset with the settings it lacks from another",
       "Adds to B every setting of A whose key B lacks, in key order, and prints each as\n"
       "'+ key=value'. B is saved only with --write; the rest of B's file is kept as it is.\n"
       "A may be - for standard input; B must be a file, since it is written back (- is a\n"
       "usage error).",
       {{"--from", true}, {"--into", true}, {"--write", false}},
       fill},
  };
}

}  // namespace zt::cli
