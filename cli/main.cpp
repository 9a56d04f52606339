// zttools: the library's tools from the shell. Finds the subcommand, parses its options, prints
// its help or runs it, and turns what went wrong into an exit status.
#include <unistd.h>

#include <cstring>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "commands.h"
#include "io.h"
#include "tools.h"

namespace zt::cli {

namespace {

const std::vector<Command>& commandTable() {
  static const std::vector<Command> table = [] {
    std::vector<Command> all;
    for (auto part :
         {tokenCommands, logCommands, presetCommands, tagCommands, xmlCommands, demoCommands}) {
      std::vector<Command> commands = part();
      all.insert(all.end(), commands.begin(), commands.end());
    }
    return all;
  }();
  return table;
}

std::string fullName(const Command& command) {
  std::string name = "zttools " + std::string(command.group);
  return command.name.empty() ? name : name + " " + std::string(command.name);
}

void printCommandHelp(const Command& command, std::ostream& out) {
  out << "usage: " << fullName(command) << (command.synopsis.empty() ? "" : " ") << command.synopsis
      << "\n\n"
      << command.summary << ".\n";
  if (!command.details.empty()) {
    out << '\n' << command.details << (command.details.back() == '\n' ? "" : "\n");
  }
}

void printOverview(std::ostream& out) {
  out << "usage: zttools COMMAND [ARGUMENTS]\n\n"
         "The tools of libzttools from the shell. Every command takes --help.\n\n";
  for (const Command& command : commandTable()) {
    std::string name = fullName(command).substr(8);
    name.resize(name.size() < 18 ? 18 : name.size() + 1, ' ');
    out << "  " << name << command.summary << '\n';
  }
  out << "\nOptions of every command: -h, --help. zttools --version prints the versions.\n"
         "Exit status: 0 success, 1 failure (rejected input, unreadable file, failed deletion\n"
         "or write), 2 usage error.\n";
}

void printGroupHelp(std::string_view group, std::ostream& out) {
  out << "usage: zttools " << group << " SUBCOMMAND [ARGUMENTS]\n\n";
  for (const Command& command : commandTable()) {
    if (command.group == group) {
      std::string name(command.name);
      name.resize(10, ' ');
      out << "  " << name << command.summary << '\n';
    }
  }
  out << "\nzttools " << group << " SUBCOMMAND --help describes each.\n";
}

const Command* findCommand(std::string_view group, std::string_view name) {
  for (const Command& command : commandTable()) {
    if (command.group == group && command.name == name) {
      return &command;
    }
  }
  return nullptr;
}

bool isGroup(std::string_view group) {
  for (const Command& command : commandTable()) {
    if (command.group == group) {
      return true;
    }
  }
  return false;
}

int usage(Io& io, const std::string& message, const std::string& helpCommand) {
  io.err << "zttools: " << message << "\nTry '" << helpCommand << " --help'.\n";
  return kUsage;
}

}  // namespace

int runCommandLine(const std::vector<std::string>& words, Io& io) {
  if (words.empty()) {
    return usage(io, "missing command", "zttools");
  }
  const std::string& group = words[0];
  if (group == "--help" || group == "-h" || group == "help") {
    printOverview(io.out);
    return kSuccess;
  }
  if (group == "--version") {
    io.out << "zttools " << ZT_VERSION << "\nlibzttools " << makeLogManager()->getVersion() << "\n";
    return kSuccess;
  }
  if (!isGroup(group)) {
    return usage(io, "unknown command '" + group + "'", "zttools");
  }
  std::size_t consumed = 1;
  const Command* command = findCommand(group, "");
  if (command == nullptr) {
    if (words.size() < 2 || words[1] == "--help" || words[1] == "-h") {
      if (words.size() < 2) {
        return usage(io, "missing subcommand for '" + group + "'", "zttools " + group);
      }
      printGroupHelp(group, io.out);
      return kSuccess;
    }
    command = findCommand(group, words[1]);
    if (command == nullptr) {
      return usage(io, "unknown subcommand '" + group + " " + words[1] + "'", "zttools " + group);
    }
    consumed = 2;
  }
  try {
    const Args args(
        std::vector<std::string>(words.begin() + static_cast<long>(consumed), words.end()),
        command->options);
    if (args.helpRequested()) {
      printCommandHelp(*command, io.out);
      return kSuccess;
    }
    return command->run(args, io);
  } catch (const UsageError& error) {
    return usage(io, error.what(), fullName(*command));
  } catch (const std::exception& error) {
    io.err << "zttools: " << error.what() << '\n';
    return kRejected;
  }
}

}  // namespace zt::cli

int main(int argc, char** argv) {
  zt::cli::DescriptorOutput output(STDOUT_FILENO);
  std::ostream out(&output);
  // As with std::cout, what was printed comes out before any diagnostic that follows it; the
  // tie is undone before `out` goes.
  struct Tie {
    explicit Tie(std::ostream& to) { std::cerr.tie(&to); }
    ~Tie() { std::cerr.tie(nullptr); }
    Tie(const Tie&) = delete;
    Tie& operator=(const Tie&) = delete;
  } tie(out);
  zt::cli::Io io{out, std::cerr, std::cin, isatty(STDERR_FILENO) == 1, true};
  int status = zt::cli::kRejected;
  try {
    status = zt::cli::runCommandLine(std::vector<std::string>(argv + 1, argv + argc), io);
  } catch (const std::exception& error) {
    std::cerr << "zttools: " << error.what() << '\n';
  }
  out.flush();
  // Like coreutils, a result that could not be written is a failure, whatever the command said.
  if (output.error() != 0) {
    std::cerr << "zttools: write error: " << std::strerror(output.error()) << '\n';
    return zt::cli::kRejected;
  }
  return status;
}
