#include "formats/comment_edit.h"

#include <sys/stat.h>

#include <algorithm>
#include <climits>

#include "formats/codec_error.h"
#include "formats/jpeg/jpeg_markers.h"
#include "formats/jpeg/jpeg_save.h"
#include "formats/load_save.h"
#include "formats/png/png_text.h"
#include "platform/ansi_text.h"
#include "platform/file_io.h"
#include "platform/temp_file.h"
#include "platform/trash.h"
#include "shell/show_error.h"

namespace lumra {

namespace {

constexpr CommentFileCodec kJpegComments{ReadJpegComment, RewriteJpegComment, true};
constexpr CommentFileCodec kPngComments{ReadPngCommentForEditor, RewritePngCommentForEditor, false};

void Show(Session& s, int code) {
    if (s.ui.showError) s.ui.showError(code);
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

const CommentFileCodec* CommentCodecFor(uint32_t sourceFormat) {
    switch (sourceFormat) {
        case kFormatJpeg: return &kJpegComments;
        case kFormatPng: return &kPngComments;
        default: return nullptr;
    }
}

bool CommentEditAvailable(const Session& session) {
    const CurrentPicture& pic = session.picture;
    return pic.HasPicture() && !pic.path.empty() &&
           (pic.image.sourceFormat == kFormatJpeg || pic.image.sourceFormat == kFormatPng);
}

bool ReadCurrentComment(const Session& session, std::string& utf8, int& showError) {
    utf8.clear();
    showError = kErrRead;
    const CurrentPicture& pic = session.picture;
    const CommentFileCodec* codec = CommentCodecFor(pic.image.sourceFormat);
    if (!CommentEditAvailable(session) || !codec || !FileExists(pic.path)) return false;
    std::string text;
    DecoderContext ctx;
    if (!codec->read(pic.path, text, ctx)) return false;
    utf8 = WithoutCr(AnsiToUtf8(text));
    showError = -1;
    return true;
}

std::string LimitCommentChars(const std::string& utf8) {
    size_t chars = 0, i = 0;
    while (i < utf8.size()) {
        if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80) {
            if (chars == static_cast<size_t>(kCommentMaxChars)) break;
            ++chars;
        }
        ++i;
    }
    return utf8.substr(0, i);
}

bool SaveEditedComment(Session& session, const std::string& utf8) {
    CurrentPicture& pic = session.picture;
    const CommentFileCodec* codec = CommentCodecFor(pic.image.sourceFormat);
    if (!CommentEditAvailable(session) || !codec || !FileExists(pic.path)) {
        Show(session, kErrRead);
        return false;
    }
    const std::string ansi = Utf8ToAnsi(WithCrLf(LimitCommentChars(utf8)));
    const std::optional<std::string> temp = CreateTempFile();
    if (!temp) {
        Show(session, kErrTempCreate);
        return false;
    }
    DecoderContext ctx;
    bool written = false, exists = false;
    if (!codec->rewrite(pic.path, *temp, ansi, written, exists, ctx)) {
        if (codec->jpegReport) ReportJpegError(session, ctx);
        else if (session.ui.reportCodecError) session.ui.reportCodecError(ctx.error, ctx.message);
        if (!DeleteFile(*temp)) Show(session, kErrTempDelete);
        return false;
    }
    bool ok = true;
    if (written) {
        if (!MoveToTrash(pic.path) || !CopyFileOver(*temp, pic.path)) {
            Show(session, kErrFileCreate);
            ok = false;
        }
    }
    if (!DeleteFile(*temp)) Show(session, kErrTempDelete);
    if (!ok || !written) return ok;

    pic.flags.hasComment = exists;
    // The file on disk is the program's own rewrite: a lossless save may still use it.
    pic.image.fileTime = FileModifiedTime(pic.path);
    struct stat st {};
    if (::stat(pic.path.c_str(), &st) == 0)
        pic.image.fileSize = static_cast<int32_t>(std::min<int64_t>(st.st_size, INT32_MAX));
    if (session.ui.savedFile) session.ui.savedFile(pic.path);
    if (session.settings.simg.format == kSaveJpegTrans && pic.trial.previewShown) {
        DiscardTrialSave(session);
        TrialSave(session);
    }
    return true;
}

void SetPendingComment(Session& session, const std::string& utf8) {
    session.picture.commentText = LimitCommentChars(utf8);
    session.picture.writeComment = !session.picture.commentText.empty();
}

}  // namespace lumra
