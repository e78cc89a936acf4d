#pragma once
// Test builds link this platform variant: a non-zero code makes the matching call fail with
// that last-error code instead of reaching Windows.

#include <windows.h>

struct PlatformFaults {
    DWORD waitError = 0;
    DWORD terminateError = 0;  // the child is left running
    DWORD exitCodeError = 0;
};

extern PlatformFaults platformFaults;
