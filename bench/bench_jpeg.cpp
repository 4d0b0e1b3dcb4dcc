// JPEG decoding and encoding of a 24-megapixel photograph-like picture, beside libjpeg-turbo's
// TurboJPEG interface (its fastest path) on the same file with the same settings.
#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench_util.h"
#include "formats/jpeg/jpeg_codec.h"

namespace lumra {
namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

const ImageBuffer& Photo() {
    static const ImageBuffer img = bench::MakePhotoLike(kWidth, kHeight);
    return img;
}

// Quality 75, 4:2:0, optimised Huffman tables: the program's defaults.
JpegEncodeOptions Options() { return JpegEncodeOptions{}; }

const std::vector<uint8_t>& PhotoJpeg() {
    static const std::vector<uint8_t> file = [] {
        std::vector<uint8_t> out;
        DecoderContext ctx;
        EncodeJpegToMemory(Photo(), Options(), out, ctx);
        return out;
    }();
    return file;
}

constexpr int kPitch = (kWidth * 3 + 3) & ~3;

// TurboJPEG with the program's defaults: optimised Huffman tables and the accurate DCT (it
// takes the fast DCT below quality 96 unless told, and reads the optimising switch from the
// environment). The size written, 0 on failure.
unsigned long TurboEncode(tjhandle tj, const ImageBuffer& img) {
    setenv("TJ_OPTIMIZE", "1", 1);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const int rc =
        tjCompress2(tj, img.bits(), kWidth, static_cast<int>(img.stride()), kHeight, TJPF_BGR, &out,
                    &size, TJSAMP_420, 75, TJFLAG_BOTTOMUP | TJFLAG_ACCURATEDCT);
    tjFree(out);
    unsetenv("TJ_OPTIMIZE");
    return rc == 0 ? size : 0;
}

// The same bottom-up B,G,R rows with 4-byte padding as the program's pictures.
bool TurboDecode(tjhandle tj, const std::vector<uint8_t>& file, unsigned char* rows) {
    return tjDecompress2(tj, file.data(), file.size(), rows, kWidth, kPitch, kHeight, TJPF_BGR,
                         TJFLAG_BOTTOMUP) == 0;
}

bool g_samePixels = true;

// Every case once before anything is timed: glibc raises its mmap threshold after the first
// large block is freed, so whichever case ran first would otherwise pay fresh page faults
// on every iteration and the order of the cases would decide the ratio.
void WarmUp() {
    static const bool done = [] {
        std::vector<uint8_t> out;
        DecoderContext ctx;
        EncodeJpegToMemory(Photo(), Options(), out, ctx);
        tjhandle encoder = tjInitCompress();
        TurboEncode(encoder, Photo());
        tjDestroy(encoder);
        DecoderContext dctx;
        DecodeJpeg(PhotoJpeg().data(), PhotoJpeg().size(), dctx);
        std::vector<uint8_t> reference(static_cast<size_t>(kPitch) * kHeight);
        tjhandle decoder = tjInitDecompress();
        if (!TurboDecode(decoder, PhotoJpeg(), reference.data())) reference.clear();
        tjDestroy(decoder);
        // A ratio means nothing unless both give the same picture.
        g_samePixels = dctx.image.bits() && reference.size() == dctx.image.imageBytes() &&
                       std::memcmp(reference.data(), dctx.image.bits(), reference.size()) == 0;
        return true;
    }();
    (void)done;
}

void DecodeLumra(benchmark::State& state) {
    WarmUp();
    if (!g_samePixels) state.SkipWithError("the two decoders disagree");
    const auto& file = PhotoJpeg();
    for (auto _ : state) {
        DecoderContext ctx;
        if (!DecodeJpeg(file.data(), file.size(), ctx)) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(ctx.image.bits());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * file.size());
}
BENCHMARK(DecodeLumra)->Name("DecodeJpeg24MP/lumra")->Unit(benchmark::kMillisecond)->UseRealTime();

// Into a picture allocated per decode, as ours.
void DecodeReference(benchmark::State& state) {
    WarmUp();
    const auto& file = PhotoJpeg();
    tjhandle tj = tjInitDecompress();
    for (auto _ : state) {
        auto* rows =
            static_cast<unsigned char*>(std::calloc(static_cast<size_t>(kPitch) * kHeight, 1));
        if (!TurboDecode(tj, file, rows)) state.SkipWithError(tjGetErrorStr2(tj));
        benchmark::DoNotOptimize(rows);
        std::free(rows);
    }
    tjDestroy(tj);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * file.size());
}
BENCHMARK(DecodeReference)->Name("DecodeJpeg24MP/reference")->Unit(benchmark::kMillisecond)->UseRealTime();

void EncodeLumra(benchmark::State& state) {
    WarmUp();
    const ImageBuffer& img = Photo();
    size_t size = 0;
    for (auto _ : state) {
        std::vector<uint8_t> out;
        DecoderContext ctx;
        if (!EncodeJpegToMemory(img, Options(), out, ctx)) state.SkipWithError("encode failed");
        size = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["bytes"] = static_cast<double>(size);
}
BENCHMARK(EncodeLumra)->Name("EncodeJpeg24MP/lumra")->Unit(benchmark::kMillisecond)->UseRealTime();

void EncodeReference(benchmark::State& state) {
    WarmUp();
    const ImageBuffer& img = Photo();
    tjhandle tj = tjInitCompress();
    unsigned long size = 0;
    for (auto _ : state) {
        size = TurboEncode(tj, img);
        if (size == 0) state.SkipWithError(tjGetErrorStr2(tj));
    }
    tjDestroy(tj);
    state.counters["bytes"] = static_cast<double>(size);
}
BENCHMARK(EncodeReference)->Name("EncodeJpeg24MP/reference")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace lumra
