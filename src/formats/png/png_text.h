// The tEXt chunks of PNG files: the text viewer's table, and the "Comment" text that the
// comment dialogs read and rewrite. Texts are the file's own bytes (CP932).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lumra {

struct DecoderContext;

inline constexpr int kPngTextEntries = 16;
inline constexpr size_t kPngKeywordMax = 79;
inline constexpr size_t kPngTextMax = 1024;
inline constexpr size_t kPngCommentMax = 9999;

struct PngTextTable {
    std::array<std::string, kPngTextEntries> keywords;  // at most 79 bytes each
    std::array<std::string, kPngTextEntries> texts;     // at most 1024 bytes each
    int count = 0;
};

// Up to 16 tEXt entries in file order, ESC bytes dropped. False with CodecError 4 when the
// file cannot be read or holds none.
bool ReadPngTextsFromMemory(const uint8_t* data, size_t size, PngTextTable& table, int& error);
bool ReadPngTexts(const std::string& path, PngTextTable& table, int& error);

// The text viewer's list: column headings, widths, and one row per entry (keyword at most 79
// characters, text at most 1024, both converted to UTF-8).
inline constexpr char kPngTextKeywordColumn[] = "キーワード";
inline constexpr char kPngTextTextColumn[] = "テキスト";
inline constexpr int kPngTextKeywordWidth = 74;
inline constexpr int kPngTextTextWidth = 197;
struct PngTextRow {
    std::string keyword;
    std::string text;
};
std::vector<PngTextRow> PngTextViewerRows(const PngTextTable& table);

// The text of the first "Comment" tEXt chunk, ESC bytes dropped and lone LF made CR LF, at
// most 9999 bytes; empty when there is none. False with CodecError 4 when the file cannot be
// read or a chunk runs past its end.
bool ReadPngCommentFromMemory(const uint8_t* data, size_t size, std::string& text, int& error);
bool ReadPngComment(const std::string& path, std::string& text, int& error);

// The file with its first "Comment" chunk replaced by one holding text (CRs removed), removed
// when text is empty, or inserted before IEND when it has none. write is false when the text
// is empty and there was no comment: the file stays as it is. length receives the stored
// text's length (0: no comment now).
bool RewritePngCommentInMemory(const uint8_t* data, size_t size, const std::string& text,
                               std::vector<uint8_t>& out, bool& write, size_t& length, int& error);
// Writes the new file to tempPath (CodecError 5 when it cannot be created); nothing is
// written when written comes back false.
bool RewritePngComment(const std::string& path, const std::string& tempPath, const std::string& text,
                       size_t& length, bool& written, int& error);

// The comment editor's reader and rewriter (the shape every format's comment codec has):
// CodecError in ctx.error; exists tells whether the file now has a comment.
bool ReadPngCommentForEditor(const std::string& path, std::string& text, DecoderContext& ctx);
bool RewritePngCommentForEditor(const std::string& path, const std::string& tempPath, const std::string& text,
                                bool& written, bool& exists, DecoderContext& ctx);

// The tEXt chunk "Comment" with text, CRs removed.
std::vector<uint8_t> MakePngCommentChunk(const std::string& text);

}  // namespace lumra
