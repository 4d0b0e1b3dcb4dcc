// Grey conversion, colour reduction to 1-8 bits and the colour count.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "formats/convert.h"
#include "formats/image_buffer.h"

namespace lumra {

// Grey of a palette entry: (306 R + 603 G + 117 B) / 1024.
uint8_t GreyOfEntry(const RgbQuad& c);
// Grey of a 24-bit pixel: the three weighted terms truncated one by one.
uint8_t GreyOfPixel(uint8_t blue, uint8_t green, uint8_t red);

// 8- or 24-bit source rows (ctx.sourceDepth) to 8-bit grey rows padded to 4 bytes.
// The destination palette is the caller's (a grey ramp).
bool ConvertToGrey(const PixelConversion& ctx, const RgbQuad* srcPalette, const uint8_t* srcRows,
                   uint8_t* dstRows);

// Reduces an 8- or 24-bit source to 2^ctx.targetDepth colours (targetDepth 1..8; 1 is black
// and white through grey) with ctx.dither. The indices are packed at packDepth bits per pixel
// (1, 2, 4 or 8, at least targetDepth) into rows padded to 4 bytes. All 256 destination
// palette entries are written; the unused ones are black.
bool ReduceColours(const PixelConversion& ctx, int packDepth, RgbQuad* dstPalette, uint8_t* dstRows,
                   const RgbQuad* srcPalette, const uint8_t* srcRows);

// ConvertPixels with ctx.gray: the source (1, 2, 4, 8 or 24 bits) becomes 8-bit grey
// first, which is then converted to the target depth (grey palette at 8 bits, grey pixels
// at 24, reduction below 8).
bool ConvertThroughGrey(const PixelConversion& ctx, RgbQuad* dstPalette, uint8_t* dstRows,
                        const RgbQuad* srcPalette, const uint8_t* srcRows);

// Nearest palette entry by squared distance, the lowest index on ties.
int NearestEntryExhaustive(const RgbQuad* palette, int count, int red, int green, int blue);

// The same answer as NearestEntryExhaustive, through lazily built per-cell candidate lists.
class NearestEntryIndex {
public:
    static constexpr int kCellShift = 3;  // cells of 8 x 8 x 8 colours
    static constexpr int kCellBits = 8 - kCellShift;
    // Eight candidates; a short list repeats its last candidate.
    struct alignas(16) Block {
        int16_t blue[8], green[8], red[8], index[8];
    };

    // False when memory runs out.
    bool Reset(const RgbQuad* palette, int count);
    // The candidate blocks of the cell holding a colour. May throw std::bad_alloc while it
    // builds the cell.
    const Block* CellBlocks(int red, int green, int blue, int& blocks) {
        const uint32_t cell = (static_cast<uint32_t>(red) >> kCellShift << (2 * kCellBits)) |
                              (static_cast<uint32_t>(green) >> kCellShift << kCellBits) |
                              (static_cast<uint32_t>(blue) >> kCellShift);
        uint32_t entry = cells_[cell];
        if (!entry) entry = BuildCell(cell);
        blocks = static_cast<int>(entry & 63) + 1;
        return blocks_.data() + (entry >> 6) - 1;
    }
    // The nearest entry, the lowest index on ties.
    int Find(int red, int green, int blue);

private:
    uint32_t BuildCell(uint32_t cell);

    int count_ = 0;
    int red_[256]{}, green_[256]{}, blue_[256]{};
    // Per cell: 0 when not built, else (first block + 1) << 6 | (blocks - 1).
    std::vector<uint32_t> cells_;
    std::vector<Block> blocks_;
};

// Distinct colours of a 24-bit picture, or distinct indices used by a 1-, 4- or 8-bit one.
// Nothing when memory runs out or the picture is empty.
std::optional<uint32_t> CountColours(const ImageBuffer& image);

struct ColourCountMessage {
    std::string caption;  // the file name
    std::string text;     // "使用色数 = N"
};
ColourCountMessage MakeColourCountMessage(const std::string& fileName, uint32_t count);

}  // namespace lumra
