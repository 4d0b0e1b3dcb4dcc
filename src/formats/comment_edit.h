// The comment stored in a picture file (JPEG COM marker, PNG "Comment" text): reading and
// rewriting it by format.
#pragma once

#include <cstdint>
#include <string>

#include "formats/decoder_context.h"

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

// The text of the comment creation dialog: at most 10000 characters.
std::string LimitCommentChars(const std::string& utf8);
}  // namespace lumra
