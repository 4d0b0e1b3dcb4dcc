// Viewing and editing the comment stored in the current picture's file (JPEG COM marker,
// PNG "Comment" text), and the pending comment the encoders write.
#pragma once

#include <cstdint>
#include <string>

#include "formats/decoder_context.h"
#include "shell/session.h"

namespace lumra {

inline constexpr int kCommentMaxChars = 10000;

// The reader and rewriter of one format; text is as stored in the file (CP932).
struct CommentFileCodec {
    bool (*read)(const std::string& path, std::string& text, DecoderContext& ctx);
    // Writes the file with its comment replaced into tempPath; written = false when nothing
    // needed writing; exists = whether the file now has a comment.
    bool (*rewrite)(const std::string& path, const std::string& tempPath, const std::string& text,
                    bool& written, bool& exists, DecoderContext& ctx);
    bool jpegReport;  // failures through the JPEG reporter
};

// The codec for a picture's format, or none.
const CommentFileCodec* CommentCodecFor(uint32_t sourceFormat);

// Whether the comment editor applies to the current picture (PNG or JPEG).
bool CommentEditAvailable(const Session& session);

// The current file's comment as UTF-8 with LF line ends. False with the ShowError code when
// the file is gone or cannot be read (kErrRead).
bool ReadCurrentComment(const Session& session, std::string& utf8, int& showError);

// Saves an edited comment (UTF-8, LF or CR LF line ends; the first 10000 characters) into the
// current file: rewritten into a temporary file, the old file to the trash, the new one
// copied into place. Failures are shown through the session's hooks. The picture's comment
// flag follows the result.
bool SaveEditedComment(Session& session, const std::string& utf8);

// The text of the comment creation dialog: at most 10000 characters.
std::string LimitCommentChars(const std::string& utf8);
// OK in the comment creation dialog: the pending comment, switched on when not empty.
void SetPendingComment(Session& session, const std::string& utf8);

}  // namespace lumra
