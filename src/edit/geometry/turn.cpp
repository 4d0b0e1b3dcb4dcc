#include "edit/geometry/turn.h"

#include <cstddef>
#include <cstring>

namespace lumra {
namespace {

// Pixel access in top-down coordinates at any depth, as a palette index or packed B,G,R.
uint32_t Get(const ImageBuffer& img, int x, int y) {
    const uint8_t* row = img.topRow(y);
    switch (img.bitCount()) {
        case 24: return row[3 * x] | row[3 * x + 1] << 8 | static_cast<uint32_t>(row[3 * x + 2]) << 16;
        case 8: return row[x];
        case 4: return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
        default: return (row[x >> 3] >> (7 - (x & 7))) & 1;
    }
}

void Set(ImageBuffer& img, int x, int y, uint32_t v) {
    uint8_t* row = img.topRow(y);
    switch (img.bitCount()) {
        case 24:
            row[3 * x] = static_cast<uint8_t>(v);
            row[3 * x + 1] = static_cast<uint8_t>(v >> 8);
            row[3 * x + 2] = static_cast<uint8_t>(v >> 16);
            return;
        case 8: row[x] = static_cast<uint8_t>(v); return;
        case 4: {
            const int shift = (x & 1) ? 0 : 4;
            row[x >> 1] = static_cast<uint8_t>((row[x >> 1] & ~(15 << shift)) | (v & 15) << shift);
            return;
        }
        default: {
            const int shift = 7 - (x & 7);
            row[x >> 3] = static_cast<uint8_t>((row[x >> 3] & ~(1 << shift)) | (v & 1) << shift);
            return;
        }
    }
}

bool SameFrame(const ImageBuffer& from, ImageBuffer& to, int w, int h) {
    if (!to.Allocate(w, h, from.bitCount())) return false;
    to.palette = from.palette;
    return true;
}

}  // namespace

ImageBuffer TurnPicture(const ImageBuffer& pic, int kind) {
    ImageBuffer out;
    const int w = pic.width(), h = pic.height(), bits = pic.bitCount();
    if (pic.empty() || kind < kTurn90 || kind > kMirrorTopBottom) return out;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return out;
    const bool quarter = kind == kTurn90 || kind == kTurn270;
    if (!SameFrame(pic, out, quarter ? h : w, quarter ? w : h)) return out;
    if (kind == kMirrorTopBottom) {
        for (int y = 0; y < h; ++y) std::memcpy(out.topRow(y), pic.topRow(h - 1 - y), pic.stride());
        return out;
    }
    const int ow = out.width(), oh = out.height();
    if (bits == 8 || bits == 24) {
        // Whole bytes: walk the source along each new row with a fixed step.
        const int bpp = bits / 8;
        const auto stride = static_cast<ptrdiff_t>(pic.stride());
        const uint8_t* base = pic.bits();
        const auto row = [&](int topDown) { return static_cast<ptrdiff_t>(h - 1 - topDown) * stride; };
        for (int y = 0; y < oh; ++y) {
            ptrdiff_t at = 0, step = 0;  // byte offsets into the source
            switch (kind) {
                case kTurn90: at = row(h - 1) + bpp * y; step = stride; break;  // up column y
                case kTurn180: at = row(h - 1 - y) + bpp * (w - 1); step = -bpp; break;
                case kTurn270: at = row(0) + bpp * (w - 1 - y); step = -stride; break;  // down
                default: at = row(y) + bpp * (w - 1); step = -bpp; break;
            }
            uint8_t* d = out.topRow(y);
            for (int x = 0; x < ow; ++x, at += step, d += bpp) {
                d[0] = base[at];
                if (bpp == 3) {
                    d[1] = base[at + 1];
                    d[2] = base[at + 2];
                }
            }
        }
        return out;
    }
    for (int y = 0; y < oh; ++y) {
        for (int x = 0; x < ow; ++x) {
            int sx = 0, sy = 0;
            switch (kind) {
                case kTurn90: sx = y; sy = h - 1 - x; break;
                case kTurn180: sx = w - 1 - x; sy = h - 1 - y; break;
                case kTurn270: sx = w - 1 - y; sy = x; break;
                default: sx = w - 1 - x; sy = y; break;
            }
            Set(out, x, y, Get(pic, sx, sy));
        }
    }
    return out;
}

int NextOrientation(int state, int kind) {
    static constexpr int kTable[6][5] = {
        {1, 2, 3, 4, 5},     {2, 3, 0, -1, -1}, {3, 0, 1, 5, 4},
        {0, 1, 2, -1, -1},   {-1, 5, -1, 0, 2}, {-1, 4, -1, 2, 0},
    };
    if (state < 0 || state > 5 || kind < kTurn90 || kind > kMirrorTopBottom) return -1;
    return kTable[state][kind - 1];
}

ImageBuffer CropPicture(const ImageBuffer& pic, const PictureRect& r) {
    ImageBuffer out;
    if (pic.empty() || r.x1 < 0 || r.y1 < 0 || r.x1 > r.x2 || r.y1 > r.y2 || r.x2 >= pic.width() ||
        r.y2 >= pic.height())
        return out;
    if (!SameFrame(pic, out, r.width(), r.height())) return out;
    const int bits = pic.bitCount();
    for (int y = 0; y < out.height(); ++y) {
        if (bits >= 8) {
            const size_t bpp = static_cast<size_t>(bits / 8);
            std::memcpy(out.topRow(y), pic.topRow(r.y1 + y) + bpp * static_cast<size_t>(r.x1),
                        bpp * static_cast<size_t>(out.width()));
        } else {
            for (int x = 0; x < out.width(); ++x) Set(out, x, y, Get(pic, r.x1 + x, r.y1 + y));
        }
    }
    return out;
}

}  // namespace lumra
