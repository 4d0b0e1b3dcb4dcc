// BMP reading and writing of a 24-megapixel picture, beside stb_image on the same bytes.
#include <benchmark/benchmark.h>
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <cstdlib>
#include <vector>

#include "bench_util.h"
#include "formats/bmp/bmp_codec.h"

namespace lumra {
namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

const ImageBuffer& Photo() {
    static const ImageBuffer img = bench::MakePhotoLike(kWidth, kHeight);
    return img;
}

const std::vector<uint8_t>& PhotoBmp() {
    static const std::vector<uint8_t> file = [] {
        std::vector<uint8_t> out;
        DecoderContext ctx;
        EncodeBmp(Photo(), 24, false, 0, out, ctx);
        return out;
    }();
    return file;
}

void DecodeLumra(benchmark::State& state) {
    const auto& file = PhotoBmp();
    for (auto _ : state) {
        DecoderContext ctx;
        if (!DecodeBmp(file.data(), file.size(), ctx)) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(ctx.image.bits());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * file.size());
}
BENCHMARK(DecodeLumra)->Name("DecodeBmp24/lumra")->Unit(benchmark::kMillisecond);

void DecodeReference(benchmark::State& state) {
    const auto& file = PhotoBmp();
    for (auto _ : state) {
        int w = 0, h = 0, n = 0;
        unsigned char* p = stbi_load_from_memory(file.data(), static_cast<int>(file.size()), &w,
                                                 &h, &n, 3);
        if (!p) state.SkipWithError("stb failed");
        benchmark::DoNotOptimize(p);
        stbi_image_free(p);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * file.size());
}
BENCHMARK(DecodeReference)->Name("DecodeBmp24/reference")->Unit(benchmark::kMillisecond);

void EncodeLumra(benchmark::State& state) {
    const ImageBuffer& img = Photo();
    for (auto _ : state) {
        std::vector<uint8_t> out;
        DecoderContext ctx;
        if (!EncodeBmp(img, 24, false, 0, out, ctx)) state.SkipWithError("encode failed");
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(EncodeLumra)->Name("EncodeBmp24/lumra")->Unit(benchmark::kMillisecond);

void EncodeReference(benchmark::State& state) {
    // stb wants top-down R,G,B rows.
    static const std::vector<uint8_t> rgb = [] {
        const ImageBuffer& img = Photo();
        std::vector<uint8_t> v(static_cast<size_t>(kWidth) * kHeight * 3);
        for (int y = 0; y < kHeight; ++y) {
            const uint8_t* s = img.topRow(y);
            uint8_t* d = v.data() + static_cast<size_t>(y) * kWidth * 3;
            for (int x = 0; x < kWidth; ++x) {
                d[3 * x] = s[3 * x + 2];
                d[3 * x + 1] = s[3 * x + 1];
                d[3 * x + 2] = s[3 * x];
            }
        }
        return v;
    }();
    for (auto _ : state) {
        std::vector<uint8_t> out;
        out.reserve(rgb.size() + 1024);
        auto sink = [](void* ctx, void* data, int size) {
            auto* o = static_cast<std::vector<uint8_t>*>(ctx);
            const auto* b = static_cast<const uint8_t*>(data);
            o->insert(o->end(), b, b + size);
        };
        stbi_write_bmp_to_func(sink, &out, kWidth, kHeight, 3, rgb.data());
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(EncodeReference)->Name("EncodeBmp24/reference")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lumra
