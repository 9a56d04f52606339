#include "platform/profile.h"

#include <cerrno>
#include <cstring>

#include "platform/file_io.h"

namespace zt::platform {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view trim(std::string_view text) {
  size_t first = 0;
  while (first < text.size() && isBlank(text[first])) {
    ++first;
  }
  size_t last = text.size();
  while (last > first && isBlank(text[last - 1])) {
    --last;
  }
  return text.substr(first, last - first);
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) {
      return false;
    }
  }
  return true;
}

// One line of a file: `text` without its line end (a CR before the LF is cut off), `next` the
// offset where the following line starts.
struct Line {
  std::string_view text;
  size_t next;
  bool ended;  // false for a last line without a line end
};

Line lineAt(std::string_view file, size_t offset) {
  const size_t feed = file.find('\n', offset);
  const bool ended = feed != std::string_view::npos;
  std::string_view text = file.substr(offset, ended ? feed - offset : std::string_view::npos);
  if (!text.empty() && text.back() == '\r') {
    text.remove_suffix(1);
  }
  return {text, ended ? feed + 1 : file.size(), ended};
}

bool isHeader(std::string_view trimmed) {
  return !trimmed.empty() && trimmed.front() == '[';
}

// A setting, as opposed to a blank line or a comment.
bool isSetting(std::string_view trimmed) {
  return !trimmed.empty() && trimmed.front() != ';';
}

std::string_view headerName(std::string_view trimmed) {
  std::string_view name = trimmed.substr(1);
  return trim(name.substr(0, name.find(']')));
}

// Where the first section called `name` lies in a file: the body runs from `begin` (just after
// the header line) to `end` (the next header line, or the end of the file).
struct Section {
  bool found = false;
  bool headerEnded = true;
  size_t begin = 0;
  size_t end = 0;
};

Section findSection(std::string_view file, std::string_view name) {
  Section section;
  size_t offset = file.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
  while (offset < file.size()) {
    const Line line = lineAt(file, offset);
    const std::string_view trimmed = trim(line.text);
    if (isHeader(trimmed)) {
      if (section.found) {
        section.end = offset;
        return section;
      }
      if (equalsIgnoringCase(headerName(trimmed), name)) {
        section.found = true;
        section.headerEnded = line.ended;
        section.begin = line.next;
      }
    }
    offset = line.next;
  }
  section.end = file.size();
  return section;
}

// CRLF when the file's first line ends so, LF otherwise (also for a new file). A file without
// any LF that ends in a CR counts as CRLF: the LF a write adds there completes a CRLF, and the
// next write must find the same line end, or writing the same section twice would differ.
std::string_view lineEndOf(std::string_view file) {
  const size_t feed = file.find('\n');
  if (feed == std::string_view::npos) {
    return file.ends_with('\r') ? "\r\n" : "\n";
  }
  return feed > 0 && file[feed - 1] == '\r' ? "\r\n" : "\n";
}

// Ends a last line that has no LF; a CR already there becomes the first half of a CRLF.
void endLine(std::string& text, std::string_view eol) {
  text += text.ends_with('\r') && eol == "\r\n" ? std::string_view("\n") : eol;
}

}  // namespace

ProfileLines readProfileSection(std::string_view section, const char* path) {
  ProfileLines lines;
  std::size_t size = 0;
  std::unique_ptr<char[]> buffer = readWholeFileBlock(path, size);
  if (!buffer) {
    return lines;
  }
  // The lines are written over the file's own bytes, each no longer than the text it came from
  // plus its zero, which takes the place of its line end. Writing starts at the beginning of the
  // file and reading after the section's header, so the writing never overtakes the reading: a
  // last line without a line end has at least the header's bytes to spare.
  const std::string_view file(buffer.get(), size);
  char* out = buffer.get();
  const auto put = [&out](std::string_view piece) {
    std::memmove(out, piece.data(), piece.size());
    out += piece.size();
  };
  bool inSection = false;
  std::size_t offset = file.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
  while (offset < file.size()) {
    const Line line = lineAt(file, offset);
    offset = line.next;
    const std::string_view trimmed = trim(line.text);
    if (isHeader(trimmed)) {
      if (inSection) {
        break;
      }
      // A header without a line end closes the file, so an empty section needs no special case.
      inSection = equalsIgnoringCase(headerName(trimmed), section);
      continue;
    }
    if (!inSection || !isSetting(trimmed)) {
      continue;
    }
    const std::size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos) {
      put(trimmed);
    } else {
      put(trim(trimmed.substr(0, equals)));
      *out++ = '=';
      put(trim(trimmed.substr(equals + 1)));
    }
    *out++ = '\0';
    ++lines.count;
  }
  lines.size = static_cast<std::size_t>(out - buffer.get());
  if (lines.size == 0) {
    return {};
  }
  // A small section of a large file does not keep the whole file's memory for as long as its
  // lines are kept.
  if (lines.size < size / 2) {
    auto fitted = std::make_unique_for_overwrite<char[]>(lines.size);
    std::memcpy(fitted.get(), buffer.get(), lines.size);
    buffer = std::move(fitted);
  }
  lines.text = std::move(buffer);
  return lines;
}

bool writePrivateProfileSection(const char* section, const char* lines, const char* path) {
  if (section == nullptr || lines == nullptr || path == nullptr) {
    errno = EINVAL;
    return false;
  }
  std::string file;
  if (!readWholeFile(path, file)) {
    if (errno != ENOENT) {
      return false;
    }
    file.clear();
  }
  const std::string_view eol = lineEndOf(file);
  std::string block;
  for (const char* line = lines; *line != '\0'; line += std::strlen(line) + 1) {
    block += line;
    block += eol;
  }

  const Section found = findSection(file, section);
  std::string result;
  if (found.found) {
    // The old settings end with the last setting line; blank lines and comments after it belong
    // to what follows (typically the next section) and are kept.
    size_t keepFrom = found.begin;
    for (size_t offset = found.begin; offset < found.end;) {
      const Line line = lineAt(file, offset);
      offset = line.next;
      if (isSetting(trim(line.text))) {
        keepFrom = offset;
      }
    }
    result.reserve(file.size() + block.size() + eol.size());
    result.append(file, 0, found.begin);
    if (!found.headerEnded) {
      endLine(result, eol);
    }
    result += block;
    result.append(file, keepFrom);
  } else {
    result = file;
    if (!result.empty() && result.back() != '\n') {
      endLine(result, eol);
    }
    result += '[';
    result += section;
    result += ']';
    result += eol;
    result += block;
  }
  return replaceFileAtomically(path, result);
}

}  // namespace zt::platform
