#include "io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <istream>
#include <stdexcept>
#include <type_traits>

#include "args.h"
#include "commands.h"
#include "display.h"

namespace zt::cli {

namespace {

std::runtime_error tooLarge(std::string_view name) {
  return std::runtime_error(printable(name) + ": larger than " +
                            std::to_string(kMaxInputBytes >> 20) + " MiB");
}

// Copies `in` into `path`, failing past kMaxInputBytes.
void copyStandardInput(std::istream& in, const std::string& path) {
  std::ofstream out(path, std::ios::binary);
  char chunk[1 << 16];
  std::size_t total = 0;
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    total += static_cast<std::size_t>(in.gcount());
    if (total > kMaxInputBytes) {
      throw tooLarge("<stdin>");
    }
    out.write(chunk, in.gcount());
  }
  if (!out.flush()) {
    throw std::runtime_error(reasonText(path, errno));
  }
}

// Standard input of the process itself must be something that ends: a terminal, a pipe, a
// socket or a file, not a device such as /dev/zero.
void checkProcessInput() {
  struct stat info {};
  if (fstat(STDIN_FILENO, &info) == 0 && S_ISCHR(info.st_mode) && isatty(STDIN_FILENO) == 0) {
    throw std::runtime_error("<stdin>: not a regular file, pipe or terminal");
  }
}

}  // namespace

std::string reasonText(std::string_view name, int error) {
  return printable(name) + ": " + std::strerror(error);
}

InputFile::InputFile(const std::string& argument, Io& io) {
  if (argument == "-") {
    if (io.inIsProcessInput) {
      checkProcessInput();
    }
    scratch_.emplace("zttools-stdin");
    path_ = scratch_->file("stdin");
    name_ = "<stdin>";
    copyStandardInput(io.in, path_);
    return;
  }
  path_ = argument;
  name_ = argument;
  // Opened without waiting, so that a pipe given by name cannot block the command.
  const int fd = open(argument.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    throw std::runtime_error(reasonText(argument, errno));
  }
  struct stat info {};
  const int error = fstat(fd, &info) == 0 ? 0 : errno;
  close(fd);
  if (error != 0) {
    throw std::runtime_error(reasonText(argument, error));
  }
  if (S_ISDIR(info.st_mode)) {
    throw std::runtime_error(reasonText(argument, EISDIR));
  }
  if (!S_ISREG(info.st_mode)) {
    throw std::runtime_error(printable(argument) + ": not a regular file");
  }
}

std::string InputFile::content() const {
  std::ifstream file(path_, std::ios::binary);
  if (!file) {
    throw std::runtime_error(reasonText(name_, errno));
  }
  file.seekg(0, std::ios::end);
  const auto size = static_cast<std::size_t>(file.tellg());
  if (size > kMaxInputBytes) {
    throw tooLarge(name_);
  }
  std::string text(size, '\0');
  file.seekg(0);
  file.read(text.data(), static_cast<std::streamsize>(size));
  text.resize(static_cast<std::size_t>(file.gcount()));
  return text;
}

void requirePath(const std::string& argument, std::string_view what) {
  if (argument == "-") {
    throw UsageError(std::string(what) + " must be a file, not standard input: it is written back");
  }
}

bool writeFile(const std::string& path, std::string_view content) {
  std::ofstream file(path, std::ios::binary);
  file.write(content.data(), static_cast<std::streamsize>(content.size()));
  return static_cast<bool>(file.flush());
}

bool DescriptorOutput::drain() {
  const char* next = pbase();
  while (error_ == 0 && next < pptr()) {
    const ssize_t written = write(fd_, next, static_cast<std::size_t>(pptr() - next));
    if (written >= 0) {
      next += written;
    } else if (errno != EINTR) {
      error_ = errno;
    }
  }
  // After a failure the rest is dropped: the stream reports the failure, not a growing buffer.
  setp(buffer_, buffer_ + sizeof buffer_);
  return error_ == 0;
}

DescriptorOutput::int_type DescriptorOutput::overflow(int_type c) {
  if (!drain()) {
    return traits_type::eof();
  }
  if (!traits_type::eq_int_type(c, traits_type::eof())) {
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
  }
  return traits_type::not_eof(c);
}

int DescriptorOutput::sync() {
  return drain() ? 0 : -1;
}

TempDir::TempDir(std::string_view prefix) {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/" +
                        std::string(prefix) + "-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("cannot create a temporary folder: " +
                             std::string(std::strerror(errno)));
  }
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string shellQuoted(std::string_view word) {
  const bool safe = !word.empty() && word.find_first_not_of(
                                         "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                         "0123456789-_./=:@,+") == std::string_view::npos;
  if (safe) {
    return std::string(word);
  }
  std::string result = "'";
  for (char c : word) {
    result += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return result + "'";
}

std::string quotedText(std::string_view text) {
  std::string escaped;
  for (char c : text) {
    if (c == '"' || c == '\\') {
      escaped += '\\';
    }
    escaped += c;
  }
  return "\"" + printable(escaped) + "\"";
}

std::string toUtf8(const wchar_t* text) {
  std::string result;
  for (; text != nullptr && *text != L'\0'; ++text) {
    auto code = static_cast<uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(*text));
    if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      code = 0xFFFD;
    }
    if (code < 0x80) {
      result += static_cast<char>(code);
    } else if (code < 0x800) {
      result += static_cast<char>(0xC0 | (code >> 6));
      result += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      result += static_cast<char>(0xE0 | (code >> 12));
      result += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      result += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      result += static_cast<char>(0xF0 | (code >> 18));
      result += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      result += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      result += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return result;
}

}  // namespace zt::cli
