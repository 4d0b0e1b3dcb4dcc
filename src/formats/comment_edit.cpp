#include "formats/comment_edit.h"

#include "formats/jpeg/jpeg_markers.h"
#include "formats/png/png_text.h"

namespace lumra {

namespace {

constexpr CommentFileCodec kJpegComments{ReadJpegComment, RewriteJpegComment, true};
constexpr CommentFileCodec kPngComments{ReadPngCommentForEditor, RewritePngCommentForEditor, false};

}  // namespace

const CommentFileCodec* CommentCodecFor(uint32_t sourceFormat) {
    switch (sourceFormat) {
        case kFormatJpeg: return &kJpegComments;
        case kFormatPng: return &kPngComments;
        default: return nullptr;
    }
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

}  // namespace lumra
