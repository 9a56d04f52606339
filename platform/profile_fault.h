// Fault injection for the private-profile writer, used by the tests to interrupt a save at each
// of its steps. Not part of the platform interface that the subsystems use.
#ifndef ZT_PLATFORM_PROFILE_FAULT_H
#define ZT_PLATFORM_PROFILE_FAULT_H

namespace zt::platform::testing {

enum class ProfileWriteFault { none, write, sync, rename };

// Makes every later write of the calling thread fail with EIO at the given step of the atomic
// replacement, until set back to none.
void setProfileWriteFault(ProfileWriteFault fault);

}  // namespace zt::platform::testing

#endif  // ZT_PLATFORM_PROFILE_FAULT_H
