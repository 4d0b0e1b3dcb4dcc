// Lossless rotation and flipping of JPEG files on their DCT coefficients.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/decoder_context.h"

namespace lumra {

// Numbered like the OrientationState of the current picture.
enum JpegTransform : int {
    kJpegTransformNone = 0,
    kJpegRotate90 = 1,   // clockwise
    kJpegRotate180 = 2,
    kJpegRotate270 = 3,  // clockwise, i.e. 90 counter-clockwise
    kJpegFlipHorizontal = 4,
    kJpegFlipVertical = 5,
};

enum JpegMarkerCopy : int { kJpegCopyNone = 0, kJpegCopyComments = 1, kJpegCopyAll = 2 };

struct JpegTransformOptions {
    int transform = kJpegTransformNone;  // other values: none
    bool trim = false;         // drop the edge blocks the transform cannot move
    int markers = kJpegCopyAll;
    bool progressive = false;
    bool grey = false;         // keep only the luminance of a YCbCr file
};

// Transforms a whole JPEG file held in memory into `out`.
bool TransformJpegBytes(const uint8_t* data, size_t size, const JpegTransformOptions& options,
                        std::vector<uint8_t>& out, DecoderContext& ctx);
// From the file at source into destination (CodecError 4 when the source cannot be read,
// 5 when the destination cannot be created; library failures leave their text in
// ctx.message).
bool TransformJpegFile(const JpegTransformOptions& options, const std::string& source,
                       const std::string& destination, DecoderContext& ctx);

}  // namespace lumra
