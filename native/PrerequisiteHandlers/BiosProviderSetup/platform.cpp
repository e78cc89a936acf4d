#include "platform.h"

DWORD waitForProcess(HANDLE process, DWORD milliseconds) {
    return WaitForSingleObject(process, milliseconds);
}

BOOL terminateProcess(HANDLE process, UINT exitCode) {
    return TerminateProcess(process, exitCode);
}

BOOL getProcessExitCode(HANDLE process, DWORD* exitCode) {
    return GetExitCodeProcess(process, exitCode);
}
