#include "platform/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

#include "platform/descriptor.h"
#include "platform/profile_fault.h"
#include "platform/regular_file.h"

namespace zt::platform {

namespace testing {
namespace {
thread_local ProfileWriteFault injectedFault = ProfileWriteFault::none;
}  // namespace

void setProfileWriteFault(ProfileWriteFault fault) {
  injectedFault = fault;
}
}  // namespace testing

namespace {

using testing::ProfileWriteFault;

bool faultAt(ProfileWriteFault step) {
  if (testing::injectedFault != step) {
    return false;
  }
  errno = EIO;
  return true;
}

bool writeAll(int fd, std::string_view content) {
  if (faultAt(ProfileWriteFault::write)) {
    return false;
  }
  while (!content.empty()) {
    const ssize_t written = ::write(fd, content.data(), content.size());
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    content.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

// The file a write must replace: the target of a symbolic link, so that the link survives.
bool resolveTarget(const char* path, std::string& target) {
  struct stat info {};
  if (::lstat(path, &info) == 0 && S_ISLNK(info.st_mode)) {
    char resolved[PATH_MAX];
    if (::realpath(path, resolved) == nullptr) {
      return false;
    }
    target = resolved;
  } else {
    target = path;
  }
  return true;
}

// The folder part of `path` with its trailing slash, or "" for a bare file name.
std::string folderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Creates a new file beside `target` whose name no other writer uses: ".NAME.PID.N.STAMP.tmp",
// with the writer's process id and a per-thread count in decimal and a clock reading in
// hexadecimal. The mode 0666 lets the umask decide the bits of a file that did not exist before.
int createTemporary(const std::string& target, std::string& name) {
  const std::string folder = folderOf(target);
  const std::string base = target.substr(folder.size());
  thread_local unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, ".%d.%u.%llx.tmp", static_cast<int>(::getpid()), ++counter,
                  static_cast<unsigned long long>(stamp));
    name.assign(folder).append(".").append(base).append(suffix);
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) {
      return fd;
    }
  }
  return -1;
}

// The number `field` spells in the given base, all of it; none when it spells none or too
// large a one.
template <typename Number>
std::optional<Number> numberIn(std::string_view field, int base) {
  Number value = 0;
  const char* end = field.data() + field.size();
  const auto [stop, error] = std::from_chars(field.data(), end, value, base);
  if (field.empty() || error != std::errc() || stop != end) {
    return std::nullopt;
  }
  return value;
}

// The process id in `name` when it is a name createTemporary gives temporaries of the file
// `base`, else 0.
pid_t temporaryWriter(std::string_view name, std::string_view base) {
  constexpr std::string_view kEnd = ".tmp";
  if (name.size() < base.size() + 2 + kEnd.size() || !name.starts_with('.') ||
      name.substr(1, base.size()) != base || name.substr(1 + base.size(), 1) != "." ||
      !name.ends_with(kEnd)) {
    return 0;
  }
  // What lies between: "PID.N.STAMP".
  const std::string_view fields =
      name.substr(base.size() + 2, name.size() - base.size() - 2 - kEnd.size());
  const size_t first = fields.find('.');
  const size_t last = fields.rfind('.');
  if (first == std::string_view::npos || first == last ||
      !numberIn<unsigned>(fields.substr(first + 1, last - first - 1), 10) ||
      !numberIn<unsigned long long>(fields.substr(last + 1), 16)) {
    return 0;
  }
  return numberIn<pid_t>(fields.substr(0, first), 10).value_or(0);
}

// A save killed between creating its temporary and renaming it cannot remove the temporary
// itself, so the next save of the same file does: a temporary of this naming whose process is
// gone. One whose process still runs (or whose id a new process took meanwhile) is left alone,
// and so is every temporary of this process, which another thread may be writing.
void removeStaleTemporaries(const std::string& target) {
  const std::string folder = folderOf(target);
  const std::string base = target.substr(folder.size());
  const std::unique_ptr<DIR, int (*)(DIR*)> listing(
      ::opendir(folder.empty() ? "." : folder.c_str()), &::closedir);
  if (!listing) {
    return;
  }
  const pid_t self = ::getpid();
  while (const dirent* entry = ::readdir(listing.get())) {
    const pid_t writer = temporaryWriter(entry->d_name, base);
    if (writer > 0 && writer != self && ::kill(writer, 0) != 0 && errno == ESRCH) {
      ::unlinkat(::dirfd(listing.get()), entry->d_name, 0);
    }
  }
}

// Makes the rename itself durable; a folder that cannot be synced does not undo the write.
void syncFolder(const std::string& target) {
  const std::string folder = folderOf(target);
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

}  // namespace

std::unique_ptr<char[]> readWholeFileBlock(const char* path, std::size_t& size) {
  const RegularFile file(path);
  if (!file.isOpen()) {
    return nullptr;
  }
  std::size_t capacity = file.size() + 1;
  auto block = std::make_unique_for_overwrite<char[]>(capacity);
  size = 0;
  for (;;) {
    if (size == capacity) {
      capacity *= 2;
      auto larger = std::make_unique_for_overwrite<char[]>(capacity);
      std::memcpy(larger.get(), block.get(), size);
      block = std::move(larger);
    }
    const ssize_t got = ::read(file.descriptor(), block.get() + size, capacity - size);
    if (got == 0) {
      return block;
    }
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      return nullptr;
    }
    size += static_cast<std::size_t>(got);
  }
}

bool readWholeFile(const char* path, std::string& content) {
  std::size_t size = 0;
  const std::unique_ptr<char[]> block = readWholeFileBlock(path, size);
  if (!block) {
    return false;
  }
  content.assign(block.get(), size);
  return true;
}

bool replaceFileAtomically(const char* path, std::string_view content) {
  if (*path == '\0') {
    errno = ENOENT;
    return false;
  }
  std::string target;
  if (!resolveTarget(path, target)) {
    return false;
  }
  struct stat original {};
  const bool existed = ::stat(target.c_str(), &original) == 0;
  if (!existed && errno != ENOENT) {
    return false;
  }
  // A file its owner may not write is read-only: it is not replaced, whatever the process may do.
  // The rename needs only the folder's permission, and a privileged process passes every check.
  if (existed && (original.st_mode & S_IWUSR) == 0) {
    errno = EACCES;
    return false;
  }

  std::string temporary;
  Descriptor file(createTemporary(target, temporary));
  if (file.get() < 0) {
    return false;
  }
  const bool written = (!existed || ::fchmod(file.get(), original.st_mode & 07777) == 0) &&
                       writeAll(file.get(), content) && !faultAt(ProfileWriteFault::sync) &&
                       ::fsync(file.get()) == 0 && file.close() &&
                       !faultAt(ProfileWriteFault::rename) &&
                       ::rename(temporary.c_str(), target.c_str()) == 0;
  if (!written) {
    const int saved = errno;
    ::unlink(temporary.c_str());
    errno = saved;
    return false;
  }
  removeStaleTemporaries(target);
  syncFolder(target);
  return true;
}

}  // namespace zt::platform
