// Colour reduction of a 24-megapixel photograph-like picture to 256 colours with full error
// diffusion, beside libimagequant (dithering level 1.0) on the same pixels.
#include <benchmark/benchmark.h>
#include <libimagequant.h>

#include <cstdlib>
#include <vector>

#include "bench_util.h"
#include "formats/reduce.h"

namespace lumra {
namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

const ImageBuffer& Photo() {
    static const ImageBuffer img = bench::MakePhotoLike(kWidth, kHeight);
    return img;
}

// The same picture as top-down R,G,B,A for the reference.
const std::vector<uint8_t>& PhotoRgba() {
    static const std::vector<uint8_t> rgba = [] {
        const ImageBuffer& img = Photo();
        std::vector<uint8_t> out(static_cast<size_t>(kWidth) * kHeight * 4);
        uint8_t* d = out.data();
        for (int y = 0; y < kHeight; ++y) {
            const uint8_t* s = img.topRow(y);
            for (int x = 0; x < kWidth; ++x, s += 3, d += 4) {
                d[0] = s[2];
                d[1] = s[1];
                d[2] = s[0];
                d[3] = 255;
            }
        }
        return out;
    }();
    return rgba;
}

void ReduceCase(benchmark::State& state, int depth, int dither) {
    const ImageBuffer& img = Photo();
    PixelConversion ctx;
    ctx.width = kWidth;
    ctx.height = kHeight;
    ctx.sourceDepth = 24;
    ctx.targetDepth = depth;
    ctx.dither = dither;
    const int pack = depth == 1 ? 1 : (depth <= 2 ? 2 : (depth <= 4 ? 4 : 8));
    std::vector<uint8_t> out(PaddedRowBytes(kWidth, pack) * kHeight);
    RgbQuad pal[256];
    for (auto _ : state) {
        if (!ReduceColours(ctx, pack, pal, out.data(), img.palette.data(), img.bits()))
            state.SkipWithError("reduction failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kWidth * kHeight);
}

void Reduce8Lumra(benchmark::State& state) { ReduceCase(state, 8, 0); }
BENCHMARK(Reduce8Lumra)->Name("Reduce8Dither/lumra")->Unit(benchmark::kMillisecond);

void Reduce8Reference(benchmark::State& state) {
    const auto& rgba = PhotoRgba();
    std::vector<uint8_t> out(static_cast<size_t>(kWidth) * kHeight);
    for (auto _ : state) {
        liq_attr* attr = liq_attr_create();
        liq_set_max_colors(attr, 256);
        liq_image* image = liq_image_create_rgba(attr, rgba.data(), kWidth, kHeight, 0);
        liq_result* result = nullptr;
        if (liq_image_quantize(image, attr, &result) != LIQ_OK) {
            state.SkipWithError("libimagequant failed");
        } else {
            liq_set_dithering_level(result, 1.0f);
            liq_write_remapped_image(result, image, out.data(), out.size());
            benchmark::DoNotOptimize(liq_get_palette(result));
            liq_result_destroy(result);
        }
        liq_image_destroy(image);
        liq_attr_destroy(attr);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kWidth * kHeight);
}
BENCHMARK(Reduce8Reference)->Name("Reduce8Dither/reference")->Unit(benchmark::kMillisecond);

// Without a reference: the other depths and strengths, and the colour count.
void Reduce8Plain(benchmark::State& state) { ReduceCase(state, 8, 3); }
BENCHMARK(Reduce8Plain)->Name("Reduce8NoDither")->Unit(benchmark::kMillisecond);
void Reduce4(benchmark::State& state) { ReduceCase(state, 4, 0); }
BENCHMARK(Reduce4)->Name("Reduce4Dither")->Unit(benchmark::kMillisecond);
void Reduce1(benchmark::State& state) { ReduceCase(state, 1, 0); }
BENCHMARK(Reduce1)->Name("Reduce1Dither")->Unit(benchmark::kMillisecond);

void Count(benchmark::State& state) {
    const ImageBuffer& img = Photo();
    for (auto _ : state) benchmark::DoNotOptimize(CountColours(img));
}
BENCHMARK(Count)->Name("CountColours24")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lumra
