#include "runner.h"

#include "handle.h"
#include "platform.h"
#include "text.h"

#include <cstring>
#include <vector>

namespace {

const DWORD kTimeLimitMilliseconds = 600000;
const int kTimeLimitMinutes = 10;  // stated in the message; not derived from the limit
const UINT kTerminatedExitCode = 258;
const DWORD kReadBufferSize = 4096;
const DWORD kReadSize = kReadBufferSize - 1;  // room for the NUL behind the data

// Once the child has gone, what is still in the pipe drains in far less than this. Past it,
// something that inherited the write end (a grandchild) is holding the pipe open.
const DWORD kReaderGraceMilliseconds = 5000;
// A cancel that lands between two reads does nothing, so it is repeated at this pace.
const DWORD kCancelRetryMilliseconds = 100;
// A terminated process's exit code is set once it has really ended.
const DWORD kTerminationSettleMilliseconds = 5000;

// Owns an initialised attribute list.
struct AttributeList {
    std::vector<char> storage;
    LPPROC_THREAD_ATTRIBUTE_LIST list = nullptr;
    ~AttributeList() {
        if (list) DeleteProcThreadAttributeList(list);
    }
};

// An attribute list naming the only handle the child may inherit. Returns false with the
// last error set.
bool inheritOnly(AttributeList& attributes, HANDLE* handle) {
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    attributes.storage.resize(size);
    auto list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.storage.data());
    if (size == 0 || !InitializeProcThreadAttributeList(list, 1, 0, &size)) return false;
    attributes.list = list;
    return UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handle,
                                     sizeof *handle, nullptr, nullptr) != FALSE;
}

// Waits for the reader; if the pipe outlives the child, cancels the blocked read. Returns
// true when reading had to be cut short.
bool finishReading(HANDLE reader, OutputPipe& pipe) {
    if (WaitForSingleObject(reader, kReaderGraceMilliseconds) != WAIT_TIMEOUT) return false;
    pipe.stopRequested = true;
    do {
        CancelSynchronousIo(reader);
    } while (WaitForSingleObject(reader, kCancelRetryMilliseconds) == WAIT_TIMEOUT);
    return true;
}

}  // namespace

DWORD WINAPI readOutput(LPVOID outputPipe) {
    OutputPipe* pipe = static_cast<OutputPipe*>(outputPipe);
    CloseHandle(pipe->writeEnd);
    pipe->writeEnd = nullptr;

    char buffer[kReadBufferSize];
    memset(buffer, 0, sizeof buffer);
    pipe->output.clear();
    const LeadBytes& lead = systemLeadBytes();
    for (;;) {
        DWORD bytesRead = 0;
        if (!ReadFile(pipe->readEnd, buffer, kReadSize, &bytesRead, nullptr) || bytesRead == 0) {
            break;
        }
        buffer[bytesRead] = '\0';
        const Span kept = trimmedSpan(buffer, strlen(buffer), lead);
        // Appending in place keeps the cost proportional to the block, not to the text.
        pipe->output.append(buffer + kept.begin, kept.end - kept.begin);
        pipe->output.push_back('\n');
        if (pipe->stopRequested) break;
    }

    CloseHandle(pipe->readEnd);
    pipe->readEnd = nullptr;
    return 0;
}

RunResult execute(const std::string& commandLine) {
    return executeWithLimit(commandLine, kTimeLimitMilliseconds);
}

RunResult executeWithLimit(const std::string& commandLine, DWORD limitMilliseconds,
                           LPTHREAD_START_ROUTINE readerProcedure) {
    RunResult result;

    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    Handle readEnd, writeEnd;
    if (!CreatePipe(&readEnd.value, &writeEnd.value, &inheritable, 0)) {
        result.text = format("Error creating stdout pipe. Error code: %d\n",
                             static_cast<int>(GetLastError()));
        return result;
    }
    if (!SetHandleInformation(readEnd.value, HANDLE_FLAG_INHERIT, 0)) {
        result.text = format("Error setting stdout read handle information. Error code: %d\n",
                             static_cast<int>(GetLastError()));
        return result;
    }

    // Only the write end may reach the child: this program runs elevated, and anything else
    // it holds open and inheritable would leak into the child and whatever that starts.
    AttributeList attributes;
    STARTUPINFOEXA startup;
    memset(&startup, 0, sizeof startup);
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdOutput = writeEnd.value;
    startup.StartupInfo.hStdError = writeEnd.value;
    PROCESS_INFORMATION info;
    memset(&info, 0, sizeof info);
    std::vector<char> mutableCommandLine(commandLine.begin(), commandLine.end());
    mutableCommandLine.push_back('\0');
    bool started = inheritOnly(attributes, &writeEnd.value);
    if (started) {
        startup.lpAttributeList = attributes.list;
        started = CreateProcessA(nullptr, mutableCommandLine.data(), nullptr, nullptr, TRUE,
                                 EXTENDED_STARTUPINFO_PRESENT, nullptr, nullptr,
                                 &startup.StartupInfo, &info) != FALSE;
    }
    if (!started) {
        result.text = format("Error creating child process. Error code: %d\n",
                             static_cast<int>(GetLastError()));
        return result;
    }
    Handle process(info.hProcess);
    Handle primaryThread(info.hThread);

    OutputPipe pipe;
    pipe.readEnd = readEnd.release();
    pipe.writeEnd = writeEnd.release();
    Handle reader(CreateThread(nullptr, 0, readerProcedure, &pipe, 0, nullptr));
    if (!reader.value) {
        // No reader: drop both ends so the child's writes fail instead of blocking.
        CloseHandle(pipe.readEnd);
        CloseHandle(pipe.writeEnd);
    }

    const DWORD wait = waitForProcess(process.value, limitMilliseconds);
    if (wait == WAIT_FAILED) {
        say("execute : WaitForSingleObject Failed with error code %d \n",
            static_cast<int>(GetLastError()));
    }
    const bool stopped = wait != WAIT_OBJECT_0;
    if (stopped) {
        say("execute : Terminating the Process for application %s as time is exceeded %d "
            "Minutes \n",
            commandLine.c_str(), kTimeLimitMinutes);
        if (terminateProcess(process.value, kTerminatedExitCode)) {
            say("execute : The process has been successfully terminated ..! \n");
            WaitForSingleObject(process.value, kTerminationSettleMilliseconds);
        } else {
            say("execute : The process termination is failed with error code : %d \n",
                static_cast<int>(GetLastError()));
        }
    }
    DWORD exitCode = 0;
    const bool exitCodeKnown = getProcessExitCode(process.value, &exitCode) != FALSE;
    if (exitCodeKnown) {
        say("execute : Exit code for the application : %d \n", static_cast<int>(exitCode));
    } else {
        say("execute : Unable to find the exit code for the patch and the error code is : %d \n",
            static_cast<int>(GetLastError()));
    }
    process.reset();
    primaryThread.reset();

    if (reader.value && finishReading(reader.value, pipe)) {
        result.readingCut = true;
        say("execute : Stopped reading the output as the pipe stayed open after the "
            "application ended \n");
    }
    result.text = std::move(pipe.output);
    result.end = stopped ? RunEnd::Stopped : exitCodeKnown ? RunEnd::Exited : RunEnd::ExitCodeUnknown;
    result.exitCode = exitCode;
    return result;
}
