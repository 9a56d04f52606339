// Files the library reads: only regular files. A folder, FIFO, socket or device given where a
// file is expected is refused without blocking and without reading from it.
#ifndef ZT_PLATFORM_REGULAR_FILE_H
#define ZT_PLATFORM_REGULAR_FILE_H

#include <string>

#include "platform/descriptor.h"

namespace zt::platform {

// A regular file opened for reading. The file is opened non-blocking (a FIFO without a writer
// would otherwise hang the open) and its kind is checked on the descriptor, so that nothing can
// be swapped in between the check and the read. A failure leaves errno set: the system's code,
// EISDIR for a folder, EINVAL for any other kind that is not a regular file.
class RegularFile {
 public:
  explicit RegularFile(const char* path);

  [[nodiscard]] bool isOpen() const { return file_.valid(); }
  [[nodiscard]] int descriptor() const { return file_.get(); }
  // The file's size when it was opened.
  [[nodiscard]] std::size_t size() const { return size_; }
  // Why the file is not open: the system's text for its error, or "not a regular file".
  [[nodiscard]] std::string failureText() const;
  [[nodiscard]] int error() const { return error_; }

  // Closes now; errno is kept.
  void close() { file_ = Descriptor(); }

 private:
  Descriptor file_;
  std::size_t size_ = 0;
  int error_ = 0;
  bool notRegular_ = false;
};

}  // namespace zt::platform

#endif  // ZT_PLATFORM_REGULAR_FILE_H
