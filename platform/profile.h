// Private-profile (INI) files: the stand-in for the host platform's section read and write calls.
//
// A section travels in the exchange form: each line followed by a zero byte, the whole followed
// by one more zero byte ("a=1\0b=2\0\0"). Reading returns a section's lines with white space
// trimmed around the key and around the value; comment lines (starting with ';') and blank lines
// are left out, a line without '=' comes back trimmed as it is. Section names match without regard
// to ASCII case, and only the first matching section of a file counts. CRLF and LF line ends are
// both read.
//
// Writing replaces the lines of the first matching section and keeps every other byte of the file:
// the header line as written, the other sections, comments after the section's last setting, and
// the file's line-end style (CRLF when its first line ends so, LF otherwise). A missing section is
// appended as "[name]"; a missing file is created; a missing folder is not. The file is replaced
// atomically (a temporary file in the same folder, flushed to disk, renamed over the original with
// the original's permission bits), so a failed write leaves the original untouched.
//
// Failures set the thread's last error (errno).
#ifndef ZT_PLATFORM_PROFILE_H
#define ZT_PLATFORM_PROFILE_H

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace zt::platform {

// A section's lines in the exchange form without the final zero, in a buffer whose bytes stay where
// they are when the value is moved: views into it remain good for as long as the buffer lives.
struct ProfileLines {
  std::unique_ptr<char[]> text;
  std::size_t size = 0;   // bytes, the zero after each line included
  std::size_t count = 0;  // lines

  [[nodiscard]] std::string_view view() const { return {text.get(), size}; }
};

// Reads `section` of the file at `path` once and returns its lines: none when the file or the
// section is missing or the section has no lines. errno is set when the file cannot be read.
ProfileLines readProfileSection(std::string_view section, const char* path);

// Replaces the lines of `section` in the file at `path` with `lines` (exchange form, ended by an
// empty line). Returns false with errno set, the file untouched, when the file cannot be read or
// replaced.
bool writePrivateProfileSection(const char* section, const char* lines, const char* path);

}  // namespace zt::platform

#endif  // ZT_PLATFORM_PROFILE_H
