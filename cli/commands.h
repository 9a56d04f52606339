// The subcommands of the zttools command, and what they share: the streams they write to, their
// exit statuses and the table through which the dispatcher finds them.
#ifndef ZTTOOLS_CLI_COMMANDS_H
#define ZTTOOLS_CLI_COMMANDS_H

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "args.h"

namespace zt::cli {

enum Exit : int {
  kSuccess = 0,
  kRejected = 1,  // a runtime failure: input the library rejected, a file that cannot be read,
                  // a deletion that failed, output that could not be written
  kUsage = 2,     // a command line the command cannot make sense of
};

// Where a subcommand reads and writes. The demo runs subcommands with both streams on its own
// output so that diagnostics appear in order with the results.
struct Io {
  std::ostream& out;
  std::ostream& err;
  std::istream& in;
  bool errIsTerminal;
  bool inIsProcessInput = false;  // `in` reads the process's standard input
};

struct Command {
  std::string_view group;     // "token"
  std::string_view name;      // "check"; empty for a group that is itself the command
  std::string_view synopsis;  // the arguments after the command's name
  std::string_view summary;   // one line for the lists
  std::string_view details;   // the rest of --help; may be empty
  std::vector<OptionSpec> options;
  int (*run)(const Args& args, Io& io);
};

std::vector<Command> tokenCommands();
std::vector<Command> logCommands();
std::vector<Command> presetCommands();
std::vector<Command> tagCommands();
std::vector<Command> xmlCommands();
std::vector<Command> demoCommands();

// Runs one command line (the words after the program name) and returns its exit status.
int runCommandLine(const std::vector<std::string>& words, Io& io);

}  // namespace zt::cli

#endif  // ZTTOOLS_CLI_COMMANDS_H
