#include <optional>
#include <utility>

#include "document/document.h"
#include "formats/bmp/bmp_codec.h"
#include "formats/codec_error.h"
#include "formats/plugin_host.h"
#include "platform/file_io.h"
#include "platform/paths.h"

namespace lumra {

namespace {

void SetTitle(Document& d, const std::string& title) {
    if (d.ui.setTitle) d.ui.setTitle(title);
}
void SetWaitCursor(Document& d, bool wait) {
    if (d.ui.setWaitCursor) d.ui.setWaitCursor(wait);
}

void Report(LoadResult* result, FormatCode format, const DecoderContext& ctx) {
    if (!result) return;
    result->format = format;
    result->error = ctx.error;
    result->message = ctx.message;
}

}  // namespace

bool LoadWithPlugins(Document& doc, const std::string& path, ImageBuffer* preview) {
    if (!IsDirectory(doc.PluginFolder())) return false;
    ImageBuffer image;
    if (!DecodeWithPlugins(doc.PluginFolder(), path, image)) return false;
    if (preview) {
        *preview = std::move(image);
        return true;
    }
    InstallPicture(doc, std::move(image), false, true);
    // Plug-in pictures carry none of the per-file flags.
    doc.picture.flags = PictureFlags{};
    SetPictureInfo(doc, &path, HistoryMode::kClear, std::string());
    return true;
}

void InstallDecoded(Document& doc, const std::string& path, DecodedPicture&& decoded) {
    InstallPicture(doc, std::move(decoded.image), false, true);
    doc.picture.flags = decoded.flags;
    doc.picture.animation = std::move(decoded.animation);
    decoded.animation.Clear();
    SetPictureInfo(doc, &path, HistoryMode::kClear, std::string());
}

bool LoadFormat(Document& doc, const std::string& path, FormatCode format, ImageBuffer* preview,
                int64_t* previewSize, LoadResult* result) {
    if (preview) {
        DecoderContext ctx;
        const bool ok = DecodeFile(path, format, doc.LoadOptions(), ctx);
        Report(result, format, ctx);
        if (!ok) return false;
        *preview = std::move(ctx.image);
        if (previewSize) *previewSize = preview->fileSize;
        return true;
    }
    DecodedPicture decoded;
    const bool ok = DecodeOwnFormat(path, format, doc.LoadOptions(), decoded);
    if (result) {
        result->format = format;
        result->error = decoded.error;
        result->message = decoded.message;
    }
    if (!ok) return false;
    InstallDecoded(doc, path, std::move(decoded));
    return true;
}

bool LoadPicture(Document& doc, const std::string& path, LoadResult* result) {
    return LoadPicture(doc, path, nullptr, result);
}

bool LoadPicture(Document& doc, const std::string& path, const DecodedAhead& ahead,
                 LoadResult* result) {
    const PictureFlags saved = doc.picture.flags;
    doc.picture.flags = PictureFlags{};
    SetTitle(doc, "wait...");
    if (doc.operationState == 0) SetWaitCursor(doc, true);
    if (result) *result = LoadResult{};

    if (ahead) {
        if (std::optional<DecodedPicture> decoded = ahead()) {
            InstallDecoded(doc, path, std::move(*decoded));
            SetWaitCursor(doc, false);
            return true;
        }
    }
    const std::optional<std::vector<uint8_t>> head = ReadFilePrefix(path, 8);
    const FormatCode format =
        head ? DetectFormatBytes(head->data(), head->size()) : kFormatUnknown;
    if (result) {
        result->format = format;
        result->unreadable = !head || (format == kFormatEmpty && !head->empty());
    }
    bool ok = false;
    if (format >= kFormatBmp && format <= kFormatGif) ok = LoadFormat(doc, path, format, nullptr, nullptr, result);
    if (!ok && format != kFormatEmpty) ok = LoadWithPlugins(doc, path, nullptr);
    if (!ok) doc.picture.flags = saved;
    SetWaitCursor(doc, false);
    return ok;
}

void InstallPicture(Document& doc, ImageBuffer&& image, bool recordFirst, bool sizeChanged) {
    CurrentPicture& pic = doc.picture;
    // A trial save belongs to the picture it was made from.
    DiscardTrialSave(doc);
    if (pic.HasPicture()) {
        // The history store keeps the original as its first entry.
        if (recordFirst && doc.history.entries == 0 &&
            !doc.history.Record(kOriginalEntryName, pic.image) && doc.ui.showError)
            doc.ui.showError(kErrHistorySave);
        ReleasePicture(doc);
        if (sizeChanged) pic.selection.clear();
    }
    pic.image = std::move(image);
}

void SetPictureAside(Document& doc, PictureAside& aside) {
    DropPictureAside(aside);
    // An animation's timer stops before its frames go.
    if (doc.picture.animation.frameCount() > 0 && doc.ui.animationStopped) doc.ui.animationStopped();
    const bool trialShown = doc.picture.trial.previewShown;
    CurrentPicture fresh;
    fresh.writeComment = doc.picture.writeComment;
    fresh.commentText = doc.picture.commentText;
    aside.picture = std::exchange(doc.picture, std::move(fresh));
    aside.history = std::exchange(doc.history, HistoryState{});
    aside.held = true;
    if (trialShown && doc.ui.trialPreviewChanged) doc.ui.trialPreviewChanged();
}

void RestorePictureAside(Document& doc, PictureAside& aside) {
    if (!aside.held) return;
    DiscardTrialSave(doc);
    ReleasePicture(doc);
    doc.picture = std::move(aside.picture);
    doc.history = std::move(aside.history);
    aside = PictureAside{};
    if (doc.picture.trial.previewShown && doc.ui.trialPreviewChanged) doc.ui.trialPreviewChanged();
}

void DropPictureAside(PictureAside& aside) {
    if (aside.held && aside.picture.trial.valid && !aside.picture.trial.tempPath.empty())
        DeleteFile(aside.picture.trial.tempPath);
    // The history's files go with it.
    aside = PictureAside{};
}

void SetPictureInfo(Document& doc, const std::string* path, HistoryMode mode,
                    const std::string& label) {
    CurrentPicture& pic = doc.picture;
    BitmapInfoHeader& h = pic.image.header;
    if (h.biXPelsPerMeter < 0) h.biXPelsPerMeter = 0;
    if (h.biYPelsPerMeter < 0) h.biYPelsPerMeter = 0;
    pic.xResolution = h.biXPelsPerMeter;
    pic.yResolution = h.biYPelsPerMeter;

    LoadedFile& loaded = pic.loaded;
    if (mode == HistoryMode::kAddEntry) {
        // An edited picture still stands for the file it came from: the lossless save and
        // the changed-file check compare with that file.
        ImageBuffer& img = pic.image;
        if (img.sourceFormat == kFormatUnknown) img.sourceFormat = loaded.format;
        if (img.sourceBitDepth == 0) img.sourceBitDepth = loaded.sourceBitDepth;
        img.fileSize = loaded.size;
        img.fileTime = loaded.time;
    } else {
        loaded = LoadedFile{pic.image.sourceFormat, pic.image.fileSize, pic.image.sourceBitDepth,
                            pic.image.fileTime};
    }

    if (pic.image.sourceFormat != kFormatJpeg && doc.SaveOptions().format == kSaveJpegTrans)
        doc.SaveOptions().format = kSaveJpeg;

    if (path) {
        pic.path = *path;
        pic.fileName = FileNamePart(*path);
    }
    pic.orientation = 0;
    pic.saveTransparent = false;

    if (mode == HistoryMode::kClear) {
        doc.history.Clear(pic.image.sourceFormat);
    } else if (!doc.history.Record(label, pic.image) && doc.ui.showError) {
        // The change stands without an entry of its own.
        doc.ui.showError(kErrHistorySave);
    }
}

bool StepHistory(Document& doc, int delta, bool* sizeChanged) {
    if (!doc.picture.HasPicture()) return false;
    ImageBuffer image;
    const HistoryStore::StepResult r = doc.history.Step(delta, image);
    if (r == HistoryStore::StepResult::kFailed && doc.ui.showError) doc.ui.showError(kErrHistoryRun);
    if (r != HistoryStore::StepResult::kOk) return false;
    CurrentPicture& pic = doc.picture;
    const bool resized = image.width() != pic.image.width() || image.height() != pic.image.height();
    if (sizeChanged) *sizeChanged = resized;
    image.header.biXPelsPerMeter = pic.xResolution;
    image.header.biYPelsPerMeter = pic.yResolution;
    image.fileTime = pic.loaded.time;
    InstallPicture(doc, std::move(image), false, resized);
    pic.flags = PictureFlags{};
    pic.orientation = 0;
    pic.saveTransparent = false;
    if (pic.image.sourceFormat != kFormatJpeg && doc.SaveOptions().format == kSaveJpegTrans)
        doc.SaveOptions().format = kSaveJpeg;
    return true;
}

void ReleasePicture(Document& doc) {
    // An animation's timer stops before its frames go.
    if (doc.picture.animation.frameCount() > 0 && doc.ui.animationStopped)
        doc.ui.animationStopped();
    doc.picture.animation.Clear();
    doc.picture.image.Reset();
}

bool PastePicture(Document& doc, const uint8_t* dib, size_t size) {
    DecoderContext ctx;
    bool ok = false;
    try {
        ok = ReadClipboardDib(dib, size, ctx);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (!ok || ctx.image.empty()) return false;
    InstallPicture(doc, std::move(ctx.image), false, true);
    SetPictureInfo(doc, nullptr, HistoryMode::kClear, std::string());
    doc.picture.flags = PictureFlags{};
    doc.picture.path.clear();
    doc.picture.fileName = "clip";
    return true;
}

}  // namespace lumra
