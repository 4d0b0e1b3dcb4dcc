// Turning the current JPEG file on disk without re-encoding.
#pragma once

#include "document/document.h"

namespace lumra {

// Whether the lossless rotate commands apply: a picture from a JPEG file with a path,
// no edit tool active, not turned or mirrored since it was loaded.
bool CanRotateJpegInPlace(const Document& doc);
// Rotates the current file on disk (direction 1 clockwise, 3 counter-clockwise) keeping all
// markers and without trimming, then loads it again. The save-changes question is the
// caller's. False when it did not apply or the save or load failed (loadFailed tells the
// last apart: the save has shown its own failures).
bool RotateJpegInPlace(Document& doc, int direction, bool* loadFailed = nullptr);

}  // namespace lumra
