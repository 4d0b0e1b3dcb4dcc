#include "formats/jpeg/jpeg_codec.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstring>
#include <memory>

#include "formats/codec_error.h"
#include "formats/convert.h"
#include "formats/jpeg/jpeg_glue.h"
#include "platform/file_io.h"
#include "platform/file_stamp.h"

namespace lumra {

namespace {

// ---- decoding ----

struct DecodeState {
    jpeg_decompress_struct cinfo{};
    jpeg::ErrorManager err{};
    jpeg::MemorySource src{};
    jpeg::ScanLimit limit{};
    bool created = false;
    JpegFileInfo* info = nullptr;
    int scaleDenom = 1;
    bool headerOnly = false;
    const JpegRowsReady* ready = nullptr;
    bool told = false;  // rows were reported as ready
    std::vector<JSAMPROW> rows;
    DecodeState() = default;
    DecodeState(const DecodeState&) = delete;
    DecodeState& operator=(const DecodeState&) = delete;
    ~DecodeState() {
        if (created) jpeg_destroy_decompress(&cinfo);
    }
};

int ReadMarkerByte(j_decompress_ptr cinfo) {
    jpeg_source_mgr* src = cinfo->src;
    if (src->bytes_in_buffer == 0) (*src->fill_input_buffer)(cinfo);
    --src->bytes_in_buffer;
    return *src->next_input_byte++;
}

// Skips a marker's data (its length includes the two length bytes).
void SkipMarkerData(j_decompress_ptr cinfo) {
    long length = ReadMarkerByte(cinfo) << 8;
    length |= ReadMarkerByte(cinfo);
    if (length > 2) (*cinfo->src->skip_input_data)(cinfo, length - 2);
}

boolean CountComment(j_decompress_ptr cinfo) {
    static_cast<DecodeState*>(cinfo->client_data)->info->commentCount++;
    SkipMarkerData(cinfo);
    return TRUE;
}

boolean NoteApp1(j_decompress_ptr cinfo) {
    static_cast<DecodeState*>(cinfo->client_data)->info->sawApp1 = true;
    SkipMarkerData(cinfo);
    return TRUE;
}

// Adobe CMYK as the library delivers it (inverted): channel = c * k / 255.
const std::array<uint8_t, 65536>& CmykTable() {
    static const std::array<uint8_t, 65536> table = [] {
        std::array<uint8_t, 65536> t{};
        for (int c = 0; c < 256; ++c)
            for (int k = 0; k < 256; ++k) t[c * 256 + k] = static_cast<uint8_t>(c * k / 255);
        return t;
    }();
    return table;
}

void CmykRowToBgr(const uint8_t* src, uint8_t* dst, int width, const uint8_t* table) {
    for (int x = 0; x < width; ++x, src += 4, dst += 3) {
        const int k = src[3];
        dst[0] = table[src[2] * 256 + k];
        dst[1] = table[src[1] * 256 + k];
        dst[2] = table[src[0] * 256 + k];
    }
}

int32_t DensityToPerMetre(int unit, unsigned density) {
    if (unit == 1) return static_cast<int32_t>(std::floor(density / 0.0254 + 0.5));
    if (unit == 2) return static_cast<int32_t>(density) * 100;
    return 0;
}

void TellRows(DecodeState& st, int rows) {
    if (!st.ready || !*st.ready) return;
    if (rows < 0 && !st.told) return;
    st.told = rows >= 0;
    (*st.ready)(rows);
}

// The rows are dropped: whoever reads them is told first.
void DropRows(DecodeState& st, DecoderContext& ctx) {
    TellRows(st, -1);
    ctx.image.Reset();
}

bool RunDecode(DecodeState& st, const uint8_t* data, size_t size, DecoderContext& ctx) {
    jpeg_decompress_struct& cinfo = st.cinfo;
    cinfo.err = &st.err.pub;
    jpeg::InitErrorManager(st.err, &ctx.message);
    if (setjmp(st.err.jump)) {
        DropRows(st, ctx);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    st.created = true;
    cinfo.client_data = &st;
    jpeg::SetMemorySource(&cinfo, st.src, data, size);
    jpeg::SetScanLimit(&cinfo, st.limit);
    jpeg_set_marker_processor(&cinfo, JPEG_COM, CountComment);
    jpeg_set_marker_processor(&cinfo, JPEG_APP0 + 1, NoteApp1);

    jpeg_read_header(&cinfo, TRUE);
    JpegFileInfo& info = *st.info;
    info.imageWidth = static_cast<int>(cinfo.image_width);
    info.imageHeight = static_cast<int>(cinfo.image_height);
    info.components = cinfo.num_components;
    info.progressive = cinfo.progressive_mode != 0;
    const int unit = cinfo.saw_JFIF_marker ? cinfo.density_unit : 0;
    info.xPelsPerMeter = DensityToPerMetre(unit, cinfo.X_density);
    info.yPelsPerMeter = DensityToPerMetre(unit, cinfo.Y_density);
    if (st.headerOnly) return true;

    const int components = cinfo.num_components;
    switch (components) {
        case 1: cinfo.out_color_space = JCS_GRAYSCALE; break;
        case 3: cinfo.out_color_space = JCS_EXT_BGR; break;
        case 4: cinfo.out_color_space = JCS_CMYK; break;
        default: ctx.error = kCodecUnsupported; return false;
    }
    cinfo.scale_num = 1;
    cinfo.scale_denom = static_cast<unsigned>(st.scaleDenom);
    // Sizes are checked before the library allocates anything for the picture.
    jpeg_calc_output_dimensions(&cinfo);
    const JDIMENSION w = cinfo.output_width, h = cinfo.output_height;
    if (w < 1 || w > static_cast<JDIMENSION>(kMaxPictureSide) || h < 1 ||
        h > static_cast<JDIMENSION>(kMaxPictureSide)) {
        ctx.error = kCodecUnsupported;
        return false;
    }
    ImageBuffer& image = ctx.image;
    if (!image.Allocate(static_cast<int>(w), static_cast<int>(h), components == 1 ? 8 : 24, false)) {
        ctx.error = kCodecMemory;
        return false;
    }
    if (components == 1) {
        FillGreyPalette(image.palette);
        info.isGrey = true;
    }

    jpeg_start_decompress(&cinfo);
    if (cinfo.output_components != components || cinfo.output_width != w ||
        cinfo.output_height != h) {
        ctx.error = kCodecUnsupported;
        return false;
    }

    if (components != 4) {
        // Straight into the picture's rows, top row last in memory.
        st.rows.resize(h);
        for (JDIMENSION y = 0; y < h; ++y) st.rows[y] = image.topRow(static_cast<int>(y));
        while (cinfo.output_scanline < h) {
            jpeg_read_scanlines(&cinfo, st.rows.data() + cinfo.output_scanline,
                                h - cinfo.output_scanline);
            // Rows past the end of a file cut short are cleared below: not told before.
            if (!st.src.exhausted) TellRows(st, static_cast<int>(cinfo.output_scanline));
        }
    } else {
        JSAMPARRAY line = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo),
                                                      JPOOL_IMAGE, w * 4, 1);
        const uint8_t* table = CmykTable().data();
        while (cinfo.output_scanline < h) {
            const JDIMENSION y = cinfo.output_scanline;
            if (jpeg_read_scanlines(&cinfo, line, 1) != 1) continue;
            CmykRowToBgr(line[0], image.topRow(static_cast<int>(y)), static_cast<int>(w), table);
            if (!st.src.exhausted && (y % 16 == 15 || y + 1 == h)) TellRows(st, static_cast<int>(y) + 1);
        }
    }

    // A file cut short in its first scan: the rows after the point where the data ended
    // carry nothing from the file and stay black.
    if (st.src.exhausted && st.src.exhaustedScan <= 1) {
        const uint64_t perRow = static_cast<uint64_t>(cinfo.max_v_samp_factor) *
                                static_cast<uint64_t>(cinfo.min_DCT_scaled_size);
        const uint64_t cut = (static_cast<uint64_t>(st.src.exhaustedIMcuRow) + 1) * perRow;
        for (uint64_t y = cut; y < h; ++y)
            std::memset(image.topRow(static_cast<int>(y)), 0, image.stride());
    }

    image.header.biXPelsPerMeter = info.xPelsPerMeter;
    image.header.biYPelsPerMeter = info.yPelsPerMeter;
    jpeg_finish_decompress(&cinfo);
    TellRows(st, static_cast<int>(h));
    return true;
}

// ---- encoding ----

struct EncodeState {
    jpeg_compress_struct cinfo{};
    jpeg::ErrorManager err{};
    bool created = false;
    std::vector<JSAMPROW> rows;
    EncodeState() = default;
    EncodeState(const EncodeState&) = delete;
    EncodeState& operator=(const EncodeState&) = delete;
    ~EncodeState() {
        if (created) jpeg_destroy_compress(&cinfo);
    }
};

// The picture as 24-bit rows: the picture itself, or a widened copy in `wide`.
const ImageBuffer* Rows24(const ImageBuffer& image, ImageBuffer& wide, DecoderContext& ctx) {
    if (image.bitCount() == 24) return &image;
    if (!wide.Allocate(image.width(), image.height(), 24)) {
        ctx.error = kCodecMemory;
        return nullptr;
    }
    PixelConversion conv;
    conv.width = image.width();
    conv.height = image.height();
    conv.sourceDepth = image.bitCount();
    conv.targetDepth = 24;
    if (!ConvertPixels(conv, nullptr, wide.bits(), image.palette.data(), image.bits())) {
        ctx.error = kCodecSave;
        return nullptr;
    }
    return &wide;
}

unsigned DensityFromPerMetre(int32_t perMetre) {
    const double dpi = std::floor(perMetre * 0.0254 + 0.5);
    return static_cast<unsigned>(std::clamp(dpi, 0.0, 65535.0));
}

bool RunEncode(EncodeState& st, const ImageBuffer& image, const JpegEncodeOptions& o,
               jpeg_destination_mgr* dest, DecoderContext& ctx) {
    jpeg_compress_struct& cinfo = st.cinfo;
    cinfo.err = &st.err.pub;
    jpeg::InitErrorManager(st.err, &ctx.message);
    if (setjmp(st.err.jump)) return false;
    jpeg_create_compress(&cinfo);
    st.created = true;
    cinfo.dest = dest;

    const int w = image.width(), h = image.height();
    cinfo.image_width = static_cast<JDIMENSION>(w);
    cinfo.image_height = static_cast<JDIMENSION>(h);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);
    cinfo.optimize_coding = TRUE;
    if (o.grey) {
        jpeg_set_colorspace(&cinfo, JCS_GRAYSCALE);
    } else {
        cinfo.comp_info[0].h_samp_factor = o.hSampling;
        cinfo.comp_info[0].v_samp_factor = o.vSampling;
    }
    jpeg_set_quality(&cinfo, std::clamp(o.quality, 1, 100), TRUE);
    if (o.progressive) jpeg_simple_progression(&cinfo);
    if (o.xResolution != 0 && o.yResolution != 0) {
        cinfo.density_unit = 1;
        cinfo.X_density = static_cast<UINT16>(DensityFromPerMetre(o.xResolution));
        cinfo.Y_density = static_cast<UINT16>(DensityFromPerMetre(o.yResolution));
    }
    jpeg_start_compress(&cinfo, TRUE);
    if (!o.comment.empty()) {
        const size_t n = std::min(o.comment.size(), kJpegCommentMax);
        jpeg_write_marker(&cinfo, JPEG_COM, reinterpret_cast<const JOCTET*>(o.comment.data()),
                          static_cast<unsigned>(n));
    }
    // Rows from the top of the picture, which is the last row in memory.
    for (int y = 0; y < h; ++y) st.rows[y] = const_cast<uint8_t*>(image.topRow(y));
    while (cinfo.next_scanline < cinfo.image_height)
        jpeg_write_scanlines(&cinfo, st.rows.data() + cinfo.next_scanline,
                             cinfo.image_height - cinfo.next_scanline);
    jpeg_finish_compress(&cinfo);
    return true;
}

bool EncodeInto(const ImageBuffer& rows24, const JpegEncodeOptions& o, jpeg_destination_mgr* dest,
                DecoderContext& ctx) {
    auto st = std::make_unique<EncodeState>();
    st->rows.resize(static_cast<size_t>(rows24.height()));
    return RunEncode(*st, rows24, o, dest, ctx);
}

bool ValidPicture(const ImageBuffer& image, DecoderContext& ctx) {
    if (image.empty() || image.width() < 1 || image.height() < 1 ||
        image.width() > kMaxPictureSide || image.height() > kMaxPictureSide) {
        ctx.error = kCodecSave;
        return false;
    }
    return true;
}

}  // namespace

bool DecodeJpeg(const uint8_t* data, size_t size, DecoderContext& ctx, JpegFileInfo& info) {
    return DecodeJpegScaled(data, size, 1, ctx, info);
}

bool DecodeJpegScaled(const uint8_t* data, size_t size, int scaleDenom, DecoderContext& ctx,
                      JpegFileInfo& info, const JpegRowsReady& ready) {
    info = JpegFileInfo{};
    ctx.image.Reset();
    if (scaleDenom != 1 && scaleDenom != 2 && scaleDenom != 4 && scaleDenom != 8) {
        ctx.error = kCodecUnsupported;
        return false;
    }
    auto st = std::make_unique<DecodeState>();
    st->info = &info;
    st->scaleDenom = scaleDenom;
    st->ready = &ready;
    if (!RunDecode(*st, data, size, ctx)) {
        DropRows(*st, ctx);
        return false;
    }
    ctx.image.sourceFormat = kFormatJpeg;
    ctx.image.sourceBitDepth = ctx.image.bitCount();
    ctx.image.fileSize = static_cast<int32_t>(std::min<size_t>(size, INT32_MAX));
    ctx.flags.interlaced = info.progressive;
    ctx.flags.hasText = info.sawApp1;
    ctx.flags.hasComment = info.commentCount > 0;
    return true;
}

bool DecodeJpeg(const uint8_t* data, size_t size, DecoderContext& ctx) {
    JpegFileInfo info;
    return DecodeJpeg(data, size, ctx, info);
}

namespace {

// The header up to the first scan, without any check of what it says.
bool ReadHeaderFacts(const uint8_t* data, size_t size, JpegFileInfo& info) {
    info = JpegFileInfo{};
    DecoderContext ctx;
    auto st = std::make_unique<DecodeState>();
    st->info = &info;
    st->headerOnly = true;
    return RunDecode(*st, data, size, ctx);
}

}  // namespace

bool ReadJpegSize(const uint8_t* data, size_t size, int& width, int& height) {
    JpegFileInfo info;
    if (!ReadHeaderFacts(data, size, info) || info.imageWidth < 1 || info.imageHeight < 1) return false;
    width = info.imageWidth;
    height = info.imageHeight;
    return true;
}

bool ReadJpegHeader(const uint8_t* data, size_t size, JpegFileInfo& info) {
    if (!ReadHeaderFacts(data, size, info)) return false;
    info.isGrey = info.components == 1;
    return info.imageWidth >= 1 && info.imageHeight >= 1 && info.imageWidth <= kMaxPictureSide &&
           info.imageHeight <= kMaxPictureSide && (info.components == 1 || info.components == 3 || info.components == 4);
}

void JpegSamplingFactors(int sampling, int& horizontal, int& vertical) {
    switch (sampling) {
        case 1: horizontal = 2; vertical = 1; break;
        case 2: horizontal = 1; vertical = 1; break;
        default: horizontal = 2; vertical = 2; break;
    }
}

bool EncodeJpegToMemory(const ImageBuffer& image, const JpegEncodeOptions& options,
                        std::vector<uint8_t>& out, DecoderContext& ctx) {
    out.clear();
    if (!ValidPicture(image, ctx)) return false;
    ImageBuffer wide;
    const ImageBuffer* rows = Rows24(image, wide, ctx);
    if (!rows) return false;
    jpeg::MemoryDestination dest;
    if (!dest.Reserve(rows->imageBytes() / 4 + 65536)) {
        ctx.error = kCodecMemory;
        return false;
    }
    jpeg::InitMemoryDestination(dest);
    if (!EncodeInto(*rows, options, &dest.pub, ctx)) return false;
    out.assign(dest.buffer, dest.buffer + dest.size);
    return true;
}

bool EncodeJpeg(const ImageBuffer& image, const JpegEncodeOptions& options,
                const std::string& path, DecoderContext& ctx) {
    if (!ValidPicture(image, ctx)) return false;
    ImageBuffer wide;
    const ImageBuffer* rows = Rows24(image, wide, ctx);
    if (!rows) return false;
    jpeg::FileDestination dest;
    if (!dest.Open(path)) {
        ctx.error = dest.buffer ? kCodecCreate : kCodecMemory;
        return false;
    }
    jpeg::InitFileDestination(dest);
    if (!EncodeInto(*rows, options, &dest.pub, ctx)) return false;
    if (!dest.Close()) {
        ctx.error = kCodecSave;
        return false;
    }
    return true;
}

bool EncodeJpegLimited(const ImageBuffer& image, const JpegEncodeOptions& options,
                       int64_t limitBytes, const std::string& path, DecoderContext& ctx,
                       int* chosenQuality) {
    if (!ValidPicture(image, ctx)) return false;
    ImageBuffer wide;
    const ImageBuffer* rows = Rows24(image, wide, ctx);
    if (!rows) return false;
    // Room for the 24-bit picture; the buffer grows when a stream needs more.
    jpeg::MemoryDestination dest;
    if (!dest.Reserve(rows->imageBytes())) {
        ctx.error = kCodecMemory;
        return false;
    }
    jpeg::InitMemoryDestination(dest);
    JpegEncodeOptions o = options;
    auto encodeAt = [&](int quality) {
        o.quality = quality;
        return EncodeInto(*rows, o, &dest.pub, ctx);
    };
    auto fits = [&] { return static_cast<int64_t>(dest.size) <= limitBytes; };

    if (!encodeAt(100)) return false;
    int written = 100;
    if (!fits()) {
        int bestFit = 0;
        written = SearchJpegQuality([&](int q, bool& fit) {
            if (!encodeAt(q)) return false;
            fit = fits();
            if (fit) bestFit = std::max(bestFit, q);
            return true;
        });
        if (written == 0) return false;
        // The search can end on a quality that is too large although a smaller one fitted;
        // the fitting one is written then.
        if (!fits() && bestFit > 0) {
            if (!encodeAt(bestFit)) return false;
            written = bestFit;
        }
    }
    const int fd = OpenForWriting(path);
    if (fd < 0) {
        ctx.error = kCodecCreate;
        return false;
    }
    const bool ok = WriteAllToFd(fd, dest.buffer, dest.size);
    const bool closed = ::close(fd) == 0;
    if (!ok || !closed) {
        ctx.error = kCodecSave;
        return false;
    }
    if (chosenQuality) *chosenQuality = written;
    return true;
}

}  // namespace lumra
