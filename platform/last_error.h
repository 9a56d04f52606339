// The calling thread's last-error value. On this platform it is `errno`, so a caller reads the
// code of a failed file operation and the library's own codes in the same place.
#ifndef ZT_PLATFORM_LAST_ERROR_H
#define ZT_PLATFORM_LAST_ERROR_H

#include <cerrno>

namespace zt::platform {

// Set for a handle that the callee does not know.
inline constexpr int kInvalidHandleError = EBADF;

inline int lastError() {
  return errno;
}
inline void setLastError(int code) {
  errno = code;
}

}  // namespace zt::platform

#endif  // ZT_PLATFORM_LAST_ERROR_H
