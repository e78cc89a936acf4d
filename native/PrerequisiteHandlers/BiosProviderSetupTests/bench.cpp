// Benchmarks of the runner and the deployment, each side measured alternately in one run.
// The table goes to standard error; standard output takes the runner's own messages.
//   bps_bench                 every measurement, then the table
//   bps_bench deployment      the deployment row only
//   bps_bench memory <MiB>    one capture; prints the peak working set and the text's size

#include "runner.h"
#include "test_support.h"

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const int kRuns = 5;
// Extraction times vary by a tenth from run to run; more runs steady the median.
const int kDeploymentRuns = 9;
const double kMiB = 1024.0 * 1024.0;

double now() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The reference: the runner's own pipe and reads, storing nothing.
DWORD WINAPI discardOutput(LPVOID outputPipe) {
    OutputPipe* pipe = static_cast<OutputPipe*>(outputPipe);
    CloseHandle(pipe->writeEnd);
    pipe->writeEnd = nullptr;
    char buffer[4096];
    DWORD bytesRead = 0;
    while (ReadFile(pipe->readEnd, buffer, 4095, &bytesRead, nullptr) && bytesRead > 0) {
    }
    CloseHandle(pipe->readEnd);
    pipe->readEnd = nullptr;
    return 0;
}

std::string floodCommand(int mebibytes) {
    return "\"" + childProgram() + "\" flood " + std::to_string(mebibytes);
}

// Seconds for one capture, checking that everything arrived.
double timeCapture(int mebibytes, LPTHREAD_START_ROUTINE reader) {
    const double start = now();
    const RunResult run = executeWithLimit(floodCommand(mebibytes), 600000, reader);
    const double seconds = now() - start;
    if (run.end != RunEnd::Exited || run.exitCode != 0 ||
        (reader == readOutput && run.text.size() < static_cast<size_t>(mebibytes) * 1024 * 1024)) {
        fprintf(stderr, "capture of %d MiB went wrong\n", mebibytes);
        exit(1);
    }
    return seconds;
}

int memoryMode(int mebibytes) {
    const RunResult run = execute(floodCommand(mebibytes));
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    printf("\npeak %llu text %llu\n", static_cast<unsigned long long>(counters.PeakWorkingSetSize),
           static_cast<unsigned long long>(run.text.size()));
    return 0;
}

// Peak working set of a process capturing that much, in MiB, and the text's size in MiB.
void measureMemory(int mebibytes, double& peak, double& text) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const ProcessRun run =
        runProcess("\"" + std::string(self) + "\" memory " + std::to_string(mebibytes), "");
    unsigned long long peakBytes = 0, textBytes = 0;
    const size_t at = run.output.rfind("peak ");
    if (at == std::string::npos || sscanf(run.output.c_str() + at, "peak %llu text %llu", &peakBytes, &textBytes) != 2) {
        fprintf(stderr, "memory run of %d MiB went wrong\n", mebibytes);
        exit(1);
    }
    peak = static_cast<double>(peakBytes) / kMiB;
    text = static_cast<double>(textBytes) / kMiB;
}

// About 2,000 files and 50 MiB of data that does not compress, in nested folders.
std::string makeBenchArchive(const std::string& root, const std::string& extractor) {
    const std::string source = root + "\\provider";
    CreateDirectoryA(source.c_str(), nullptr);
    unsigned long long state = 0x9E3779B97F4A7C15ull;
    std::string content(26 * 1024, '\0');
    for (int folder = 0; folder < 40; ++folder) {
        const std::string path = source + "\\folder " + std::to_string(folder);
        CreateDirectoryA(path.c_str(), nullptr);
        for (int file = 0; file < 50; ++file) {
            for (char& c : content) {
                state ^= state << 13;
                state ^= state >> 7;
                state ^= state << 17;
                c = static_cast<char>(state);
            }
            writeFileBytes(path + "\\file " + std::to_string(file) + ".bin", content);
        }
    }
    const std::string archive = root + "\\bench provider.7z";
    const ProcessRun made =
        runProcess("\"" + extractor + "\" a -t7z -mx0 \"" + archive + "\" *", source);
    removeTree(source);
    if (made.exitCode != 0) {
        fprintf(stderr, "making the archive failed:\n%s\n", made.output.c_str());
        exit(1);
    }
    return archive;
}

void measureDeployment(double& handlerSeconds, double& directSeconds, double& archiveMiB) {
    const char* extractorSource = getenv("BPS_7ZA");
    if (!extractorSource) {
        fprintf(stderr, "BPS_7ZA must name 7za.exe\n");
        exit(1);
    }
    const std::string agent = makeTempFolder("bench agent");
    CreateDirectoryA((agent + "\\bin").c_str(), nullptr);
    const std::string extractor = agent + "\\bin\\7za.exe";
    CopyFileA(extractorSource, extractor.c_str(), FALSE);
    writeRegValue("SOFTWARE\\Quillmark\\Brightfold\\TarnAgent", "TarnAgentInstallDir", REG_SZ,
                  agent + "\\" + std::string(1, '\0'), KEY_WOW64_32KEY);
    const std::string work = makeTempFolder("bench work");
    for (const char* library : {"msvcp140.dll", "vcruntime140.dll", "vcruntime140_1.dll"}) {
        writeFileBytes(work + "\\" + library, std::string(100000, 'x'));
    }
    const std::string archive = makeBenchArchive(agent, extractor);
    archiveMiB = static_cast<double>(readFileBytes(archive).size()) / kMiB;
    // Spelled as the handler spells it for an InstallDir with its trailing backslash.
    const std::string target = agent + "\\\\data\\dellbiosprovider";
    const std::string handler = "\"" + testProgramFolder() + "BiosProviderSetup.exe\" \"" + archive + "\"";
    const std::string direct = "\"" + extractor + "\" x -y \"" + archive + "\" * -o\"" + target + "\"";

    std::vector<double> handlerRuns, directRuns;
    for (int i = 0; i < kDeploymentRuns; ++i) {
        // Which side goes first alternates, so neither always finds the other's leftovers.
        ProcessRun viaHandler, alone;
        for (int side = 0; side < 2; ++side) {
            removeTree(agent + "\\data");
            if ((side + i) % 2 == 0) {
                viaHandler = runProcess(handler, work);
            } else {
                alone = runProcess(direct, work);
            }
        }
        if (viaHandler.exitCode != 0 || alone.exitCode != 0) {
            fprintf(stderr, "deployment failed:\n%s\n%s\n", viaHandler.output.c_str(),
                    alone.output.c_str());
            exit(1);
        }
        printf("deployment run %d: handler %.2f s, 7za alone %.2f s\n", i + 1, viaHandler.seconds,
               alone.seconds);
        handlerRuns.push_back(viaHandler.seconds);
        directRuns.push_back(alone.seconds);
    }
    handlerSeconds = median(handlerRuns);
    directSeconds = median(directRuns);
    removeTree(agent);
    removeTree(work);
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc > 2 && std::string(argv[1]) == "memory") return memoryMode(atoi(argv[2]));

    fprintf(stderr, "| Measure | Runner | Reference | Ratio | Target |\n");
    fprintf(stderr, "|---|---|---|---|---|\n");
    const bool captures = !(argc > 1 && std::string(argv[1]) == "deployment");
    double perMiB16 = 0, perMiB256 = 0;
    for (int size : {16, 64, 256}) {
        if (!captures) break;
        std::vector<double> runner, bare;
        for (int i = 0; i < kRuns; ++i) {
            runner.push_back(timeCapture(size, readOutput));
            bare.push_back(timeCapture(size, discardOutput));
        }
        const double runnerRate = size / median(runner);
        const double bareRate = size / median(bare);
        if (size == 16) perMiB16 = median(runner) / size;
        if (size == 256) perMiB256 = median(runner) / size;
        fprintf(stderr, "| capture %d MiB (MiB/s) | %.1f | %.1f (bare reader) | %.2f | >= 0.90 |\n",
                size, runnerRate, bareRate, runnerRate / bareRate);
    }
    if (captures) fprintf(stderr, "| growth: ms per MiB at 256 MiB / at 16 MiB | %.3f / %.3f | | %.2f | <= 1.20 |\n",
            perMiB256 * 1000, perMiB16 * 1000, perMiB256 / perMiB16);
    for (int size : {64, 256}) {
        if (!captures) break;
        std::vector<double> peaks;
        double text = 0;
        for (int i = 0; i < kRuns; ++i) {
            double peak = 0;
            measureMemory(size, peak, text);
            peaks.push_back(peak);
        }
        const double peak = median(peaks);
        fprintf(stderr, "| peak working set at %d MiB (MiB) | %.0f | %.0f (text) | %.2f | <= 2.2 x text + 64 MiB = %.0f |\n",
                size, peak, text, peak / text, 2.2 * text + 64);
    }
    double handlerSeconds = 0, directSeconds = 0, archiveMiB = 0;
    measureDeployment(handlerSeconds, directSeconds, archiveMiB);
    fprintf(stderr, "| deployment of 2,000 files, %.0f MiB archive (s) | %.2f | %.2f (7za alone) | %.3f | <= 1.03 |\n",
            archiveMiB, handlerSeconds, directSeconds, handlerSeconds / directSeconds);
    return 0;
}
