#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/clock.h"

namespace zt::platform {

namespace {

unsigned char lowerAscii(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

// Case-insensitive (ASCII) name order; names equal but for case keep byte order.
bool nameBefore(const FolderItem& a, const FolderItem& b) {
  const auto byte = [](char c) { return static_cast<unsigned char>(c); };
  const auto folded = [&](char x, char y) { return lowerAscii(byte(x)) < lowerAscii(byte(y)); };
  const auto exact = [&](char x, char y) { return byte(x) < byte(y); };
  const std::string& x = a.name;
  const std::string& y = b.name;
  if (std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end(), folded)) {
    return true;
  }
  if (std::lexicographical_compare(y.begin(), y.end(), x.begin(), x.end(), folded)) {
    return false;
  }
  return std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end(), exact);
}

uint32_t attributesOf(const struct stat& info) {
  if (S_ISLNK(info.st_mode)) {
    return kAttributeSymbolicLink;
  }
  uint32_t bits = S_ISDIR(info.st_mode) ? kAttributeDirectory : kAttributeFile;
  if ((info.st_mode & S_IWUSR) == 0) {
    bits |= kAttributeReadOnly;
  }
  return bits;
}

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

}  // namespace

std::vector<FolderItem> listFolder(const std::string& folder) {
  std::vector<FolderItem> items;
  const std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
  if (!dir) {
    return items;
  }
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") {
      continue;
    }
    struct stat info {};
    if (::fstatat(::dirfd(dir.get()), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
      continue;
    }
    FolderItem item;
    item.name = name;
    item.isDirectory = S_ISDIR(info.st_mode);
    const auto size = static_cast<uint64_t>(info.st_size);
    item.sizeHigh = static_cast<uint32_t>(size >> 32);
    item.sizeLow = static_cast<uint32_t>(size);
    item.lastWriteTime = fileTimeOf(info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
    item.attributes = attributesOf(info);
    items.push_back(std::move(item));
  }
  std::sort(items.begin(), items.end(), nameBefore);
  return items;
}

FolderHandle::FolderHandle(const std::string& folder)
    : folder_(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
  if (!folder_.valid()) {
    openError_ = errno;
  }
}

int FolderHandle::removeFile(std::string_view relative) const {
  if (!folder_.valid()) {
    return openError_;
  }
  // Walk down one folder at a time; `at` is the folder reached so far, `below` owns it once it
  // is no longer the handle's own.
  int at = folder_.get();
  Descriptor below;
  std::string name;
  for (;;) {
    const std::size_t slash = relative.find('/');
    name.assign(relative.substr(0, slash));
    if (slash == std::string_view::npos) {
      break;
    }
    relative.remove_prefix(slash + 1);
    if (name.empty()) {
      continue;
    }
    Descriptor next(::openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!next.valid()) {
      return errno;
    }
    below = std::move(next);
    at = below.get();
  }
  if (name.empty()) {
    return ENOENT;
  }
  return ::unlinkat(at, name.c_str(), 0) == 0 ? 0 : errno;
}

std::string errorText(uint32_t code) {
  if (code == kCancelledError) {
    return "The operation was canceled by the user.";
  }
  if (code > static_cast<uint32_t>(INT32_MAX)) {
    return {};
  }
  const char* text = ::strerrordesc_np(static_cast<int>(code));
  std::string message = text != nullptr ? text : "";
  while (!message.empty() && (message.back() == '\r' || message.back() == '\n')) {
    message.pop_back();
  }
  return message;
}

}  // namespace zt::platform
