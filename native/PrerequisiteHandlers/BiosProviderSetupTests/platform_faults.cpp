#include "platform_faults.h"

#include "platform.h"

PlatformFaults platformFaults;

DWORD waitForProcess(HANDLE process, DWORD milliseconds) {
    if (platformFaults.waitError) {
        SetLastError(platformFaults.waitError);
        return WAIT_FAILED;
    }
    return WaitForSingleObject(process, milliseconds);
}

BOOL terminateProcess(HANDLE process, UINT exitCode) {
    if (platformFaults.terminateError) {
        SetLastError(platformFaults.terminateError);
        return FALSE;
    }
    return TerminateProcess(process, exitCode);
}

BOOL getProcessExitCode(HANDLE process, DWORD* exitCode) {
    if (platformFaults.exitCodeError) {
        SetLastError(platformFaults.exitCodeError);
        return FALSE;
    }
    return GetExitCodeProcess(process, exitCode);
}
