// GIF decoding/encoding of a 12-megapixel 8-bit picture beside giflib, and uncompressed TIFF
// reading/writing of a 24-megapixel 24-bit picture beside libtiff, on the same pictures.
#include <benchmark/benchmark.h>
#include <gif_lib.h>
#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "bench_util.h"
#include "formats/gif/gif_codec.h"
#include "formats/tiff/tiff_codec.h"

namespace lumra {
namespace {

constexpr int kGifWidth = 4000;
constexpr int kGifHeight = 3000;
constexpr int kTiffWidth = 6000;
constexpr int kTiffHeight = 4000;

SaveRequest Gif8Request() {
    SaveRequest req;
    req.simg.depth = 8;
    req.simg.dither = 3;  // none: both sides see exactly the same indices
    return req;
}

// ---- GIF ----

// The photograph reduced to 256 colours and stored by the engine.
const std::vector<uint8_t>& PhotoGif() {
    static const std::vector<uint8_t> file = [] {
        std::vector<uint8_t> out;
        DecoderContext ctx;
        EncodeGifBytes(bench::MakePhotoLike(kGifWidth, kGifHeight), Gif8Request(), out, ctx);
        return out;
    }();
    return file;
}

// That file decoded: the 8-bit picture both encoders write.
const ImageBuffer& Photo8() {
    static const ImageBuffer img = [] {
        DecoderContext ctx;
        DecodeGif(PhotoGif().data(), PhotoGif().size(), ctx);
        return std::move(ctx.image);
    }();
    return img;
}

struct MemoryReader {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

int GifRead(GifFileType* gif, GifByteType* buf, int len) {
    auto* r = static_cast<MemoryReader*>(gif->UserData);
    const size_t n = std::min(static_cast<size_t>(len), r->size - r->pos);
    std::memcpy(buf, r->data + r->pos, n);
    r->pos += n;
    return static_cast<int>(n);
}

int GifWrite(GifFileType* gif, const GifByteType* buf, int len) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), buf, buf + len);
    return len;
}

void GifDecodeLumra(benchmark::State& state) {
    const auto& file = PhotoGif();
    for (auto _ : state) {
        DecoderContext ctx;
        if (!DecodeGif(file.data(), file.size(), ctx)) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(ctx.image.bits());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kGifWidth * kGifHeight);
}
BENCHMARK(GifDecodeLumra)->Name("GifDecode8/lumra")->Unit(benchmark::kMillisecond);

void GifDecodeReference(benchmark::State& state) {
    const auto& file = PhotoGif();
    for (auto _ : state) {
        MemoryReader reader{file.data(), file.size(), 0};
        int error = 0;
        GifFileType* gif = DGifOpen(&reader, GifRead, &error);
        if (!gif || DGifSlurp(gif) != GIF_OK || gif->ImageCount < 1) {
            state.SkipWithError("giflib failed");
        } else {
            benchmark::DoNotOptimize(gif->SavedImages[0].RasterBits);
        }
        if (gif) DGifCloseFile(gif, &error);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kGifWidth * kGifHeight);
}
BENCHMARK(GifDecodeReference)->Name("GifDecode8/reference")->Unit(benchmark::kMillisecond);

void GifEncodeLumra(benchmark::State& state) {
    const ImageBuffer& img = Photo8();
    const SaveRequest req = Gif8Request();
    for (auto _ : state) {
        std::vector<uint8_t> out;
        DecoderContext ctx;
        if (!EncodeGifBytes(img, req, out, ctx)) state.SkipWithError("encode failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kGifWidth * kGifHeight);
}
BENCHMARK(GifEncodeLumra)->Name("GifEncode8/lumra")->Unit(benchmark::kMillisecond);

void GifEncodeReference(benchmark::State& state) {
    const ImageBuffer& img = Photo8();
    GifColorType colours[256];
    for (int i = 0; i < 256; ++i) {
        colours[i].Red = img.palette[static_cast<size_t>(i)].red;
        colours[i].Green = img.palette[static_cast<size_t>(i)].green;
        colours[i].Blue = img.palette[static_cast<size_t>(i)].blue;
    }
    // giflib takes the rows one by one as the caller holds them.
    std::vector<GifPixelType> row(kGifWidth);
    for (auto _ : state) {
        std::vector<uint8_t> out;
        int error = 0;
        GifFileType* gif = EGifOpen(&out, GifWrite, &error);
        ColorMapObject* map = GifMakeMapObject(256, colours);
        bool ok = gif && map;
        if (ok) {
            EGifSetGifVersion(gif, true);
            ok = EGifPutScreenDesc(gif, kGifWidth, kGifHeight, 8, 0, map) == GIF_OK &&
                 EGifPutImageDesc(gif, 0, 0, kGifWidth, kGifHeight, false, nullptr) == GIF_OK;
        }
        for (int y = 0; ok && y < kGifHeight; ++y) {
            std::memcpy(row.data(), img.topRow(y), kGifWidth);
            ok = EGifPutLine(gif, row.data(), kGifWidth) == GIF_OK;
        }
        if (gif && EGifCloseFile(gif, &error) != GIF_OK) ok = false;
        if (map) GifFreeMapObject(map);
        if (!ok) state.SkipWithError("giflib failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kGifWidth * kGifHeight);
}
BENCHMARK(GifEncodeReference)->Name("GifEncode8/reference")->Unit(benchmark::kMillisecond);

// ---- TIFF ----

const ImageBuffer& Photo24() {
    static const ImageBuffer img = bench::MakePhotoLike(kTiffWidth, kTiffHeight);
    return img;
}

const std::vector<uint8_t>& PhotoTiff() {
    static const std::vector<uint8_t> file = [] {
        std::vector<uint8_t> out;
        DecoderContext ctx;
        EncodeTiffBytes(Photo24(), 24, false, 3, out, ctx);
        return out;
    }();
    return file;
}

// A libtiff client over memory: a fixed file for reading, a growing one for writing.
struct TiffStream {
    const uint8_t* data = nullptr;
    size_t size = 0;
    std::vector<uint8_t>* sink = nullptr;
    size_t pos = 0;
};

tmsize_t TiffRead(thandle_t h, void* buf, tmsize_t len) {
    auto* s = static_cast<TiffStream*>(h);
    const uint8_t* data = s->sink ? s->sink->data() : s->data;
    const size_t size = s->sink ? s->sink->size() : s->size;
    if (s->pos >= size) return 0;
    const size_t n = std::min(static_cast<size_t>(len), size - s->pos);
    std::memcpy(buf, data + s->pos, n);
    s->pos += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t TiffWrite(thandle_t h, void* buf, tmsize_t len) {
    auto* s = static_cast<TiffStream*>(h);
    if (!s->sink) return 0;
    const size_t n = static_cast<size_t>(len);
    if (s->sink->size() < s->pos + n) s->sink->resize(s->pos + n);
    std::memcpy(s->sink->data() + s->pos, buf, n);
    s->pos += n;
    return len;
}

toff_t TiffSize(thandle_t h) {
    auto* s = static_cast<TiffStream*>(h);
    return s->sink ? s->sink->size() : s->size;
}

toff_t TiffSeek(thandle_t h, toff_t off, int whence) {
    auto* s = static_cast<TiffStream*>(h);
    toff_t base = 0;
    if (whence == SEEK_CUR) base = s->pos;
    if (whence == SEEK_END) base = TiffSize(h);
    s->pos = static_cast<size_t>(base + off);
    return s->pos;
}

int TiffClose(thandle_t) { return 0; }

int TiffMap(thandle_t h, void** base, toff_t* size) {
    auto* s = static_cast<TiffStream*>(h);
    if (s->sink) return 0;
    *base = const_cast<uint8_t*>(s->data);
    *size = s->size;
    return 1;
}

void TiffUnmap(thandle_t, void*, toff_t) {}

TIFF* OpenTiff(TiffStream& stream, const char* mode) {
    return TIFFClientOpen("memory", mode, &stream, TiffRead, TiffWrite, TiffSeek, TiffClose,
                          TiffSize, TiffMap, TiffUnmap);
}

void TiffReadLumra(benchmark::State& state) {
    const auto& file = PhotoTiff();
    for (auto _ : state) {
        DecoderContext ctx;
        if (!DecodeTiff(file.data(), file.size(), ctx)) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(ctx.image.bits());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * file.size());
}
BENCHMARK(TiffReadLumra)->Name("TiffRead24/lumra")->Unit(benchmark::kMillisecond);

void TiffReadReference(benchmark::State& state) {
    const auto& file = PhotoTiff();
    for (auto _ : state) {
        TiffStream stream{file.data(), file.size(), nullptr, 0};
        TIFF* tif = OpenTiff(stream, "r");
        bool ok = tif != nullptr;
        std::vector<uint8_t> rgb;
        if (ok) {
            // The decoded picture, top-down R,G,B, strip after strip.
            rgb.resize(static_cast<size_t>(kTiffWidth) * kTiffHeight * 3);
            const tstrip_t strips = TIFFNumberOfStrips(tif);
            const tmsize_t stripBytes = TIFFStripSize(tif);
            size_t at = 0;
            for (tstrip_t s = 0; ok && s < strips; ++s) {
                const tmsize_t want =
                    std::min<tmsize_t>(stripBytes, static_cast<tmsize_t>(rgb.size() - at));
                const tmsize_t got = TIFFReadEncodedStrip(tif, s, rgb.data() + at, want);
                ok = got > 0;
                at += static_cast<size_t>(got);
            }
            ok = ok && at == rgb.size();
            TIFFClose(tif);
        }
        if (!ok) state.SkipWithError("libtiff failed");
        benchmark::DoNotOptimize(rgb.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * file.size());
}
BENCHMARK(TiffReadReference)->Name("TiffRead24/reference")->Unit(benchmark::kMillisecond);

void TiffWriteLumra(benchmark::State& state) {
    const ImageBuffer& img = Photo24();
    for (auto _ : state) {
        std::vector<uint8_t> out;
        DecoderContext ctx;
        if (!EncodeTiffBytes(img, 24, false, 3, out, ctx)) state.SkipWithError("encode failed");
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(TiffWriteLumra)->Name("TiffWrite24/lumra")->Unit(benchmark::kMillisecond);

void TiffWriteReference(benchmark::State& state) {
    // libtiff wants top-down R,G,B rows.
    static const std::vector<uint8_t> rgb = [] {
        const ImageBuffer& img = Photo24();
        std::vector<uint8_t> v(static_cast<size_t>(kTiffWidth) * kTiffHeight * 3);
        for (int y = 0; y < kTiffHeight; ++y) {
            const uint8_t* s = img.topRow(y);
            uint8_t* d = v.data() + static_cast<size_t>(y) * kTiffWidth * 3;
            for (int x = 0; x < kTiffWidth; ++x) {
                d[3 * x] = s[3 * x + 2];
                d[3 * x + 1] = s[3 * x + 1];
                d[3 * x + 2] = s[3 * x];
            }
        }
        return v;
    }();
    const size_t rowBytes = static_cast<size_t>(kTiffWidth) * 3;
    for (auto _ : state) {
        std::vector<uint8_t> out;
        out.reserve(rgb.size() + 4096);
        TiffStream stream{nullptr, 0, &out, 0};
        TIFF* tif = OpenTiff(stream, "w");
        bool ok = tif != nullptr;
        if (ok) {
            TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(kTiffWidth));
            TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(kTiffHeight));
            TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
            TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
            TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
            TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
            TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
            const uint32_t rowsPerStrip = TIFFDefaultStripSize(tif, 0);
            TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
            tstrip_t strip = 0;
            for (uint32_t y = 0; ok && y < static_cast<uint32_t>(kTiffHeight);
                 y += rowsPerStrip, ++strip) {
                const uint32_t rows = std::min<uint32_t>(rowsPerStrip, kTiffHeight - y);
                ok = TIFFWriteEncodedStrip(tif, strip,
                                           const_cast<uint8_t*>(rgb.data() + y * rowBytes),
                                           static_cast<tmsize_t>(rows * rowBytes)) >= 0;
            }
            TIFFClose(tif);
        }
        if (!ok) state.SkipWithError("libtiff failed");
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(TiffWriteReference)->Name("TiffWrite24/reference")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lumra
