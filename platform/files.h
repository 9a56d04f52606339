// Folder listing, deletion below an open folder and error texts on the POSIX file system.
#ifndef ZT_PLATFORM_FILES_H
#define ZT_PLATFORM_FILES_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/descriptor.h"

namespace zt::platform {

// Attribute bits as a listing reports them.
inline constexpr uint32_t kAttributeReadOnly = 0x01;
inline constexpr uint32_t kAttributeDirectory = 0x10;
inline constexpr uint32_t kAttributeFile = 0x20;
inline constexpr uint32_t kAttributeSymbolicLink = 0x400;

// Error code of an operation that the user refused; no errno value means this.
inline constexpr uint32_t kCancelledError = 1223;

struct FolderItem {
  std::string name;
  bool isDirectory = false;
  uint32_t sizeHigh = 0;
  uint32_t sizeLow = 0;
  uint64_t lastWriteTime = 0;  // file time: 100-ns intervals since 1601-01-01 UTC
  uint32_t attributes = 0;
};

// The items of `folder` ("." and ".." left out), each described by lstat: a symbolic link is
// reported as itself, never as what it points to, so a link to a folder is not a directory.
// Sorted by name comparing ASCII letters case-insensitively, byte order breaking ties, so that a
// listing is the same on every run and every file system. A folder that cannot be opened yields
// nothing; an item that vanishes while the folder is read is left out.
//
// With `wanted`, only the files (and links and other items that are not folders) whose names it
// accepts are looked at and listed; folders are always listed, and one that the folder's own
// listing already shows as a folder is given by its name and kAttributeDirectory alone (no size, no
// time), as a walk needs no more of it.
using NameFilter = bool (*)(std::string_view name);
std::vector<FolderItem> listFolder(const std::string& folder, NameFilter wanted = nullptr);

// An open folder through which files below it are removed. Every folder between it and the file
// is opened without following a symbolic link, so a folder that has been replaced by a link since
// it was listed makes the removal fail (ELOOP, or ENOTDIR where it became a file) instead of
// reaching outside the tree.
class FolderHandle {
 public:
  // Opens `folder` as named (a link given as the folder itself is followed, as a listing of it
  // would). An empty name is the current folder.
  explicit FolderHandle(const std::string& folder);

  // 0, or the errno value that opening the folder gave.
  [[nodiscard]] int openError() const { return openError_; }

  // Removes the file or link `relative` below the folder (a link is removed, not its target);
  // empty components (doubled slashes) are skipped. 0 or the errno value.
  [[nodiscard]] int removeFile(std::string_view relative) const;

 private:
  Descriptor folder_;
  int openError_ = 0;
};

// The system's text for an error code, without trailing CR or LF: the success text for 0, the
// refusal text for kCancelledError, empty for a code the system does not know.
std::string errorText(uint32_t code);

}  // namespace zt::platform

#endif  // ZT_PLATFORM_FILES_H
