#pragma once
// The Windows operations this program uses. Most are called directly; the three that end a
// child's run go through the functions below, so that test builds can link a variant that
// makes them fail (the real failures cannot be provoked).

#include <windows.h>
#include <shlwapi.h>

// WaitForSingleObject on a child process.
DWORD waitForProcess(HANDLE process, DWORD milliseconds);

// TerminateProcess.
BOOL terminateProcess(HANDLE process, UINT exitCode);

// GetExitCodeProcess.
BOOL getProcessExitCode(HANDLE process, DWORD* exitCode);
