// The filters on a 24-megapixel photograph-like picture; the Gaussian of radius 20 (sigma 10,
// 41 taps) beside libvips' gaussblur with one thread on the same pixels. ImageMagick has no
// development package here: scripts/bench.sh times its convert -blur on the same size.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench_util.h"
#include "edit/filter/filter_kernels.h"
#include "edit/select/selection_tool.h"

#ifdef LUMRA_BENCH_VIPS
#include <vips/vips.h>
#endif

namespace lumra {
namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

const ImageBuffer& Photo() {
    static const ImageBuffer img = bench::MakePhotoLike(kWidth, kHeight);
    return img;
}

struct Buffers {
    ImageBuffer dst = Photo().Clone();
    std::vector<uint8_t> aux = std::vector<uint8_t>(Photo().imageBytes());
    FilterJob job = MakeFilterJob(kWidth, kHeight, Photo().bits(), dst.bits(), nullptr);
    Buffers() { job.auxiliary = aux.data(); }
};

void Count(benchmark::State& state) {
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kWidth * kHeight);
}

void Gaussian20(benchmark::State& state) {
    Buffers b;
    b.job.threads = static_cast<int32_t>(state.range(0));
    for (auto _ : state) {
        GaussianBlur(b.job, b.aux.data(), 20);
        benchmark::DoNotOptimize(b.dst.bits());
    }
    Count(state);
}
// One band of rows (as libvips below), then one per processor.
BENCHMARK(Gaussian20)
    ->Name("Gaussian20/lumra")
    ->Arg(1)
    ->Arg(0)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

#ifdef LUMRA_BENCH_VIPS
void Gaussian20Vips(benchmark::State& state) {
    static const bool started = VIPS_INIT("bench_filter") == 0;
    if (!started) {
        state.SkipWithError("libvips did not start");
        return;
    }
    vips_concurrency_set(1);
    vips_cache_set_max(0);
    const ImageBuffer& img = Photo();
    // Rows of the picture without padding (6000 x 3 is a multiple of 4).
    VipsImage* in = vips_image_new_from_memory(img.bits(), img.imageBytes(), kWidth, kHeight, 3,
                                               VIPS_FORMAT_UCHAR);
    for (auto _ : state) {
        VipsImage* blurred = nullptr;
        void* pixels = nullptr;
        size_t size = 0;
        // sigma 10 with the mask cut where the weight falls below exp(-2): 41 taps.
        if (vips_gaussblur(in, &blurred, 10.0, "min_ampl", 0.135, nullptr) != 0 ||
            (pixels = vips_image_write_to_memory(blurred, &size)) == nullptr) {
            state.SkipWithError("gaussblur failed");
        }
        g_free(pixels);
        if (blurred) g_object_unref(blurred);
    }
    g_object_unref(in);
    Count(state);
}
BENCHMARK(Gaussian20Vips)->Name("Gaussian20/libvips")->UseRealTime()->Unit(benchmark::kMillisecond);
#endif

// Without a reference: the other kernels.
void Box5(benchmark::State& state) {
    Buffers b;
    for (auto _ : state) BoxBlur5(b.job, 250);
    Count(state);
}
BENCHMARK(Box5)->Name("BoxBlur5x5")->Unit(benchmark::kMillisecond);

void Unsharp(benchmark::State& state) {
    Buffers b;
    BoxBlur5(b.job, 255);
    UnsharpDifference(b.job);
    for (auto _ : state) UnsharpApply(b.job, 30, 10);
    Count(state);
}
BENCHMARK(Unsharp)->Name("UnsharpApply")->Unit(benchmark::kMillisecond);

void Noise(benchmark::State& state) {
    Buffers b;
    for (auto _ : state) NoiseRemoval(b.job, 200);
    Count(state);
}
BENCHMARK(Noise)->Name("NoiseRemoval")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lumra

namespace lumra {
namespace {

// Feathering a selection of the same size with the largest radius.
void Feather(benchmark::State& state) {
    std::vector<uint8_t> mask(static_cast<size_t>(kWidth) * kHeight);
    for (size_t i = 0; i < mask.size(); ++i) mask[i] = (i / 1000 + i / kWidth / 700) % 2 ? 255 : 0;
    for (auto _ : state) {
        std::vector<uint8_t> m = mask;
        FeatherMask(m, kWidth, kHeight, static_cast<int>(state.range(0)));
        benchmark::DoNotOptimize(m.data());
    }
    Count(state);
}
BENCHMARK(Feather)
    ->Name("FeatherSelection")
    ->Arg(10)
    ->Arg(100)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lumra
