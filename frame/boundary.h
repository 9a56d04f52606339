// The boundary every public operation is called through. Running out of memory (or asking for a
// string longer than the library can hold) inside an operation ends it with the operation's own
// failure result and ENOMEM as the thread's last error, instead of an exception the caller was
// never told about. Exceptions of the caller's own objects (formatters, handlers, callables) pass
// on as they were thrown.
#ifndef ZT_FRAME_BOUNDARY_H
#define ZT_FRAME_BOUNDARY_H

#include <cerrno>
#include <new>
#include <stdexcept>

namespace zt::frame {

// Runs `operation`; `failure` when memory ran out. A caller's object that throws sets
// `*callerThrew` first (see the formatter witnesses), and its exception, even one about memory,
// passes on.
template <typename Result, typename Operation>
Result guarded(Result failure, Operation&& operation, const bool* callerThrew = nullptr) {
  try {
    return operation();
  } catch (const std::bad_alloc&) {
    if (callerThrew != nullptr && *callerThrew) {
      throw;
    }
  } catch (const std::length_error&) {
    if (callerThrew != nullptr && *callerThrew) {
      throw;
    }
  }
  errno = ENOMEM;
  return failure;
}

// The same for an operation without a result: it simply ends.
template <typename Operation>
void guardedVoid(Operation&& operation) {
  guarded(0, [&] {
    operation();
    return 0;
  });
}

}  // namespace zt::frame

#endif  // ZT_FRAME_BOUNDARY_H
