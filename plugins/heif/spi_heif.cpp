// HEIF/HEIC and AVIF through libheif: the primary picture, with its rotation and mirroring.
#include <libheif/heif.h>

#include <algorithm>
#include <memory>

#include "spi_plugin.h"

namespace {

struct ContextDeleter {
    void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HandleDeleter {
    void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct ImageDeleter {
    void operator()(heif_image* i) const { heif_image_release(i); }
};
struct OptionsDeleter {
    void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};

bool Accept(const uint8_t* h, size_t size) {
    if (size < 12) return false;
    return heif_check_filetype(h, static_cast<int>(std::min<size_t>(size, 1u << 20))) == heif_filetype_yes_supported;
}

int ErrorCode(const heif_error& e) {
    if (e.code == heif_error_Ok) return SPI_ALL_RIGHT;
    if (e.code == heif_error_Memory_allocation_error) return SPI_NO_MEMORY;
    if (e.code == heif_error_Unsupported_filetype || e.code == heif_error_Unsupported_feature) return SPI_NOT_SUPPORT;
    return SPI_OUT_OF_ORDER;
}

// The file's context and its primary picture.
int OpenPrimary(const uint8_t* data, size_t size, std::unique_ptr<heif_context, ContextDeleter>& ctx,
                std::unique_ptr<heif_image_handle, HandleDeleter>& handle, spi::Facts& facts) {
    if (!Accept(data, size)) return SPI_NOT_SUPPORT;
    ctx.reset(heif_context_alloc());
    if (!ctx) return SPI_NO_MEMORY;
    int r = ErrorCode(heif_context_read_from_memory_without_copy(ctx.get(), data, size, nullptr));
    if (r != SPI_ALL_RIGHT) return r;
    heif_image_handle* h = nullptr;
    r = ErrorCode(heif_context_get_primary_image_handle(ctx.get(), &h));
    handle.reset(h);
    if (r != SPI_ALL_RIGHT) return r;
    if (!handle) return SPI_OUT_OF_ORDER;
    const int w = heif_image_handle_get_width(handle.get());
    const int ht = heif_image_handle_get_height(handle.get());
    if (w < 1 || ht < 1) return SPI_OUT_OF_ORDER;
    if (w > spi::kMaxSide || ht > spi::kMaxSide) return SPI_NOT_SUPPORT;
    const int bits = heif_image_handle_get_luma_bits_per_pixel(handle.get());
    const bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
    facts.width = w;
    facts.height = ht;
    facts.depth = (bits > 0 ? bits : 8) * (alpha ? 4 : 3);
    return SPI_ALL_RIGHT;
}

int Probe(const uint8_t* data, size_t size, spi::Facts& facts) {
    std::unique_ptr<heif_context, ContextDeleter> ctx;
    std::unique_ptr<heif_image_handle, HandleDeleter> handle;
    return OpenPrimary(data, size, ctx, handle, facts);
}

int Decode(const uint8_t* data, size_t size, spi::Dib& dib, spi::Facts& facts) {
    std::unique_ptr<heif_context, ContextDeleter> ctx;
    std::unique_ptr<heif_image_handle, HandleDeleter> handle;
    int r = OpenPrimary(data, size, ctx, handle, facts);
    if (r != SPI_ALL_RIGHT) return r;

    const bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
    std::unique_ptr<heif_decoding_options, OptionsDeleter> options(heif_decoding_options_alloc());
    if (!options) return SPI_NO_MEMORY;
    options->convert_hdr_to_8bit = 1;
    heif_image* decoded = nullptr;
    r = ErrorCode(heif_decode_image(handle.get(), &decoded, heif_colorspace_RGB,
                                    alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                                    options.get()));
    std::unique_ptr<heif_image, ImageDeleter> image(decoded);
    if (r != SPI_ALL_RIGHT) return r;
    if (!image) return SPI_OUT_OF_ORDER;

    const int w = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int h = heif_image_get_height(image.get(), heif_channel_interleaved);
    if (heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved) != 8) return SPI_NOT_SUPPORT;
    int stride = 0;
    const uint8_t* plane = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    const size_t pixelBytes = alpha ? 4 : 3;
    if (!plane || w < 1 || h < 1 || stride < 0 || static_cast<size_t>(stride) < pixelBytes * static_cast<size_t>(w))
        return SPI_OUT_OF_ORDER;
    r = dib.Create(w, h, 24);
    if (r != SPI_ALL_RIGHT) return r;
    for (int y = 0; y < h; ++y)
        spi::PutRgbRow(dib.Row(y), plane + static_cast<size_t>(y) * static_cast<size_t>(stride), w, alpha);
    return SPI_ALL_RIGHT;
}

const char* const kFormats[] = {"*.heic;*.heif;*.hif", "HEIF/HEIC (libheif)", "*.avif", "AVIF (libheif)", nullptr};

}  // namespace

const spi::PluginDef& spi::Plugin() {
    static const PluginDef def{"HEIF/HEIC and AVIF import plug-in (libheif)", kFormats, Accept, Probe, Decode};
    return def;
}
