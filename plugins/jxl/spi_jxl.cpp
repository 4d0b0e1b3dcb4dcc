// JPEG XL through libjxl: the first frame, oriented as the file says.
#include <jxl/decode.h>
#include <jxl/thread_parallel_runner.h>

#include <memory>
#include <vector>

#include "spi_plugin.h"

namespace {

struct DecoderDeleter {
    void operator()(JxlDecoder* d) const { JxlDecoderDestroy(d); }
};
struct RunnerDeleter {
    void operator()(void* r) const { JxlThreadParallelRunnerDestroy(r); }
};

bool Accept(const uint8_t* h, size_t size) {
    const JxlSignature s = JxlSignatureCheck(h, size);
    return s == JXL_SIG_CODESTREAM || s == JXL_SIG_CONTAINER;
}

// Width and height as shown, after the orientation.
void ShownSize(const JxlBasicInfo& info, uint64_t& w, uint64_t& h) {
    const bool swapped = info.orientation > JXL_ORIENT_ROTATE_180;
    w = swapped ? info.ysize : info.xsize;
    h = swapped ? info.xsize : info.ysize;
}

int CheckInfo(const JxlBasicInfo& info, spi::Facts& facts) {
    uint64_t w, h;
    ShownSize(info, w, h);
    if (w < 1 || h < 1) return SPI_OUT_OF_ORDER;
    if (w > static_cast<uint64_t>(spi::kMaxSide) || h > static_cast<uint64_t>(spi::kMaxSide)) return SPI_NOT_SUPPORT;
    facts.width = static_cast<int>(w);
    facts.height = static_cast<int>(h);
    facts.depth = static_cast<int>(info.bits_per_sample) *
                  static_cast<int>(info.num_color_channels + (info.alpha_bits > 0 ? 1 : 0));
    return SPI_ALL_RIGHT;
}

int Run(const uint8_t* data, size_t size, spi::Dib* dib, spi::Facts& facts) {
    if (!Accept(data, size)) return SPI_NOT_SUPPORT;
    std::unique_ptr<JxlDecoder, DecoderDeleter> dec(JxlDecoderCreate(nullptr));
    if (!dec) return SPI_NO_MEMORY;
    std::unique_ptr<void, RunnerDeleter> runner;
    int events = JXL_DEC_BASIC_INFO;
    if (dib) {
        events |= JXL_DEC_FULL_IMAGE;
        runner.reset(JxlThreadParallelRunnerCreate(nullptr, JxlThreadParallelRunnerDefaultNumWorkerThreads()));
        if (runner && JxlDecoderSetParallelRunner(dec.get(), JxlThreadParallelRunner, runner.get()) != JXL_DEC_SUCCESS)
            return SPI_OTHER_ERROR;
        JxlDecoderSetUnpremultiplyAlpha(dec.get(), JXL_TRUE);
    }
    if (JxlDecoderSubscribeEvents(dec.get(), events) != JXL_DEC_SUCCESS) return SPI_OTHER_ERROR;
    if (JxlDecoderSetInput(dec.get(), data, size) != JXL_DEC_SUCCESS) return SPI_OTHER_ERROR;
    JxlDecoderCloseInput(dec.get());

    JxlBasicInfo info{};
    JxlPixelFormat format{};
    bool grey = false, alpha = false;
    std::vector<uint8_t> pixels;
    for (;;) {
        const JxlDecoderStatus s = JxlDecoderProcessInput(dec.get());
        if (s == JXL_DEC_BASIC_INFO) {
            if (JxlDecoderGetBasicInfo(dec.get(), &info) != JXL_DEC_SUCCESS) return SPI_OUT_OF_ORDER;
            const int r = CheckInfo(info, facts);
            if (r != SPI_ALL_RIGHT || !dib) return r;
            grey = info.num_color_channels == 1;
            alpha = info.alpha_bits > 0;
            format.num_channels = (grey ? 1 : 3) + (alpha ? 1 : 0);
            format.data_type = JXL_TYPE_UINT8;
            format.endianness = JXL_NATIVE_ENDIAN;
            format.align = 0;
        } else if (s == JXL_DEC_NEED_IMAGE_OUT_BUFFER) {
            size_t bytes = 0;
            if (JxlDecoderImageOutBufferSize(dec.get(), &format, &bytes) != JXL_DEC_SUCCESS) return SPI_OUT_OF_ORDER;
            const size_t expected = static_cast<size_t>(facts.width) * static_cast<size_t>(facts.height) *
                                    format.num_channels;
            if (bytes != expected) return SPI_OUT_OF_ORDER;
            pixels.resize(bytes);
            if (JxlDecoderSetImageOutBuffer(dec.get(), &format, pixels.data(), pixels.size()) != JXL_DEC_SUCCESS)
                return SPI_OUT_OF_ORDER;
        } else if (s == JXL_DEC_FULL_IMAGE) {
            break;  // the first frame is enough
        } else if (s == JXL_DEC_ERROR || s == JXL_DEC_NEED_MORE_INPUT || s == JXL_DEC_SUCCESS) {
            return SPI_OUT_OF_ORDER;
        } else {
            return SPI_OTHER_ERROR;
        }
    }
    if (pixels.empty()) return SPI_OUT_OF_ORDER;
    int r = dib->Create(facts.width, facts.height, grey ? 8 : 24);
    if (r != SPI_ALL_RIGHT) return r;
    if (grey) dib->SetGreyPalette();
    const size_t rowBytes = static_cast<size_t>(facts.width) * format.num_channels;
    for (int y = 0; y < facts.height; ++y) {
        const uint8_t* src = pixels.data() + rowBytes * static_cast<size_t>(y);
        if (grey) spi::PutGreyRow(dib->Row(y), src, facts.width, alpha);
        else spi::PutRgbRow(dib->Row(y), src, facts.width, alpha);
    }
    return SPI_ALL_RIGHT;
}

int Probe(const uint8_t* data, size_t size, spi::Facts& facts) { return Run(data, size, nullptr, facts); }

int Decode(const uint8_t* data, size_t size, spi::Dib& dib, spi::Facts& facts) {
    return Run(data, size, &dib, facts);
}

const char* const kFormats[] = {"*.jxl", "JPEG XL (libjxl)", nullptr};

}  // namespace

const spi::PluginDef& spi::Plugin() {
    static const PluginDef def{"JPEG XL import plug-in (libjxl)", kFormats, Accept, Probe, Decode};
    return def;
}
