// Stepping to the next picture in a folder of 24-megapixel JPEGs: with the neighbour
// already decoded in the background (take it and make it the current picture), beside the
// plain load on the spot (read, decode, install) that the step costs without it.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_util.h"
#include "document/document.h"
#include "formats/jpeg/jpeg_codec.h"
#include "platform/file_io.h"
#include "shell/session.h"
#include "view/preload_cache.h"

namespace lumra {
namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;
constexpr int kFiles = 6;

// A folder of photograph-like JPEGs at the program's default settings; removed at exit.
class Folder {
public:
    Folder() {
        if (dir_.path().empty()) return;
        for (int i = 0; i < kFiles; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "/IMG_%04d.jpg", i);
            const std::string path = dir_.path() + name;
            if (bench::WritePhotoJpeg(path, kWidth, kHeight, static_cast<uint32_t>(i + 1)))
                paths_.push_back(path);
        }
    }
    const std::vector<std::string>& paths() const { return paths_; }

private:
    bench::TempFolder dir_{"lumra_bench_browse_"};
    std::vector<std::string> paths_;
};

const Folder& Pictures() {
    static const Folder folder;
    return folder;
}

double Seconds(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

// Next with the cache warm: the neighbour was decoded while the previous picture was shown.
void NextWarm(benchmark::State& state) {
    const auto& paths = Pictures().paths();
    if (paths.size() < 2) {
        state.SkipWithError("no pictures");
        return;
    }
    Session session;
    PreloadCache cache;
    PreloadKey key;
    key.limg = session.settings.limg;
    size_t at = 0;
    LoadPicture(session, paths[at]);
    for (auto _ : state) {
        const size_t next = (at + 1) % paths.size();
        cache.Request({paths[next], paths[(at + paths.size() - 1) % paths.size()]}, key);
        cache.WaitIdle();
        const auto start = std::chrono::steady_clock::now();
        bool taken = false;
        LoadPicture(session, paths[next], [&]() {
            std::optional<DecodedPicture> decoded = cache.Take(paths[next], key);
            taken = decoded.has_value();
            return decoded;
        });
        if (!taken) {
            state.SkipWithError("not preloaded");
            break;
        }
        state.SetIterationTime(Seconds(start));
        benchmark::DoNotOptimize(session.picture.image.bits());
        at = next;
    }
}
BENCHMARK(NextWarm)->Name("Next24MPJpeg/lumra")->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(12);

// Next without the cache: the picture is read and decoded when the key is pressed.
void NextCold(benchmark::State& state) {
    const auto& paths = Pictures().paths();
    if (paths.size() < 2) {
        state.SkipWithError("no pictures");
        return;
    }
    Session session;
    size_t at = 0;
    LoadPicture(session, paths[at]);
    for (auto _ : state) {
        const size_t next = (at + 1) % paths.size();
        const auto start = std::chrono::steady_clock::now();
        if (!LoadPicture(session, paths[next])) {
            state.SkipWithError("load failed");
            break;
        }
        state.SetIterationTime(Seconds(start));
        benchmark::DoNotOptimize(session.picture.image.bits());
        at = next;
    }
}
BENCHMARK(NextCold)->Name("Next24MPJpeg/reference")->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(12);

}  // namespace
}  // namespace lumra
