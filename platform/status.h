// Status values of the platform layer: 32-bit HRESULTs carried in `long`, sign-extended, so that
// every failure is negative.
#ifndef ZT_PLATFORM_STATUS_H
#define ZT_PLATFORM_STATUS_H

#include <cstdint>

namespace zt::platform {

using Status = long;

constexpr Status hresult(uint32_t value) {
  return static_cast<int32_t>(value);
}

inline constexpr Status kOk = 0;
inline constexpr Status kFalse = 1;                          // S_FALSE: success that says "no"
inline constexpr Status kPointer = hresult(0x80004003);      // E_POINTER
inline constexpr Status kAbort = hresult(0x80004004);        // E_ABORT
inline constexpr Status kFail = hresult(0x80004005);         // E_FAIL
inline constexpr Status kOutOfMemory = hresult(0x8007000E);  // E_OUTOFMEMORY
inline constexpr Status kInvalidArg = hresult(0x80070057);   // E_INVALIDARG

constexpr bool failed(Status status) {
  return status < 0;
}

}  // namespace zt::platform

#endif  // ZT_PLATFORM_STATUS_H
