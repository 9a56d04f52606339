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

// Case-insensitive (ASCII) name order; names equal but for case keep byte order. One walk: the
// first byte that differs without case decides, then the length, then the bytes as they are.
bool nameBefore(const FolderItem& a, const FolderItem& b) {
  const std::string& x = a.name;
  const std::string& y = b.name;
  const std::size_t common = std::min(x.size(), y.size());
  // Names in one folder tend to share a long start (a prefix and the leading digits of a
  // number): bytes that are equal as they are are equal without case, so those are passed over
  // eight at a time.
  std::size_t i = 0;
  for (uint64_t wordX = 0, wordY = 0; i + sizeof wordX <= common; i += sizeof wordX) {
    std::memcpy(&wordX, x.data() + i, sizeof wordX);
    std::memcpy(&wordY, y.data() + i, sizeof wordY);
    if (wordX != wordY) {
      break;
    }
  }
  for (; i < common; ++i) {
    const unsigned char fx = lowerAscii(static_cast<unsigned char>(x[i]));
    const unsigned char fy = lowerAscii(static_cast<unsigned char>(y[i]));
    if (fx != fy) {
      return fx < fy;
    }
  }
  if (x.size() != y.size()) {
    return x.size() < y.size();
  }
  return x < y;
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

std::vector<FolderItem> listFolder(const std::string& folder, NameFilter wanted) {
  std::vector<FolderItem> items;
  const std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
  if (!dir) {
    return items;
  }
  while (const dirent* entry = ::readdir(dir.get())) {
    const char* name = entry->d_name;
    if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) {
      continue;
    }
    // What the folder's listing already tells spares a status call for every item a filtered
    // walk would drop and for every folder it only descends into.
    if (wanted != nullptr && entry->d_type != DT_UNKNOWN) {
      if (entry->d_type == DT_DIR) {
        FolderItem& item = items.emplace_back();
        item.name = name;
        item.isDirectory = true;
        item.attributes = kAttributeDirectory;
        continue;
      }
      if (!wanted(name)) {
        continue;
      }
    }
    struct stat info {};
    if (::fstatat(::dirfd(dir.get()), name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
      continue;
    }
    const bool isDirectory = S_ISDIR(info.st_mode);
    if (wanted != nullptr && !isDirectory && !wanted(name)) {
      continue;
    }
    FolderItem& item = items.emplace_back();
    item.name = name;
    item.isDirectory = isDirectory;
    const auto size = static_cast<uint64_t>(info.st_size);
    item.sizeHigh = static_cast<uint32_t>(size >> 32);
    item.sizeLow = static_cast<uint32_t>(size);
    item.lastWriteTime = fileTimeOf(info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
    item.attributes = attributesOf(info);
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
