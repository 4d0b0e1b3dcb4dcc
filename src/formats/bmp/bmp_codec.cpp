#include "formats/bmp/bmp_codec.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>

#include "formats/codec_error.h"
#include "platform/file_io.h"
#include "platform/file_stamp.h"

namespace lumra {

namespace {

constexpr size_t kFileHeaderBytes = 14;
constexpr size_t kInfoHeaderBytes = 40;
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void Put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Where the parts of one DIB lie in the bytes at hand (file or clipboard block).
struct DibLayout {
    int width = 0;
    int height = 0;
    int bitCount = 0;
    uint32_t compression = 0;
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    uint32_t masks[3] = {0, 0, 0};  // red, green, blue
    uint64_t paletteOffset = 0;
    uint32_t paletteEntries = 0;  // entries to read, at most 256
    uint64_t pixelOffset = 0;
};

// Reads the info header at `at`; checks size limits and the accepted forms.
bool ParseInfoHeader(const uint8_t* data, size_t size, size_t at, DibLayout& dib, uint32_t& biSize,
                     uint32_t& clrUsed, DecoderContext& ctx) {
    if (size < at + kInfoHeaderBytes) {
        ctx.error = kCodecUnsupported;
        return false;
    }
    const uint8_t* h = data + at;
    biSize = Get32(h);
    // Core headers and headers that do not fit are refused.
    if (biSize < kInfoHeaderBytes || static_cast<uint64_t>(at) + biSize > size) {
        ctx.error = kCodecUnsupported;
        return false;
    }
    const int32_t width = static_cast<int32_t>(Get32(h + 4));
    const int32_t height = static_cast<int32_t>(Get32(h + 8));
    if (width < 1 || width > kMaxPictureSide || height < 1 || height > kMaxPictureSide) {
        ctx.error = kCodecUnsupported;
        return false;
    }
    dib.width = width;
    dib.height = height;
    dib.bitCount = Get16(h + 14);
    dib.compression = Get32(h + 16);
    dib.xPelsPerMeter = static_cast<int32_t>(Get32(h + 24));
    dib.yPelsPerMeter = static_cast<int32_t>(Get32(h + 28));
    clrUsed = Get32(h + 32);

    bool ok = false;
    switch (dib.bitCount) {
        case 1:
        case 4:
        case 8:
        case 24: ok = dib.compression == kBiRgb; break;
        case 16:
        case 32: ok = dib.compression == kBiRgb || dib.compression == kBiBitfields; break;
        default: ok = false;
    }
    if (!ok) {
        ctx.error = kCodecUnsupported;
        return false;
    }
    if (dib.bitCount == 16 && dib.compression == kBiRgb) {
        dib.masks[0] = 0x7C00;
        dib.masks[1] = 0x03E0;
        dib.masks[2] = 0x001F;
    } else if (dib.bitCount == 32 && dib.compression == kBiRgb) {
        dib.masks[0] = 0xFF0000;
        dib.masks[1] = 0x00FF00;
        dib.masks[2] = 0x0000FF;
    } else if (dib.compression == kBiBitfields) {
        // The masks follow a 40-byte header and lie inside the larger ones: same place.
        const size_t maskAt = at + kInfoHeaderBytes;
        if (size < maskAt + 12) {
            ctx.error = kCodecUnsupported;
            return false;
        }
        for (int i = 0; i < 3; ++i) dib.masks[i] = Get32(data + maskAt + 4 * i);
    }
    return true;
}

// Reads up to dib.paletteEntries entries that lie wholly inside the data; the rest stay black.
void ReadPalette(const uint8_t* data, size_t size, const DibLayout& dib, Palette& pal) {
    pal.fill(RgbQuad{});
    if (dib.paletteOffset >= size) return;
    const uint64_t fit = (size - dib.paletteOffset) / 4;
    const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(fit, dib.paletteEntries));
    const uint8_t* p = data + dib.paletteOffset;
    for (uint32_t i = 0; i < n; ++i, p += 4) pal[i] = RgbQuad{p[0], p[1], p[2], p[3]};
}

int HighestBitWidth(uint32_t v) {
    int n = 0;
    while (v) {
        ++n;
        v >>= 1;
    }
    return n;
}

// Per-channel scaling of a masked value to 0..255.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint64_t max = 0;  // 2^width - 1; 0 means the channel is absent (always 0)
    uint8_t Scale(uint32_t v) const {
        if (!max) return 0;
        return static_cast<uint8_t>(static_cast<uint64_t>((v & mask) >> shift) * 255 / max);
    }
};

bool MakeChannels(const uint32_t masks[3], Channel out[3], DecoderContext& ctx) {
    // Blue lowest from bit 0, green above, red above green.
    const int nb = HighestBitWidth(masks[2]);
    if (nb >= 32) {
        ctx.error = kCodecRead;
        return false;
    }
    const int ng = HighestBitWidth(masks[1] >> nb);
    const int redShift = nb + ng;
    if (ng >= 32 || redShift >= 32) {
        ctx.error = kCodecRead;
        return false;
    }
    const int nr = HighestBitWidth(masks[0] >> redShift);
    if (nr >= 32) {
        ctx.error = kCodecRead;
        return false;
    }
    out[0] = Channel{masks[0], redShift, (uint64_t{1} << nr) - 1};
    out[1] = Channel{masks[1], nb, (uint64_t{1} << ng) - 1};
    out[2] = Channel{masks[2], 0, (uint64_t{1} << nb) - 1};
    return true;
}

// 16 and 32-bit pixels into 24-bit rows; only pixels wholly inside the data are converted.
bool ConvertMasked(const uint8_t* data, size_t size, const DibLayout& dib, ImageBuffer& image,
                   DecoderContext& ctx) {
    Channel ch[3];
    if (!MakeChannels(dib.masks, ch, ctx)) return false;
    if (dib.pixelOffset >= size) return true;
    const uint8_t* src = data + dib.pixelOffset;
    const size_t avail = size - static_cast<size_t>(dib.pixelOffset);
    const size_t w = static_cast<size_t>(dib.width);
    const int bytesPerPixel = dib.bitCount / 8;
    const size_t srcStride = dib.bitCount == 16 ? ((w + 1) & ~size_t{1}) * 2 : w * 4;
    const bool plain32 = dib.bitCount == 32 && dib.masks[0] == 0xFF0000 && dib.masks[1] == 0xFF00 &&
                         dib.masks[2] == 0xFF;

    // 16-bit values go through a table.
    std::unique_ptr<uint8_t[]> table;
    if (dib.bitCount == 16) {
        table.reset(new (std::nothrow) uint8_t[65536 * 3]);
        if (!table) {
            ctx.error = kCodecMemory;
            return false;
        }
        for (uint32_t v = 0; v < 65536; ++v) {
            table[3 * v] = ch[2].Scale(v);
            table[3 * v + 1] = ch[1].Scale(v);
            table[3 * v + 2] = ch[0].Scale(v);
        }
    }

    for (int y = 0; y < dib.height; ++y) {
        const size_t rowStart = static_cast<size_t>(y) * srcStride;
        if (rowStart >= avail) break;
        const size_t pixels = std::min(w, (avail - rowStart) / static_cast<size_t>(bytesPerPixel));
        const uint8_t* s = src + rowStart;
        uint8_t* d = image.storedRow(y);
        if (dib.bitCount == 16) {
            for (size_t x = 0; x < pixels; ++x, s += 2, d += 3) {
                const uint8_t* t = &table[3 * static_cast<size_t>(Get16(s))];
                d[0] = t[0];
                d[1] = t[1];
                d[2] = t[2];
            }
        } else if (plain32) {
            for (size_t x = 0; x < pixels; ++x, s += 4, d += 3) {
                d[0] = s[0];
                d[1] = s[1];
                d[2] = s[2];
            }
        } else {
            for (size_t x = 0; x < pixels; ++x, s += 4, d += 3) {
                const uint32_t v = Get32(s);
                d[0] = ch[2].Scale(v);
                d[1] = ch[1].Scale(v);
                d[2] = ch[0].Scale(v);
            }
        }
    }
    return true;
}

// Decodes the pixel data described by dib into ctx.image.
bool DecodePixels(const uint8_t* data, size_t size, const DibLayout& dib, DecoderContext& ctx) {
    ImageBuffer& image = ctx.image;
    const int outDepth = dib.bitCount <= 8 ? 8 : 24;
    if (!image.Allocate(dib.width, dib.height, outDepth)) {
        ctx.error = kCodecMemory;
        return false;
    }
    image.header.biXPelsPerMeter = dib.xPelsPerMeter;
    image.header.biYPelsPerMeter = dib.yPelsPerMeter;
    image.palette.fill(RgbQuad{});

    const size_t avail = dib.pixelOffset < size ? size - static_cast<size_t>(dib.pixelOffset) : 0;
    const uint8_t* src = avail ? data + dib.pixelOffset : nullptr;

    switch (dib.bitCount) {
        case 8:
        case 24: {
            if (dib.bitCount == 8) ReadPalette(data, size, dib, image.palette);
            const size_t n = std::min(avail, image.imageBytes());
            if (n) std::memcpy(image.bits(), src, n);
            return true;
        }
        case 1:
        case 4: {
            Palette pal;
            ReadPalette(data, size, dib, pal);
            const size_t stride = PaddedRowBytes(dib.width, dib.bitCount);
            const size_t fullRows = std::min<size_t>(avail / stride, static_cast<size_t>(dib.height));
            PixelConversion conv;
            conv.width = dib.width;
            conv.sourceDepth = dib.bitCount;
            conv.targetDepth = 8;
            conv.sourceStride = stride;
            if (fullRows > 0) {
                conv.height = static_cast<int>(fullRows);
                if (!ConvertPixels(conv, image.palette.data(), image.bits(), pal.data(), src)) {
                    ctx.error = kCodecRead;
                    return false;
                }
            }
            if (fullRows < static_cast<size_t>(dib.height)) {
                // The cut row, padded with zeros; rows after it stay zero as well.
                std::unique_ptr<uint8_t[]> row(new (std::nothrow) uint8_t[stride]());
                if (!row) {
                    ctx.error = kCodecMemory;
                    return false;
                }
                const size_t have = avail - fullRows * stride;
                if (have) std::memcpy(row.get(), src + fullRows * stride, std::min(have, stride));
                conv.height = 1;
                if (!ConvertPixels(conv, image.palette.data(), image.storedRow(static_cast<int>(fullRows)),
                                   pal.data(), row.get())) {
                    ctx.error = kCodecRead;
                    return false;
                }
            }
            return true;
        }
        default:
            return ConvertMasked(data, size, dib, image, ctx);
    }
}

int32_t ClampFileSize(uint64_t n) { return n > INT32_MAX ? INT32_MAX : static_cast<int32_t>(n); }

bool Fail(DecoderContext& ctx, int code) {
    ctx.error = code;
    ctx.image.Reset();
    return false;
}

// Header, palette and row source of one BMP file about to be written.
struct BmpOutput {
    uint8_t headers[54] = {};
    Palette palette{};
    uint32_t paletteEntries = 0;
    const uint8_t* rows = nullptr;
    size_t rowBytes = 0;
    std::unique_ptr<uint8_t, FreeDeleter> converted;
};

bool PrepareBmp(const ImageBuffer& image, int targetDepth, bool gray, int dither, BmpOutput& out,
                DecoderContext& ctx) {
    if (image.empty() || image.width() < 1 || image.height() < 1) {
        ctx.error = kCodecSave;
        return false;
    }
    if (targetDepth != 1 && targetDepth != 4 && targetDepth != 8 && targetDepth != 24) {
        ctx.error = kCodecSave;
        return false;
    }
    const int depth = image.bitCount();
    // At its own depth the picture is written as it is: BMP has no grey option.
    if (depth == targetDepth) {
        out.rows = image.bits();
        out.rowBytes = image.imageBytes();
        if (depth < 24) std::copy(image.palette.begin(), image.palette.end(), out.palette.begin());
    } else {
        PixelConversion conv;
        conv.width = image.width();
        conv.height = image.height();
        conv.sourceDepth = depth;
        conv.targetDepth = targetDepth;
        conv.gray = gray;
        conv.dither = dither;
        conv.sourceStride = image.stride();
        const size_t stride = ConversionRowBytes(image.width(), targetDepth);
        out.rowBytes = stride * static_cast<size_t>(image.height());
        out.converted.reset(static_cast<uint8_t*>(std::malloc(out.rowBytes)));
        if (!out.converted) {
            ctx.error = kCodecMemory;
            return false;
        }
        if (!ConvertPixels(conv, out.palette.data(), out.converted.get(), image.palette.data(), image.bits())) {
            ctx.error = kCodecSave;
            return false;
        }
        out.rows = out.converted.get();
    }
    out.paletteEntries = targetDepth < 24 ? (1u << targetDepth) : 0;
    const uint64_t offBits = 54 + 4 * uint64_t{out.paletteEntries};
    const uint64_t fileBytes = offBits + out.rowBytes;
    if (fileBytes > UINT32_MAX) {
        ctx.error = kCodecSave;
        return false;
    }
    uint8_t* h = out.headers;
    h[0] = 'B';
    h[1] = 'M';
    Put32(h + 2, static_cast<uint32_t>(fileBytes));
    Put32(h + 10, static_cast<uint32_t>(offBits));
    Put32(h + 14, 40);
    Put32(h + 18, static_cast<uint32_t>(image.width()));
    Put32(h + 22, static_cast<uint32_t>(image.height()));
    Put16(h + 26, 1);
    Put16(h + 28, static_cast<uint32_t>(targetDepth));
    Put32(h + 30, kBiRgb);
    Put32(h + 34, 0);
    Put32(h + 38, static_cast<uint32_t>(image.header.biXPelsPerMeter));
    Put32(h + 42, static_cast<uint32_t>(image.header.biYPelsPerMeter));
    Put32(h + 46, out.paletteEntries);
    Put32(h + 50, 0);
    return true;
}

void PaletteBytes(const Palette& pal, uint32_t entries, uint8_t* dst) {
    for (uint32_t i = 0; i < entries; ++i) {
        dst[4 * i] = pal[i].blue;
        dst[4 * i + 1] = pal[i].green;
        dst[4 * i + 2] = pal[i].red;
        dst[4 * i + 3] = pal[i].reserved;
    }
}

}  // namespace

bool DecodeBmp(const uint8_t* data, size_t size, DecoderContext& ctx) {
    ctx.error = kCodecOk;
    ctx.image.Reset();
    if (!data || size < kFileHeaderBytes || data[0] != 'B' || data[1] != 'M') return Fail(ctx, kCodecUnsupported);
    DibLayout dib;
    uint32_t biSize = 0;
    uint32_t clrUsed = 0;
    if (!ParseInfoHeader(data, size, kFileHeaderBytes, dib, biSize, clrUsed, ctx)) return Fail(ctx, ctx.error);
    if (dib.bitCount <= 8) {
        dib.paletteOffset = kFileHeaderBytes + uint64_t{biSize};
        dib.paletteEntries = clrUsed ? std::min<uint32_t>(clrUsed, 256) : (1u << dib.bitCount);
    }
    dib.pixelOffset = Get32(data + 10);
    if (!DecodePixels(data, size, dib, ctx)) return Fail(ctx, ctx.error);
    ctx.image.sourceFormat = kFormatBmp;
    ctx.image.sourceBitDepth = dib.bitCount;
    ctx.image.fileSize = ClampFileSize(size);
    return true;
}

bool ReadBmpFile(const std::string& path, DecoderContext& ctx) {
    ctx.error = kCodecOk;
    ctx.image.Reset();
    FileStamp st;
    const int fd = OpenForReading(path, st);
    if (fd < 0) return Fail(ctx, kCodecRead);
    if (!st.regular) {
        ::close(fd);
        return Fail(ctx, kCodecRead);
    }
    const size_t size = static_cast<size_t>(st.size);
    bool ok = false;
    if (size == 0) {
        ok = DecodeBmp(nullptr, 0, ctx);
    } else {
        void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (map != MAP_FAILED) {
            ok = DecodeBmp(static_cast<const uint8_t*>(map), size, ctx);
            ::munmap(map, size);
        } else {
            // Fall back to reading the whole file.
            std::unique_ptr<uint8_t[]> buf(new (std::nothrow) uint8_t[size]);
            if (!buf) {
                ::close(fd);
                return Fail(ctx, kCodecMemory);
            }
            size_t got = 0;
            while (got < size) {
                const ssize_t r = ::read(fd, buf.get() + got, size - got);
                if (r < 0 && errno == EINTR) continue;
                if (r <= 0) break;
                got += static_cast<size_t>(r);
            }
            ok = DecodeBmp(buf.get(), got, ctx);
        }
    }
    ::close(fd);
    if (!ok) return false;
    ctx.image.fileTime = st.modifiedNs;
    return true;
}

bool ReadClipboardDib(const uint8_t* data, size_t size, DecoderContext& ctx) {
    ctx.error = kCodecOk;
    ctx.image.Reset();
    if (!data) return Fail(ctx, kCodecUnsupported);
    DibLayout dib;
    uint32_t biSize = 0;
    uint32_t clrUsed = 0;
    if (!ParseInfoHeader(data, size, 0, dib, biSize, clrUsed, ctx)) return Fail(ctx, ctx.error);
    uint64_t tableAt = biSize;
    if (dib.compression == kBiBitfields && biSize < 52) tableAt += 12;  // masks after a 40-byte header
    uint64_t tableEntries = clrUsed;
    if (!tableEntries && dib.bitCount <= 8) tableEntries = uint64_t{1} << dib.bitCount;
    dib.paletteOffset = tableAt;
    dib.paletteEntries = static_cast<uint32_t>(std::min<uint64_t>(tableEntries, 256));
    dib.pixelOffset = tableAt + 4 * tableEntries;
    if (!DecodePixels(data, size, dib, ctx)) return Fail(ctx, ctx.error);
    ImageBuffer& image = ctx.image;
    image.header.biXPelsPerMeter = 0;
    image.header.biYPelsPerMeter = 0;
    image.sourceFormat = kFormatBmp;
    image.sourceBitDepth = dib.bitCount;
    // What a BMP file of the result would measure.
    image.fileSize = ClampFileSize(54 + (image.bitCount() == 8 ? 1024 : 0) + uint64_t{image.imageBytes()});
    return true;
}

bool EncodeBmp(const ImageBuffer& image, int targetDepth, bool gray, int dither, std::vector<uint8_t>& out,
               DecoderContext& ctx) {
    ctx.error = kCodecOk;
    out.clear();
    BmpOutput bmp;
    if (!PrepareBmp(image, targetDepth, gray, dither, bmp, ctx)) return false;
    const size_t paletteBytes = 4 * static_cast<size_t>(bmp.paletteEntries);
    try {
        out.resize(54 + paletteBytes + bmp.rowBytes);
    } catch (const std::bad_alloc&) {
        out.clear();
        ctx.error = kCodecMemory;
        return false;
    }
    std::memcpy(out.data(), bmp.headers, 54);
    PaletteBytes(bmp.palette, bmp.paletteEntries, out.data() + 54);
    std::memcpy(out.data() + 54 + paletteBytes, bmp.rows, bmp.rowBytes);
    return true;
}

bool WriteBmpFile(const std::string& path, const ImageBuffer& image, int targetDepth, bool gray, int dither,
                  DecoderContext& ctx) {
    ctx.error = kCodecOk;
    BmpOutput bmp;
    if (!PrepareBmp(image, targetDepth, gray, dither, bmp, ctx)) return false;
    const int fd = OpenForWriting(path);
    if (fd < 0) {
        ctx.error = kCodecCreate;
        return false;
    }
    uint8_t pal[1024];
    PaletteBytes(bmp.palette, bmp.paletteEntries, pal);
    const size_t paletteBytes = 4 * static_cast<size_t>(bmp.paletteEntries);
    bool ok = WriteAllToFd(fd, bmp.headers, 54);
    if (ok && paletteBytes) ok = WriteAllToFd(fd, pal, paletteBytes);
    if (ok) ok = WriteAllToFd(fd, bmp.rows, bmp.rowBytes);
    if (::close(fd) != 0) ok = false;
    if (!ok) {
        DeleteFile(path);
        ctx.error = kCodecSave;
        return false;
    }
    return true;
}

std::vector<uint8_t> WriteClipboardDib(const ImageBuffer& image) {
    std::vector<uint8_t> out;
    const int depth = image.bitCount();
    if (image.empty() || (depth != 1 && depth != 4 && depth != 8 && depth != 24)) return out;
    const size_t paletteBytes = depth == 8 ? 1024 : (depth < 8 ? 4u << depth : 0);
    const size_t rows = image.imageBytes();
    try {
        out.resize(40 + paletteBytes + rows);
    } catch (const std::bad_alloc&) {
        return {};
    }
    uint8_t* h = out.data();
    Put32(h, 40);
    Put32(h + 4, static_cast<uint32_t>(image.width()));
    Put32(h + 8, static_cast<uint32_t>(image.height()));
    Put16(h + 12, 1);
    Put16(h + 14, static_cast<uint32_t>(depth));
    Put32(h + 16, kBiRgb);
    Put32(h + 20, 0);
    Put32(h + 24, static_cast<uint32_t>(image.header.biXPelsPerMeter));
    Put32(h + 28, static_cast<uint32_t>(image.header.biYPelsPerMeter));
    Put32(h + 32, 0);
    Put32(h + 36, 0);
    PaletteBytes(image.palette, static_cast<uint32_t>(paletteBytes / 4), h + 40);
    std::memcpy(h + 40 + paletteBytes, image.bits(), rows);
    return out;
}

}  // namespace lumra
