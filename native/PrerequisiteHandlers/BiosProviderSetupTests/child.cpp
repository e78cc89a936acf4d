// Plays the child process in tests and benchmarks. The first argument picks what it does:
//   out <hex>            write the bytes to standard output in one write
//   err <hex>            the same to standard error
//   bytes <n>            write n bytes of a repeating letter pattern in one write
//   stdin                read standard input and say what came
//   exit <n>             exit with code n
//   sleep <ms> [<hex>]   write the bytes, if any, then sleep
//   grandchild <ms>      start "sleep <ms>" sharing our standard output, print its id, exit
//   event <value>        try to signal the event handle of that value, say whether it worked
//   flood <MiB>          write MiB of 1 KiB lines in 64 KiB writes
// Anything else prints the command line as received, so it can stand in for the extractor.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string fromHex(const char* hex) {
    std::string bytes;
    for (size_t i = 0; hex[i] && hex[i + 1]; i += 2) {
        char pair[3] = {hex[i], hex[i + 1], '\0'};
        bytes.push_back(static_cast<char>(strtoul(pair, nullptr, 16)));
    }
    return bytes;
}

bool writeAll(DWORD stream, const std::string& bytes) {
    DWORD written = 0;
    if (bytes.empty()) return true;
    return WriteFile(GetStdHandle(stream), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
           written == bytes.size();
}

std::string pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('a' + i % 26);
    return bytes;
}

int startGrandchild(const char* milliseconds) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string commandLine = std::string("\"") + self + "\" sleep " + milliseconds;
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info;
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &info)) {
        return 1;
    }
    writeAll(STD_OUTPUT_HANDLE, "grandchild " + std::to_string(info.dwProcessId));
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return 0;
}

int flood(unsigned long mebibytes) {
    std::string line = pattern(1023) + "\n";
    std::string block;
    while (block.size() < 64 * 1024) block += line;
    for (unsigned long i = 0; i < mebibytes * 16; ++i) {
        if (!writeAll(STD_OUTPUT_HANDLE, block)) return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    const std::string mode = argc > 1 ? argv[1] : "";
    const char* value = argc > 2 ? argv[2] : "";
    if (mode == "out") return writeAll(STD_OUTPUT_HANDLE, fromHex(value)) ? 0 : 1;
    if (mode == "err") return writeAll(STD_ERROR_HANDLE, fromHex(value)) ? 0 : 1;
    if (mode == "bytes") return writeAll(STD_OUTPUT_HANDLE, pattern(strtoul(value, nullptr, 10))) ? 0 : 1;
    if (mode == "stdin") {
        char buffer[16];
        DWORD got = 0;
        bool read = ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &got, nullptr);
        writeAll(STD_OUTPUT_HANDLE, read && got > 0 ? "stdin: data" : "stdin: no data");
        return 0;
    }
    if (mode == "exit") return static_cast<int>(strtol(value, nullptr, 10));
    if (mode == "sleep") {
        if (argc > 3) writeAll(STD_OUTPUT_HANDLE, fromHex(argv[3]));
        Sleep(strtoul(value, nullptr, 10));
        return 0;
    }
    if (mode == "grandchild") return startGrandchild(value);
    if (mode == "event") {
        HANDLE event = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(strtoull(value, nullptr, 10)));
        writeAll(STD_OUTPUT_HANDLE, SetEvent(event) ? "event set" : "event not set");
        return 0;
    }
    if (mode == "flood") return flood(strtoul(value, nullptr, 10));
    writeAll(STD_OUTPUT_HANDLE, GetCommandLineA());
    return 0;
}
