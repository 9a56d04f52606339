// Files and folders as the command handles them around the library's own file access.
#ifndef ZTTOOLS_CLI_IO_H
#define ZTTOOLS_CLI_IO_H

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace zt::cli {

// The whole content of `path`, or of standard input for "-". On failure, nothing, with the
// reason in `error`.
std::optional<std::string> readInput(const std::string& path, std::istream& in, std::string& error);

bool writeFile(const std::string& path, std::string_view content);

// A private folder under $TMPDIR (or /tmp), removed with everything in it at the end of scope.
class TempDir {
 public:
  explicit TempDir(std::string_view prefix);
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  [[nodiscard]] const std::string& path() const { return path_; }
  [[nodiscard]] std::string file(std::string_view name) const {
    return path_ + "/" + std::string(name);
  }

 private:
  std::string path_;
};

// `word` as a POSIX shell would need it typed: bare when it is made of safe characters, else
// in single quotes.
std::string shellQuoted(std::string_view word);

// `text` inside double quotes with control characters, quotes and backslashes escaped, so that
// one event or value stays on one line.
std::string quoted(std::string_view text);

// The text of the library's wide error messages, as UTF-8.
std::string toUtf8(const wchar_t* text);

}  // namespace zt::cli

#endif  // ZTTOOLS_CLI_IO_H
