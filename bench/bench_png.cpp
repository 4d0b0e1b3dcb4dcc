// PNG reading and writing of a 24-megapixel RGB picture, beside libpng on the same zlib and
// the same bytes. Both produce and consume bottom-up B,G,R rows.
#include <benchmark/benchmark.h>
#include <png.h>

#include <csetjmp>
#include <cstring>
#include <vector>

#include "bench_util.h"
#include "formats/png/png_decoder.h"
#include "formats/png/png_encoder.h"

namespace lumra {
namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

const ImageBuffer& Photo() {
    static const ImageBuffer img = bench::MakePhotoLike(kWidth, kHeight);
    return img;
}

std::vector<png_bytep> RowPointers(const ImageBuffer& img) {
    std::vector<png_bytep> rows(static_cast<size_t>(img.height()));
    for (int y = 0; y < img.height(); ++y) rows[static_cast<size_t>(y)] = const_cast<png_bytep>(img.topRow(y));
    return rows;
}

// libpng's writer at its usual settings (adaptive filters, Z_FILTERED), memory level 9 as ours.
bool LibpngEncode(const ImageBuffer& img, int level, std::vector<uint8_t>& out) {
    out.clear();
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows = RowPointers(img);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t n) {
            auto* o = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
            o->insert(o->end(), data, data + n);
        },
        nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(img.width()), static_cast<png_uint_32>(img.height()), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, level);
    png_set_compression_mem_level(png, 9);
    png_write_info(png, info);
    png_set_bgr(png);
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

// The decode input: the photograph as libpng writes it by default.
const std::vector<uint8_t>& PhotoPng() {
    static const std::vector<uint8_t> file = [] {
        std::vector<uint8_t> out;
        LibpngEncode(Photo(), 6, out);
        return out;
    }();
    return file;
}

bool LibpngDecode(const std::vector<uint8_t>& file, ImageBuffer& img) {
    struct Cursor {
        const std::vector<uint8_t>* data;
        size_t at;
    } cursor{&file, 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &cursor, [](png_structp p, png_bytep dst, png_size_t n) {
        auto* c = static_cast<Cursor*>(png_get_io_ptr(p));
        if (c->at + n > c->data->size()) png_error(p, "short");
        std::memcpy(dst, c->data->data() + c->at, n);
        c->at += n;
    });
    png_read_info(png, info);
    const int w = static_cast<int>(png_get_image_width(png, info));
    const int h = static_cast<int>(png_get_image_height(png, info));
    png_set_bgr(png);
    png_read_update_info(png, info);
    if (!img.Allocate(w, h, 24)) png_error(png, "memory");
    rows = RowPointers(img);
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

void DecodeLumra(benchmark::State& state) {
    const auto& file = PhotoPng();
    for (auto _ : state) {
        DecoderContext ctx;
        if (!DecodePng(file.data(), file.size(), ctx)) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(ctx.image.bits());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kWidth * kHeight * 3);
}
BENCHMARK(DecodeLumra)->Name("DecodePng24/lumra")->Unit(benchmark::kMillisecond);

void DecodeReference(benchmark::State& state) {
    const auto& file = PhotoPng();
    for (auto _ : state) {
        ImageBuffer img;
        if (!LibpngDecode(file, img)) state.SkipWithError("libpng failed");
        benchmark::DoNotOptimize(img.bits());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kWidth * kHeight * 3);
}
BENCHMARK(DecodeReference)->Name("DecodePng24/reference")->Unit(benchmark::kMillisecond);

template <int Level>
void EncodeLumra(benchmark::State& state) {
    PngEncodeOptions o;
    o.level = Level;
    for (auto _ : state) {
        std::vector<uint8_t> out;
        DecoderContext ctx;
        if (!EncodePngToMemory(Photo(), o, out, ctx)) state.SkipWithError("encode failed");
        state.counters["bytes"] = static_cast<double>(out.size());
        benchmark::DoNotOptimize(out.data());
    }
}

template <int Level>
void EncodeReference(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<uint8_t> out;
        out.reserve(static_cast<size_t>(kWidth) * kHeight * 3);
        if (!LibpngEncode(Photo(), Level, out)) state.SkipWithError("libpng failed");
        state.counters["bytes"] = static_cast<double>(out.size());
        benchmark::DoNotOptimize(out.data());
    }
}

BENCHMARK(EncodeLumra<6>)->Name("EncodePng24Level6/lumra")->Unit(benchmark::kMillisecond);
BENCHMARK(EncodeReference<6>)->Name("EncodePng24Level6/reference")->Unit(benchmark::kMillisecond);
BENCHMARK(EncodeLumra<9>)->Name("EncodePng24Level9/lumra")->Unit(benchmark::kMillisecond);
BENCHMARK(EncodeReference<9>)->Name("EncodePng24Level9/reference")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lumra
