#include "formats/image_buffer.h"

#include <cstring>

#include "platform/large_buffer.h"

namespace lumra {

const char* DefaultExtension(int saveFormat) {
    switch (saveFormat) {
        case kSavePng: return "png";
        case kSaveJpeg: return "jpg";
        case kSaveTiff: return "tif";
        case kSaveGif: return "gif";
        case kSaveJpegTrans: return "jpg";
        default: return "bmp";
    }
}

size_t PaddedRowBytes(int64_t width, int bitCount) {
    if (width <= 0 || bitCount <= 0 || bitCount > 64) return 0;
    const uint64_t bits = static_cast<uint64_t>(width) * static_cast<uint64_t>(bitCount);
    return static_cast<size_t>(((bits + 31) / 32) * 4);
}

bool ImageBuffer::Allocate(int width, int height, int bitCount, bool clear) {
    Reset();
    if (width < 1 || height < 1 || width > kMaxPictureSide || height > kMaxPictureSide) return false;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24) return false;
    const size_t rowBytes = PaddedRowBytes(width, bitCount);
    const size_t total = rowBytes * static_cast<size_t>(height);
    uint8_t* p = AllocateLarge(total, clear);
    if (!p) return false;
    if (!clear) {
        // From the last byte that holds pixels on: written files and comparisons see zeros there.
        const size_t used = (static_cast<size_t>(width) * static_cast<size_t>(bitCount) + 7) / 8;
        if (used > 0 && used <= rowBytes) {
            for (size_t y = 0; y < static_cast<size_t>(height); ++y) {
                std::memset(p + y * rowBytes + used - 1, 0, rowBytes - used + 1);
            }
        }
    }
    pixels.reset(p);
    header = BitmapInfoHeader{};
    header.biWidth = width;
    header.biHeight = height;
    header.biBitCount = static_cast<uint16_t>(bitCount);
    return true;
}

void ImageBuffer::Reset() {
    pixels.reset();
    header = BitmapInfoHeader{};
}

ImageBuffer ImageBuffer::Clone() const {
    ImageBuffer copy;
    copy.header = header;
    copy.palette = palette;
    copy.sourceFormat = sourceFormat;
    copy.fileSize = fileSize;
    copy.sourceBitDepth = sourceBitDepth;
    copy.fileTime = fileTime;
    if (pixels) {
        const size_t total = imageBytes();
        auto* p = static_cast<uint8_t*>(std::malloc(total ? total : 1));
        if (!p) return ImageBuffer{};
        std::memcpy(p, pixels.get(), total);
        copy.pixels.reset(p);
    }
    return copy;
}

void FillGreyPalette(Palette& palette) {
    for (int i = 0; i < 256; ++i) {
        const auto v = static_cast<uint8_t>(i);
        palette[i] = RgbQuad{v, v, v, 0};
    }
}

}  // namespace lumra
