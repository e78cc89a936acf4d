#include "test_support.h"

#include "handle.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cstdio>
#include <stdexcept>
#include <vector>

std::string testProgramFolder() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

std::string childProgram() {
    return testProgramFolder() + "bps_child.exe";
}

std::string toHex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) {
        hex.push_back(digits[c >> 4]);
        hex.push_back(digits[c & 15]);
    }
    return hex;
}

std::string readFileBytes(const std::string& path) {
    Handle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr));
    if (file.value == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + path);
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file.value, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        bytes.append(buffer, got);
    }
    return bytes;
}

void writeFileBytes(const std::string& path, const std::string& bytes) {
    Handle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    if (file.value == INVALID_HANDLE_VALUE ||
        !WriteFile(file.value, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::string makeTempFolder(const std::string& label) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    static unsigned serial = 0;
    for (;;) {
        std::string path = std::string(temp) + "bps " + label + " " +
                           std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial);
        if (CreateDirectoryA(path.c_str(), nullptr)) return path;
        if (GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("cannot create " + path);
    }
}

void removeTree(const std::string& path) {
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = entry.cFileName;
            if (name == "." || name == "..") continue;
            const std::string child = path + "\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(child);
            } else {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

ProcessRun runProcess(const std::string& commandLine, const std::string& currentFolder,
                      DWORD boundMilliseconds) {
    const std::string outputPath = makeTempFolder("output") + "\\stdout.txt";
    ProcessRun run;
    {
        SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
        Handle output(CreateFileA(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable,
                                  CREATE_ALWAYS, 0, nullptr));
        if (output.value == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create output");
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = output.value;
        startup.hStdError = output.value;
        PROCESS_INFORMATION info;
        LARGE_INTEGER frequency, started, ended;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&started);
        std::vector<char> line(commandLine.begin(), commandLine.end());
        line.push_back('\0');
        if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                            currentFolder.empty() ? nullptr : currentFolder.c_str(), &startup,
                            &info)) {
            throw std::runtime_error("cannot start " + commandLine + ": " +
                                     std::to_string(GetLastError()));
        }
        Handle process(info.hProcess);
        Handle thread(info.hThread);
        run.finished = WaitForSingleObject(process.value, boundMilliseconds) == WAIT_OBJECT_0;
        QueryPerformanceCounter(&ended);
        run.seconds = static_cast<double>(ended.QuadPart - started.QuadPart) /
                      static_cast<double>(frequency.QuadPart);
        if (!run.finished) {
            TerminateProcess(process.value, 1);
            WaitForSingleObject(process.value, 10000);
        }
        GetExitCodeProcess(process.value, &run.exitCode);
    }
    run.output = readFileBytes(outputPath);
    removeTree(outputPath.substr(0, outputPath.find_last_of('\\')));
    return run;
}

void writeRegValue(const std::string& keyPath, const std::string& valueName, DWORD type,
                   const std::string& bytes, REGSAM view) {
    HKEY key = nullptr;
    LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, 0,
                                  KEY_SET_VALUE | view, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) throw std::runtime_error("cannot create key " + keyPath);
    status = RegSetValueExA(key, valueName.c_str(), 0, type,
                            reinterpret_cast<const BYTE*>(bytes.data()),
                            static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) throw std::runtime_error("cannot set value " + valueName);
}

void deleteRegValue(const std::string& keyPath, const std::string& valueName, REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_SET_VALUE | view, &key) ==
        ERROR_SUCCESS) {
        RegDeleteValueA(key, valueName.c_str());
        RegCloseKey(key);
    }
}

void deleteRegKey(const std::string& keyPath, REGSAM view) {
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), view, 0);
}

StdoutCapture::StdoutCapture() {
    path = makeTempFolder("stdout") + "\\captured.txt";
    fflush(stdout);
    savedDescriptor = _dup(1);
    // Text mode, as the program's own standard output: line feeds leave as CR LF.
    int file = _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_TEXT, _S_IREAD | _S_IWRITE);
    _dup2(file, 1);
    _close(file);
}

std::string StdoutCapture::take() {
    if (savedDescriptor < 0) return std::string();
    fflush(stdout);
    _dup2(savedDescriptor, 1);
    _close(savedDescriptor);
    savedDescriptor = -1;
    std::string bytes = readFileBytes(path);
    removeTree(path.substr(0, path.find_last_of('\\')));
    return bytes;
}

StdoutCapture::~StdoutCapture() {
    take();
}
