// Quarter turns, mirrors and cutting out a rectangle, at the picture's own depth; and the
// orientation a JPEG picture has reached relative to its file.
#pragma once

#include "formats/image_buffer.h"

namespace lumra {

enum TurnKind : int {
    kTurn90 = 1,   // clockwise
    kTurn180 = 2,
    kTurn270 = 3,  // clockwise, i.e. 90 anticlockwise
    kMirrorLeftRight = 4,
    kMirrorTopBottom = 5,
};

// The turned or mirrored picture (1, 4, 8 or 24 bits, palette kept); empty on failure.
ImageBuffer TurnPicture(const ImageBuffer& picture, int kind);

// The OrientationState after kind on a picture in state; -1 when no single lossless
// transform describes the result.
int NextOrientation(int state, int kind);

// Inclusive picture rectangle, X from the left and Y from the top.
struct PictureRect {
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    int width() const { return x2 - x1 + 1; }
    int height() const { return y2 - y1 + 1; }
    friend bool operator==(const PictureRect&, const PictureRect&) = default;
};

// The rectangle's pixels as a new picture of the same depth and palette; empty when the
// rectangle is not inside the picture or memory runs out.
ImageBuffer CropPicture(const ImageBuffer& picture, const PictureRect& r);

}  // namespace lumra
