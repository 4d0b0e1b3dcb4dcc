// PNG reading and writing of a 24-megapixel RGB picture, beside libpng on the same zlib and
// the same bytes. Both produce and consume bottom-up B,G,R rows.
#include <benchmark/benchmark.h>
#include <png.h>

#include <algorithm>
#include <chrono>
#include <utility>
#include <csetjmp>
#include <cstring>
#include <iterator>
#include <string>
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

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// Times ours and theirs one after the other, ours first on even turns, so that over the
// iterations both see the same machine; their times in seconds.
template <class Ours, class Theirs>
std::pair<double, double> TimePair(size_t turn, Ours& ours, Theirs& theirs) {
    auto timed = [](auto& run) {
        const auto t0 = std::chrono::steady_clock::now();
        run();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    };
    double a = 0, b = 0;
    if (turn % 2 == 0) a = timed(ours);
    b = timed(theirs);
    if (turn % 2 != 0) a = timed(ours);
    return {a, b};
}

// Decoding, ours and libpng's timed alternately in every iteration: on a shared virtual
// machine the cost of touching memory swings by a third from one second to the next. The time
// reported is ours; "ratio" is the median over the iterations of ours / libpng's, "libpng_ms"
// libpng's median time.
template <class Ours, class Theirs>
void DecodePaired(benchmark::State& state, Ours ours, Theirs theirs) {
    std::vector<double> ratios, theirTimes;
    auto oursChecked = [&] {
        if (!ours()) state.SkipWithError("decode failed");
    };
    auto theirsChecked = [&] {
        if (!theirs()) state.SkipWithError("libpng failed");
    };
    for (auto _ : state) {
        const auto [a, b] = TimePair(ratios.size(), oursChecked, theirsChecked);
        state.SetIterationTime(a);
        ratios.push_back(a / b);
        theirTimes.push_back(b);
    }
    state.counters["ratio"] = Median(ratios);
    state.counters["libpng_ms"] = Median(theirTimes) * 1000;
}

bool OursDecode(const std::vector<uint8_t>& file) {
    DecoderContext ctx;
    const bool ok = DecodePng(file.data(), file.size(), ctx);
    benchmark::DoNotOptimize(ctx.image.bits());
    return ok;
}

void DecodePng24(benchmark::State& state) {
    const auto& file = PhotoPng();
    DecodePaired(
        state,
        [&] { return OursDecode(file); },
        [&] {
            ImageBuffer img;
            const bool ok = LibpngDecode(file, img);
            benchmark::DoNotOptimize(img.bits());
            return ok;
        });
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kWidth * kHeight * 3);
}
BENCHMARK(DecodePng24)->Name("DecodePng24/paired")->UseManualTime()->Iterations(9)->Unit(benchmark::kMillisecond);

// ---- the other colour types ----

// The photograph as rows of another PNG colour type, written by libpng at its defaults.
struct TypeCase {
    const char* name;
    int colourType;
    int bitDepth;
};
constexpr TypeCase kTypeCases[] = {
    {"Grey8", PNG_COLOR_TYPE_GRAY, 8},   {"Palette8", PNG_COLOR_TYPE_PALETTE, 8},
    {"Rgba8", PNG_COLOR_TYPE_RGBA, 8},   {"GreyAlpha8", PNG_COLOR_TYPE_GRAY_ALPHA, 8},
    {"Rgb16", PNG_COLOR_TYPE_RGB, 16},   {"Palette4", PNG_COLOR_TYPE_PALETTE, 4},
};

std::vector<uint8_t> EncodeTypeCase(const TypeCase& c) {
    const ImageBuffer& img = Photo();
    const int channels = c.colourType == PNG_COLOR_TYPE_RGB ? 3 : c.colourType == PNG_COLOR_TYPE_RGBA ? 4
                       : c.colourType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2 : 1;
    const size_t rowBytes = (static_cast<size_t>(kWidth) * channels * c.bitDepth + 7) / 8;
    std::vector<uint8_t> raw(rowBytes * kHeight);
    for (int y = 0; y < kHeight; ++y) {
        const uint8_t* s = img.topRow(y);
        uint8_t* d = raw.data() + rowBytes * static_cast<size_t>(y);
        for (int x = 0; x < kWidth; ++x, s += 3) {
            const int b = s[0], g = s[1], r = s[2];
            const auto grey = static_cast<uint8_t>((299 * r + 587 * g + 114 * b) / 1000);
            const auto alpha = static_cast<uint8_t>((x + y) & 255);
            switch (c.colourType) {
                case PNG_COLOR_TYPE_GRAY: d[x] = grey; break;
                case PNG_COLOR_TYPE_PALETTE:
                    if (c.bitDepth == 8) d[x] = static_cast<uint8_t>((r >> 5) << 5 | (g >> 5) << 2 | b >> 6);
                    else d[x / 2] = static_cast<uint8_t>(d[x / 2] | ((grey >> 4) << (x % 2 ? 0 : 4)));
                    break;
                case PNG_COLOR_TYPE_GRAY_ALPHA: d[2 * x] = grey; d[2 * x + 1] = alpha; break;
                case PNG_COLOR_TYPE_RGBA:
                    d[4 * x] = static_cast<uint8_t>(r); d[4 * x + 1] = static_cast<uint8_t>(g);
                    d[4 * x + 2] = static_cast<uint8_t>(b); d[4 * x + 3] = alpha;
                    break;
                default:  // 16-bit RGB: the sample in the high byte, noise below
                    for (int k = 0; k < 3; ++k) {
                        d[6 * x + 2 * k] = s[2 - k];
                        d[6 * x + 2 * k + 1] = static_cast<uint8_t>((x * 7 + y * 13 + k) & 255);
                    }
                    break;
            }
        }
    }
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t n) {
            auto* o = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
            o->insert(o->end(), data, data + n);
        },
        nullptr);
    png_set_IHDR(png, info, kWidth, kHeight, c.bitDepth, c.colourType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (c.colourType == PNG_COLOR_TYPE_PALETTE) {
        png_color pal[256];
        for (int i = 0; i < 256; ++i)
            pal[i] = c.bitDepth == 8 ? png_color{static_cast<png_byte>((i >> 5) * 36), static_cast<png_byte>(((i >> 2) & 7) * 36),
                                                 static_cast<png_byte>((i & 3) * 85)}
                                     : png_color{static_cast<png_byte>(i * 17), static_cast<png_byte>(i * 17), static_cast<png_byte>(i * 17)};
        png_set_PLTE(png, info, pal, 1 << c.bitDepth);
    }
    png_write_info(png, info);
    for (int y = 0; y < kHeight; ++y) png_write_row(png, raw.data() + rowBytes * static_cast<size_t>(y));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

const std::vector<uint8_t>& TypeCaseFile(size_t i) {
    static std::vector<uint8_t> files[std::size(kTypeCases)];
    if (files[i].empty()) files[i] = EncodeTypeCase(kTypeCases[i]);
    return files[i];
}

// libpng reading rows in its own layout, 16-bit samples cut to 8 and colours as B,G,R: the
// least it does for the same result.
bool LibpngDecodeRaw(const std::vector<uint8_t>& file, std::vector<uint8_t>& pixels) {
    struct Cursor {
        const std::vector<uint8_t>* data;
        size_t at;
    } cursor{&file, 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
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
    png_set_strip_16(png);
    png_set_packing(png);
    png_set_bgr(png);
    png_read_update_info(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    const size_t h = png_get_image_height(png, info);
    pixels.resize(rowBytes * h);
    for (size_t y = 0; y < h; ++y) png_read_row(png, pixels.data() + rowBytes * y, nullptr);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

const bool kTypeCasesRegistered = [] {
    for (size_t i = 0; i < std::size(kTypeCases); ++i) {
        const std::string name = std::string("DecodePng") + kTypeCases[i].name;
        benchmark::RegisterBenchmark((name + "/paired").c_str(), [i](benchmark::State& state) {
            const auto& file = TypeCaseFile(i);
            DecodePaired(
                state,
                [&] { return OursDecode(file); },
                [&] {
                    std::vector<uint8_t> pixels;
                    const bool ok = LibpngDecodeRaw(file, pixels);
                    benchmark::DoNotOptimize(pixels.data());
                    return ok;
                });
        })->UseManualTime()->Iterations(9)->Unit(benchmark::kMillisecond);
    }
    return true;
}();

// Writing at every level 0-9, ours and libpng's timed alternately in the same iteration (each
// going first in turn) so that both see the same machine: the time reported is ours; "speed" is
// the median of libpng's time over ours (above 1: faster), "libpng_ms" libpng's median and
// "size" our file over libpng's (1.01 = 1 % larger).
void EncodeLevel(benchmark::State& state) {
    const int level = static_cast<int>(state.range(0));
    PngEncodeOptions o;
    o.level = level;
    std::vector<double> speeds, theirTimes;
    size_t ourBytes = 0, theirBytes = 0;
    for (auto _ : state) {
        std::vector<uint8_t> mine, ref;
        ref.reserve(static_cast<size_t>(kWidth) * kHeight * 3);
        DecoderContext ctx;
        auto ours = [&] {
            if (!EncodePngToMemory(Photo(), o, mine, ctx)) state.SkipWithError("encode failed");
        };
        auto theirs = [&] {
            if (!LibpngEncode(Photo(), level, ref)) state.SkipWithError("libpng failed");
        };
        const auto [a, b] = TimePair(speeds.size(), ours, theirs);
        speeds.push_back(b / a);
        theirTimes.push_back(b);
        ourBytes = mine.size();
        theirBytes = ref.size();
        state.SetIterationTime(a);
        benchmark::DoNotOptimize(mine.data());
    }
    state.counters["libpng_ms"] = Median(theirTimes) * 1000;
    state.counters["speed"] = Median(speeds);
    state.counters["bytes"] = static_cast<double>(ourBytes);
    state.counters["size"] = theirBytes ? static_cast<double>(ourBytes) / static_cast<double>(theirBytes) : 0;
}
BENCHMARK(EncodeLevel)
    ->Name("EncodePng24/level")
    ->DenseRange(0, 9)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lumra
