// Command-line arguments of one subcommand: options declared up front, positionals in order.
#ifndef ZTTOOLS_CLI_ARGS_H
#define ZTTOOLS_CLI_ARGS_H

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zt::cli {

// A command line the command cannot make sense of; the dispatcher prints it with a pointer to
// --help and exits with status 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct OptionSpec {
  std::string_view name;  // with its dashes: "--megabytes"
  bool takesValue;
};

class Args {
 public:
  // Splits `words` into options and positionals. "--name value" and "--name=value" are both
  // accepted; "--" ends the options, so that a format string may begin with a dash; a lone "-"
  // is a positional (standard input). Throws UsageError for an undeclared option or a missing
  // value. "--help" and its short form "-h" are always declared.
  Args(const std::vector<std::string>& words, const std::vector<OptionSpec>& options);

  [[nodiscard]] bool helpRequested() const { return has("--help"); }
  [[nodiscard]] bool has(std::string_view name) const {
    return values_.count(std::string(name)) != 0;
  }
  [[nodiscard]] std::optional<std::string> value(std::string_view name) const;
  // The value of an option that must be a whole number in [low, high].
  [[nodiscard]] std::optional<int64_t> number(std::string_view name, int64_t low,
                                              int64_t high) const;

  // Requires between `low` and `high` positionals, naming what is missing or extra.
  void expectPositionals(std::size_t low, std::size_t high, std::string_view missing) const;
  [[nodiscard]] const std::vector<std::string>& positionals() const { return positionals_; }
  [[nodiscard]] const std::string& positional(std::size_t index) const {
    return positionals_.at(index);
  }

 private:
  std::map<std::string, std::string> values_;
  std::vector<std::string> positionals_;
};

// A whole decimal number in [low, high], or nothing.
std::optional<int64_t> parseNumber(std::string_view text, int64_t low, int64_t high);

}  // namespace zt::cli

#endif  // ZTTOOLS_CLI_ARGS_H
