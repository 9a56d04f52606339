#include "args.h"

#include <algorithm>
#include <charconv>

namespace zt::cli {

namespace {

const OptionSpec* find(const std::vector<OptionSpec>& options, std::string_view name) {
  const auto it = std::find_if(options.begin(), options.end(),
                               [&](const OptionSpec& option) { return option.name == name; });
  return it == options.end() ? nullptr : &*it;
}

}  // namespace

Args::Args(const std::vector<std::string>& words, const std::vector<OptionSpec>& options) {
  bool optionsEnded = false;
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (optionsEnded || word.size() < 2 || word[0] != '-') {
      positionals_.push_back(word);
      continue;
    }
    if (word == "--") {
      optionsEnded = true;
      continue;
    }
    const std::size_t equals = word.find('=');
    const std::string name = word.substr(0, equals);
    if (name == "--help" || name == "-h") {
      values_["--help"] = "";
      continue;
    }
    const OptionSpec* spec = find(options, name);
    if (spec == nullptr) {
      throw UsageError("unknown option '" + name + "'" +
                       (word[1] != '-' ? " (arguments that begin with - go after --)" : ""));
    }
    if (!spec->takesValue) {
      if (equals != std::string::npos) {
        throw UsageError("option '" + name + "' takes no value");
      }
      values_[name] = "";
    } else if (equals != std::string::npos) {
      values_[name] = word.substr(equals + 1);
    } else if (i + 1 < words.size()) {
      values_[name] = words[++i];
    } else {
      throw UsageError("option '" + name + "' needs a value");
    }
  }
}

std::optional<std::string> Args::value(std::string_view name) const {
  const auto it = values_.find(std::string(name));
  if (it == values_.end()) {
    return std::nullopt;
  }
  return it->second;
}

std::optional<int64_t> Args::number(std::string_view name, int64_t low, int64_t high) const {
  const std::optional<std::string> text = value(name);
  if (!text) {
    return std::nullopt;
  }
  const std::optional<int64_t> result = parseNumber(*text, low, high);
  if (!result) {
    throw UsageError("option '" + std::string(name) + "' needs a whole number from " +
                     std::to_string(low) + " to " + std::to_string(high) + ", not '" + *text + "'");
  }
  return result;
}

void Args::expectPositionals(std::size_t low, std::size_t high, std::string_view missing) const {
  if (positionals_.size() < low) {
    throw UsageError("missing " + std::string(missing));
  }
  if (positionals_.size() > high) {
    throw UsageError("unexpected argument '" + positionals_[high] + "'");
  }
}

std::optional<int64_t> parseNumber(std::string_view text, int64_t low, int64_t high) {
  int64_t result = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, result);
  if (text.empty() || error != std::errc() || stop != end || result < low || result > high) {
    return std::nullopt;
  }
  return result;
}

}  // namespace zt::cli
