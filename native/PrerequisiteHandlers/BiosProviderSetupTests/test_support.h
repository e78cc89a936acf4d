#pragma once
// Fixtures shared by the tests that run under Wine: files, folders, processes, the registry
// and standard output.

#include <windows.h>

#include <string>

// Folder of the running test program, ending with a backslash.
std::string testProgramFolder();

// The helper child program built beside the tests.
std::string childProgram();

// Bytes as hexadecimal digits, for the child's command line.
std::string toHex(const std::string& bytes);

std::string readFileBytes(const std::string& path);
void writeFileBytes(const std::string& path, const std::string& bytes);

// A new, empty folder under the temporary folder; its name holds a blank. No trailing backslash.
std::string makeTempFolder(const std::string& label);
void removeTree(const std::string& path);

// Output and exit code of a program run with standard output and error going to a file.
struct ProcessRun {
    bool finished = false;  // false when it had to be stopped at the bound
    DWORD exitCode = 0;
    std::string output;
    double seconds = 0;  // from the start of the process to its end
};
ProcessRun runProcess(const std::string& commandLine, const std::string& currentFolder,
                      DWORD boundMilliseconds = 120000);

// Writes a value under HKLM in the given view (KEY_WOW64_32KEY or KEY_WOW64_64KEY).
void writeRegValue(const std::string& keyPath, const std::string& valueName, DWORD type,
                   const std::string& bytes, REGSAM view);
// Deletes the value, leaving the key.
void deleteRegValue(const std::string& keyPath, const std::string& valueName, REGSAM view);
// Deletes a key without subkeys.
void deleteRegKey(const std::string& keyPath, REGSAM view);

// Everything this process writes to standard output (as the text-mode stream leaves it)
// between construction and take().
struct StdoutCapture {
    StdoutCapture();
    ~StdoutCapture();
    std::string take();

    int savedDescriptor = -1;
    std::string path;
};
