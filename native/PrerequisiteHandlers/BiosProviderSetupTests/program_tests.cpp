// The handler run as a process under Wine, with the agent's registry value in the 32-bit view,
// the real extractor (or a stand-in that prints its command line) in the agent's bin folder,
// and standard output compared byte for byte.

#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>

namespace {

const char kAgentKey[] = "SOFTWARE\\Quillmark\\Brightfold\\TarnAgent";
const char kInstallDirValue[] = "TarnAgentInstallDir";
const char* const kLibraries[] = {"msvcp140.dll", "vcruntime140.dll", "vcruntime140_1.dll"};

typedef std::map<std::string, std::string> Files;  // relative path -> content

const Files kProviderFiles = {
    {"readme.txt", "BIOS provider\r\n"},
    {"bin\\x64\\DellBiosProvider.dll", std::string("MZ\0\1stand-in provider", 22)},
    {"docs\\release notes\\notes.txt", "nested, with a blank in the folder name"},
};

std::string realExtractor() {
    const char* path = std::getenv("BPS_7ZA");
    return path ? path : "";
}

std::string exitLine(int code) {
    return "execute : Exit code for the application : " + std::to_string(code) + " \r\n";
}

std::string copyFailures(int code) {
    std::string text;
    for (const char* library : kLibraries) {
        text += std::string(library) + " copy failed with " + std::to_string(code);
    }
    return text;
}

bool isDirectory(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void writeTree(const std::string& root, const Files& files) {
    CreateDirectoryA(root.c_str(), nullptr);
    for (const auto& file : files) {
        const std::string path = root + "\\" + file.first;
        for (size_t at = root.size() + 1; (at = path.find('\\', at)) != std::string::npos; ++at) {
            CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
        }
        writeFileBytes(path, file.second);
    }
}

class Agent : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(realExtractor().empty()) << "BPS_7ZA must name 7za.exe";
        folder = makeTempFolder("agent");
        ASSERT_TRUE(CreateDirectoryA((folder + "\\bin").c_str(), nullptr));
        installExtractor(realExtractor());
        work = makeTempFolder("work");
        for (const char* library : kLibraries) {
            writeFileBytes(work + "\\" + library, std::string("stand-in ") + library);
        }
        setInstallDir(folder + "\\");
    }

    void TearDown() override {
        deleteRegValue(kAgentKey, kInstallDirValue, KEY_WOW64_32KEY);
        removeTree(folder);
        removeTree(work);
    }

    void setInstallDir(const std::string& value) {
        writeRegValue(kAgentKey, kInstallDirValue, REG_SZ, value + std::string(1, '\0'),
                      KEY_WOW64_32KEY);
    }

    void installExtractor(const std::string& program) {
        const std::string target = folder + "\\bin\\7za.exe";
        DeleteFileA(target.c_str());
        ASSERT_TRUE(CopyFileA(program.c_str(), target.c_str(), FALSE)) << program;
    }

    std::string providerDir() const { return folder + "\\data\\dellbiosprovider"; }

    ProcessRun handler(const std::string& arguments) {
        std::string commandLine = "\"" + testProgramFolder() + "BiosProviderSetup.exe\"";
        if (!arguments.empty()) commandLine += " " + arguments;
        return runProcess(commandLine, work);
    }

    // A 7z archive of the files, made by the real extractor.
    std::string makeArchive(const Files& files) {
        const std::string staging = folder + "\\staging";
        writeTree(staging, files);
        const std::string archives = folder + "\\provider archives";
        CreateDirectoryA(archives.c_str(), nullptr);
        const std::string archive = archives + "\\bios provider.7z";
        const ProcessRun made =
            runProcess("\"" + realExtractor() + "\" a -t7z \"" + archive + "\" *", staging);
        EXPECT_EQ(made.exitCode, 0u) << made.output;
        removeTree(staging);
        return archive;
    }

    std::string folder;  // the agent's installation folder, without its trailing backslash
    std::string work;    // the handler's current folder, holding the runtime libraries
};

TEST_F(Agent, ExitCodesOfTheCheckAndOfUnusableInput) {
    enum Value { Stored, WithoutBackslash, Missing, Dword, Empty };
    enum Provider { Present, Absent, FileInItsPlace, OnlyGluedPath };
    struct Case {
        const char* name;
        Value value;
        Provider provider;
        std::string arguments;
        DWORD exitCode;
    };
    const Case cases[] = {
        {"no argument", Stored, Present, "", 1},
        {"empty argument", Stored, Present, "\"\"", 1},
        {"empty argument before others", Stored, Present, "\"\" -check", 1},
        {"present", Stored, Present, "-check", 0},
        {"extra arguments ignored", Stored, Present, "-check more \"and more\"", 0},
        {"absent", Stored, Absent, "-check", 2},
        {"a file in its place", Stored, FileInItsPlace, "-check", 2},
        {"value missing", Missing, Present, "-check", 1},
        {"value missing, archive given", Missing, Present, "provider.7z", 1},
        {"value a DWORD", Dword, Present, "-check", 1},
        {"value empty", Empty, Present, "-check", 1},
        {"value without its backslash, present", WithoutBackslash, Present, "-check", 0},
        {"value without its backslash, only the glued path", WithoutBackslash, OnlyGluedPath,
         "-check", 2},
    };
    for (const Case& c : cases) {
        switch (c.value) {
            case Stored: setInstallDir(folder + "\\"); break;
            case WithoutBackslash: setInstallDir(folder); break;
            case Missing: deleteRegValue(kAgentKey, kInstallDirValue, KEY_WOW64_32KEY); break;
            case Dword:
                writeRegValue(kAgentKey, kInstallDirValue, REG_DWORD, std::string("\1\0\0\0", 4),
                              KEY_WOW64_32KEY);
                break;
            case Empty: setInstallDir(""); break;
        }
        const std::string data = folder + "\\data";
        const std::string glued = folder + "data";
        switch (c.provider) {
            case Present: CreateDirectoryA(data.c_str(), nullptr); CreateDirectoryA(providerDir().c_str(), nullptr); break;
            case Absent: break;
            case FileInItsPlace:
                CreateDirectoryA(data.c_str(), nullptr);
                writeFileBytes(providerDir(), "not a directory");
                break;
            case OnlyGluedPath:
                CreateDirectoryA(glued.c_str(), nullptr);
                CreateDirectoryA((glued + "\\dellbiosprovider").c_str(), nullptr);
                break;
        }
        const ProcessRun run = handler(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.name;
        EXPECT_EQ(run.output, "") << c.name;
        removeTree(data);
        removeTree(glued);
    }
}

TEST_F(Agent, ArgumentsThatOnlyLookLikeTheSwitchAreArchivePaths) {
    installExtractor(childProgram());  // prints the command line it gets
    CreateDirectoryA((folder + "\\data").c_str(), nullptr);
    CreateDirectoryA(providerDir().c_str(), nullptr);
    struct Case {
        std::string arguments;
        std::string archive;
    };
    const Case cases[] = {{"-CHECK", "-CHECK"}, {"/check", "/check"}, {"\"-check \"", "-check "}};
    for (const Case& c : cases) {
        const ProcessRun run = handler(c.arguments);
        EXPECT_EQ(run.output, exitLine(0) + "\"" + folder + "\\bin\\7za.exe\" x -y \"" + c.archive +
                                  "\" * -o\"" + folder + "\\\\data\\dellbiosprovider\"\r\n\r\n")
            << c.arguments;
        EXPECT_EQ(run.exitCode, 0u) << c.arguments;
        for (const char* library : kLibraries) {
            DeleteFileA((providerDir() + "\\" + library).c_str());
        }
    }
}

TEST_F(Agent, TheExtractorGetsOneQuotedCommandLineWithOrWithoutTheTrailingBackslash) {
    installExtractor(childProgram());
    const std::string archive = folder + "\\provider archives\\bios provider.7z";
    struct Case {
        std::string installDir;
        std::string commandLine;
    };
    const Case cases[] = {
        {folder + "\\", "\"" + folder + "\\bin\\7za.exe\" x -y \"" + archive + "\" * -o\"" + folder +
                            "\\\\data\\dellbiosprovider\""},
        {folder, "\"" + folder + "\\bin\\7za.exe\" x -y \"" + archive + "\" * -o\"" + folder +
                     "\\data\\dellbiosprovider\""},
    };
    for (const Case& c : cases) {
        setInstallDir(c.installDir);
        const ProcessRun run = handler("\"" + archive + "\"");
        // The stand-in creates nothing, so the copies find no provider folder (3).
        EXPECT_EQ(run.output, exitLine(0) + c.commandLine + "\r\n\r\n" + copyFailures(3))
            << c.installDir;
        EXPECT_EQ(run.exitCode, 3u) << c.installDir;
    }
}

TEST_F(Agent, ArchivePathsThatCannotBeQuotedStartNothing) {
    installExtractor(childProgram());
    struct Case {
        std::string arguments;
        std::string output;
    };
    const std::string quoted = folder + "\\bios\"provider.7z";
    const std::string trailing = folder + "\\provider archives\\";
    const Case cases[] = {
        {"\"" + folder + "\\bios\\\"provider.7z\"",
         "The archive path must not hold a double quote: " + quoted + "\r\n"},
        {"\"" + folder + "\\a\\\" -o\"C:\\elsewhere\"",
         "The archive path must not hold a double quote: " + folder + "\\a\" -oC:\\elsewhere\r\n"},
        // A doubled backslash before the closing quote leaves one at the argument's end.
        {"\"" + trailing + "\\\"", "The archive path must not end with a backslash: " + trailing + "\r\n"},
    };
    for (const Case& c : cases) {
        const ProcessRun run = handler(c.arguments);
        EXPECT_EQ(run.output, c.output) << c.arguments;
        EXPECT_EQ(run.exitCode, 1u) << c.arguments;
        EXPECT_FALSE(exists(folder + "\\data")) << c.arguments;
    }
}

TEST_F(Agent, DeploysTheArchiveAndTheLibrariesAndAgainLeavesThemUntouched) {
    const std::string archive = makeArchive(kProviderFiles);

    const ProcessRun first = handler("\"" + archive + "\"");
    EXPECT_EQ(first.exitCode, 0u) << first.output;
    for (const auto& file : kProviderFiles) {
        EXPECT_EQ(readFileBytes(providerDir() + "\\" + file.first), file.second) << file.first;
    }
    for (const char* library : kLibraries) {
        EXPECT_EQ(readFileBytes(providerDir() + "\\" + library), std::string("stand-in ") + library);
    }
    // The extractor's report, each block trimmed, then the blank line of the final print.
    const std::string report = first.output.substr(std::min(first.output.size(), exitLine(0).size()));
    EXPECT_EQ(first.output.compare(0, exitLine(0).size(), exitLine(0)), 0) << first.output;
    EXPECT_EQ(report.compare(0, 6, "7-Zip "), 0) << report;
    EXPECT_NE(report.find("Everything is Ok"), std::string::npos) << report;
    ASSERT_GE(report.size(), 5u);
    EXPECT_EQ(report.substr(report.size() - 4), "\r\n\r\n") << report;
    EXPECT_NE(report[report.size() - 5], ' ') << report;

    for (const char* library : kLibraries) {
        writeFileBytes(work + "\\" + library, "a newer file that must not replace the first");
    }
    const ProcessRun second = handler("\"" + archive + "\"");
    EXPECT_EQ(second.exitCode, 0u) << second.output;
    const std::string tail = "\r\n\r\n" + copyFailures(80);
    ASSERT_GE(second.output.size(), tail.size());
    EXPECT_EQ(second.output.substr(second.output.size() - tail.size()), tail) << second.output;
    for (const char* library : kLibraries) {
        EXPECT_EQ(readFileBytes(providerDir() + "\\" + library), std::string("stand-in ") + library);
    }
}

TEST_F(Agent, ReportsFailureWhenTheExtractionOrACopyFails) {
    const std::string archive = makeArchive(kProviderFiles);

    // Extractor missing: its error text, the extra line feed, and the copies still tried.
    DeleteFileA((folder + "\\bin\\7za.exe").c_str());
    ProcessRun run = handler("\"" + archive + "\"");
    EXPECT_EQ(run.output, "Error creating child process. Error code: 2\r\n\r\n" + copyFailures(3));
    EXPECT_EQ(run.exitCode, 3u);
    installExtractor(realExtractor());

    // A corrupt archive: the extractor's own exit code is printed.
    const std::string corrupt = folder + "\\corrupt.7z";
    writeFileBytes(corrupt, "7z but not really an archive");
    run = handler("\"" + corrupt + "\"");
    EXPECT_EQ(run.output.compare(0, exitLine(2).size(), exitLine(2)), 0) << run.output;
    EXPECT_EQ(run.exitCode, 3u) << run.output;

    // The libraries missing from the current folder: three messages run together.
    for (const char* library : kLibraries) DeleteFileA((work + "\\" + library).c_str());
    run = handler("\"" + archive + "\"");
    const std::string tail = "\r\n\r\n" + copyFailures(2);
    ASSERT_GE(run.output.size(), tail.size());
    EXPECT_EQ(run.output.substr(run.output.size() - tail.size()), tail) << run.output;
    EXPECT_EQ(run.exitCode, 3u);
    EXPECT_TRUE(isDirectory(providerDir()));
}

}  // namespace
