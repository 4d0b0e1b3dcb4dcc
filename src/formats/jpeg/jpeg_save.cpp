#include "formats/jpeg/jpeg_save.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "formats/codec_error.h"
#include "platform/ansi_text.h"
#include "shell/show_error.h"

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

int CheckLosslessSource(const std::string& path, int64_t installedFileTime) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return kErrRead;
    struct stat st {};
    const bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    if (!ok) return kErrRead;
    const int64_t now = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return now == installedFileTime ? -1 : kErrFileChanged;
}

void ReportJpegError(Session& session, const DecoderContext& ctx) {
    if (!session.ui.reportCodecError) return;
    switch (ctx.error) {
        case kCodecMemory:
        case kCodecCommentEdit:
        case kCodecRead:
        case kCodecCreate:
        case kCodecSave:
            session.ui.reportCodecError(ctx.error, std::string());
            return;
        default:
            if (!ctx.message.empty()) session.ui.reportCodecError(ctx.error, ctx.message);
            return;
    }
}

bool CanRotateJpegInPlace(const Session& session) {
    const CurrentPicture& pic = session.picture;
    return pic.HasPicture() && session.operationState == 0 &&
           pic.image.sourceFormat == kFormatJpeg && !pic.path.empty() && pic.orientation == 0;
}

bool RotateJpegInPlace(Session& session, int direction, bool* loadFailed) {
    if (loadFailed) *loadFailed = false;
    if (!CanRotateJpegInPlace(session) || (direction != 1 && direction != 3)) return false;
    SImgSettings& simg = session.settings.simg;
    const SImgSettings saved = simg;
    CurrentPicture& pic = session.picture;
    const int savedOrientation = pic.orientation;
    pic.orientation = direction;
    simg.format = kSaveJpegTrans;
    simg.jpgTrim = 0;
    simg.jMarker = 2;
    simg.progressive = 0;
    simg.gray = 0;
    const std::string path = pic.path;
    const bool saved_ok = SavePicture(session, path);
    simg.format = saved.format;
    simg.jpgTrim = saved.jpgTrim;
    simg.jMarker = saved.jMarker;
    simg.progressive = saved.progressive;
    simg.gray = saved.gray;
    pic.orientation = savedOrientation;
    if (!saved_ok) return false;
    if (LoadPicture(session, path)) return true;
    if (loadFailed) *loadFailed = true;
    return false;
}

}  // namespace lumra
