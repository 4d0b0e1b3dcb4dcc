#include <cstring>
#include <functional>
#include <memory>
#include <optional>

#include "document/document.h"
#include "formats/codec_error.h"
#include "platform/file_io.h"
#include "platform/file_stamp.h"
#include "platform/temp_file.h"
#include "platform/trash.h"

namespace lumra {

namespace {

void SetTitle(Document& d, const std::string& title) {
    if (d.ui.setTitle) d.ui.setTitle(title);
}
void SetWaitCursor(Document& d, bool wait) {
    if (d.ui.setWaitCursor) d.ui.setWaitCursor(wait);
}
void ShowError(Document& d, int code) {
    if (d.ui.showError) d.ui.showError(code);
}
void ReportCodecError(Document& d, const DecoderContext& ctx) {
    if (d.ui.reportCodecError) d.ui.reportCodecError(ctx.error, ctx.message);
}
void TrialPreviewChanged(Document& d) {
    if (d.ui.trialPreviewChanged) d.ui.trialPreviewChanged();
}

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

// The title reads "compress..." while an encoder deflates; without a way to read the title
// back nothing is shown, so nothing is left behind.
std::function<void(bool)> CompressTitle(Document& doc) {
    if (!doc.ui.setTitle || !doc.ui.title) return {};
    auto saved = std::make_shared<std::string>();
    return [&doc, saved](bool compressing) {
        if (compressing) {
            *saved = doc.ui.title();
            doc.ui.setTitle("compress...");
        } else {
            doc.ui.setTitle(*saved);
        }
    };
}

}  // namespace

SaveRequest MakeSaveRequest(const Document& doc) {
    SaveRequest req;
    req.simg = doc.SaveOptions();
    req.limg = doc.LoadOptions();
    req.saveTransparent = doc.picture.saveTransparent;
    req.writeComment = doc.picture.writeComment;
    req.comment = doc.picture.commentText;
    req.orientation = doc.picture.orientation;
    req.sourcePath = doc.picture.path;
    req.sourceFormat = doc.picture.image.sourceFormat;
    return req;
}

bool TrialSaveMatches(const Document& doc) {
    const TrialSaveRecord& t = doc.picture.trial;
    const CurrentPicture& pic = doc.picture;
    return t.valid && t.simg == doc.SaveOptions() && t.limg == doc.LoadOptions() &&
           t.saveTransparent == pic.saveTransparent && t.writeComment == pic.writeComment &&
           t.comment == pic.commentText && t.orientation == pic.orientation;
}

SourceCheck CheckLosslessSource(const std::string& path, int64_t installedFileTime) {
    const std::optional<FileStamp> stamp = StampOfOpenedFile(path);
    if (!stamp || !stamp->regular) return SourceCheck::kUnreadable;
    return stamp->modifiedNs == installedFileTime ? SourceCheck::kUnchanged : SourceCheck::kChanged;
}

void ReportJpegError(Document& doc, const DecoderContext& ctx) {
    if (!doc.ui.reportCodecError) return;
    switch (ctx.error) {
        case kCodecMemory:
        case kCodecCommentEdit:
        case kCodecRead:
        case kCodecCreate:
        case kCodecSave:
            doc.ui.reportCodecError(ctx.error, std::string());
            return;
        default:
            // Any other code has no text of its own here: the library's words are shown.
            if (!ctx.message.empty()) doc.ui.reportCodecError(kCodecOk, ctx.message);
            return;
    }
}

namespace {

// Encodes the picture by req into a new temporary file: its path, or nullopt once the failure
// was shown.
std::optional<std::string> EncodeTemp(Document& doc, SaveRequest req) {
    const CurrentPicture& pic = doc.picture;
    const int format = req.simg.format;
    // The lossless transform reads the file the picture came from: it must be unchanged.
    if (format == kSaveJpegTrans && req.sourceFormat == kFormatJpeg) {
        switch (CheckLosslessSource(pic.path, pic.image.fileTime)) {
            case SourceCheck::kUnchanged: break;
            case SourceCheck::kChanged: ShowError(doc, kErrFileChanged); return std::nullopt;
            case SourceCheck::kUnreadable: ShowError(doc, kErrRead); return std::nullopt;
        }
    }
    std::optional<std::string> temp = CreateTempFile();
    if (!temp) {
        ShowError(doc, kErrTempCreate);
        return std::nullopt;
    }
    DecoderContext ctx;
    req.compressing = CompressTitle(doc);
    if (!EncodePicture(*temp, pic.image, req, ctx)) {
        if (format == kSaveJpeg || format == kSaveJpegTrans) ReportJpegError(doc, ctx);
        else ReportCodecError(doc, ctx);
        if (!DeleteFile(*temp)) ShowError(doc, kErrTempDelete);
        return std::nullopt;
    }
    return temp;
}

// Puts a written temporary file in place of destination; the old file goes to the trash
// first, and when it cannot, nothing is overwritten.
bool CopyIntoPlace(Document& doc, const std::string& temp, const std::string& destination) {
    bool ok = true;
    if (const std::optional<FileStamp> old = StampOfLink(destination))
        if (old->directory || !MoveToTrash(destination)) ok = false;
    if (ok) ok = CopyFileOver(temp, destination);
    if (ok) {
        doc.history.MarkSaved();
        if (doc.ui.savedFile) doc.ui.savedFile(destination);
    } else {
        ShowError(doc, kErrFileCreate);
    }
    return ok;
}

}  // namespace

bool EncodeToTempFile(Document& doc) {
    DiscardTrialSave(doc);
    if (!doc.picture.HasPicture()) return false;
    const SaveRequest req = MakeSaveRequest(doc);
    const std::optional<std::string> temp = EncodeTemp(doc, req);
    if (!temp) return false;
    TrialSaveRecord& t = doc.picture.trial;
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
    const std::optional<FileStamp> stamp = StampOfPath(*temp);
    t.size = stamp ? stamp->size : 0;
    return true;
}

bool SavePicture(Document& doc, const std::string& destination) {
    SetTitle(doc, "wait...");
    SetWaitCursor(doc, true);
    TrialSaveRecord& trial = doc.picture.trial;

    // A trial save made with the settings in force is copied as it is and kept.
    const bool reuse = TrialSaveMatches(doc) && FileExists(trial.tempPath);
    if (!reuse && !EncodeToTempFile(doc)) {
        SetWaitCursor(doc, false);
        return false;
    }
    const std::string temp = trial.tempPath;
    const bool ok = CopyIntoPlace(doc, temp, destination);
    if (!reuse) {
        if (!DeleteFile(temp)) ShowError(doc, kErrTempDelete);
        ForgetTrial(trial);
    }
    SetWaitCursor(doc, false);
    return ok;
}

bool SavePictureWith(Document& doc, const std::string& destination, const SaveRequest& req) {
    SetTitle(doc, "wait...");
    SetWaitCursor(doc, true);
    DiscardTrialSave(doc);
    bool ok = false;
    if (doc.picture.HasPicture()) {
        if (const std::optional<std::string> temp = EncodeTemp(doc, req)) {
            ok = CopyIntoPlace(doc, *temp, destination);
            if (!DeleteFile(*temp)) ShowError(doc, kErrTempDelete);
        }
    }
    SetWaitCursor(doc, false);
    return ok;
}

bool TrialSave(Document& doc) {
    TrialSaveRecord& trial = doc.picture.trial;
    if (TrialSaveMatches(doc) && trial.previewShown) return true;
    SetTitle(doc, "wait...");
    SetWaitCursor(doc, true);
    if (!EncodeToTempFile(doc)) {
        SetWaitCursor(doc, false);
        return false;
    }
    ImageBuffer preview;
    int64_t size = 0;
    const bool ok =
        LoadFormat(doc, trial.tempPath, LoadFormatOf(trial.simg.format), &preview, &size);
    if (ok) {
        PlaceOnCanvas(preview, doc.picture.image);
        trial.preview = std::move(preview);
        trial.previewShown = true;
        trial.size = size;
        TrialPreviewChanged(doc);
    } else {
        ShowError(doc, kErrDisplay);
    }
    SetWaitCursor(doc, false);
    return ok;
}

void DiscardTrialSave(Document& doc) {
    TrialSaveRecord& trial = doc.picture.trial;
    const bool shown = trial.previewShown;
    const std::string temp = trial.tempPath;
    const bool had = trial.valid;
    ForgetTrial(trial);
    if (shown) TrialPreviewChanged(doc);
    if (had && !temp.empty() && !DeleteFile(temp) && StampOfLink(temp))
        ShowError(doc, kErrTempDelete);
}

}  // namespace lumra
