#pragma once
// Running one command line as a child process, its standard output and standard error
// captured through a pipe, under a time limit.

#include <windows.h>

#include <atomic>
#include <string>

// Shared by the runner and its reader thread. The reader takes over both pipe ends and closes
// them; it is the only writer of `output` until it returns.
struct OutputPipe {
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    std::string output;
    // Set by the runner when it gives up waiting for the pipe to end.
    std::atomic<bool> stopRequested{false};
};

// Thread procedure over an OutputPipe: each block read becomes one trimmed line of `output`.
DWORD WINAPI readOutput(LPVOID outputPipe);

// How a run ended.
enum class RunEnd {
    NotStarted,       // the child could not be started; text is an error text
    Exited,           // the child ended on its own with exitCode
    Stopped,          // the wait failed or ran out; the child was terminated (or that failed)
    ExitCodeUnknown,  // the child ended but its exit code could not be read
};

struct RunResult {
    std::string text;  // the captured output, or the error text when NotStarted
    RunEnd end = RunEnd::NotStarted;
    DWORD exitCode = 0;
    bool readingCut = false;  // the pipe stayed open after the child had gone
};

// Runs the command line with the ten-minute limit, prints how the run ended, and returns
// the captured output.
RunResult execute(const std::string& commandLine);

// execute with another limit, for tests; benchmarks may also swap the reader for one of the
// same contract (it takes over both pipe ends of the OutputPipe).
RunResult executeWithLimit(const std::string& commandLine, DWORD limitMilliseconds,
                           LPTHREAD_START_ROUTINE reader = readOutput);
