// What every function of the C interface shares: the handles that own one tool each, the guard
// that turns every exception into a status and the thread's last error message, the checks of
// required pointers, and the hand-over of caller-owned text.
#ifndef ZT_CAPI_C_SUPPORT_H
#define ZT_CAPI_C_SUPPORT_H

#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "zttools.h"
#include "zttools_c.h"

namespace zt::capi {

// Owns one tool and ends it through its Destroy export.
template <class Tool, Tool* (*Destroy)(Tool*)>
struct ToolEnder {
  void operator()(Tool* tool) const noexcept { Destroy(tool); }
};
template <class Tool, Tool* (*Destroy)(Tool*)>
using ToolPtr = std::unique_ptr<Tool, ToolEnder<Tool, Destroy>>;

// A handle that holds nothing but its tool, made by the tool's Create export.
template <class Tool, Tool* (*Create)(), Tool* (*Destroy)(Tool*)>
struct ToolHandle {
  ToolPtr<Tool, Destroy> tool{Create()};
};

// Thrown inside a guarded call to end it with `status`; `text` and `detail` make the last error
// message.
struct Refusal {
  int status;
  std::string_view text;
  std::string_view detail;
};

void setLastError(std::string_view text, std::string_view detail = {}) noexcept;

// Ends the call with ZT_EINVAL when a required pointer is null.
template <class Pointer>
void require(Pointer pointer, std::string_view name) {
  if (pointer == nullptr) {
    throw Refusal{ZT_EINVAL, "a required pointer is NULL: ", name};
  }
}

// A status of an XML object: passed on, and a failure recorded as the last error.
int passStatus(long status);

// Copies `text` into a block the caller releases with zt_free.
int giveText(std::string_view text, char** out);

// Fills the caller's token error (if any) from a token parser's exception.
int tokenFailure(const kora_token_parser_exception& error, zt_token_error* out) noexcept;

// The status of the exception being handled, with its text as the last error message.
int currentFailure(zt_token_error* error) noexcept;

// Runs `body`, which returns a status; every exception becomes a status instead.
template <class Body>
int guarded(zt_token_error* error, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return currentFailure(error);
  }
}

template <class Body>
int guarded(Body&& body) noexcept {
  return guarded(nullptr, std::forward<Body>(body));
}

// A new handle, or null when it could not be made.
template <class Handle>
Handle* newHandle() noexcept {
  try {
    auto handle = std::make_unique<Handle>();
    if (!handle->tool) {
      throw std::bad_alloc();
    }
    return handle.release();
  } catch (...) {
    currentFailure(nullptr);
    return nullptr;
  }
}

template <class Handle>
void freeHandle(Handle* handle) noexcept {
  std::unique_ptr<Handle> ended(handle);
}

}  // namespace zt::capi

#endif  // ZT_CAPI_C_SUPPORT_H
