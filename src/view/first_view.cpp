#include "view/first_view.h"

#include <algorithm>
#include <climits>

#include "formats/jpeg/jpeg_codec.h"
#include "view/view_scaler.h"

namespace lumra {

int FirstViewScale(int pictureW, int pictureH, int displayW, int displayH) {
    if (pictureW < 1 || pictureH < 1 || displayW < 1 || displayH < 1) return 1;
    for (int n = 8; n > 1; n /= 2) {
        const int w = (pictureW + n - 1) / n, h = (pictureH + n - 1) / n;
        if (w >= displayW && h >= displayH) return n;
    }
    return 1;
}

bool DecodeFirstView(const uint8_t* data, size_t size, int64_t fileTime, const FirstViewSizeFn& displaySize,
                     FirstView& out) {
    if (!displaySize || DetectFormatBytes(data, std::min<size_t>(size, 8)) != kFormatJpeg) return false;
    int w = 0, h = 0, dw = 0, dh = 0;
    if (!ReadJpegSize(data, size, w, h) || !displaySize(w, h, &dw, &dh)) return false;
    const int scale = FirstViewScale(w, h, dw, dh);
    if (scale == 1) return false;
    DecoderContext ctx;
    JpegFileInfo info;
    if (!DecodeJpegScaled(data, size, scale, ctx, info)) return false;
    const ImageBuffer& reduced = ctx.image;
    std::vector<uint32_t> rows(static_cast<size_t>(dw) * static_cast<size_t>(dh));
    if (!BoxReduce(reduced, dw, dh, rows.data(), static_cast<size_t>(dw) * sizeof(uint32_t))) return false;

    DecodedPicture standIn;
    ImageBuffer& image = standIn.image;
    if (!image.Allocate(w, h, reduced.bitCount())) return false;
    image.header.biXPelsPerMeter = reduced.header.biXPelsPerMeter;
    image.header.biYPelsPerMeter = reduced.header.biYPelsPerMeter;
    image.palette = reduced.palette;
    image.sourceFormat = kFormatJpeg;
    image.sourceBitDepth = reduced.sourceBitDepth;
    image.fileSize = static_cast<int32_t>(std::min<size_t>(size, INT32_MAX));
    image.fileTime = fileTime;
    standIn.format = kFormatJpeg;
    standIn.flags = ctx.flags;

    out.standIn = std::move(standIn);
    out.rows = std::move(rows);
    out.displayW = dw;
    out.displayH = dh;
    out.scale = scale;
    return true;
}

}  // namespace lumra
