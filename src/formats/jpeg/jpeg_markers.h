// Walking a JPEG file's markers without the library: the comment (COM) reader and
// rewriter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/decoder_context.h"

namespace lumra {

struct JpegSegment {
    uint8_t marker = 0;
    size_t start = 0;      // the first 0xFF before the marker code
    size_t dataStart = 0;  // after the length bytes (= end for markers without data)
    size_t end = 0;        // just after the segment
};

// Steps through the segments from the start of the file up to SOS or EOI.
class JpegMarkerWalker {
public:
    enum class Step { Segment, End, Broken };
    JpegMarkerWalker(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    // Segment: `seg` is the next segment. End: seg is the SOS or EOI marker (no length
    // read). Broken: the walk ran off the end or met a length below 2.
    Step Next(JpegSegment& seg);

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

inline constexpr size_t kCommentBufferBytes = 10000;  // text plus its terminator

// The first COM marker's text as stored (CP932): ESC bytes dropped, a lone LF turned into
// CR LF, at most 9999 bytes. No comment before SOS/EOI: empty. CodecError 4 when the walk
// runs off the end of the file.
bool ReadJpegCommentBytes(const uint8_t* data, size_t size, std::string& text, DecoderContext& ctx);
bool ReadJpegComment(const std::string& path, std::string& text, DecoderContext& ctx);

// A copy of the file with its first comment replaced by `text` (CP932; CR bytes removed,
// at most 10000 bytes), inserted after the last APP0/APP1 segment before it when the file
// has none, or removed when `text` is empty. When the text is empty and the file has no
// comment nothing is produced: written = false. exists tells whether the copy has a comment.
bool RewriteJpegCommentBytes(const uint8_t* data, size_t size, const std::string& text,
                             std::vector<uint8_t>& out, bool& written, bool& exists,
                             DecoderContext& ctx);
// The same from the file at path into tempPath (CodecError 5 when it cannot be written).
bool RewriteJpegComment(const std::string& path, const std::string& tempPath,
                        const std::string& text, bool& written, bool& exists, DecoderContext& ctx);

}  // namespace lumra
