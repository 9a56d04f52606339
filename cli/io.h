// Files, folders and streams as the command handles them around the library's own file access.
#ifndef ZTTOOLS_CLI_IO_H
#define ZTTOOLS_CLI_IO_H

#include <iosfwd>
#include <optional>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

namespace zt::cli {

struct Io;

// Standard input, and a document the command holds in memory, may be this large: an endless
// input fails instead of filling the disk or the memory.
inline constexpr std::size_t kMaxInputBytes = std::size_t{256} << 20;

// "NAME: reason" for the system error `error`, NAME shown as printable() shows it.
std::string reasonText(std::string_view name, int error);

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

// A FILE argument made ready for the library, which reads by path: a regular file as it is, or
// for "-" standard input copied into a scratch file. Anything else (a missing file, a folder, a
// device, a pipe given by name, standard input past kMaxInputBytes) throws std::runtime_error with
// "NAME: reason", so that nothing blocks and memory stays bounded.
class InputFile {
 public:
  InputFile(const std::string& argument, Io& io);
  // The path to hand to the library.
  [[nodiscard]] const std::string& path() const { return path_; }
  // The name for messages: the argument, or "<stdin>".
  [[nodiscard]] const std::string& name() const { return name_; }
  // The whole content, read from path(); throws past kMaxInputBytes.
  [[nodiscard]] std::string content() const;

 private:
  std::optional<TempDir> scratch_;
  std::string path_;
  std::string name_;
};

// Throws a usage error when `argument` is "-": for files the library writes back.
void requirePath(const std::string& argument, std::string_view what);

bool writeFile(const std::string& path, std::string_view content);

// Standard output as the command writes it: buffered writes to a descriptor that remember the
// first error, so that a failed write is reported when the command ends (as coreutils do)
// rather than lost.
class DescriptorOutput final : public std::streambuf {
 public:
  explicit DescriptorOutput(int fd) : fd_(fd) { setp(buffer_, buffer_ + sizeof buffer_); }
  ~DescriptorOutput() override { sync(); }
  DescriptorOutput(const DescriptorOutput&) = delete;
  DescriptorOutput& operator=(const DescriptorOutput&) = delete;
  // The errno of the first failed write, or 0.
  [[nodiscard]] int error() const { return error_; }

 protected:
  int_type overflow(int_type c) override;
  int sync() override;

 private:
  bool drain();
  int fd_;
  int error_ = 0;
  char buffer_[1 << 16];
};

// `word` as a POSIX shell would need it typed: bare when it is made of safe characters, else
// in single quotes.
std::string shellQuoted(std::string_view word);

// `text` inside double quotes, shown as printable() shows it with quotes and backslashes
// escaped too, so that one event or value stays on one line.
std::string quotedText(std::string_view text);

// The text of the library's wide error messages, as UTF-8.
std::string toUtf8(const wchar_t* text);

}  // namespace zt::cli

#endif  // ZTTOOLS_CLI_IO_H
