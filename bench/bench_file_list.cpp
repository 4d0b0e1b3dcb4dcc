// The list of a folder of 10,000 pictures, beside a plain std::filesystem listing sorted
// with std::sort.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_util.h"
#include "view/file_list.h"

namespace lumra {
namespace {

constexpr int kFiles = 10000;

// A folder of empty files with mixed-case picture names and some other files; removed
// at exit.
class Folder {
public:
    Folder() {
        if (dir_.path().empty()) return;
        const char* extensions[] = {".jpg", ".JPG", ".png", ".jpeg", ".gif", ".bmp", ".tif", ".txt", ".jpgx", ".xmp"};
        for (int i = 0; i < kFiles; ++i) {
            char name[64];
            std::snprintf(name, sizeof name, "%s_%05d%s", (i % 3 == 0) ? "IMG" : (i % 3 == 1 ? "img" : "Photo"),
                          (i * 7919) % 100000, extensions[i % 10]);
            std::ofstream(dir_.path() + "/" + name);
        }
    }
    const std::string& path() const { return dir_.path(); }

private:
    bench::TempFolder dir_{"lumra_bench_list_"};
};

const Folder& TheFolder() {
    static const Folder folder;
    return folder;
}

void ListLumra(benchmark::State& state) {
    const std::string& folder = TheFolder().path();
    const std::vector<std::string> patterns = ListPatterns("", {});
    size_t count = 0;
    for (auto _ : state) {
        const std::vector<std::string> names = ScanFolder(folder, patterns, DefaultNameCompare);
        count = names.size();
        benchmark::DoNotOptimize(names.data());
    }
    state.counters["names"] = static_cast<double>(count);
}
BENCHMARK(ListLumra)->Name("ListFolder10k/lumra")->Unit(benchmark::kMillisecond);

void ListReference(benchmark::State& state) {
    const std::string& folder = TheFolder().path();
    size_t count = 0;
    for (auto _ : state) {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        count = names.size();
        benchmark::DoNotOptimize(names.data());
    }
    state.counters["names"] = static_cast<double>(count);
}
BENCHMARK(ListReference)->Name("ListFolder10k/reference")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lumra
