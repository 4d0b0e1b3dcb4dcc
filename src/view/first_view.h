// The first look at a big JPEG: a DCT-reduced decode shown while the whole picture is
// decoded behind it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "formats/load_save.h"

namespace lumra {

// The reduction (1, 2, 4 or 8) of the quick first decode of a pictureW x pictureH JPEG
// shown at displayW x displayH: the largest whose picture, ceil(side / N), still covers
// the displayed size on both sides. 1 (no quick decode) when the picture is not shown
// smaller than it is or a size is not positive.
int FirstViewScale(int pictureW, int pictureH, int displayW, int displayH);

// The size a w x h picture is shown at when that is smaller than the picture; false when
// it is not (as PreloadCache::DisplaySizeFn).
using FirstViewSizeFn = std::function<bool(int w, int h, int* displayW, int* displayH)>;

struct FirstView {
    // Stands for the whole picture until it is decoded: its size, depth, flags and file
    // facts are the whole picture's; its pixels are zero and are never shown.
    DecodedPicture standIn;
    // The reduced decode at the displayed size: top-down 0xFFRRGGBB rows, displayW apart.
    std::vector<uint32_t> rows;
    int displayW = 0;
    int displayH = 0;
    int scale = 1;
};

// The quick first look at a JPEG held in memory: false (out untouched) when the data is not
// a JPEG, when it is not shown reduced or when a reduction of 2 or more would not cover the
// displayed size; the caller then decodes the whole picture as usual.
bool DecodeFirstView(const uint8_t* data, size_t size, int64_t fileTime, const FirstViewSizeFn& displaySize,
                     FirstView& out);

}  // namespace lumra
