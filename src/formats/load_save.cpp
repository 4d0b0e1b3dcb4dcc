#include "formats/load_save.h"

#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <optional>

#include "formats/bmp/bmp_codec.h"
#include "formats/codec_error.h"
#include "formats/jpeg/jpeg_codec.h"
#include "formats/jpeg/jpeg_save.h"
#include "formats/plugin_host.h"
#include "formats/gif/gif_codec.h"
#include "formats/tiff/tiff_codec.h"
#include "formats/png/png_decoder.h"
#include "formats/png/png_encoder.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "platform/temp_file.h"
#include "platform/trash.h"
#include "shell/show_error.h"

namespace lumra {

namespace {

// ---- codec tables: one row per format ----

struct DecoderEntry {
    FormatCode format;
    DecodeFn decode;
};

constexpr DecoderEntry kDecoders[] = {
    {kFormatBmp, DecodeBmp},
    {kFormatPng, DecodePng},
    {kFormatJpeg, DecodeJpeg},
    {kFormatTiff, DecodeTiff},
    {kFormatGif, DecodeGif},
};

using EncodeFn = bool (*)(const std::string& path, const ImageBuffer& image,
                          const SaveRequest& req, DecoderContext& ctx);

// BMP offers 24, 8, 4 and 1 bits; the other depths go to the nearest deeper one.
int BmpDepth(int depth) {
    if (depth == 1) return 1;
    if (depth >= 2 && depth <= 4) return 4;
    if (depth >= 5 && depth <= 8) return 8;
    return 24;
}

bool EncodeBmpFile(const std::string& path, const ImageBuffer& image, const SaveRequest& req,
                   DecoderContext& ctx) {
    return WriteBmpFile(path, image, BmpDepth(req.simg.depth), req.simg.gray != 0,
                        req.simg.dither, ctx);
}

struct EncoderEntry {
    int saveFormat;
    EncodeFn encode;
};

constexpr EncoderEntry kEncoders[] = {
    {kSaveBmp, EncodeBmpFile},
    {kSavePng, EncodePng},
    {kSaveJpeg, EncodeJpegSave},
    {kSaveTiff, EncodeTiff},
    {kSaveGif, EncodeGif},
    {kSaveJpegTrans, EncodeJpegTransSave},
};

// The loader that reads what a save format writes (the preview of a trial save).
FormatCode LoadFormatOf(int saveFormat) {
    switch (saveFormat) {
        case kSavePng: return kFormatPng;
        case kSaveJpeg:
        case kSaveJpegTrans: return kFormatJpeg;
        case kSaveTiff: return kFormatTiff;
        case kSaveGif: return kFormatGif;
        default: return kFormatBmp;
    }
}

// ---- user-interface hooks; every one may be missing ----

void SetTitle(Session& s, const std::string& title) {
    if (s.ui.setTitle) s.ui.setTitle(title);
}
void SetWaitCursor(Session& s, bool wait) {
    if (s.ui.setWaitCursor) s.ui.setWaitCursor(wait);
}
void ShowError(Session& s, int code) {
    if (s.ui.showError) s.ui.showError(code);
}
void ReportCodecError(Session& s, const DecoderContext& ctx) {
    if (s.ui.reportCodecError) s.ui.reportCodecError(ctx.error, ctx.message);
}
void TrialPreviewChanged(Session& s) {
    if (s.ui.trialPreviewChanged) s.ui.trialPreviewChanged();
}

int64_t FileSizeOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return 0;
    return static_cast<int64_t>(st.st_size);
}

// A lossless JPEG transform may trim edge blocks; the preview then sits on a black canvas of
// the current picture's size, bottom rows first, right-aligned.
void PlaceOnCanvas(ImageBuffer& preview, const ImageBuffer& current) {
    if (current.empty() || preview.empty()) return;
    const int cw = current.width(), ch = current.height();
    const int dw = preview.width(), dh = preview.height();
    if (cw == dw && ch == dh) return;
    if (dw > cw || dh > ch) return;
    const int bpp = preview.bitCount();
    if (bpp != 8 && bpp != 24) return;
    ImageBuffer canvas;
    if (!canvas.Allocate(cw, ch, bpp)) return;
    canvas.header.biXPelsPerMeter = preview.header.biXPelsPerMeter;
    canvas.header.biYPelsPerMeter = preview.header.biYPelsPerMeter;
    canvas.palette = preview.palette;
    canvas.sourceFormat = preview.sourceFormat;
    canvas.fileSize = preview.fileSize;
    canvas.sourceBitDepth = preview.sourceBitDepth;
    canvas.fileTime = preview.fileTime;
    const size_t pixelBytes = static_cast<size_t>(bpp / 8);
    const size_t offset = static_cast<size_t>(cw - dw) * pixelBytes;
    const size_t rowBytes = static_cast<size_t>(dw) * pixelBytes;
    for (int y = 0; y < dh; ++y)
        std::memcpy(canvas.storedRow(y) + offset, preview.storedRow(y), rowBytes);
    preview = std::move(canvas);
}

void ForgetTrial(TrialSaveRecord& trial) {
    trial.valid = false;
    trial.tempPath.clear();
    trial.previewShown = false;
    trial.preview.Reset();
    trial.size = 0;
}

}  // namespace

FormatCode DetectFormatBytes(const uint8_t* data, size_t size) {
    if (size == 0 || data == nullptr) return kFormatEmpty;
    const uint8_t b0 = data[0];
    const uint8_t b1 = size >= 2 ? data[1] : 0;  // a 1-byte file: the second byte reads as 0
    if (b0 == 0x47 && b1 == 0x49) {
        if (size < 3) return kFormatEmpty;
        return data[2] == 0x46 ? kFormatGif : kFormatUnknown;
    }
    if (b0 == 0x42 && b1 == 0x4D) return kFormatBmp;
    if (b0 == 0x4D && b1 == 0x4D) {
        if (size < 4) return kFormatEmpty;
        return data[3] == 0x2A ? kFormatTiff : kFormatUnknown;
    }
    if (b0 == 0x49 && b1 == 0x49) {
        if (size < 3) return kFormatEmpty;
        return data[2] == 0x2A ? kFormatTiff : kFormatUnknown;
    }
    if (b0 == 0x89 && b1 == 0x50) {
        if (size < 8) return kFormatEmpty;
        static const uint8_t kRest[6] = {0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
        return std::memcmp(data + 2, kRest, 6) == 0 ? kFormatPng : kFormatUnknown;
    }
    if (b0 == 0xFF && b1 == 0xD8) return kFormatJpeg;
    return kFormatUnknown;
}

FormatCode DetectFormat(const std::string& path) {
    const std::optional<std::vector<uint8_t>> head = ReadFilePrefix(path, 8);
    if (!head) return kFormatUnknown;
    return DetectFormatBytes(head->data(), head->size());
}

DecodeFn DecoderFor(FormatCode format) {
    for (const DecoderEntry& e : kDecoders)
        if (e.format == format) return e.decode;
    return nullptr;
}

SaveRequest MakeSaveRequest(const Session& session) {
    SaveRequest req;
    req.simg = session.settings.simg;
    req.limg = session.settings.limg;
    req.saveTransparent = session.picture.saveTransparent;
    req.writeComment = session.picture.writeComment;
    req.comment = session.picture.commentText;
    req.orientation = session.picture.orientation;
    req.sourcePath = session.picture.path;
    req.sourceFormat = session.picture.image.sourceFormat;
    req.ui = &session.ui;
    return req;
}

bool EncodePicture(const std::string& path, const ImageBuffer& image, const SaveRequest& req,
                   DecoderContext& ctx) {
    if (image.empty()) {
        ctx.error = kCodecUnsupported;
        return false;
    }
    for (const EncoderEntry& e : kEncoders) {
        if (e.saveFormat != req.simg.format) continue;
        bool ok = false;
        try {
            ok = e.encode(path, image, req, ctx);
        } catch (const std::bad_alloc&) {
            ctx.error = kCodecMemory;
            ok = false;
        }
        // A library's own message is reported as it is (the JPEG codec's failures).
        if (!ok && ctx.error == kCodecOk && ctx.message.empty()) ctx.error = kCodecSave;
        return ok;
    }
    ctx.error = kCodecUnsupported;
    return false;
}

namespace {

// The own codec over a file already read; fills the file facts of the picture.
bool DecodeBytes(const uint8_t* data, size_t size, FormatCode format, const LImgSettings& load,
                 int64_t fileTime, DecoderContext& ctx) {
    ctx.load = load;
    ctx.error = kCodecOk;
    const DecodeFn decode = DecoderFor(format);
    if (!decode) {
        ctx.error = kCodecUnsupported;
        return false;
    }
    bool ok = false;
    try {
        ok = decode(data, size, ctx);
    } catch (const std::bad_alloc&) {
        ctx.error = kCodecMemory;
        ok = false;
    }
    if (!ok || ctx.image.empty()) {
        if (ctx.error == kCodecOk) ctx.error = kCodecBadInfo;
        ctx.image.Reset();
        ctx.animation.Clear();
        return false;
    }
    ctx.image.sourceFormat = format;
    ctx.image.fileSize = static_cast<int32_t>(std::min<size_t>(size, INT32_MAX));
    ctx.image.fileTime = fileTime;
    return true;
}

void TakeDecoded(DecoderContext& ctx, FormatCode format, DecodedPicture& out) {
    out.image = std::move(ctx.image);
    out.flags = ctx.flags;
    // A PNG's "Comment" text counts as text only; the comment flag is for JPEG, GIF and TIFF.
    if (format == kFormatPng) out.flags.hasComment = false;
    TakeGifAnimation(ctx, out.animation);
}

}  // namespace

bool DecodeFile(const std::string& path, FormatCode format, const LImgSettings& load,
                DecoderContext& ctx) {
    ctx.load = load;
    ctx.error = kCodecOk;
    if (!DecoderFor(format)) {
        ctx.error = kCodecUnsupported;
        return false;
    }
    std::vector<uint8_t> data;
    if (!ReadWholeFile(path, data)) {
        ctx.error = kCodecRead;
        return false;
    }
    return DecodeBytes(data.data(), data.size(), format, load, FileModifiedTime(path), ctx);
}

bool LoadWithPlugins(Session& session, const std::string& path, ImageBuffer* preview) {
    if (!IsDirectory(session.settings.path.spi)) return false;
    ImageBuffer image;
    if (!DecodeWithPlugins(session.settings.path.spi, path, image)) return false;
    if (preview) {
        *preview = std::move(image);
        return true;
    }
    InstallPicture(session, std::move(image), false, true);
    // Plug-in pictures carry none of the per-file flags.
    session.picture.flags = PictureFlags{};
    SetPictureInfo(session, &path, 1, std::string());
    return true;
}

size_t DecodedPicture::MemoryBytes() const {
    size_t total = image.empty() ? 0 : image.imageBytes();
    for (const ImageBuffer& frame : animation.frames)
        if (!frame.empty()) total += frame.imageBytes();
    return total + displayCopy.size() * sizeof(uint32_t);
}

bool DecodeOwnFormat(const std::string& path, FormatCode format, const LImgSettings& load,
                     DecodedPicture& out) {
    out = DecodedPicture{};
    out.format = format;
    DecoderContext ctx;
    ctx.animationAllowed = true;
    if (!DecodeFile(path, format, load, ctx)) {
        out.error = ctx.error;
        return false;
    }
    TakeDecoded(ctx, format, out);
    return true;
}

bool DecodeOwnFormat(const std::string& path, const LImgSettings& load, DecodedPicture& out) {
    const FormatCode format = DetectFormat(path);
    if (!DecoderFor(format)) {
        out = DecodedPicture{};
        out.format = format;
        out.error = kCodecUnsupported;
        return false;
    }
    return DecodeOwnFormat(path, format, load, out);
}

bool DecodeOwnFormatData(const uint8_t* data, size_t size, const LImgSettings& load,
                         int64_t fileTime, DecodedPicture& out) {
    out = DecodedPicture{};
    out.format = DetectFormatBytes(data, std::min<size_t>(size, 8));
    DecoderContext ctx;
    ctx.animationAllowed = true;
    if (!DecodeBytes(data, size, out.format, load, fileTime, ctx)) {
        out.error = ctx.error;
        return false;
    }
    TakeDecoded(ctx, out.format, out);
    return true;
}

void InstallDecoded(Session& session, const std::string& path, DecodedPicture&& decoded) {
    InstallPicture(session, std::move(decoded.image), false, true);
    session.picture.flags = decoded.flags;
    session.picture.animation = std::move(decoded.animation);
    decoded.animation.Clear();
    SetPictureInfo(session, &path, 1, std::string());
}

bool LoadFormat(Session& session, const std::string& path, FormatCode format,
                ImageBuffer* preview, int64_t* previewSize) {
    if (preview) {
        DecoderContext ctx;
        if (!DecodeFile(path, format, session.settings.limg, ctx)) return false;
        *preview = std::move(ctx.image);
        if (previewSize) *previewSize = FileSizeOf(path);
        return true;
    }
    DecodedPicture decoded;
    if (!DecodeOwnFormat(path, format, session.settings.limg, decoded)) return false;
    InstallDecoded(session, path, std::move(decoded));
    return true;
}

bool LoadPicture(Session& session, const std::string& path) {
    return LoadPicture(session, path, nullptr);
}

bool LoadPicture(Session& session, const std::string& path, const DecodedAhead& ahead) {
    const PictureFlags saved = session.picture.flags;
    session.picture.flags = PictureFlags{};
    SetTitle(session, "wait...");
    if (session.operationState == 0) SetWaitCursor(session, true);

    if (ahead) {
        if (std::optional<DecodedPicture> decoded = ahead()) {
            InstallDecoded(session, path, std::move(*decoded));
            SetWaitCursor(session, false);
            return true;
        }
    }
    const FormatCode format = DetectFormat(path);
    bool ok = false;
    if (format >= kFormatBmp && format <= kFormatGif) ok = LoadFormat(session, path, format);
    if (!ok && format != kFormatEmpty) ok = LoadWithPlugins(session, path, nullptr);
    if (!ok) session.picture.flags = saved;
    SetWaitCursor(session, false);
    return ok;
}

void InstallPicture(Session& session, ImageBuffer&& image, bool recordFirst, bool sizeChanged) {
    CurrentPicture& pic = session.picture;
    // A trial save belongs to the picture it was made from.
    DiscardTrialSave(session);
    if (pic.HasPicture()) {
        // The history store keeps the original as its first entry.
        if (recordFirst && session.history.entries == 0) session.history.entries = 1;
        ReleasePicture(session);
        // The selection-area display is dropped with a size change once it exists.
        (void)sizeChanged;
    }
    pic.image = std::move(image);
}

void SetPictureInfo(Session& session, const std::string* path, int historyMode,
                    const std::string& label) {
    CurrentPicture& pic = session.picture;
    BitmapInfoHeader& h = pic.image.header;
    if (h.biXPelsPerMeter < 0) h.biXPelsPerMeter = 0;
    if (h.biYPelsPerMeter < 0) h.biYPelsPerMeter = 0;
    pic.xResolution = h.biXPelsPerMeter;
    pic.yResolution = h.biYPelsPerMeter;

    if (pic.image.sourceFormat != kFormatJpeg && session.settings.simg.format == kSaveJpegTrans)
        session.settings.simg.format = kSaveJpeg;

    if (path) {
        pic.path = *path;
        pic.fileName = FileNamePart(*path);
    }
    pic.orientation = 0;
    pic.saveTransparent = false;

    (void)label;  // kept by the history store with its entry
    if (historyMode == 1) {
        session.history.Clear();
    } else if (historyMode == 2) {
        // A new entry after undo steps drops the entries that could have been redone.
        session.history.position++;
        session.history.entries = session.history.position + 1;
    }
}

void ReleasePicture(Session& session) {
    // An animation's timer stops before its frames go.
    if (session.picture.animation.frameCount() > 0 && session.ui.animationStopped)
        session.ui.animationStopped();
    session.picture.animation.Clear();
    session.picture.image.Reset();
}

bool PastePicture(Session& session, const uint8_t* dib, size_t size) {
    DecoderContext ctx;
    bool ok = false;
    try {
        ok = ReadClipboardDib(dib, size, ctx);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (!ok || ctx.image.empty()) return false;
    InstallPicture(session, std::move(ctx.image), false, true);
    SetPictureInfo(session, nullptr, 1, std::string());
    session.picture.flags = PictureFlags{};
    session.picture.path.clear();
    session.picture.fileName = "clip";
    return true;
}

bool TrialSaveMatches(const Session& session) {
    const TrialSaveRecord& t = session.picture.trial;
    const CurrentPicture& pic = session.picture;
    return t.valid && t.simg == session.settings.simg && t.limg == session.settings.limg &&
           t.saveTransparent == pic.saveTransparent && t.writeComment == pic.writeComment &&
           t.comment == pic.commentText && t.orientation == pic.orientation;
}

bool EncodeToTempFile(Session& session) {
    DiscardTrialSave(session);
    CurrentPicture& pic = session.picture;
    if (!pic.HasPicture()) return false;
    const bool jpeg = session.settings.simg.format == kSaveJpeg ||
                      session.settings.simg.format == kSaveJpegTrans;
    // The lossless transform reads the file the picture came from: it must be unchanged.
    if (session.settings.simg.format == kSaveJpegTrans && pic.image.sourceFormat == kFormatJpeg) {
        const int problem = CheckLosslessSource(pic.path, pic.image.fileTime);
        if (problem >= 0) {
            ShowError(session, problem);
            return false;
        }
    }

    const std::optional<std::string> temp = CreateTempFile();
    if (!temp) {
        ShowError(session, kErrTempCreate);
        return false;
    }
    DecoderContext ctx;
    const SaveRequest req = MakeSaveRequest(session);
    if (!EncodePicture(*temp, pic.image, req, ctx)) {
        if (jpeg) ReportJpegError(session, ctx);
        else ReportCodecError(session, ctx);
        if (!DeleteFile(*temp)) ShowError(session, kErrTempDelete);
        return false;
    }
    TrialSaveRecord& t = pic.trial;
    t.valid = true;
    t.tempPath = *temp;
    t.simg = req.simg;
    t.limg = req.limg;
    t.saveTransparent = req.saveTransparent;
    t.writeComment = req.writeComment;
    t.comment = req.comment;
    t.orientation = req.orientation;
    t.previewShown = false;
    t.preview.Reset();
    t.size = FileSizeOf(*temp);
    return true;
}

bool SavePicture(Session& session, const std::string& destination) {
    SetTitle(session, "wait...");
    SetWaitCursor(session, true);
    TrialSaveRecord& trial = session.picture.trial;

    // A trial save made with the settings in force is copied as it is and kept.
    const bool reuse = TrialSaveMatches(session) && FileExists(trial.tempPath);
    if (!reuse && !EncodeToTempFile(session)) {
        SetWaitCursor(session, false);
        return false;
    }
    const std::string temp = trial.tempPath;

    bool ok = true;
    struct stat st {};
    if (::lstat(destination.c_str(), &st) == 0) {
        // The old file goes to the trash first; when it cannot, nothing is overwritten.
        if (S_ISDIR(st.st_mode) || !MoveToTrash(destination)) ok = false;
    }
    if (ok) ok = CopyFileOver(temp, destination);

    if (ok) {
        session.history.MarkSaved();
        if (session.ui.savedFile) session.ui.savedFile(destination);
    } else {
        ShowError(session, kErrFileCreate);
    }
    if (!reuse) {
        if (!DeleteFile(temp)) ShowError(session, kErrTempDelete);
        ForgetTrial(trial);
    }
    SetWaitCursor(session, false);
    return ok;
}

bool TrialSave(Session& session) {
    TrialSaveRecord& trial = session.picture.trial;
    if (TrialSaveMatches(session) && trial.previewShown) return true;
    SetTitle(session, "wait...");
    SetWaitCursor(session, true);
    if (!EncodeToTempFile(session)) {
        SetWaitCursor(session, false);
        return false;
    }
    ImageBuffer preview;
    int64_t size = 0;
    const bool ok =
        LoadFormat(session, trial.tempPath, LoadFormatOf(trial.simg.format), &preview, &size);
    if (ok) {
        PlaceOnCanvas(preview, session.picture.image);
        trial.preview = std::move(preview);
        trial.previewShown = true;
        trial.size = size;
        TrialPreviewChanged(session);
    } else {
        ShowError(session, kErrDisplay);
    }
    SetWaitCursor(session, false);
    return ok;
}

void DiscardTrialSave(Session& session) {
    TrialSaveRecord& trial = session.picture.trial;
    const bool shown = trial.previewShown;
    const std::string temp = trial.tempPath;
    const bool had = trial.valid;
    ForgetTrial(trial);
    if (shown) TrialPreviewChanged(session);
    if (had && !temp.empty() && !DeleteFile(temp)) {
        struct stat st {};
        if (::lstat(temp.c_str(), &st) == 0) ShowError(session, kErrTempDelete);
    }
}

}  // namespace lumra
