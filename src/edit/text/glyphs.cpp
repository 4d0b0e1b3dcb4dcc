#include "edit/text/glyphs.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <memory>
#include <mutex>

namespace lumra {
namespace {

std::mutex& FontMutex() {
    static std::mutex m;
    return m;
}

FcConfig* Fontconfig() {
    static FcConfig* config = [] {
        FcInit();
        return FcConfigGetCurrent();
    }();
    return config;
}

FT_Library FreeType() {
    static FT_Library lib = [] {
        FT_Library l = nullptr;
        if (FT_Init_FreeType(&l) != 0) l = nullptr;
        return l;
    }();
    return lib;
}

const char* LangOf(int charset) { return charset == kCharsetJapanese ? "ja" : "en"; }

struct PatternFree {
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
using Pattern = std::unique_ptr<FcPattern, PatternFree>;

struct FaceFree {
    void operator()(FT_Face f) const { FT_Done_Face(f); }
};
using Face = std::unique_ptr<FT_FaceRec_, FaceFree>;

// The font file fontconfig gives for the request, and whether bold or italic must be made.
struct Match {
    std::string file;
    int index = 0;
    bool embolden = false;
    bool oblique = false;
};

bool MatchFont(const FontRequest& req, Match& m) {
    std::u16string face = Utf8To16(req.face);
    if (face.size() > 31) face.resize(31);
    Pattern p(FcPatternCreate());
    if (!p) return false;
    const std::string family = Utf16To8(face);
    if (!family.empty()) FcPatternAddString(p.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    const bool bold = req.weight >= 700;
    FcPatternAddInteger(p.get(), FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(p.get(), FC_SLANT, req.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(p.get(), FC_SCALABLE, FcTrue);
    FcPatternAddString(p.get(), FC_LANG, reinterpret_cast<const FcChar8*>(LangOf(req.charset)));
    FcConfigSubstitute(Fontconfig(), p.get(), FcMatchPattern);
    FcDefaultSubstitute(p.get());
    FcResult result = FcResultNoMatch;
    Pattern found(FcFontMatch(Fontconfig(), p.get(), &result));
    if (!found) return false;
    FcChar8* file = nullptr;
    if (FcPatternGetString(found.get(), FC_FILE, 0, &file) != FcResultMatch || !file) return false;
    m.file = reinterpret_cast<const char*>(file);
    FcPatternGetInteger(found.get(), FC_INDEX, 0, &m.index);
    int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
    FcPatternGetInteger(found.get(), FC_WEIGHT, 0, &weight);
    FcPatternGetInteger(found.get(), FC_SLANT, 0, &slant);
    // fontconfig's own synthesis (a shear matrix, embolden) when its rules asked for it.
    FcBool embolden = FcFalse;
    FcPatternGetBool(found.get(), FC_EMBOLDEN, 0, &embolden);
    FcMatrix* matrix = nullptr;
    const bool sheared = FcPatternGetMatrix(found.get(), FC_MATRIX, 0, &matrix) == FcResultMatch && matrix &&
                         matrix->xy != 0;
    m.embolden = bold && (embolden || weight < FC_WEIGHT_DEMIBOLD);
    m.oblique = req.italic && (sheared || slant == FC_SLANT_ROMAN);
    return true;
}

int Ascent(FT_Face face, int pixels) {
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 && os2->version != 0xFFFF && face->units_per_EM != 0)
        return (os2->usWinAscent * pixels + face->units_per_EM / 2) / face->units_per_EM;
    return static_cast<int>((face->size->metrics.ascender + 63) >> 6);
}

}  // namespace

std::string Utf16To8(const std::u16string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        uint32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
        else if (c >= 0xD800 && c < 0xE000)
            c = 0xFFFD;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string Utf8To16(const std::string& s) {
    std::u16string out;
    size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<uint8_t>(s[i]);
        int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        uint32_t c = len == 1 ? b : len == 2 ? b & 0x1F : len == 3 ? b & 0x0F : b & 0x07;
        bool ok = len != 0 && i + static_cast<size_t>(len) <= s.size();
        for (int k = 1; ok && k < len; ++k) {
            const auto t = static_cast<uint8_t>(s[i + static_cast<size_t>(k)]);
            ok = (t & 0xC0) == 0x80;
            c = (c << 6) | (t & 0x3F);
        }
        static const uint32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (ok && (c < kMin[len] || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000))) ok = false;
        if (!ok) {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
        i += static_cast<size_t>(len);
    }
    return out;
}

std::vector<std::string> ListFontFaces(int charset) {
    std::lock_guard<std::mutex> lock(FontMutex());
    std::vector<std::string> names;
    Pattern p(FcPatternCreate());
    if (!p) return names;
    FcPatternAddBool(p.get(), FC_SCALABLE, FcTrue);
    FcPatternAddString(p.get(), FC_LANG, reinterpret_cast<const FcChar8*>(LangOf(charset)));
    FcObjectSet* os = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet* set = os ? FcFontList(Fontconfig(), p.get(), os) : nullptr;
    if (os) FcObjectSetDestroy(os);
    if (!set) return names;
    for (int i = 0; i < set->nfont; ++i) {
        FcChar8* family = nullptr;
        if (FcPatternGetString(set->fonts[i], FC_FAMILY, 0, &family) != FcResultMatch || !family) continue;
        const std::string name = reinterpret_cast<const char*>(family);
        if (!name.empty() && name[0] != '@') names.push_back(name);
    }
    FcFontSetDestroy(set);
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

GlyphBuild BuildGlyphs(const FontRequest& req, const std::u16string& text, GlyphRun& out) {
    std::lock_guard<std::mutex> lock(FontMutex());
    out = GlyphRun{};
    Match match;
    FT_Library lib = FreeType();
    if (!lib || !MatchFont(req, match)) return GlyphBuild::kNoFont;
    FT_Face raw = nullptr;
    if (FT_New_Face(lib, match.file.c_str(), match.index, &raw) != 0) return GlyphBuild::kNoFont;
    Face face(raw);
    // A negative LOGFONT height: the em height in pixels.
    const int pixels = req.dpi * std::clamp(req.sizePt, 6, 720) / 72;
    if (FT_Set_Pixel_Sizes(face.get(), 0, static_cast<FT_UInt>(std::max(pixels, 1))) != 0)
        return GlyphBuild::kNoFont;
    out.ascent = Ascent(face.get(), pixels);
    for (const char16_t unit : text) {
        const FT_UInt index = FT_Get_Char_Index(face.get(), unit);
        if (FT_Load_Glyph(face.get(), index, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0) {
            out = GlyphRun{};
            return GlyphBuild::kFailed;
        }
        FT_GlyphSlot slot = face->glyph;
        if (match.oblique) FT_GlyphSlot_Oblique(slot);
        if (match.embolden) FT_GlyphSlot_Embolden(slot);
        if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) {
            out = GlyphRun{};
            return GlyphBuild::kFailed;
        }
        const FT_Bitmap& bm = slot->bitmap;
        GlyphRecord g;
        g.originX = slot->bitmap_left;
        g.originY = slot->bitmap_top;
        g.cellIncX = static_cast<int16_t>((slot->advance.x + 32) >> 6);
        g.cellIncY = 0;
        if (bm.width == 0 || bm.rows == 0) {
            // A blank glyph: a 1 x 1 box without ink.
            g.blackBoxX = g.blackBoxY = 1;
            g.bits.assign(4, 0);
        } else {
            g.blackBoxX = bm.width;
            g.blackBoxY = bm.rows;
            const size_t stride = (bm.width + 3) & ~3u;
            g.bits.assign(stride * bm.rows, 0);
            for (unsigned y = 0; y < bm.rows; ++y) {
                const unsigned char* row = bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch;
                for (unsigned x = 0; x < bm.width; ++x) {
                    const unsigned v = bm.pixel_mode == FT_PIXEL_MODE_MONO
                                           ? ((row[x >> 3] >> (7 - (x & 7))) & 1) * 255u
                                           : row[x];
                    g.bits[y * stride + x] = static_cast<uint8_t>((v * 64 + 127) / 255);
                }
            }
        }
        out.minOriginX = std::min(out.minOriginX, g.originX);
        out.minTop = std::min(out.minTop, out.ascent - g.originY);
        out.glyphs.push_back(std::move(g));
    }
    return GlyphBuild::kOk;
}

}  // namespace lumra
