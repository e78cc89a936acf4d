// The runner with a real child process under Wine; messages compared byte for byte as they
// leave the text-mode standard output.

#include "handle.h"
#include "platform_faults.h"
#include "runner.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Bounds only a hang.
const ULONGLONG kHangMilliseconds = 60000;

std::string childCommand(const std::string& arguments) {
    return "\"" + childProgram() + "\" " + arguments;
}

std::string exitLine(int code) {
    return "execute : Exit code for the application : " + std::to_string(code) + " \r\n";
}

struct Captured {
    RunResult run;
    std::string printed;
    ULONGLONG milliseconds;
};

Captured capture(const std::string& commandLine, DWORD limit = 600000) {
    Captured result;
    StdoutCapture stdoutCapture;
    const ULONGLONG start = GetTickCount64();
    result.run = executeWithLimit(commandLine, limit);
    result.milliseconds = GetTickCount64() - start;
    result.printed = stdoutCapture.take();
    return result;
}

TEST(Runner, ShapesEachBlockIntoOneTrimmedLine) {
    struct Case {
        const char* name;
        std::string arguments;
        std::string text;
        int exitCode;
    };
    const Case cases[] = {
        {"one line with blanks and CR LF", "out " + toHex("   hello world \r\n"), "hello world\n", 0},
        {"inner line breaks kept", "out " + toHex("\r\n one\r\n two \r\n"), "one\r\n two\n", 0},
        {"no output", "out", "", 0},
        {"only whitespace", "out " + toHex(" \r\n\t "), "\n", 0},
        {"standard error collected", "err " + toHex("on stderr\n"), "on stderr\n", 0},
        {"a NUL cuts its block", "out " + toHex(std::string("before\0after\n", 13)), "before\n", 0},
        {"standard input at its end", "stdin", "stdin: no data\n", 0},
        {"exit code", "exit 7", "", 7},
    };
    for (const Case& c : cases) {
        const Captured got = capture(childCommand(c.arguments));
        EXPECT_EQ(got.run.text, c.text) << c.name;
        EXPECT_EQ(got.printed, exitLine(c.exitCode)) << c.name;
        EXPECT_EQ(got.run.end, RunEnd::Exited) << c.name;
        EXPECT_EQ(got.run.exitCode, static_cast<DWORD>(c.exitCode)) << c.name;
        EXPECT_FALSE(got.run.readingCut) << c.name;
    }
}

TEST(Runner, SplitsALargeWriteIntoLinesAndLosesNoByte) {
    const size_t size = 100000;
    const Captured got = capture(childCommand("bytes " + std::to_string(size)));
    std::string joined;
    size_t lines = 0;
    for (char c : got.run.text) {
        if (c == '\n') {
            ++lines;
        } else {
            joined.push_back(c);
        }
    }
    EXPECT_GE(lines, (size + 4094) / 4095);
    ASSERT_EQ(joined.size(), size);
    for (size_t i = 0; i < size; ++i) {
        ASSERT_EQ(joined[i], static_cast<char>('a' + i % 26)) << "byte " << i;
    }
    EXPECT_EQ(got.printed, exitLine(0));
}

TEST(Runner, AProgramThatDoesNotExistGivesTheErrorTextAndPrintsNothing) {
    const Captured got = capture("\"" + testProgramFolder() + "no such program.exe\" x");
    EXPECT_EQ(got.run.text, "Error creating child process. Error code: 2\n");
    EXPECT_EQ(got.run.end, RunEnd::NotStarted);
    EXPECT_EQ(got.printed, "");
}

TEST(Runner, StopsAChildAtTheLimitAndKeepsWhatItWrote) {
    const std::string command = childCommand("sleep 60000 " + toHex(" started \r\n"));
    const Captured got = capture(command, 2000);
    EXPECT_EQ(got.printed, "execute : Terminating the Process for application " + command +
                               " as time is exceeded 10 Minutes \r\n"
                               "execute : The process has been successfully terminated ..! \r\n" +
                               exitLine(258));
    EXPECT_EQ(got.run.text, "started\n");
    EXPECT_EQ(got.run.end, RunEnd::Stopped);
    EXPECT_EQ(got.run.exitCode, 258u);
    EXPECT_LT(got.milliseconds, kHangMilliseconds);
}

TEST(Runner, AGrandchildHoldingThePipeDoesNotHangTheRun) {
    const Captured got = capture(childCommand("grandchild 120000"));
    const std::string prefix = "grandchild ";
    ASSERT_EQ(got.run.text.compare(0, prefix.size(), prefix), 0) << got.run.text;
    const DWORD grandchild = std::stoul(got.run.text.substr(prefix.size()));
    EXPECT_EQ(got.printed,
              exitLine(0) +
                  "execute : Stopped reading the output as the pipe stayed open after the "
                  "application ended \r\n");
    EXPECT_TRUE(got.run.readingCut);
    EXPECT_EQ(got.run.end, RunEnd::Exited);
    // Five seconds of grace, then the read is cancelled.
    EXPECT_LT(got.milliseconds, kHangMilliseconds);
    std::printf("grandchild case returned after %llu ms\n", got.milliseconds);

    Handle leftover(OpenProcess(PROCESS_TERMINATE, FALSE, grandchild));
    if (leftover.value) TerminateProcess(leftover.value, 0);
}

TEST(Runner, PassesOnlyThePipeToTheChild) {
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    Handle event(CreateEventA(&inheritable, TRUE, FALSE, nullptr));
    ASSERT_TRUE(event.value);
    const std::string arguments =
        "event " + std::to_string(reinterpret_cast<uintptr_t>(event.value));

    const Captured got = capture(childCommand(arguments));
    EXPECT_EQ(got.run.text, "event not set\n");
    EXPECT_EQ(WaitForSingleObject(event.value, 0), static_cast<DWORD>(WAIT_TIMEOUT));

    // The same child started the plain way does inherit the handle: the probe works.
    const ProcessRun plain = runProcess(childCommand(arguments), "");
    EXPECT_EQ(plain.output, "event set");
    EXPECT_EQ(WaitForSingleObject(event.value, 0), static_cast<DWORD>(WAIT_OBJECT_0));
}

class RunnerFaults : public ::testing::Test {
protected:
    void TearDown() override { platformFaults = PlatformFaults(); }
};

TEST_F(RunnerFaults, ReportsFailuresOfTheWaitTheTerminationAndTheExitCode) {
    struct Case {
        const char* name;
        PlatformFaults faults;
        std::string arguments;
        DWORD limit;
        std::string printedFirst;  // before the time-out line, if any
        std::string printedEnd;
        RunEnd end;
    };
    const std::string terminated = "execute : The process has been successfully terminated ..! \r\n";
    const Case cases[] = {
        {"wait failed", {6, 0, 0}, "sleep 60000", 600000,
         "execute : WaitForSingleObject Failed with error code 6 \r\n",
         terminated + exitLine(258), RunEnd::Stopped},
        {"termination failed", {0, 5, 0}, "sleep 4000", 500, "",
         "execute : The process termination is failed with error code : 5 \r\n" + exitLine(259),
         RunEnd::Stopped},
        {"exit code unreadable", {0, 0, 6}, "exit 3", 600000, "",
         "execute : Unable to find the exit code for the patch and the error code is : 6 \r\n",
         RunEnd::ExitCodeUnknown},
    };
    for (const Case& c : cases) {
        platformFaults = c.faults;
        const std::string command = childCommand(c.arguments);
        const Captured got = capture(command, c.limit);
        platformFaults = PlatformFaults();
        std::string expected = c.printedFirst;
        if (c.end == RunEnd::Stopped) {
            expected += "execute : Terminating the Process for application " + command +
                        " as time is exceeded 10 Minutes \r\n";
        }
        expected += c.printedEnd;
        EXPECT_EQ(got.printed, expected) << c.name;
        EXPECT_EQ(got.run.end, c.end) << c.name;
        EXPECT_FALSE(got.run.readingCut) << c.name;
        EXPECT_LT(got.milliseconds, kHangMilliseconds) << c.name;
    }
}

}  // namespace
