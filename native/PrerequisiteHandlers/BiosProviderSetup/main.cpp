// Prerequisite handler for the BIOS provider: checks for the provider directory under the
// agent's folder, or unpacks the provider archive there with the agent's extractor and puts
// the runtime libraries beside it.

#include "platform.h"
#include "registry.h"
#include "runner.h"
#include "text.h"

#include <string>

namespace {

const char kAgentKey[] = "SOFTWARE\\Quillmark\\Brightfold\\TarnAgent";
const char kInstallDirValue[] = "TarnAgentInstallDir";
const char kCheckSwitch[] = "-check";

const int kExitOk = 0;
const int kExitUnusable = 1;
const int kExitNotPresent = 2;
const int kExitDeploymentFailed = 3;

const DWORD kErrorFileExists = 80;

const char* const kRuntimeLibraries[] = {"msvcp140.dll", "vcruntime140.dll", "vcruntime140_1.dll"};

// The agent's folder ready for a relative path to be joined on. A value stored without its
// trailing separator would otherwise glue "data" or "bin" onto the folder's name and point
// this elevated program outside the agent's folder.
std::string agentFolder(const std::string& installDir) {
    return endsWithSeparator(installDir, systemLeadBytes()) ? installDir : installDir + "\\";
}

// The archive path goes between double quotes unchanged: a quote inside it, or a backslash
// at its end, would escape them and hand the extractor switches of the caller's making.
bool archivePathQuotable(const std::string& archive) {
    if (archive.find('"') != std::string::npos) {
        say("The archive path must not hold a double quote: %s\n", archive.c_str());
        return false;
    }
    if (endsWithBackslash(archive, systemLeadBytes())) {
        say("The archive path must not end with a backslash: %s\n", archive.c_str());
        return false;
    }
    return true;
}

int deployProvider(const std::string& installDir, const std::string& archive) {
    if (!archivePathQuotable(archive)) return kExitUnusable;

    const std::string commandLine =
        format("\"%sbin\\7za.exe\" x -y \"%s\" * -o\"%s\\data\\dellbiosprovider\"",
               agentFolder(installDir).c_str(), archive.c_str(), installDir.c_str());
    const RunResult run = execute(commandLine);
    say("%s\n", run.text.c_str());
    bool succeeded = run.end == RunEnd::Exited && run.exitCode == 0;

    const std::string providerDir = format("%s\\data\\dellbiosprovider", installDir.c_str());
    for (const char* library : kRuntimeLibraries) {
        const std::string target = providerDir + "\\" + library;
        if (!CopyFileA(library, target.c_str(), TRUE)) {
            const DWORD error = GetLastError();
            say("%s copy failed with %d", library, static_cast<int>(error));
            // A library already in place is what a repeated deployment finds.
            if (error != kErrorFileExists) succeeded = false;
        }
    }
    return succeeded ? kExitOk : kExitDeploymentFailed;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 2) return kExitUnusable;

    std::string installDir;
    getRegValue(kAgentKey, kInstallDirValue, installDir, false);  // failure leaves it empty

    const std::string argument = argv[1];
    if (argument.empty() || installDir.empty()) return kExitUnusable;

    if (argument == kCheckSwitch) {
        const std::string path = agentFolder(installDir) + "data\\dellbiosprovider";
        return PathIsDirectoryA(path.c_str()) ? kExitOk : kExitNotPresent;
    }
    return deployProvider(installDir, argument);
}
