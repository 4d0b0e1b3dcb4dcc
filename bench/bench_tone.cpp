// The tone and colour kernels on a 24-megapixel picture (one preview each), beside a memcpy
// of the picture and beside ImageMagick's `convert` with its nearest operator on the same raw
// pixels (a whole process: compare with ImageMagick/copy, which only reads and writes).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_util.h"
#include "edit/colour/colour_kernels.h"
#include "edit/tone/tone_kernels.h"
#include "edit/tone/tone_tables.h"
#include "platform/file_io.h"

namespace lumra {
namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

const ImageBuffer& Photo() {
    static const ImageBuffer img = bench::MakePhotoLike(kWidth, kHeight);
    return img;
}

struct Target {
    ImageBuffer out;
    PixelJob job;
    std::vector<uint8_t> mask;
    ContrastTable contrast;
    explicit Target(bool masked = false) {
        const ImageBuffer& src = Photo();
        out.Allocate(kWidth, kHeight, 24);
        job.width = kWidth;
        job.height = kHeight;
        job.bitCount = 24;
        job.stride = static_cast<int32_t>(src.stride());
        job.src = src.bits();
        job.dst = out.bits();
        job.blend = &GetBlendTable();
        job.gamma = GetGammaTable().Row(0);
        job.clamp = GetClampTable().Zero();
        BuildContrastTable(MeanLuminance(src), contrast);
        job.contrast = contrast.Row(0);
        if (masked) {
            mask.resize(static_cast<size_t>(kWidth) * kHeight);
            for (size_t i = 0; i < mask.size(); ++i) mask[i] = static_cast<uint8_t>(i * 7 / kWidth);
            job.mask = mask.data();
        }
    }
};

template <class F>
void Run(benchmark::State& state, F f) {
    for (auto _ : state) {
        f();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kWidth * kHeight);
}

void Memcpy(benchmark::State& state) {
    Target t;
    Run(state, [&] { std::memcpy(t.out.bits(), Photo().bits(), Photo().imageBytes()); });
}
BENCHMARK(Memcpy)->Name("Copy/memcpy")->Unit(benchmark::kMillisecond);

void Tone(benchmark::State& state, int mode, int v, bool masked) {
    Target t(masked);
    Run(state, [&] {
        ApplyChannelMaps(t.job, ToneMap(t.job, mode, v), ToneMap(t.job, mode, v),
                         ToneMap(t.job, mode, v));
    });
}
BENCHMARK_CAPTURE(Tone, gamma, kToneGamma, 40, false)
    ->Name("Gamma/lumra")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Tone, gamma_mask, kToneGamma, 40, true)
    ->Name("GammaMasked/lumra")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Tone, brightness, kToneBrightness, 40, false)
    ->Name("Brightness/lumra")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Tone, contrast, kToneContrast, 40, false)
    ->Name("Contrast/lumra")
    ->Unit(benchmark::kMillisecond);

void Levels(benchmark::State& state) {
    Target t;
    std::array<LevelsPair, 4> pairs{};
    pairs[3] = {25, 230};
    Run(state, [&] { ApplyLevels(t.job, pairs, 3); });
}
BENCHMARK(Levels)->Name("Levels/lumra")->Unit(benchmark::kMillisecond);

void Invert(benchmark::State& state) {
    Run(state, [&] { benchmark::DoNotOptimize(InvertPicture(Photo(), nullptr).bits()); });
}
BENCHMARK(Invert)->Name("Invert/lumra")->Unit(benchmark::kMillisecond);

void Equalize(benchmark::State& state) {
    bool unchanged = false;
    Run(state,
        [&] { benchmark::DoNotOptimize(EqualizePicture(Photo(), nullptr, unchanged).bits()); });
}
BENCHMARK(Equalize)->Name("Equalize/lumra")->Unit(benchmark::kMillisecond);

void Hls(benchmark::State& state) {
    Target t;
    Run(state, [&] { HueSaturation(t.job, 30, 10, 40); });
}
BENCHMARK(Hls)->Name("HueSaturation/lumra")->Unit(benchmark::kMillisecond);

void HlsRange(benchmark::State& state) {
    Target t;
    const ColourRange range(75);
    Run(state, [&] { HueSaturationInRange(t.job, 30, 10, 40, Rgb{200, 120, 80}, range); });
}
BENCHMARK(HlsRange)->Name("HueSaturationInRange/lumra")->Unit(benchmark::kMillisecond);

void Replace(benchmark::State& state) {
    Target t;
    const ColourRange range(75);
    Run(state, [&] { ReplaceColour(t.job, 100, Rgb{96, 160, 255}, Rgb{255, 0, 128}, range); });
}
BENCHMARK(Replace)->Name("ReplaceColour/lumra")->Unit(benchmark::kMillisecond);

// ImageMagick reads and writes the raw B,G,R rows itself.
class RawFile {
public:
    RawFile() {
        if (dir_.path().empty() || std::system("command -v convert >/dev/null 2>&1") != 0) return;
        const ImageBuffer& img = Photo();
        std::vector<uint8_t> raw(static_cast<size_t>(kWidth) * kHeight * 3);
        for (int y = 0; y < kHeight; ++y)
            std::memcpy(raw.data() + static_cast<size_t>(y) * kWidth * 3, img.topRow(y),
                        static_cast<size_t>(kWidth) * 3);
        if (WriteWholeFile(dir_.path() + "/in.bgr", raw.data(), raw.size())) path_ = dir_.path();
    }
    const std::string& path() const { return path_; }

private:
    bench::TempFolder dir_{"lumra_bench_tone_"};
    std::string path_;
};

void Magick(benchmark::State& state, const char* op) {
    static const RawFile file;
    if (file.path().empty()) {
        state.SkipWithError("convert not found");
        return;
    }
    const std::string size = std::to_string(kWidth) + "x" + std::to_string(kHeight);
    const std::string cmd = "convert -size " + size + " -depth 8 bgr:" + file.path() + "/in.bgr " +
                            op + " bgr:" + file.path() + "/out.bgr";
    for (auto _ : state)
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("convert failed");
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kWidth * kHeight);
}
BENCHMARK_CAPTURE(Magick, copy, "")
    ->Name("Copy/ImageMagick")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK_CAPTURE(Magick, gamma, "-gamma 1.5")
    ->Name("Gamma/ImageMagick")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK_CAPTURE(Magick, brightness, "-brightness-contrast 15x0")
    ->Name("Brightness/ImageMagick")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK_CAPTURE(Magick, contrast, "-brightness-contrast 0x30")
    ->Name("Contrast/ImageMagick")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK_CAPTURE(Magick, levels, "-level 10%,90%")
    ->Name("Levels/ImageMagick")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK_CAPTURE(Magick, invert, "-negate")
    ->Name("Invert/ImageMagick")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK_CAPTURE(Magick, equalize, "-equalize")
    ->Name("Equalize/ImageMagick")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK_CAPTURE(Magick, hls, "-modulate 110,140,130")
    ->Name("HueSaturation/ImageMagick")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK_CAPTURE(Magick, replace, "-fuzz 20% -fill 'rgb(255,0,128)' -opaque 'rgb(96,160,255)'")
    ->Name("ReplaceColour/ImageMagick")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

}  // namespace
}  // namespace lumra
