// The JPEG codec inside the program's load/save paths: encoders behind the save formats,
// the error report, the lossless save's source check and the in-place rotation.
#pragma once

#include <cstdint>
#include <string>

#include "formats/jpeg/jpeg_codec.h"
#include "formats/jpeg/jpeg_transform.h"
#include "formats/load_save.h"
#include "shell/session.h"

namespace lumra {

// Encoder options from the save settings and the picture (resolution, pending comment).
JpegEncodeOptions JpegOptionsFor(const SaveRequest& req, const ImageBuffer& image);
// Transform options from the save settings and the OrientationState.
JpegTransformOptions JpegTransformOptionsFor(const SaveRequest& req);

// SaveFormat 2: EncodeJpeg, or EncodeJpegLimited when JpgLimit is on.
bool EncodeJpegSave(const std::string& path, const ImageBuffer& image, const SaveRequest& req,
                    DecoderContext& ctx);
// SaveFormat 5: the lossless transform of req.sourcePath into path.
bool EncodeJpegTransSave(const std::string& path, const ImageBuffer& image,
                         const SaveRequest& req, DecoderContext& ctx);

// Before a lossless save: -1 when the file is still the one installed, else the ShowError
// code (kErrFileChanged when its time differs, kErrRead when it cannot be opened).
int CheckLosslessSource(const std::string& path, int64_t installedFileTime);

// Shows a JPEG failure: codes 1, 3, 4, 5 and 7 with their own text, otherwise the library's
// text under "JPEG Library Error", otherwise nothing.
void ReportJpegError(Session& session, const DecoderContext& ctx);

// Whether the lossless rotate commands apply: a picture from a JPEG file with a path,
// no edit tool active, not turned or mirrored since it was loaded.
bool CanRotateJpegInPlace(const Session& session);
// Rotates the current file on disk (direction 1 clockwise, 3 counter-clockwise) keeping all
// markers and without trimming, then loads it again. The save-changes question is the
// caller's. False when it did not apply or the save or load failed (loadFailed tells the
// last apart: the save has shown its own failures).
bool RotateJpegInPlace(Session& session, int direction, bool* loadFailed = nullptr);

}  // namespace lumra
