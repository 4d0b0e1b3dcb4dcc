#include "document/save_bar.h"

#include "document/document.h"

namespace lumra {

namespace {

constexpr int kCmdDither = 5800;
constexpr int kCmdPreview = 5810;
constexpr int kCmdInterlace = 5820;
constexpr int kCmdTransparent = 5830;
constexpr int kCmdSaveGamma = 5840;
constexpr int kCmdProgressive = 5850;
constexpr int kCmdSampling = 5860;  // 5860..5862
constexpr int kCmdMarkers = 5870;   // 5870..5872
constexpr int kCmdJpegTrim = 5880;
constexpr int kCmdComment = 5890;

constexpr const char* kFormatLabels[] = {"BMP", "PNG", "JPEG", "TIFF", "GIF", "JPEG/TRANS"};

constexpr DepthEntry kD24{"24bit(ﾌﾙｶﾗｰ)", 24, false};
constexpr DepthEntry kD8{"8bit(256色)", 8, false};
constexpr DepthEntry kD7{"7bit(128色)", 7, false};
constexpr DepthEntry kD6{"6bit(64色)", 6, false};
constexpr DepthEntry kD5{"5bit(32色)", 5, false};
constexpr DepthEntry kD4{"4bit(16色)", 4, false};
constexpr DepthEntry kD3{"3bit(8色)", 3, false};
constexpr DepthEntry kD2{"2bit(4色)", 2, false};
constexpr DepthEntry kD1{"1bit(2色)", 1, false};
constexpr DepthEntry kGrey{"8bit ｸﾞﾚｲｽｹｰﾙ", 8, true};

constexpr DepthEntry kBmpDepths[] = {kD24, kD8, kD4, kD1};
constexpr DepthEntry kPngDepths[] = {kD24, kD8, kD4, kD2, kD1, kGrey};
constexpr DepthEntry kJpegDepths[] = {kD24, kGrey};
constexpr DepthEntry kTiffDepths[] = {kD24, kD8, kD4, kD1, kGrey};
constexpr DepthEntry kGifDepths[] = {kD8, kD7, kD6, kD5, kD4, kD3, kD2, kD1};

// BMP and TIFF without grey: 24 -> 24; 5-8 -> 8; 2-4 -> 4; 1 -> 1.
int BmpEntry(int depth) {
    if (depth == 24) return 0;
    if (depth >= 5) return 1;
    if (depth >= 2) return 2;
    return 3;
}

bool Is(int format, std::initializer_list<int> formats) {
    for (int f : formats)
        if (f == format) return true;
    return false;
}

constexpr BarControl kQualityGroup[] = {
    {.kind = BarControlKind::kLabel, .caption = "画質"},
    {.id = 1800, .kind = BarControlKind::kEdit, .min = 1, .max = 100, .def = 75,
     .param = kFieldQuality, .maxChars = 3},
    {.id = 1801, .kind = BarControlKind::kUpDown, .min = 1, .max = 100, .def = 75,
     .param = kFieldQuality},
};
constexpr BarControl kSizeGroup[] = {
    {.id = 1802, .kind = BarControlKind::kCheck, .caption = "サイズ指定", .min = 0, .max = 1,
     .param = kFieldJpgLimit},
    {.id = 1803, .kind = BarControlKind::kEdit, .min = 1, .max = 999999, .def = 100,
     .param = kFieldJpgLmtVal, .maxChars = 6},
    {.id = 1804, .kind = BarControlKind::kUpDown, .min = 1, .max = 999999, .def = 100,
     .param = kFieldJpgLmtVal},
    {.kind = BarControlKind::kLabel, .caption = "KB 以下"},
};
constexpr BarControl kLevelGroup[] = {
    {.kind = BarControlKind::kLabel, .caption = "圧縮レベル"},
    {.id = 1805, .kind = BarControlKind::kEdit, .min = 0, .max = 9, .def = 9,
     .param = kFieldLevel, .maxChars = 1},
    {.id = 1806, .kind = BarControlKind::kUpDown, .min = 0, .max = 9, .def = 9,
     .param = kFieldLevel},
};
constexpr BarControl kFilterGroup[] = {
    {.kind = BarControlKind::kLabel, .caption = "フィルター"},
    {.id = 1807, .kind = BarControlKind::kCombo, .min = 0, .max = 5, .param = kFieldFilter,
     .items = "Auto\nNone\nSub\nUp\nAverage\nPaeth"},
};
constexpr BarControl kGammaGroup[] = {
    {.kind = BarControlKind::kLabel, .caption = "ガンマ補正値"},
    {.id = 1808, .kind = BarControlKind::kEdit, .min = 1, .max = 99999, .def = 2200,
     .param = kFieldSaveGam, .maxChars = 6, .decimals = 3},
};

}  // namespace

SaveBarContext SaveBarContextOf(const Document& doc) {
    SaveBarContext ctx;
    ctx.hasPicture = doc.picture.HasPicture();
    ctx.sourceFormat = doc.picture.image.sourceFormat;
    ctx.bitCount = doc.picture.image.bitCount();
    ctx.operationActive = doc.operationState != 0;
    return ctx;
}

const char* SaveFormatLabel(int format) {
    if (format < 0 || format > kSaveJpegTrans) return "";
    return kFormatLabels[format];
}

int SaveFormatEntryCount(const SaveBarContext& ctx) {
    return !ctx.hasPicture || ctx.sourceFormat == kFormatJpeg ? 6 : 5;
}

int SelectSaveFormat(SImgSettings& s, const SaveBarContext& ctx) {
    if (s.format < 0 || s.format > kSaveJpegTrans) s.format = kSaveBmp;
    if (s.format >= SaveFormatEntryCount(ctx)) s.format = kSaveJpeg;
    return s.format;
}

bool ChooseSaveFormat(SImgSettings& s, int format, const SaveBarContext& ctx) {
    if (format < 0 || format >= SaveFormatEntryCount(ctx)) return false;
    s.format = format;
    return true;
}

std::span<const DepthEntry> DepthEntries(int format) {
    switch (format) {
        case kSaveBmp: return kBmpDepths;
        case kSavePng: return kPngDepths;
        case kSaveTiff: return kTiffDepths;
        case kSaveGif: return kGifDepths;
        case kSaveJpeg:
        case kSaveJpegTrans: return kJpegDepths;
        default: return {};
    }
}

int SelectDepthEntry(SImgSettings& s, const SaveBarContext& ctx) {
    // Out-of-range depths read as 24, as the settings file does.
    if (!(s.depth >= 1 && s.depth <= 8) && s.depth != 24) s.depth = 24;
    switch (s.format) {
        case kSaveBmp:
            s.gray = 0;
            return BmpEntry(s.depth);
        case kSavePng:
            if (s.gray & 1) return 5;
            if (s.depth == 24) return 0;
            if (s.depth >= 5) return 1;
            if (s.depth >= 3) return 2;
            return s.depth == 2 ? 3 : 4;
        case kSaveJpeg:
            if (s.gray & 1) return 1;
            s.depth = 24;
            return 0;
        case kSaveTiff:
            if (s.gray & 1) return 4;
            return BmpEntry(s.depth);
        case kSaveGif:
            s.gray = 0;
            if (s.depth == 24) s.depth = 8;
            return 8 - s.depth;
        case kSaveJpegTrans:
            if (ctx.hasPicture && ctx.bitCount == 8) {
                s.depth = 8;
                s.gray = 1;
                return 1;
            }
            s.depth = 24;
            s.gray = 0;
            return 0;
        default: return 0;
    }
}

bool ChooseDepthEntry(SImgSettings& s, int index) {
    const std::span<const DepthEntry> entries = DepthEntries(s.format);
    if (index < 0 || index >= static_cast<int>(entries.size())) return false;
    s.depth = entries[static_cast<size_t>(index)].depth;
    s.gray = entries[static_cast<size_t>(index)].grey ? 1 : 0;
    return true;
}

bool DepthListEnabled(const SImgSettings& s, const SaveBarContext& ctx) {
    return !(s.format == kSaveJpegTrans && ctx.hasPicture);
}

bool SaveCommandShown(int id, const SImgSettings& s) {
    const int f = s.format;
    switch (id) {
        case kCmdDither: return Is(f, {kSaveBmp, kSavePng, kSaveTiff, kSaveGif});
        case kCmdPreview: return true;
        case kCmdInterlace:
        case kCmdTransparent: return Is(f, {kSavePng, kSaveGif});
        case kCmdSaveGamma: return f == kSavePng;
        case kCmdProgressive: return Is(f, {kSaveJpeg, kSaveJpegTrans});
        case kCmdSampling:
        case kCmdSampling + 1:
        case kCmdSampling + 2: return f == kSaveJpeg;
        case kCmdMarkers:
        case kCmdMarkers + 1:
        case kCmdMarkers + 2:
        case kCmdJpegTrim: return f == kSaveJpegTrans;
        case kCmdComment: return Is(f, {kSavePng, kSaveJpeg});
        default: return false;
    }
}

bool SaveCommandEnabled(int id, const SImgSettings& s, const SaveBarContext& ctx) {
    if (!SaveCommandShown(id, s)) return false;
    switch (id) {
        case kCmdPreview:
        case kCmdTransparent: return ctx.hasPicture && !ctx.operationActive;
        case kCmdSampling:
        case kCmdSampling + 1:
        case kCmdSampling + 2: return !(s.gray & 1);
        default: return true;
    }
}

bool SaveCommandChecked(int id, const SImgSettings& s, const CurrentPicture& pic) {
    switch (id) {
        case kCmdDither: return s.dither != 3;
        case kCmdInterlace: return s.interlace & 1;
        case kCmdTransparent: return pic.saveTransparent;
        case kCmdSaveGamma: return s.gamma & 1;
        case kCmdProgressive: return s.progressive & 1;
        case kCmdSampling:
        case kCmdSampling + 1:
        case kCmdSampling + 2: return s.sampling == id - kCmdSampling;
        case kCmdMarkers:
        case kCmdMarkers + 1:
        case kCmdMarkers + 2: return s.jMarker == id - kCmdMarkers;
        case kCmdJpegTrim: return s.jpgTrim & 1;
        case kCmdComment: return pic.writeComment;
        default: return false;
    }
}

SaveCommandEffect ApplySaveCommand(int id, SImgSettings& s, CurrentPicture& pic,
                                   const SaveBarContext& ctx) {
    if (!SaveCommandEnabled(id, s, ctx)) return SaveCommandEffect::kNone;
    switch (id) {
        case kCmdDither: s.dither = s.dither == 3 ? 0 : 3; break;
        case kCmdPreview: return SaveCommandEffect::kPreview;
        case kCmdInterlace: s.interlace = (s.interlace & 1) ^ 1; break;
        case kCmdTransparent:
            if (pic.saveTransparent) {
                pic.saveTransparent = false;
                break;
            }
            pic.saveTransparent = true;
            return SaveCommandEffect::kPickTransparent;
        case kCmdSaveGamma: s.gamma = (s.gamma & 1) ^ 1; break;
        case kCmdProgressive: s.progressive = (s.progressive & 1) ^ 1; break;
        case kCmdSampling:
        case kCmdSampling + 1:
        case kCmdSampling + 2: s.sampling = id - kCmdSampling; break;
        case kCmdMarkers:
        case kCmdMarkers + 1:
        case kCmdMarkers + 2: s.jMarker = id - kCmdMarkers; break;
        case kCmdJpegTrim: s.jpgTrim = (s.jpgTrim & 1) ^ 1; break;
        case kCmdComment:
            if (!pic.writeComment) return SaveCommandEffect::kCreateComment;
            pic.writeComment = false;
            break;
        default: return SaveCommandEffect::kNone;
    }
    return SaveCommandEffect::kChanged;
}

void FinishTransparentPick(SImgSettings& s, CurrentPicture& pic, std::optional<uint32_t> rgb) {
    if (!rgb) {
        pic.saveTransparent = false;
        return;
    }
    s.alphaR = static_cast<int>((*rgb >> 16) & 0xFF);
    s.alphaG = static_cast<int>((*rgb >> 8) & 0xFF);
    s.alphaB = static_cast<int>(*rgb & 0xFF);
}

std::span<const BarControl> SaveFieldGroup(int group) {
    switch (group) {
        case 0: return kQualityGroup;
        case 1: return kSizeGroup;
        case 2: return kLevelGroup;
        case 3: return kFilterGroup;
        case 4: return kGammaGroup;
        default: return {};
    }
}

bool SaveFieldGroupShown(int group, const SImgSettings& s) {
    switch (group) {
        case 0:
        case 1: return s.format == kSaveJpeg;
        case 2:
        case 3:
        case 4: return s.format == kSavePng;
        default: return false;
    }
}

bool SaveFieldEnabled(int field, const SImgSettings& s) {
    switch (field) {
        case kFieldQuality: return !(s.jpgLimit & 1);
        case kFieldJpgLmtVal: return s.jpgLimit & 1;
        default: return true;
    }
}

int GetSaveField(const SImgSettings& s, int field) {
    switch (field) {
        case kFieldQuality: return s.quality;
        case kFieldJpgLimit: return s.jpgLimit & 1;
        case kFieldJpgLmtVal: return s.jpgLmtVal;
        case kFieldLevel: return s.level;
        case kFieldFilter: return s.filter;
        case kFieldSaveGam: return s.saveGam;
        default: return 0;
    }
}

void SetSaveField(SImgSettings& s, int field, int value) {
    switch (field) {
        case kFieldQuality: s.quality = value; break;
        case kFieldJpgLimit: s.jpgLimit = value & 1; break;
        case kFieldJpgLmtVal: s.jpgLmtVal = value; break;
        case kFieldLevel: s.level = value; break;
        case kFieldFilter: s.filter = value; break;
        case kFieldSaveGam: s.saveGam = value; break;
        default: break;
    }
}

bool TransparentSwatchShown(const SImgSettings& s) {
    return s.format == kSavePng || s.format == kSaveGif;
}

bool SavedSizeShown(const Document& doc) {
    return doc.picture.trial.previewShown && doc.operationState == 0;
}

}  // namespace lumra
