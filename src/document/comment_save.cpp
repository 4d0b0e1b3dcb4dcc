#include "document/comment_save.h"

#include <algorithm>
#include <climits>
#include <optional>

#include "formats/codec_error.h"
#include "platform/ansi_text.h"
#include "platform/file_io.h"
#include "platform/file_stamp.h"
#include "platform/temp_file.h"
#include "platform/trash.h"

namespace lumra {

namespace {

void Show(Document& d, int code) {
    if (d.ui.showError) d.ui.showError(code);
}

std::string WithCrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out.push_back('\r');
        out.push_back(text[i]);
    }
    return out;
}

std::string WithoutCr(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text)
        if (c != '\r') out.push_back(c);
    return out;
}

}  // namespace

bool CommentEditAvailable(const Document& doc) {
    const CurrentPicture& pic = doc.picture;
    return pic.HasPicture() && !pic.path.empty() &&
           (pic.image.sourceFormat == kFormatJpeg || pic.image.sourceFormat == kFormatPng);
}

bool ReadCurrentComment(const Document& doc, std::string& utf8, int& showError) {
    utf8.clear();
    showError = kErrRead;
    const CurrentPicture& pic = doc.picture;
    const CommentFileCodec* codec = CommentCodecFor(pic.image.sourceFormat);
    if (!CommentEditAvailable(doc) || !codec || !FileExists(pic.path)) return false;
    std::string text;
    DecoderContext ctx;
    if (!codec->read(pic.path, text, ctx)) return false;
    utf8 = WithoutCr(AnsiToUtf8(text));
    showError = -1;
    return true;
}

bool SaveEditedComment(Document& doc, const std::string& utf8) {
    CurrentPicture& pic = doc.picture;
    const CommentFileCodec* codec = CommentCodecFor(pic.image.sourceFormat);
    if (!CommentEditAvailable(doc) || !codec || !FileExists(pic.path)) {
        Show(doc, kErrRead);
        return false;
    }
    const std::string ansi = Utf8ToAnsi(WithCrLf(LimitCommentChars(utf8)));
    const std::optional<std::string> temp = CreateTempFile();
    if (!temp) {
        Show(doc, kErrTempCreate);
        return false;
    }
    DecoderContext ctx;
    bool written = false, exists = false;
    if (!codec->rewrite(pic.path, *temp, ansi, written, exists, ctx)) {
        if (codec->jpegReport) ReportJpegError(doc, ctx);
        else if (doc.ui.reportCodecError) doc.ui.reportCodecError(ctx.error, ctx.message);
        if (!DeleteFile(*temp)) Show(doc, kErrTempDelete);
        return false;
    }
    bool ok = true;
    if (written) {
        if (!MoveToTrash(pic.path) || !CopyFileOver(*temp, pic.path)) {
            Show(doc, kErrFileCreate);
            ok = false;
        }
    }
    if (!DeleteFile(*temp)) Show(doc, kErrTempDelete);
    if (!ok || !written) return ok;

    pic.flags.hasComment = exists;
    // The file on disk is the program's own rewrite: a lossless save may still use it.
    const std::optional<FileStamp> st = StampOfPath(pic.path);
    pic.image.fileTime = st ? st->modifiedNs : 0;
    if (st) pic.image.fileSize = static_cast<int32_t>(std::min<int64_t>(st->size, INT32_MAX));
    pic.loaded.time = pic.image.fileTime;
    pic.loaded.size = pic.image.fileSize;
    if (doc.ui.savedFile) doc.ui.savedFile(pic.path);
    if (doc.SaveOptions().format == kSaveJpegTrans && pic.trial.previewShown) {
        DiscardTrialSave(doc);
        TrialSave(doc);
    }
    return true;
}

void SetPendingComment(Document& doc, const std::string& utf8) {
    doc.picture.commentText = LimitCommentChars(utf8);
    doc.picture.writeComment = !doc.picture.commentText.empty();
}

}  // namespace lumra
