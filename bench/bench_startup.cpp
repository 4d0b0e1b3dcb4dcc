// Start-up with a 24-megapixel JPEG on the command line: the time from starting LumraEx
// (offscreen) to its first painted picture, and the whole process until it has closed again,
// beside djpeg decoding the same file to /dev/null in its own process.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_util.h"
#include "formats/jpeg/jpeg_codec.h"
#include "platform/file_io.h"

extern char** environ;

namespace lumra {
namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;
constexpr const char* kIni = "[Awin]\nMouseInfo=0\n";

// A private home (settings, single-instance socket) and the picture; removed at exit.
class Setup {
public:
    Setup() {
        if (dir_.path().empty()) return;
        const std::string& dir = dir_.path();
        // Without the mouse-operations dialog of a first start.
        std::filesystem::create_directories(dir + "/home/.config/Lumra");
        WriteWholeFile(dir + "/home/.config/Lumra/LumraEx.ini",
                       reinterpret_cast<const uint8_t*>(kIni), std::strlen(kIni));
        std::filesystem::create_directories(dir + "/run");
        ::chmod((dir + "/run").c_str(), 0700);
        if (bench::WritePhotoJpeg(dir + "/photo.jpg", kWidth, kHeight, 7))
            picture_ = dir + "/photo.jpg";
    }
    const std::string& dir() const { return dir_.path(); }
    const std::string& picture() const { return picture_; }

private:
    bench::TempFolder dir_{"lumra_bench_startup_"};
    std::string picture_;
};

const Setup& TheSetup() {
    static const Setup setup;
    return setup;
}

struct RunResult {
    bool ok = false;
    double wallMs = 0;
    std::string err;  // what the process wrote to stderr
};

// Runs a program to its end, collecting its stderr.
RunResult Run(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv) {
    RunResult result;
    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e) envStrings.emplace_back(*e);
    for (const std::string& e : extraEnv) envStrings.push_back(e);
    std::vector<char*> env;
    for (std::string& e : envStrings) env.push_back(e.data());
    env.push_back(nullptr);
    std::vector<std::string> argStrings = args;
    std::vector<char*> argv;
    for (std::string& a : argStrings) argv.push_back(a.data());
    argv.push_back(nullptr);

    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", 0, 0);

    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (rc != 0) {
        ::close(pipeFds[0]);
        return result;
    }
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0) result.err.append(buffer, static_cast<size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return result;
}

#ifdef LUMRA_EXE_PATH
// firstView false: the whole picture is decoded before the first paint (LUMRA_FIRST_VIEW=0).
RunResult RunLumra(double& firstPaintMs, bool firstView = true) {
    const Setup& s = TheSetup();
    RunResult r = Run({LUMRA_EXE_PATH, s.picture()},
                      {"QT_QPA_PLATFORM=offscreen", "LUMRA_QUIT_AFTER_FIRST_PAINT=1", "HOME=" + s.dir() + "/home",
                       "XDG_CONFIG_HOME=" + s.dir() + "/home/.config", "XDG_RUNTIME_DIR=" + s.dir() + "/run",
                       std::string("LUMRA_FIRST_VIEW=") + (firstView ? "1" : "0")});
    const size_t at = r.err.find("first paint: ");
    if (at == std::string::npos) {
        r.ok = false;
        return r;
    }
    firstPaintMs = std::strtod(r.err.c_str() + at + 13, nullptr);
    return r;
}

void FirstPaint(benchmark::State& state) {
    if (TheSetup().picture().empty()) return state.SkipWithError("no picture");
    for (auto _ : state) {
        double ms = 0;
        const RunResult r = RunLumra(ms);
        if (!r.ok) return state.SkipWithError(("LumraEx failed: " + r.err).c_str());
        state.SetIterationTime(ms / 1000.0);
    }
}
BENCHMARK(FirstPaint)->Name("FirstPaint24MPJpeg/lumra")->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

// The same with the DCT-reduced first view turned off: the start-up before it existed.
void FirstPaintWhole(benchmark::State& state) {
    if (TheSetup().picture().empty()) return state.SkipWithError("no picture");
    for (auto _ : state) {
        double ms = 0;
        const RunResult r = RunLumra(ms, false);
        if (!r.ok) return state.SkipWithError(("LumraEx failed: " + r.err).c_str());
        state.SetIterationTime(ms / 1000.0);
    }
}
BENCHMARK(FirstPaintWhole)
    ->Name("FirstPaint24MPJpeg/lumra_whole_first")
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);

void WholeProcess(benchmark::State& state) {
    if (TheSetup().picture().empty()) return state.SkipWithError("no picture");
    for (auto _ : state) {
        double ms = 0;
        const RunResult r = RunLumra(ms);
        if (!r.ok) return state.SkipWithError(("LumraEx failed: " + r.err).c_str());
        state.SetIterationTime(r.wallMs / 1000.0);
    }
}
BENCHMARK(WholeProcess)->Name("Process24MPJpeg/lumra")->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
#endif

// djpeg from libjpeg-turbo, decoding the same file in a process of its own.
void Djpeg(benchmark::State& state) {
    if (TheSetup().picture().empty()) return state.SkipWithError("no picture");
    for (auto _ : state) {
        const RunResult r = Run({"/usr/bin/djpeg", "-outfile", "/dev/null", TheSetup().picture()}, {});
        if (!r.ok) return state.SkipWithError(("djpeg failed: " + r.err).c_str());
        state.SetIterationTime(r.wallMs / 1000.0);
    }
}
BENCHMARK(Djpeg)->Name("FirstPaint24MPJpeg/reference")->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(Djpeg)->Name("Process24MPJpeg/reference")->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

}  // namespace
}  // namespace lumra
