// PNG writing with the options of the save-settings bar.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "formats/decoder_context.h"
#include "formats/load_save.h"

namespace lumra {

struct PngEncodeOptions {
    int depth = 24;            // 1, 2, 4, 8 (palette) or 24
    bool gray = false;         // 8-bit grey instead of a palette
    bool interlace = false;    // Adam7
    int level = 9;             // deflate level
    int filter = 0;            // 0 Auto, 1 None, 2 Sub, 3 Up, 4 Average, 5 Paeth
    int dither = 0;            // error diffusion of the colour reduction
    int gamma = 0;             // display gamma x 1000 to record in gAMA; 0: no gAMA
    bool transparent = false;  // write tRNS and bKGD for the transparent colour
    uint8_t transparentRed = 255, transparentGreen = 255, transparentBlue = 255;
    int32_t xPelsPerMeter = 0, yPelsPerMeter = 0;  // pHYs when both are non-zero
    std::string comment;       // CP932 bytes of the "Comment" text; empty: none
    std::function<void(bool)> compressing;  // true when deflating starts, false when it ends
};

// The options a save request and the current picture give.
PngEncodeOptions PngOptionsFromRequest(const SaveRequest& req, const ImageBuffer& image);

// The whole file in memory. False with ctx.error set (1 memory, 7 depth or reduction,
// 24 zlib).
bool EncodePngToMemory(const ImageBuffer& image, const PngEncodeOptions& options,
                       std::vector<uint8_t>& out, DecoderContext& ctx);
// Creates path (CodecError 5 when it cannot) and writes the file.
bool WritePngFile(const std::string& path, const ImageBuffer& image, const PngEncodeOptions& options,
                  DecoderContext& ctx);
// The save path's entry.
bool EncodePng(const std::string& path, const ImageBuffer& image, const SaveRequest& req,
               DecoderContext& ctx);

// The filter-type choice of the Auto setting for one row: the candidate with most bytes near
// zero (0-3, 252-255); Sub beats Up and Average beats Paeth on ties, the Sub/Up winner beats
// the Average/Paeth winner, and None beats all. counts: None, Sub, Up, Average, Paeth.
int ChooseAutoFilter(const int counts[5]);

}  // namespace lumra
