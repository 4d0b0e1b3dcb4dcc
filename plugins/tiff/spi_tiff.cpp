// TIFF through libtiff: every compression and photometric form libtiff's RGBA interface
// reads; the first page.
#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "spi_plugin.h"

namespace {

struct Memory {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

tmsize_t ReadProc(thandle_t h, void* buf, tmsize_t n) {
    auto* m = static_cast<Memory*>(h);
    if (n <= 0 || m->pos >= m->size) return 0;
    const size_t take = std::min(static_cast<size_t>(n), m->size - m->pos);
    std::memcpy(buf, m->data + m->pos, take);
    m->pos += take;
    return static_cast<tmsize_t>(take);
}

tmsize_t WriteProc(thandle_t, void*, tmsize_t) { return -1; }

toff_t SeekProc(thandle_t h, toff_t off, int whence) {
    auto* m = static_cast<Memory*>(h);
    uint64_t base = 0;
    if (whence == SEEK_CUR) base = m->pos;
    else if (whence == SEEK_END) base = m->size;
    else if (whence != SEEK_SET) return static_cast<toff_t>(-1);
    if (off > UINT64_MAX - base) return static_cast<toff_t>(-1);
    const uint64_t to = base + off;
    if (to > m->size) return static_cast<toff_t>(-1);
    m->pos = static_cast<size_t>(to);
    return to;
}

int CloseProc(thandle_t) { return 0; }
toff_t SizeProc(thandle_t h) { return static_cast<Memory*>(h)->size; }

int MapProc(thandle_t h, void** base, toff_t* size) {
    auto* m = static_cast<Memory*>(h);
    *base = const_cast<uint8_t*>(m->data);
    *size = m->size;
    return 1;
}

void UnmapProc(thandle_t, void*, toff_t) {}

// Messages are dropped; failures come back as return values.
int Quiet(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TiffCloser {
    void operator()(TIFF* t) const { TIFFClose(t); }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

TiffPtr Open(Memory& m) {
    TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
    if (!opts) return nullptr;
    TIFFOpenOptionsSetErrorHandlerExtR(opts, Quiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(opts, Quiet, nullptr);
    TIFF* t = TIFFClientOpenExt("picture", "r", &m, ReadProc, WriteProc, SeekProc, CloseProc, SizeProc,
                                MapProc, UnmapProc, opts);
    TIFFOpenOptionsFree(opts);
    return TiffPtr(t);
}

bool Accept(const uint8_t* h, size_t size) {
    if (size < 4) return false;
    // Classic and BigTIFF, either byte order.
    return (h[0] == 'I' && h[1] == 'I' && (h[2] == 42 || h[2] == 43) && h[3] == 0) ||
           (h[0] == 'M' && h[1] == 'M' && h[2] == 0 && (h[3] == 42 || h[3] == 43));
}

int ReadFacts(TIFF* t, spi::Facts& facts) {
    uint32_t w = 0, h = 0;
    uint16_t bits = 1, spp = 1;
    if (!TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w) || !TIFFGetField(t, TIFFTAG_IMAGELENGTH, &h))
        return SPI_OUT_OF_ORDER;
    TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &spp);
    if (w < 1 || h < 1) return SPI_OUT_OF_ORDER;
    if (w > static_cast<uint32_t>(spi::kMaxSide) || h > static_cast<uint32_t>(spi::kMaxSide)) return SPI_NOT_SUPPORT;
    facts.width = static_cast<int>(w);
    facts.height = static_cast<int>(h);
    facts.depth = static_cast<int>(bits) * static_cast<int>(spp);
    return SPI_ALL_RIGHT;
}

int Probe(const uint8_t* data, size_t size, spi::Facts& facts) {
    if (!Accept(data, size)) return SPI_NOT_SUPPORT;
    Memory m{data, size, 0};
    TiffPtr t = Open(m);
    if (!t) return SPI_OUT_OF_ORDER;
    return ReadFacts(t.get(), facts);
}

// One grey channel without colour: kept as an 8-bit grey picture.
bool IsGrey(TIFF* t) {
    uint16_t photometric = 0, spp = 1, extra = 0;
    uint16_t* extraTypes = nullptr;
    if (!TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &photometric)) return false;
    TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetFieldDefaulted(t, TIFFTAG_EXTRASAMPLES, &extra, &extraTypes);
    return (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE) &&
           spp >= extra && spp - extra == 1;
}

struct RgbaImage {
    TIFFRGBAImage img{};
    bool begun = false;
    ~RgbaImage() {
        if (begun) TIFFRGBAImageEnd(&img);
    }
};

int Decode(const uint8_t* data, size_t size, spi::Dib& dib, spi::Facts& facts) {
    if (!Accept(data, size)) return SPI_NOT_SUPPORT;
    Memory m{data, size, 0};
    TiffPtr t = Open(m);
    if (!t) return SPI_OUT_OF_ORDER;
    int r = ReadFacts(t.get(), facts);
    if (r != SPI_ALL_RIGHT) return r;

    char message[1024] = {};
    if (!TIFFRGBAImageOK(t.get(), message)) return SPI_NOT_SUPPORT;
    RgbaImage rgba;
    if (!TIFFRGBAImageBegin(&rgba.img, t.get(), 1, message)) return SPI_NOT_SUPPORT;
    rgba.begun = true;
    const uint32_t w = rgba.img.width, h = rgba.img.height;
    if (w < 1 || h < 1 || w > static_cast<uint32_t>(spi::kMaxSide) || h > static_cast<uint32_t>(spi::kMaxSide))
        return SPI_NOT_SUPPORT;
    const bool grey = IsGrey(t.get());
    r = dib.Create(static_cast<int>(w), static_cast<int>(h), grey ? 8 : 24);
    if (r != SPI_ALL_RIGHT) return r;
    if (grey) dib.SetGreyPalette();

    // Rows come bottom-up, as the picture is stored.
    rgba.img.req_orientation = ORIENTATION_BOTLEFT;
    const size_t pixels = static_cast<size_t>(w) * h;
    std::unique_ptr<uint32_t, decltype(&std::free)> raster(
        static_cast<uint32_t*>(std::calloc(pixels, sizeof(uint32_t))), &std::free);
    if (!raster) return SPI_NO_MEMORY;
    if (!TIFFRGBAImageGet(&rgba.img, raster.get(), w, h)) return SPI_OUT_OF_ORDER;

    // Premultiplied samples: over white is c + (255 - a).
    for (uint32_t y = 0; y < h; ++y) {
        const uint32_t* src = raster.get() + static_cast<size_t>(y) * w;
        uint8_t* dst = dib.Row(static_cast<int>(h - 1 - y));
        for (uint32_t x = 0; x < w; ++x) {
            const uint32_t p = src[x];
            const unsigned a = TIFFGetA(p), white = 255 - a;
            const unsigned rr = std::min(255u, TIFFGetR(p) + white);
            const unsigned gg = std::min(255u, TIFFGetG(p) + white);
            const unsigned bb = std::min(255u, TIFFGetB(p) + white);
            if (grey) {
                dst[x] = static_cast<uint8_t>(rr);
            } else {
                dst[x * 3] = static_cast<uint8_t>(bb);
                dst[x * 3 + 1] = static_cast<uint8_t>(gg);
                dst[x * 3 + 2] = static_cast<uint8_t>(rr);
            }
        }
    }
    return SPI_ALL_RIGHT;
}

const char* const kFormats[] = {"*.tif;*.tiff", "TIFF (libtiff)", nullptr};

}  // namespace

const spi::PluginDef& spi::Plugin() {
    static const PluginDef def{"TIFF import plug-in (libtiff)", kFormats, Accept, Probe, Decode};
    return def;
}
