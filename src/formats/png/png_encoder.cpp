#include "formats/png/png_encoder.h"

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "formats/codec_error.h"
#include "formats/convert.h"
#include "formats/png/png_chunks.h"
#include "formats/png/png_text.h"
#include "formats/reduce.h"
#include "platform/ansi_text.h"
#include "platform/file_io.h"
#include "platform/file_stamp.h"
#include "platform/large_buffer.h"

namespace lumra {

namespace {

constexpr size_t kRowPad = 8;  // zero bytes before each row: the left neighbours of the first pixel
constexpr size_t kMaxCommentBytes = 10000;

template <class T>
std::unique_ptr<T[]> TryAllocate(size_t n) {
    return std::unique_ptr<T[]>(new (std::nothrow) T[n]);
}

struct FreeBytes {
    void operator()(uint8_t* p) const { std::free(p); }
};
using LargeBytes = std::unique_ptr<uint8_t, FreeBytes>;

// 0-3 and 252-255: small differences either side of zero.
inline int NearZero(uint8_t v) { return static_cast<uint8_t>(v + 4) < 8 ? 1 : 0; }

// Filters raw against prev (both with kRowPad zeros in front) into out; returns the count of
// near-zero bytes.
template <int F>
int FilterRow(const uint8_t* raw, const uint8_t* prev, size_t n, int bpp, uint8_t* out) {
    int count = 0;
    const uint8_t* left = raw - bpp;  // into the zero pad for the first pixel
    const uint8_t* upLeft = prev - bpp;
    for (size_t i = 0; i < n; ++i) {
        uint8_t v;
        if constexpr (F == 0) v = raw[i];
        else if constexpr (F == 1) v = static_cast<uint8_t>(raw[i] - left[i]);
        else if constexpr (F == 2) v = static_cast<uint8_t>(raw[i] - prev[i]);
        else if constexpr (F == 3) v = static_cast<uint8_t>(raw[i] - ((left[i] + prev[i]) >> 1));
        else v = static_cast<uint8_t>(raw[i] - PaethPredictor(left[i], prev[i], upLeft[i]));
        out[i] = v;
        count += NearZero(v);
    }
    return count;
}

using FilterFn = int (*)(const uint8_t*, const uint8_t*, size_t, int, uint8_t*);
constexpr FilterFn kFilters[5] = {FilterRow<0>, FilterRow<1>, FilterRow<2>, FilterRow<3>, FilterRow<4>};

void AppendBe32(std::vector<uint8_t>& v, uint32_t x) {
    uint8_t b[4];
    WriteBe32(b, x);
    v.insert(v.end(), b, b + 4);
}

void AppendChunk(std::vector<uint8_t>& v, const char (&type)[5], const uint8_t* data, size_t n) {
    AppendBe32(v, static_cast<uint32_t>(n));
    const size_t at = v.size();
    v.insert(v.end(), type, type + 4);
    if (n) v.insert(v.end(), data, data + n);
    AppendBe32(v, PngCrc(v.data() + at, n + 4));
}

// Tells the caller a compression runs, and that it ended however it ends.
class CompressingPhase {
public:
    explicit CompressingPhase(const std::function<void(bool)>& tell) : tell_(tell) {
        if (tell_) tell_(true);
    }
    ~CompressingPhase() {
        if (tell_) tell_(false);
    }
    CompressingPhase(const CompressingPhase&) = delete;
    CompressingPhase& operator=(const CompressingPhase&) = delete;

private:
    const std::function<void(bool)>& tell_;
};

// The parts of a written file: everything before the image data, the deflated data, and
// everything after it.
struct PngParts {
    std::vector<uint8_t> head;
    LargeBytes idat;
    size_t idatSize = 0;
    std::vector<uint8_t> tail;
};

class PngWriter {
public:
    PngWriter(const ImageBuffer& image, const PngEncodeOptions& options, DecoderContext& ctx)
        : image_(image), opt_(options), ctx_(ctx) {}

    bool Build(PngParts& parts);

private:
    bool Fail(int code) {
        ctx_.error = code;
        return false;
    }
    bool ChooseLayout();
    bool PreparePixels();
    bool PrepareRgb();
    bool PrepareGrey();
    bool PreparePalette();
    void BuildRawRow(uint32_t y, int x0, int dx, uint32_t count, uint8_t* dst) const;
    bool FilterAll(LargeBytes& data, size_t& size);
    bool Deflate(const uint8_t* data, size_t size, PngParts& parts);
    void WriteHead(std::vector<uint8_t>& v) const;
    void WriteTail(std::vector<uint8_t>& v) const;

    const ImageBuffer& image_;
    const PngEncodeOptions& opt_;
    DecoderContext& ctx_;

    uint32_t width_ = 0, height_ = 0;
    int colourType_ = 2, bitDepth_ = 8, bitsPerPixel_ = 24, filterBpp_ = 3;
    int filterType_ = -1;  // -1: Auto

    const ImageBuffer* rgb_ = nullptr;  // colour type 2: the 24-bit rows
    ImageBuffer rgbWork_;
    std::unique_ptr<uint8_t[]> plane_;  // grey or palette: one byte per pixel, rows from the top
    RgbQuad palette_[256] = {};
    int paletteEntries_ = 0;
    int transparentIndex_ = -1;
};

bool PngWriter::ChooseLayout() {
    width_ = static_cast<uint32_t>(image_.width());
    height_ = static_cast<uint32_t>(image_.height());
    const int src = image_.bitCount();
    if (image_.empty() || width_ < 1 || height_ < 1 || (src != 1 && src != 4 && src != 8 && src != 24))
        return Fail(kCodecSave);
    if (opt_.gray) {
        colourType_ = 0;
        bitDepth_ = 8;
    } else if (opt_.depth == 24) {
        colourType_ = 2;
        bitDepth_ = 8;
    } else if (opt_.depth == 1 || opt_.depth == 2 || opt_.depth == 4 || opt_.depth == 8) {
        colourType_ = 3;
        bitDepth_ = opt_.depth;
    } else {
        return Fail(kCodecSave);
    }
    bitsPerPixel_ = colourType_ == 2 ? 3 * bitDepth_ : bitDepth_;
    filterBpp_ = colourType_ == 2 ? 3 * bitDepth_ / 8 : 1;
    // Palette rows are never filtered.
    if (colourType_ == 3 || opt_.filter == 1) filterType_ = 0;
    else if (opt_.filter >= 2 && opt_.filter <= 5) filterType_ = opt_.filter - 1;
    else filterType_ = -1;
    return true;
}

bool PngWriter::PreparePixels() {
    switch (colourType_) {
        case 2: return PrepareRgb();
        case 0: return PrepareGrey();
        default: return PreparePalette();
    }
}

// Widens a 1- or 4-bit picture to 8 bits for the conversions that start from 8 or 24 bits.
bool WidenToEight(const ImageBuffer& src, ImageBuffer& out, DecoderContext& ctx) {
    if (!out.Allocate(src.width(), src.height(), 8)) {
        ctx.error = kCodecMemory;
        return false;
    }
    PixelConversion c;
    c.width = src.width();
    c.height = src.height();
    c.sourceDepth = src.bitCount();
    c.targetDepth = 8;
    if (!ConvertPixels(c, out.palette.data(), out.bits(), src.palette.data(), src.bits())) {
        ctx.error = kCodecSave;
        return false;
    }
    return true;
}

bool PngWriter::PrepareRgb() {
    if (image_.bitCount() == 24) {
        rgb_ = &image_;
        return true;
    }
    if (!rgbWork_.Allocate(image_.width(), image_.height(), 24)) return Fail(kCodecMemory);
    PixelConversion c;
    c.width = image_.width();
    c.height = image_.height();
    c.sourceDepth = image_.bitCount();
    c.targetDepth = 24;
    if (!ConvertPixels(c, nullptr, rgbWork_.bits(), image_.palette.data(), image_.bits())) return Fail(kCodecSave);
    rgb_ = &rgbWork_;
    return true;
}

bool PngWriter::PrepareGrey() {
    const ImageBuffer* src = &image_;
    ImageBuffer wide;
    if (src->bitCount() < 8) {
        if (!WidenToEight(*src, wide, ctx_)) return false;
        src = &wide;
    }
    ImageBuffer grey;
    if (!grey.Allocate(src->width(), src->height(), 8)) return Fail(kCodecMemory);
    PixelConversion c;
    c.width = src->width();
    c.height = src->height();
    c.sourceDepth = src->bitCount();
    c.targetDepth = 8;
    c.gray = true;
    if (!ConvertToGrey(c, src->palette.data(), src->bits(), grey.bits())) return Fail(kCodecSave);
    plane_ = TryAllocate<uint8_t>(size_t{width_} * height_);
    if (!plane_) return Fail(kCodecMemory);
    for (uint32_t y = 0; y < height_; ++y)
        std::memcpy(plane_.get() + size_t{width_} * y, grey.topRow(static_cast<int>(y)), width_);

    if (opt_.transparent) {
        const int level = (299 * opt_.transparentRed + 587 * opt_.transparentGreen + 114 * opt_.transparentBlue) / 1000;
        transparentIndex_ = level;
    }
    return true;
}

bool PngWriter::PreparePalette() {
    const ImageBuffer* src = &image_;
    ImageBuffer wide;
    if (src->bitCount() < 8) {
        if (!WidenToEight(*src, wide, ctx_)) return false;
        src = &wide;
    }
    const int depth = bitDepth_;
    PixelConversion c;
    c.width = src->width();
    c.height = src->height();
    c.sourceDepth = src->bitCount();
    c.targetDepth = depth;
    c.dither = opt_.dither;
    const size_t stride = ConversionRowBytes(c.width, depth);
    auto reduced = TryAllocate<uint8_t>(stride * height_);
    plane_ = TryAllocate<uint8_t>(size_t{width_} * height_);
    if (!reduced || !plane_) return Fail(kCodecMemory);
    RgbQuad reducedPalette[256] = {};
    if (!ConvertPixels(c, reducedPalette, reduced.get(), src->palette.data(), src->bits())) return Fail(kCodecSave);

    // One index per byte, rows from the top.
    const unsigned mask = (1u << depth) - 1;
    for (uint32_t y = 0; y < height_; ++y) {
        const uint8_t* row = reduced.get() + stride * (height_ - 1 - y);
        uint8_t* dst = plane_.get() + size_t{width_} * y;
        if (depth == 8) {
            std::memcpy(dst, row, width_);
            continue;
        }
        for (uint32_t x = 0; x < width_; ++x) {
            const size_t bit = size_t{x} * depth;
            dst[x] = static_cast<uint8_t>((row[bit / 8] >> (8 - depth - bit % 8)) & mask);
        }
    }

    // Duplicate entries are merged, in order of first appearance; a 1-bit palette keeps both.
    uint8_t remap[256] = {};
    const int count = 1 << depth;
    if (depth == 1) {
        palette_[0] = reducedPalette[0];
        palette_[1] = reducedPalette[1];
        paletteEntries_ = 2;
        remap[1] = 1;
    } else {
        for (int i = 0; i < count; ++i) {
            const RgbQuad e{reducedPalette[i].blue, reducedPalette[i].green, reducedPalette[i].red, 0};
            int k = 0;
            while (k < paletteEntries_ && !(palette_[k] == e)) ++k;
            if (k == paletteEntries_) palette_[paletteEntries_++] = e;
            remap[i] = static_cast<uint8_t>(k);
        }
        const size_t n = size_t{width_} * height_;
        uint8_t* p = plane_.get();
        for (size_t i = 0; i < n; ++i) p[i] = remap[p[i]];
    }

    if (opt_.transparent) {
        const int r = opt_.transparentRed, g = opt_.transparentGreen, b = opt_.transparentBlue;
        int best = -1;
        for (int i = 0; i < paletteEntries_ && best < 0; ++i)
            if (palette_[i].red == r && palette_[i].green == g && palette_[i].blue == b) best = i;
        if (best < 0) {
            int bestDistance = 0;
            for (int i = 0; i < paletteEntries_; ++i) {
                const int dr = palette_[i].red - r, dg = palette_[i].green - g, db = palette_[i].blue - b;
                const int d = dr * dr + dg * dg + db * db;
                if (best < 0 || d < bestDistance) {
                    best = i;
                    bestDistance = d;
                }
            }
        }
        transparentIndex_ = best;
    }
    return true;
}

// Raw bytes of `count` pixels from top row y, starting at column x0, every dx columns.
void PngWriter::BuildRawRow(uint32_t y, int x0, int dx, uint32_t count, uint8_t* dst) const {
    if (colourType_ == 2) {
        const uint8_t* s = rgb_->topRow(static_cast<int>(y)) + 3 * static_cast<size_t>(x0);
        const size_t step = 3 * static_cast<size_t>(dx);
        for (uint32_t i = 0; i < count; ++i, s += step, dst += 3) {
            dst[0] = s[2];
            dst[1] = s[1];
            dst[2] = s[0];
        }
        return;
    }
    const uint8_t* s = plane_.get() + size_t{width_} * y + x0;
    if (bitDepth_ == 8) {
        if (dx == 1) {
            std::memcpy(dst, s, count);
        } else {
            for (uint32_t i = 0; i < count; ++i) dst[i] = s[size_t{i} * dx];
        }
        return;
    }
    // Packed indices, leftmost pixel in the most significant bits; unused low bits are 0.
    const int depth = bitDepth_;
    std::memset(dst, 0, static_cast<size_t>(PngRowBytes(count, depth)));
    for (uint32_t i = 0; i < count; ++i) {
        const size_t bit = size_t{i} * depth;
        dst[bit / 8] |= static_cast<uint8_t>(s[size_t{i} * dx] << (8 - depth - bit % 8));
    }
}

int ChooseFilterFor(int fixed, const uint8_t* raw, const uint8_t* prev, size_t n, int bpp, uint8_t* out,
                    uint8_t* scratch) {
    if (fixed >= 0) {
        kFilters[fixed](raw, prev, n, bpp, out);
        return fixed;
    }
    int counts[5];
    for (int f = 0; f < 5; ++f) counts[f] = kFilters[f](raw, prev, n, bpp, scratch + f * n);
    const int chosen = ChooseAutoFilter(counts);
    std::memcpy(out, scratch + chosen * n, n);
    return chosen;
}

bool PngWriter::FilterAll(LargeBytes& data, size_t& size) {
    struct Pass {
        int x0, y0, dx, dy;
    };
    Pass passes[7];
    int passCount = 0;
    if (opt_.interlace) {
        for (const Adam7Pass& p : kAdam7) passes[passCount++] = Pass{p.x0, p.y0, p.dx, p.dy};
    } else {
        passes[passCount++] = Pass{0, 0, 1, 1};
    }
    uint64_t total = 0;
    for (int p = 0; p < passCount; ++p) {
        const uint32_t pw = PassExtent(width_, passes[p].x0, passes[p].dx);
        const uint32_t ph = PassExtent(height_, passes[p].y0, passes[p].dy);
        if (pw && ph) total += (PngRowBytes(pw, bitsPerPixel_) + 1) * ph;
    }
    if (total > SIZE_MAX / 2) return Fail(kCodecMemory);
    size = static_cast<size_t>(total);
    data.reset(AllocateLarge(size, false));
    const size_t maxRow = static_cast<size_t>(PngRowBytes(width_, bitsPerPixel_));
    auto rows = TryAllocate<uint8_t>(2 * (kRowPad + maxRow));
    std::unique_ptr<uint8_t[]> scratch;
    if (filterType_ < 0) scratch = TryAllocate<uint8_t>(5 * maxRow);
    if (!data || !rows || (filterType_ < 0 && !scratch)) return Fail(kCodecMemory);
    std::memset(rows.get(), 0, 2 * (kRowPad + maxRow));
    uint8_t* cur = rows.get() + kRowPad;
    uint8_t* prev = cur + kRowPad + maxRow;

    uint8_t* out = data.get();
    for (int p = 0; p < passCount; ++p) {
        const Pass& pass = passes[p];
        const uint32_t pw = PassExtent(width_, pass.x0, pass.dx);
        const uint32_t ph = PassExtent(height_, pass.y0, pass.dy);
        if (!pw || !ph) continue;
        const size_t n = static_cast<size_t>(PngRowBytes(pw, bitsPerPixel_));
        std::memset(prev, 0, n);
        for (uint32_t j = 0; j < ph; ++j) {
            BuildRawRow(pass.y0 + j * pass.dy, pass.x0, pass.dx, pw, cur);
            out[0] = static_cast<uint8_t>(ChooseFilterFor(filterType_, cur, prev, n, filterBpp_, out + 1, scratch.get()));
            out += n + 1;
            std::swap(cur, prev);
        }
    }
    return true;
}

bool PngWriter::Deflate(const uint8_t* data, size_t size, PngParts& parts) {
    CompressingPhase phase(opt_.compressing);
    z_stream s;
    std::memset(&s, 0, sizeof s);
    const int level = std::min(opt_.level, 9);
    const int strategy = colourType_ == 3 ? Z_DEFAULT_STRATEGY : Z_FILTERED;
    if (deflateInit2(&s, level, Z_DEFLATED, 15, 9, strategy) != Z_OK) return Fail(kCodecZlibWrite);
    // zlib before 1.3 gives too small a bound for stored blocks at memory level 9; take the
    // larger of its answer and the stored-block bound of later releases.
    const uLong n = static_cast<uLong>(size);
    const uLong storedBound = n + (n >> 5) + (n >> 7) + (n >> 11) + 7 + 6;
    const uLong bound = std::max(deflateBound(&s, n), storedBound);
    if (size > UINT32_MAX || bound > UINT32_MAX) {
        deflateEnd(&s);
        return Fail(kCodecZlibWrite);
    }
    parts.idat.reset(AllocateLarge(bound, false));
    if (!parts.idat) {
        deflateEnd(&s);
        return Fail(kCodecMemory);
    }
    s.next_in = const_cast<Bytef*>(data);
    s.avail_in = static_cast<uInt>(size);
    s.next_out = parts.idat.get();
    s.avail_out = static_cast<uInt>(bound);
    const int r = deflate(&s, Z_FINISH);
    parts.idatSize = s.total_out;
    const int end = deflateEnd(&s);
    if (r != Z_STREAM_END || end != Z_OK) return Fail(kCodecZlibWrite);
    if (parts.idatSize > kPngMaxChunkLength) return Fail(kCodecSave);
    return true;
}

void PngWriter::WriteHead(std::vector<uint8_t>& v) const {
    v.insert(v.end(), kPngSignature, kPngSignature + 8);
    uint8_t ihdr[13];
    WriteBe32(ihdr, width_);
    WriteBe32(ihdr + 4, height_);
    ihdr[8] = static_cast<uint8_t>(bitDepth_);
    ihdr[9] = static_cast<uint8_t>(colourType_);
    ihdr[10] = 0;
    ihdr[11] = 0;
    ihdr[12] = opt_.interlace ? 1 : 0;
    AppendChunk(v, "IHDR", ihdr, 13);

    const int gamma = opt_.gamma < 0 ? 1 : opt_.gamma;
    if (gamma > 0) {
        uint8_t b[4];
        WriteBe32(b, static_cast<uint32_t>(100000000.0 / gamma + 0.5));
        AppendChunk(v, "gAMA", b, 4);
    }
    if (opt_.xPelsPerMeter != 0 && opt_.yPelsPerMeter != 0) {
        uint8_t b[9];
        WriteBe32(b, static_cast<uint32_t>(opt_.xPelsPerMeter));
        WriteBe32(b + 4, static_cast<uint32_t>(opt_.yPelsPerMeter));
        b[8] = 1;
        AppendChunk(v, "pHYs", b, 9);
    }
    if (colourType_ == 3) {
        uint8_t plte[768];
        for (int i = 0; i < paletteEntries_; ++i) {
            plte[3 * i] = palette_[i].red;
            plte[3 * i + 1] = palette_[i].green;
            plte[3 * i + 2] = palette_[i].blue;
        }
        AppendChunk(v, "PLTE", plte, 3 * static_cast<size_t>(paletteEntries_));
        if (opt_.transparent && transparentIndex_ >= 0) {
            uint8_t trns[256];
            std::memset(trns, 255, sizeof trns);
            trns[transparentIndex_] = 0;
            AppendChunk(v, "tRNS", trns, static_cast<size_t>(transparentIndex_) + 1);
            const uint8_t index = static_cast<uint8_t>(transparentIndex_);
            AppendChunk(v, "bKGD", &index, 1);
        }
    } else if (colourType_ == 0) {
        if (opt_.transparent) {
            const uint8_t level[2] = {0, static_cast<uint8_t>(transparentIndex_)};
            AppendChunk(v, "tRNS", level, 2);
            AppendChunk(v, "bKGD", level, 2);
        }
    } else if (opt_.transparent) {
        const uint8_t colour[6] = {0, opt_.transparentRed, 0, opt_.transparentGreen, 0, opt_.transparentBlue};
        AppendChunk(v, "tRNS", colour, 6);
        AppendChunk(v, "bKGD", colour, 6);
    }
}

void PngWriter::WriteTail(std::vector<uint8_t>& v) const {
    if (!opt_.comment.empty()) {
        const std::vector<uint8_t> chunk = MakePngCommentChunk(opt_.comment);
        v.insert(v.end(), chunk.begin(), chunk.end());
    }
    AppendChunk(v, "IEND", nullptr, 0);
}

bool PngWriter::Build(PngParts& parts) {
    ctx_.error = kCodecOk;
    if (!ChooseLayout()) return false;
    try {
        if (!PreparePixels()) return false;
    } catch (const std::bad_alloc&) {
        return Fail(kCodecMemory);
    }
    LargeBytes filtered;
    size_t filteredSize = 0;
    if (!FilterAll(filtered, filteredSize)) return false;
    if (!Deflate(filtered.get(), filteredSize, parts)) return false;
    filtered.reset();
    WriteHead(parts.head);
    WriteTail(parts.tail);
    return true;
}

void IdatFrame(const PngParts& parts, uint8_t header[8], uint8_t crc[4]) {
    WriteBe32(header, static_cast<uint32_t>(parts.idatSize));
    std::memcpy(header + 4, "IDAT", 4);
    WriteBe32(crc, UpdatePngCrc(PngCrc(header + 4, 4), parts.idat.get(), parts.idatSize));
}

}  // namespace

int ChooseAutoFilter(const int counts[5]) {
    const int subUp = counts[1] >= counts[2] ? 1 : 2;
    const int averagePaeth = counts[3] >= counts[4] ? 3 : 4;
    const int best = counts[subUp] >= counts[averagePaeth] ? subUp : averagePaeth;
    return counts[0] >= counts[best] ? 0 : best;
}

PngEncodeOptions PngOptionsFromRequest(const SaveRequest& req, const ImageBuffer& image) {
    const SImgSettings& s = req.simg;
    PngEncodeOptions o;
    // The depth list shows 3 bits as 4 and 5-7 bits as 8; grey is 8-bit grey at any depth.
    o.gray = s.gray != 0;
    if (s.depth == 3) o.depth = 4;
    else if (s.depth >= 5 && s.depth <= 7) o.depth = 8;
    else o.depth = s.depth;
    o.interlace = (s.interlace & 1) != 0;
    o.level = std::min(s.level, 9);
    o.filter = s.filter;
    o.dither = s.dither;
    o.gamma = (s.gamma & 1) ? (s.saveGam < 0 ? 1 : s.saveGam) : 0;
    o.transparent = req.saveTransparent;
    o.transparentRed = static_cast<uint8_t>(std::clamp(s.alphaR, 0, 255));
    o.transparentGreen = static_cast<uint8_t>(std::clamp(s.alphaG, 0, 255));
    o.transparentBlue = static_cast<uint8_t>(std::clamp(s.alphaB, 0, 255));
    o.xPelsPerMeter = std::max(image.header.biXPelsPerMeter, 0);
    o.yPelsPerMeter = std::max(image.header.biYPelsPerMeter, 0);
    if (req.writeComment && !req.comment.empty()) o.comment = Utf8ToAnsi(req.comment, kMaxCommentBytes);
    o.compressing = req.compressing;
    return o;
}

bool EncodePngToMemory(const ImageBuffer& image, const PngEncodeOptions& options, std::vector<uint8_t>& out,
                       DecoderContext& ctx) {
    out.clear();
    PngParts parts;
    PngWriter writer(image, options, ctx);
    if (!writer.Build(parts)) return false;
    uint8_t header[8], crc[4];
    IdatFrame(parts, header, crc);
    try {
        out.reserve(parts.head.size() + 12 + parts.idatSize + parts.tail.size());
        out = std::move(parts.head);
        out.insert(out.end(), header, header + 8);
        out.insert(out.end(), parts.idat.get(), parts.idat.get() + parts.idatSize);
        out.insert(out.end(), crc, crc + 4);
        out.insert(out.end(), parts.tail.begin(), parts.tail.end());
    } catch (const std::bad_alloc&) {
        out.clear();
        ctx.error = kCodecMemory;
        return false;
    }
    return true;
}

bool WritePngFile(const std::string& path, const ImageBuffer& image, const PngEncodeOptions& options,
                  DecoderContext& ctx) {
    ctx.error = kCodecOk;
    const int fd = OpenForWriting(path);
    if (fd < 0) {
        ctx.error = kCodecCreate;
        return false;
    }
    PngParts parts;
    PngWriter writer(image, options, ctx);
    if (!writer.Build(parts)) {
        ::close(fd);
        return false;
    }
    uint8_t header[8], crc[4];
    IdatFrame(parts, header, crc);
    bool ok = WriteAllToFd(fd, parts.head.data(), parts.head.size());
    ok = ok && WriteAllToFd(fd, header, 8);
    ok = ok && WriteAllToFd(fd, parts.idat.get(), parts.idatSize);
    ok = ok && WriteAllToFd(fd, crc, 4);
    ok = ok && WriteAllToFd(fd, parts.tail.data(), parts.tail.size());
    if (::close(fd) != 0) ok = false;
    if (!ok) {
        ctx.error = kCodecSave;
        return false;
    }
    return true;
}

bool EncodePng(const std::string& path, const ImageBuffer& image, const SaveRequest& req, DecoderContext& ctx) {
    return WritePngFile(path, image, PngOptionsFromRequest(req, image), ctx);
}

}  // namespace lumra
