#include "io.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <istream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <type_traits>

namespace zt::cli {

std::optional<std::string> readInput(const std::string& path, std::istream& in,
                                     std::string& error) {
  std::ostringstream content;
  if (path == "-") {
    content << in.rdbuf();
    return content.str();
  }
  std::error_code code;
  if (std::filesystem::is_directory(path, code)) {
    error = path + ": " + std::strerror(EISDIR);
    return std::nullopt;
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = path + ": " + std::strerror(errno);
    return std::nullopt;
  }
  content << file.rdbuf();
  return content.str();
}

bool writeFile(const std::string& path, std::string_view content) {
  std::ofstream file(path, std::ios::binary);
  file.write(content.data(), static_cast<std::streamsize>(content.size()));
  return static_cast<bool>(file.flush());
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

std::string quoted(std::string_view text) {
  std::string result = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"':
        result += "\\\"";
        break;
      case '\\':
        result += "\\\\";
        break;
      case '\n':
        result += "\\n";
        break;
      case '\r':
        result += "\\r";
        break;
      case '\t':
        result += "\\t";
        break;
      default:
        if (c < 0x20 || c == 0x7f) {
          static const char kHex[] = "0123456789abcdef";
          result += "\\x";
          result += kHex[c >> 4];
          result += kHex[c & 15];
        } else {
          result += static_cast<char>(c);
        }
    }
  }
  return result + "\"";
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
