#include "formats/png/png_text.h"

#include <algorithm>
#include <cstring>

#include "formats/codec_error.h"
#include "formats/decoder_context.h"
#include "formats/png/png_chunks.h"
#include "platform/ansi_text.h"
#include "platform/file_io.h"

namespace lumra {

namespace {

constexpr uint8_t kEsc = 0x1B;
constexpr size_t kTextWindow = 1103;  // bytes of a chunk the viewer looks at

bool Fail(int& error, int code) {
    error = code;
    return false;
}

// A "Comment" chunk: length above 1, sound CRC, the keyword's zero byte within 79 bytes.
bool IsCommentChunk(const PngChunk& c) {
    if (!IsChunkType(c.type, "tEXt") || c.length < 2 || !c.CrcMatches()) return false;
    const void* zero = std::memchr(c.body, 0, std::min<size_t>(c.length, kPngKeywordMax));
    return zero == c.body + 7 && std::memcmp(c.body, "Comment", 7) == 0;
}

// Walks from the end of IHDR to IEND or the end of the file. On returns true to go on.
// False when a chunk runs past the end.
template <class On>
bool WalkChunks(const uint8_t* data, size_t size, On on, size_t* iendAt = nullptr) {
    size_t pos = kPngHeadBytes;
    for (;;) {
        PngChunk c;
        const ChunkRead r = ReadChunkAt(data, size, pos, c);
        if (r == ChunkRead::End) {
            if (iendAt) *iendAt = size;
            return true;
        }
        if (r != ChunkRead::Ok) return false;
        if (IsChunkType(c.type, "IEND")) {
            if (iendAt) *iendAt = c.start;
            return true;
        }
        if (!on(c)) return true;
        pos = c.end;
    }
}

bool ReadFile(const std::string& path, std::vector<uint8_t>& data, int& error) {
    if (!ReadWholeFile(path, data)) return Fail(error, kCodecRead);
    return true;
}

}  // namespace

bool ReadPngTextsFromMemory(const uint8_t* data, size_t size, PngTextTable& table, int& error) {
    error = kCodecOk;
    table = PngTextTable{};
    if (data && size > kPngHeadBytes) {
        WalkChunks(data, size, [&](const PngChunk& c) {
            if (IsChunkType(c.type, "tEXt") && c.length > 1 && c.body[0] != 0 && c.CrcMatches()) {
                const size_t window = std::min<size_t>(c.length, kTextWindow);
                const void* zero = std::memchr(c.body, 0, std::min(window, kPngKeywordMax + 1));
                if (zero) {
                    const size_t k = static_cast<size_t>(static_cast<const uint8_t*>(zero) - c.body);
                    std::string& keyword = table.keywords[table.count];
                    std::string& text = table.texts[table.count];
                    for (size_t i = 0; i < k; ++i)
                        if (c.body[i] != kEsc) keyword.push_back(static_cast<char>(c.body[i]));
                    for (size_t i = k + 1; i < window && text.size() < kPngTextMax && c.body[i] != 0; ++i)
                        if (c.body[i] != kEsc) text.push_back(static_cast<char>(c.body[i]));
                    ++table.count;
                }
            }
            return table.count < kPngTextEntries;
        });
    }
    if (table.count == 0) return Fail(error, kCodecRead);
    return true;
}

bool ReadPngTexts(const std::string& path, PngTextTable& table, int& error) {
    std::vector<uint8_t> data;
    table = PngTextTable{};
    if (!ReadFile(path, data, error)) return false;
    return ReadPngTextsFromMemory(data.data(), data.size(), table, error);
}

std::vector<PngTextRow> PngTextViewerRows(const PngTextTable& table) {
    std::vector<PngTextRow> rows;
    for (int i = 0; i < table.count && i < kPngTextEntries; ++i)
        rows.push_back({Utf8Prefix(AnsiToUtf8(table.keywords[i]), kPngKeywordMax),
                        Utf8Prefix(AnsiToUtf8(table.texts[i]), kPngTextMax)});
    return rows;
}

bool ReadPngCommentFromMemory(const uint8_t* data, size_t size, std::string& text, int& error) {
    error = kCodecOk;
    text.clear();
    if (!data || size < kPngHeadBytes) return Fail(error, kCodecRead);
    const bool whole = WalkChunks(data, size, [&](const PngChunk& c) {
        if (!IsCommentChunk(c)) return true;
        uint8_t last = 0;
        for (size_t i = 8; i < c.length && c.body[i] != 0; ++i) {
            const uint8_t b = c.body[i];
            if (b == kEsc) continue;
            if (b == '\n' && last != '\r') {
                if (text.size() + 2 > kPngCommentMax) break;
                text += "\r\n";
            } else {
                if (text.size() + 1 > kPngCommentMax) break;
                text.push_back(static_cast<char>(b));
            }
            last = b;
        }
        return false;
    });
    if (!whole) {
        text.clear();
        return Fail(error, kCodecRead);
    }
    return true;
}

bool ReadPngComment(const std::string& path, std::string& text, int& error) {
    std::vector<uint8_t> data;
    text.clear();
    if (!ReadFile(path, data, error)) return false;
    return ReadPngCommentFromMemory(data.data(), data.size(), text, error);
}

std::vector<uint8_t> MakePngCommentChunk(const std::string& text) {
    std::vector<uint8_t> body = {'C', 'o', 'm', 'm', 'e', 'n', 't', 0};
    for (const char ch : text)
        if (ch != '\r') body.push_back(static_cast<uint8_t>(ch));
    std::vector<uint8_t> chunk(12 + body.size());
    WriteBe32(chunk.data(), static_cast<uint32_t>(body.size()));
    std::memcpy(chunk.data() + 4, "tEXt", 4);
    std::memcpy(chunk.data() + 8, body.data(), body.size());
    WriteBe32(chunk.data() + 8 + body.size(), PngCrc(chunk.data() + 4, body.size() + 4));
    return chunk;
}

bool RewritePngCommentInMemory(const uint8_t* data, size_t size, const std::string& text, std::vector<uint8_t>& out,
                               bool& write, size_t& length, int& error) {
    error = kCodecOk;
    out.clear();
    write = false;
    length = 0;
    if (!data || size < kPngHeadBytes) return Fail(error, kCodecRead);
    size_t from = 0, to = 0;
    bool found = false;
    size_t iendAt = size;
    const bool whole = WalkChunks(
        data, size,
        [&](const PngChunk& c) {
            if (!IsCommentChunk(c)) return true;
            from = c.start;
            to = c.end;
            found = true;
            return false;
        },
        &iendAt);
    if (!whole) return Fail(error, kCodecRead);
    if (!found) from = to = iendAt;
    if (text.empty() && !found) return true;

    std::vector<uint8_t> chunk;
    if (!text.empty()) {
        chunk = MakePngCommentChunk(text);
        length = chunk.size() - 12 - 8;
    }
    out.reserve(size - (to - from) + chunk.size());
    out.insert(out.end(), data, data + from);
    out.insert(out.end(), chunk.begin(), chunk.end());
    out.insert(out.end(), data + to, data + size);
    write = true;
    return true;
}

bool RewritePngComment(const std::string& path, const std::string& tempPath, const std::string& text, size_t& length,
                       bool& written, int& error) {
    written = false;
    length = 0;
    std::vector<uint8_t> data;
    if (!ReadFile(path, data, error)) return false;
    std::vector<uint8_t> out;
    bool write = false;
    if (!RewritePngCommentInMemory(data.data(), data.size(), text, out, write, length, error)) return false;
    if (!write) return true;
    if (!WriteWholeFile(tempPath, out.data(), out.size())) {
        length = 0;
        return Fail(error, kCodecCreate);
    }
    written = true;
    return true;
}

bool ReadPngCommentForEditor(const std::string& path, std::string& text, DecoderContext& ctx) {
    return ReadPngComment(path, text, ctx.error);
}

bool RewritePngCommentForEditor(const std::string& path, const std::string& tempPath, const std::string& text,
                                bool& written, bool& exists, DecoderContext& ctx) {
    size_t length = 0;
    const bool ok = RewritePngComment(path, tempPath, text, length, written, ctx.error);
    exists = ok && length > 0;
    return ok;
}

}  // namespace lumra
