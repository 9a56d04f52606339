// An owned POSIX file descriptor.
#ifndef ZT_PLATFORM_DESCRIPTOR_H
#define ZT_PLATFORM_DESCRIPTOR_H

#include <unistd.h>

#include <cerrno>
#include <utility>

namespace zt::platform {

// Closes its descriptor when the scope ends, keeping errno as the failure that ended the scope
// left it. Negative means none.
class Descriptor {
 public:
  Descriptor() = default;
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Descriptor& operator=(Descriptor&& other) noexcept {
    Descriptor old(std::exchange(fd_, std::exchange(other.fd_, -1)));
    return *this;
  }
  ~Descriptor() {
    if (fd_ >= 0) {
      const int saved = errno;
      ::close(fd_);
      errno = saved;
    }
  }

  [[nodiscard]] int get() const { return fd_; }
  [[nodiscard]] bool valid() const { return fd_ >= 0; }

  // Closes now, so that a failing close (a late write error on some file systems) is seen.
  bool close() { return ::close(std::exchange(fd_, -1)) == 0; }

 private:
  int fd_ = -1;
};

}  // namespace zt::platform

#endif  // ZT_PLATFORM_DESCRIPTOR_H
