#include "formats/jpeg/jpeg_save.h"

#include <algorithm>

#include "formats/codec_error.h"
#include "platform/ansi_text.h"

namespace lumra {

JpegEncodeOptions JpegOptionsFor(const SaveRequest& req, const ImageBuffer& image) {
    JpegEncodeOptions o;
    o.grey = (req.simg.gray & 1) != 0;
    o.progressive = (req.simg.progressive & 1) != 0;
    o.quality = req.simg.quality;
    JpegSamplingFactors(req.simg.sampling, o.hSampling, o.vSampling);
    o.xResolution = std::max(0, image.header.biXPelsPerMeter);
    o.yResolution = std::max(0, image.header.biYPelsPerMeter);
    if (req.writeComment) o.comment = Utf8ToAnsi(req.comment, kJpegCommentMax);
    return o;
}

JpegTransformOptions JpegTransformOptionsFor(const SaveRequest& req) {
    JpegTransformOptions o;
    o.transform = req.orientation >= 1 && req.orientation <= 5 ? req.orientation : kJpegTransformNone;
    o.trim = (req.simg.jpgTrim & 1) != 0;
    o.markers = std::clamp(req.simg.jMarker, 0, 2);
    o.progressive = (req.simg.progressive & 1) != 0;
    o.grey = (req.simg.gray & 1) != 0;
    return o;
}

bool EncodeJpegSave(const std::string& path, const ImageBuffer& image, const SaveRequest& req,
                    DecoderContext& ctx) {
    const JpegEncodeOptions o = JpegOptionsFor(req, image);
    if (req.simg.jpgLimit & 1)
        return EncodeJpegLimited(image, o, int64_t{req.simg.jpgLmtVal} * 1024, path, ctx);
    return EncodeJpeg(image, o, path, ctx);
}

bool EncodeJpegTransSave(const std::string& path, const ImageBuffer&, const SaveRequest& req,
                         DecoderContext& ctx) {
    // Only a picture that came from a JPEG file has coefficients to transform.
    if (req.sourceFormat != kFormatJpeg || req.sourcePath.empty()) {
        ctx.error = kCodecUnsupported;
        ctx.message = "JPEG/TRANS needs a picture from a JPEG file";
        return false;
    }
    return TransformJpegFile(JpegTransformOptionsFor(req), req.sourcePath, path, ctx);
}

}  // namespace lumra
