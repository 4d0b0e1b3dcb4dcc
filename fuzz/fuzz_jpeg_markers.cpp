// Feeds arbitrary bytes to the marker walkers: the comment reader and rewriter.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/jpeg/jpeg_markers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text;
    lumra::DecoderContext ctx;
    lumra::ReadJpegCommentBytes(data, size, text, ctx);
    if (text.size() >= lumra::kCommentBufferBytes) __builtin_trap();
    std::vector<uint8_t> out;
    bool written = false, exists = false;
    lumra::DecoderContext rctx;
    const std::string comment = size % 3 ? std::string("note\r\n") : std::string();
    if (lumra::RewriteJpegCommentBytes(data, size, comment, out, written, exists, rctx) && written) {
        // What was written reads back.
        std::string back;
        lumra::DecoderContext bctx;
        lumra::ReadJpegCommentBytes(out.data(), out.size(), back, bctx);
    }
    return 0;
}
