#include "formats/jpeg/jpeg_markers.h"

#include "formats/codec_error.h"
#include "platform/ansi_text.h"
#include "platform/file_io.h"

namespace lumra {

namespace {

constexpr uint8_t kSoi = 0xD8;
constexpr uint8_t kEoi = 0xD9;
constexpr uint8_t kSos = 0xDA;
constexpr uint8_t kCom = 0xFE;
constexpr uint8_t kApp0 = 0xE0;
constexpr uint8_t kApp1 = 0xE1;
constexpr size_t kCommentReadMax = kCommentBufferBytes - 1;

// Cuts CP932 bytes to at most maxBytes without splitting a two-byte character.
void TruncateAnsi(std::string& ansi, size_t maxBytes) {
    if (ansi.size() <= maxBytes) return;
    size_t i = 0;
    while (i < maxBytes) {
        const size_t n = IsAnsiLeadByte(static_cast<uint8_t>(ansi[i])) ? 2 : 1;
        if (i + n > maxBytes) break;
        i += n;
    }
    ansi.resize(i);
}

// Markers that stand alone, without a length.
bool Standalone(uint8_t code) { return code == kSoi || code == 0x01 || (code >= 0xD0 && code <= 0xD7); }

}  // namespace

JpegMarkerWalker::Step JpegMarkerWalker::Next(JpegSegment& seg) {
    while (pos_ < size_ && data_[pos_] != 0xFF) ++pos_;
    const size_t start = pos_;
    while (pos_ < size_ && data_[pos_] == 0xFF) ++pos_;
    if (pos_ >= size_) return Step::Broken;
    seg = JpegSegment{};
    seg.marker = data_[pos_++];
    seg.start = start;
    if (seg.marker == kSos || seg.marker == kEoi) {
        seg.dataStart = seg.end = pos_;
        return Step::End;
    }
    if (Standalone(seg.marker)) {
        seg.dataStart = seg.end = pos_;
        return Step::Segment;
    }
    if (size_ - pos_ < 2) return Step::Broken;
    const size_t length = static_cast<size_t>(data_[pos_] << 8 | data_[pos_ + 1]);
    if (length < 2 || length > size_ - pos_) return Step::Broken;
    seg.dataStart = pos_ + 2;
    seg.end = pos_ + length;
    pos_ = seg.end;
    return Step::Segment;
}

bool ReadJpegCommentBytes(const uint8_t* data, size_t size, std::string& text, DecoderContext& ctx) {
    text.clear();
    JpegMarkerWalker walker(data, size);
    JpegSegment seg;
    for (;;) {
        const JpegMarkerWalker::Step step = walker.Next(seg);
        if (step == JpegMarkerWalker::Step::Broken) {
            ctx.error = kCodecRead;
            return false;
        }
        if (step == JpegMarkerWalker::Step::End) return true;
        if (seg.marker != kCom) continue;
        const size_t n = std::min(seg.end - seg.dataStart, kCommentReadMax);
        const uint8_t* p = data + seg.dataStart;
        for (size_t i = 0; i < n && text.size() < kCommentReadMax; ++i) {
            const uint8_t b = p[i];
            if (b == 0x1B) continue;
            if (b == '\n' && (i == 0 || p[i - 1] != '\r')) {
                if (text.size() + 2 > kCommentReadMax) break;
                text += "\r\n";
                continue;
            }
            text.push_back(static_cast<char>(b));
        }
        return true;
    }
}

bool ReadJpegComment(const std::string& path, std::string& text, DecoderContext& ctx) {
    std::vector<uint8_t> data;
    if (!ReadWholeFile(path, data)) {
        ctx.error = kCodecRead;
        return false;
    }
    return ReadJpegCommentBytes(data.data(), data.size(), text, ctx);
}

bool RewriteJpegCommentBytes(const uint8_t* data, size_t size, const std::string& text,
                             std::vector<uint8_t>& out, bool& written, bool& exists,
                             DecoderContext& ctx) {
    out.clear();
    written = false;
    exists = false;
    size_t from = 0, to = 0;  // the range replaced by the new comment
    bool hadComment = false;
    JpegMarkerWalker walker(data, size);
    JpegSegment seg;
    for (bool walking = true; walking;) {
        switch (walker.Next(seg)) {
            case JpegMarkerWalker::Step::Broken:
                ctx.error = kCodecRead;
                return false;
            case JpegMarkerWalker::Step::End:
                walking = false;
                break;
            case JpegMarkerWalker::Step::Segment:
                if (seg.marker == kCom) {
                    from = seg.start;
                    to = seg.end;
                    hadComment = true;
                    walking = false;
                } else if (seg.marker == kSoi || seg.marker == kApp0 || seg.marker == kApp1) {
                    from = to = seg.end;
                }
                break;
        }
    }
    std::string body;
    body.reserve(text.size());
    for (const char c : text)
        if (c != '\r') body.push_back(c);
    TruncateAnsi(body, kCommentBufferBytes);
    if (body.empty() && !hadComment) return true;

    out.reserve(size - (to - from) + body.size() + 4);
    out.insert(out.end(), data, data + from);
    if (!body.empty()) {
        const size_t length = body.size() + 2;
        out.push_back(0xFF);
        out.push_back(kCom);
        out.push_back(static_cast<uint8_t>(length >> 8));
        out.push_back(static_cast<uint8_t>(length));
        out.insert(out.end(), body.begin(), body.end());
    }
    out.insert(out.end(), data + to, data + size);
    written = true;
    exists = !body.empty();
    return true;
}

bool RewriteJpegComment(const std::string& path, const std::string& tempPath,
                        const std::string& text, bool& written, bool& exists, DecoderContext& ctx) {
    written = exists = false;
    std::vector<uint8_t> data;
    if (!ReadWholeFile(path, data)) {
        ctx.error = kCodecRead;
        return false;
    }
    std::vector<uint8_t> out;
    if (!RewriteJpegCommentBytes(data.data(), data.size(), text, out, written, exists, ctx))
        return false;
    if (written && !WriteWholeFile(tempPath, out.data(), out.size())) {
        ctx.error = kCodecCreate;
        written = false;
        return false;
    }
    return true;
}

}  // namespace lumra
