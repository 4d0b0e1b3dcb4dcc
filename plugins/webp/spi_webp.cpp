// WebP through libwebp: still pictures, and the first frame of an animation.
#include <webp/decode.h>
#include <webp/demux.h>

#include <cstring>
#include <memory>

#include "spi_plugin.h"

namespace {

bool Accept(const uint8_t* h, size_t size) {
    return size >= 12 && std::memcmp(h, "RIFF", 4) == 0 && std::memcmp(h + 8, "WEBP", 4) == 0;
}

int Features(const uint8_t* data, size_t size, WebPBitstreamFeatures& f) {
    if (!Accept(data, size)) return SPI_NOT_SUPPORT;
    const VP8StatusCode s = WebPGetFeatures(data, size, &f);
    if (s == VP8_STATUS_UNSUPPORTED_FEATURE) return SPI_NOT_SUPPORT;
    if (s != VP8_STATUS_OK) return SPI_OUT_OF_ORDER;
    if (f.width < 1 || f.height < 1) return SPI_OUT_OF_ORDER;
    if (f.width > spi::kMaxSide || f.height > spi::kMaxSide) return SPI_NOT_SUPPORT;
    return SPI_ALL_RIGHT;
}

int Probe(const uint8_t* data, size_t size, spi::Facts& facts) {
    WebPBitstreamFeatures f;
    const int r = Features(data, size, f);
    if (r != SPI_ALL_RIGHT) return r;
    facts.width = f.width;
    facts.height = f.height;
    facts.depth = f.has_alpha ? 32 : 24;
    return SPI_ALL_RIGHT;
}

int PutRgba(const uint8_t* rgba, int w, int h, spi::Dib& dib) {
    const int r = dib.Create(w, h, 24);
    if (r != SPI_ALL_RIGHT) return r;
    for (int y = 0; y < h; ++y)
        spi::PutRgbRow(dib.Row(y), rgba + static_cast<size_t>(y) * w * 4, w, true);
    return SPI_ALL_RIGHT;
}

struct AnimDeleter {
    void operator()(WebPAnimDecoder* d) const { WebPAnimDecoderDelete(d); }
};

// The first frame on the canvas, composed as the animation shows it.
int DecodeFirstFrame(const uint8_t* data, size_t size, spi::Dib& dib) {
    WebPAnimDecoderOptions opts;
    if (!WebPAnimDecoderOptionsInit(&opts)) return SPI_OTHER_ERROR;
    opts.color_mode = MODE_RGBA;
    opts.use_threads = 0;
    const WebPData webp{data, size};
    std::unique_ptr<WebPAnimDecoder, AnimDeleter> dec(WebPAnimDecoderNew(&webp, &opts));
    if (!dec) return SPI_OUT_OF_ORDER;
    WebPAnimInfo info;
    if (!WebPAnimDecoderGetInfo(dec.get(), &info)) return SPI_OUT_OF_ORDER;
    if (info.canvas_width < 1 || info.canvas_height < 1) return SPI_OUT_OF_ORDER;
    if (info.canvas_width > static_cast<uint32_t>(spi::kMaxSide) ||
        info.canvas_height > static_cast<uint32_t>(spi::kMaxSide))
        return SPI_NOT_SUPPORT;
    uint8_t* buf = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderHasMoreFrames(dec.get()) || !WebPAnimDecoderGetNext(dec.get(), &buf, &timestamp) || !buf)
        return SPI_OUT_OF_ORDER;
    return PutRgba(buf, static_cast<int>(info.canvas_width), static_cast<int>(info.canvas_height), dib);
}

int Decode(const uint8_t* data, size_t size, spi::Dib& dib, spi::Facts& facts) {
    WebPBitstreamFeatures f;
    const int r = Features(data, size, f);
    if (r != SPI_ALL_RIGHT) return r;
    facts.width = f.width;
    facts.height = f.height;
    facts.depth = f.has_alpha ? 32 : 24;
    if (f.has_animation) return DecodeFirstFrame(data, size, dib);

    int w = 0, h = 0;
    std::unique_ptr<uint8_t, decltype(&WebPFree)> rgba(WebPDecodeRGBA(data, size, &w, &h), &WebPFree);
    if (!rgba) return SPI_OUT_OF_ORDER;
    if (w != f.width || h != f.height) return SPI_OUT_OF_ORDER;
    return PutRgba(rgba.get(), w, h, dib);
}

const char* const kFormats[] = {"*.webp", "WebP (libwebp)", nullptr};

}  // namespace

const spi::PluginDef& spi::Plugin() {
    static const PluginDef def{"WebP import plug-in (libwebp)", kFormats, Accept, Probe, Decode};
    return def;
}
