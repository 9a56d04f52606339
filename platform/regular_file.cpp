#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/files.h"

namespace zt::platform {

RegularFile::RegularFile(const char* path) {
  Descriptor file(::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  struct stat info {};
  if (!file.valid() || ::fstat(file.get(), &info) != 0) {
    error_ = errno;
    return;
  }
  if (!S_ISREG(info.st_mode)) {
    notRegular_ = !S_ISDIR(info.st_mode);
    error_ = notRegular_ ? EINVAL : EISDIR;
    errno = error_;
    return;
  }
  size_ = static_cast<std::size_t>(info.st_size);
  file_ = std::move(file);
}

std::string RegularFile::failureText() const {
  return notRegular_ ? "not a regular file" : errorText(static_cast<uint32_t>(error_));
}

}  // namespace zt::platform
