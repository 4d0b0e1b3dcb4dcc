#include "bench_util.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "formats/jpeg/jpeg_codec.h"
#include "platform/file_io.h"

namespace lumra::bench {

bool WritePhotoJpeg(const std::string& path, int width, int height, uint32_t seed) {
    std::vector<uint8_t> jpeg;
    DecoderContext ctx;
    return EncodeJpegToMemory(MakePhotoLike(width, height, seed), JpegEncodeOptions{}, jpeg, ctx) &&
           WriteWholeFile(path, jpeg.data(), jpeg.size());
}

TempFolder::TempFolder(const char* prefix) {
    std::string pattern = std::string("/tmp/") + prefix + "XXXXXX";
    if (const char* made = ::mkdtemp(pattern.data())) path_ = made;
}

TempFolder::~TempFolder() {
    if (path_.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

ImageBuffer MakePhotoLike(int width, int height, uint32_t seed) {
    ImageBuffer img;
    if (!img.Allocate(width, height, 24)) return img;
    uint32_t state = seed * 2654435761u + 1;
    auto noise = [&state]() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<int>(state % 17) - 8;
    };
    const double cx = width * 0.6, cy = height * 0.4, r = std::min(width, height) * 0.3;
    for (int y = 0; y < height; ++y) {
        uint8_t* row = img.topRow(y);
        for (int x = 0; x < width; ++x) {
            const double d = std::hypot(x - cx, y - cy) / r;
            const double glow = d < 1.0 ? (1.0 - d) * 90.0 : 0.0;
            int b = 60 + 140 * y / height + noise();
            int g = 40 + 120 * x / width + static_cast<int>(glow) + noise();
            int rr = 90 + static_cast<int>(80.0 * std::sin(x * 0.002 + y * 0.001)) +
                     static_cast<int>(glow) + noise();
            row[3 * x] = static_cast<uint8_t>(std::clamp(b, 0, 255));
            row[3 * x + 1] = static_cast<uint8_t>(std::clamp(g, 0, 255));
            row[3 * x + 2] = static_cast<uint8_t>(std::clamp(rr, 0, 255));
        }
    }
    return img;
}

namespace {

// Prints, after the usual table, engine time / reference time (wall clock, then CPU time, which
// is steadier on a shared machine) for every benchmark pair named "<case>/lumra" and
// "<case>/reference", and the "ratio" counter of every benchmark named "<case>/paired", which
// times the two alternately itself.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            // With repetitions the median stands for the case.
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type == Run::RT_Iteration && run.counters.count("ratio") && run.run_name.str().find("/paired") != std::string::npos) {
                paired_[run.run_name.str()] = run.counters.at("ratio");
            }
            if (!median && (run.run_type != Run::RT_Iteration || run.iterations == 0)) continue;
            if (!median && medians_.count(run.run_name.str())) continue;
            if (median) medians_.insert(run.run_name.str());
            times_[run.run_name.str()] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const std::string tag = "/lumra";
        for (const auto& [name, t] : times_) {
            const size_t at = name.find(tag);
            if (at == std::string::npos) continue;
            std::string ref = name;
            ref.replace(at, tag.size(), "/reference");
            const auto it = times_.find(ref);
            if (it == times_.end() || it->second.first <= 0 || it->second.second <= 0) continue;
            std::printf("ratio %-48s lumra/reference = %.3f (cpu %.3f)\n", name.substr(0, at).c_str(),
                        t.first / it->second.first, t.second / it->second.second);
        }
        for (const auto& [name, ratio] : paired_) {
            std::printf("ratio %-48s lumra/reference = %.3f (median of alternating pairs)\n",
                        name.substr(0, name.find("/paired")).c_str(), ratio);
        }
    }

private:
    std::map<std::string, std::pair<double, double>> times_;  // real, CPU
    std::map<std::string, double> paired_;                    // "<case>/paired": median ratio
    std::set<std::string> medians_;
};

}  // namespace
}  // namespace lumra::bench

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    lumra::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
