// Fonts for the text tool: the face list through fontconfig and gray glyph bitmaps (levels
// 0..64) through FreeType.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lumra {

inline constexpr int kCharsetLatin = 0;
inline constexpr int kCharsetJapanese = 128;

// The scalable font families for a character set (0 Latin, 128 Japanese), sorted, without
// names that begin with '@'. Empty when fontconfig has none.
std::vector<std::string> ListFontFaces(int charset);

struct GlyphRecord {
    std::vector<uint8_t> bits;  // black box, levels 0..64, rows top-down padded to 4 bytes
    uint32_t blackBoxX = 0;
    uint32_t blackBoxY = 0;
    int32_t originX = 0;  // black box's left edge from the pen position
    int32_t originY = 0;  // black box's top edge above the baseline
    int16_t cellIncX = 0;
    int16_t cellIncY = 0;
};

struct FontRequest {
    std::string face;  // cut to 31 UTF-16 code units
    int sizePt = 36;
    int weight = 400;  // 400 or 700
    bool italic = false;
    int charset = kCharsetJapanese;
    int dpi = 96;  // the preview pane's LOGPIXELSY
};

// The text's glyphs: one record per UTF-16 code unit, the font's ascent and the block's extent.
struct GlyphRun {
    std::vector<GlyphRecord> glyphs;
    int ascent = 0;
    int minOriginX = 720;
    int minTop = 720;  // minimum of ascent - originY
};

enum class GlyphBuild { kOk, kNoFont, kFailed };
// kNoFont: the font could not be created (quiet); kFailed: a glyph could not be built (out
// is emptied).
GlyphBuild BuildGlyphs(const FontRequest& font, const std::u16string& text, GlyphRun& out);

// UTF-8 to UTF-16 (malformed bytes become U+FFFD).
std::u16string Utf8To16(const std::string& s);
// UTF-16 to UTF-8 (a lone surrogate becomes U+FFFD).
std::string Utf16To8(const std::u16string& s);

}  // namespace lumra
