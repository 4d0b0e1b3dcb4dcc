// The JPEG encoders behind the save formats.
#pragma once

#include <cstdint>
#include <string>

#include "formats/jpeg/jpeg_codec.h"
#include "formats/jpeg/jpeg_transform.h"
#include "formats/load_save.h"

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

}  // namespace lumra
