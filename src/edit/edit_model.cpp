#include "edit/edit_model.h"

#include <cstring>
#include <iterator>
#include <new>

#include "edit/brush/brush_tool.h"
#include "edit/colour/colour_ops.h"
#include "edit/filter/filter_ops.h"
#include "edit/geometry/geometry_ops.h"
#include "edit/select/selection_tool.h"
#include "edit/text/text_tool.h"
#include "edit/tone/tone_ops.h"
#include "edit/tone/tone_tables.h"

namespace lumra {
namespace {

// Bar controls of the brushes and the text tool; their params index the tools' own values.
const BarControl kPaintControls[] = {
    {0, BarControlKind::kLabel, "サイズ"},
    {2420, BarControlKind::kEdit, nullptr, 3, 128, 24, 0, 0, 10, 3},
    {2430, BarControlKind::kUpDown, nullptr, 3, 128, 24, 0},
    {0, BarControlKind::kLabel, "描画色"},
    {2440, BarControlKind::kColourBox, nullptr, 0, 0xFFFFFF, 0xFFFFFF, 1},
    {2450, BarControlKind::kButton, "Pic"},
    {0, BarControlKind::kLabel, "不透明度"},
    {2421, BarControlKind::kEdit, nullptr, 0, 100, 50, 2, 0, 10, 3},
    {2431, BarControlKind::kUpDown, nullptr, 0, 100, 50, 2},
    {2451, BarControlKind::kButton, "塗りつぶし"},
};
const BarControl kPartialControls[] = {
    {2510, BarControlKind::kRadio, "明るく", 0, 6, 2, 0, 0},
    {2511, BarControlKind::kRadio, "暗く", 0, 6, 2, 0, 1},
    {2512, BarControlKind::kRadio, "鮮やか", 0, 6, 2, 0, 2},
    {2513, BarControlKind::kRadio, "淡く", 0, 6, 2, 0, 3},
    {2514, BarControlKind::kRadio, "シャープ", 0, 6, 2, 0, 4},
    {2515, BarControlKind::kRadio, "ぼかし", 0, 6, 2, 0, 5},
    {2516, BarControlKind::kRadio, "ノイズ除去", 0, 6, 2, 0, 6},
    {0, BarControlKind::kLabel, "サイズ"},
    {2530, BarControlKind::kEdit, nullptr, 3, 128, 24, 1, 0, 10, 3},
    {2540, BarControlKind::kUpDown, nullptr, 3, 128, 24, 1},
    {2521, BarControlKind::kLabel, "強度"},
    {2531, BarControlKind::kEdit, nullptr, 1, 100, 50, 2, 0, 10, 3},
    {2541, BarControlKind::kUpDown, nullptr, 1, 100, 50, 2},
};
const BarControl kTextControls[] = {
    {2600, BarControlKind::kTextEdit, nullptr, 0, 0, 0, kNoParam, 0, 10, 259},
    {2601, BarControlKind::kButton, "フォント"},
    {0, BarControlKind::kLabel, "文字色"},
    {2602, BarControlKind::kColourBox, nullptr, 0, 0xFFFFFF, 0xFFFFFF, 0},
    {0, BarControlKind::kLabel, "不透明度"},
    {2603, BarControlKind::kEdit, nullptr, 0, 100, 70, 1, 0, 10, 3},
    {2604, BarControlKind::kUpDown, nullptr, 0, 100, 70, 1},
};

using K = BarControlKind;

// The selection tool's bar: the number box is the brush size or the colour range by shape.
const BarControl kSelectionControls[] = {
    {.kind = K::kLabel, .caption = "作成方法"},
    {.id = 2611, .kind = K::kCombo, .min = 0, .max = 4, .param = kSelParamMode,
     .items = "新規\n追加\n除外\n全選択\n全除外"},
    {.id = 2620, .kind = K::kRadio, .caption = "矩形", .max = 4, .def = kShapeRange, .param = kSelParamShape,
     .value = kShapeRect},
    {.id = 2621, .kind = K::kRadio, .caption = "楕円", .max = 4, .def = kShapeRange, .param = kSelParamShape,
     .value = kShapeEllipse},
    {.id = 2622, .kind = K::kRadio, .caption = "包囲", .max = 4, .def = kShapeRange, .param = kSelParamShape,
     .value = kShapeLasso},
    {.id = 2623, .kind = K::kRadio, .caption = "ブラシ", .max = 4, .def = kShapeRange, .param = kSelParamShape,
     .value = kShapeBrush},
    {.id = 2624, .kind = K::kRadio, .caption = "色域", .max = 4, .def = kShapeRange, .param = kSelParamShape,
     .value = kShapeRange},
    {.kind = K::kLabel, .caption = "-"},
    {.id = 2631, .kind = K::kLabel, .caption = "範囲"},
    {.id = 2640, .kind = K::kEdit, .max = 255, .def = 50, .param = kSelParamNumber, .maxChars = 3},
    {.id = 2650, .kind = K::kUpDown, .max = 255, .def = 50, .param = kSelParamNumber},
    {.id = 2660, .kind = K::kCheck, .caption = "隣接", .max = 1, .def = 1, .param = kSelParamAdjacent},
    {.id = 2671, .kind = K::kButton, .caption = "反転"},
    {.id = 2670, .kind = K::kButton, .caption = "ぼかし"},
};

const BarControl kUnsharpControls[] = {
    {.kind = K::kLabel, .caption = "強度"},
    {.id = 1, .kind = K::kTrackbar, .max = 100, .def = 3, .param = kUsmLevel, .pageSize = 5},
    {.id = 2, .kind = K::kEdit, .max = 100, .def = 3, .param = kUsmLevel, .maxChars = 3},
    {.id = 3, .kind = K::kUpDown, .max = 100, .def = 3, .param = kUsmLevel},
    {.kind = K::kLabel, .caption = "範囲"},
    {.id = 4, .kind = K::kTrackbar, .max = 100, .def = 20, .param = kUsmRange, .pageSize = 10},
    {.id = 5, .kind = K::kEdit, .max = 100, .def = 20, .param = kUsmRange, .maxChars = 3},
    {.id = 6, .kind = K::kUpDown, .max = 100, .def = 20, .param = kUsmRange},
};

// The level's range follows the mode (0..10, or 0..20 for the Gaussian); the bar narrows it.
const BarControl kBlurControls[] = {
    {.id = 1, .kind = K::kRadio, .caption = "3x3", .max = 2, .def = 1, .param = kBlurMode, .value = 0},
    {.id = 2, .kind = K::kRadio, .caption = "5x5", .max = 2, .def = 1, .param = kBlurMode, .value = 1},
    {.id = 3, .kind = K::kRadio, .caption = "ガウスぼかし", .max = 2, .def = 1, .param = kBlurMode, .value = 2},
    {.id = 4, .kind = K::kTrackbar, .max = 20, .param = kBlurLevel, .pageSize = 2},
    {.id = 5, .kind = K::kEdit, .max = 20, .param = kBlurLevel, .maxChars = 2},
    {.id = 6, .kind = K::kUpDown, .max = 20, .param = kBlurLevel},
};

const BarControl kSoftFocusControls[] = {
    {.id = 1, .kind = K::kTrackbar, .max = 200, .def = 100, .param = kFocusLevel, .pageSize = 10},
    {.id = 2, .kind = K::kEdit, .max = 200, .def = 100, .param = kFocusLevel, .maxChars = 3},
    {.id = 3, .kind = K::kUpDown, .max = 200, .def = 100, .param = kFocusLevel},
};

const BarControl kNoiseControls[] = {
    {.id = 1, .kind = K::kTrackbar, .max = 255, .def = 255, .param = kNoiseLevel, .pageSize = 10},
    {.id = 2, .kind = K::kEdit, .max = 255, .def = 255, .param = kNoiseLevel, .maxChars = 3},
    {.id = 3, .kind = K::kUpDown, .max = 255, .def = 255, .param = kNoiseLevel},
};

// Gamma, brightness and contrast: the trackbar follows R; "同期" ties G and B to R.
#define LUMRA_TONE_BAR(lo, hi)                                                         \
    {1510, K::kTrackbar, nullptr, lo, hi, 0, kToneR},                                  \
    {1522, K::kLabel, "R"}, {1532, K::kEdit, nullptr, lo, hi, 0, kToneR, 0, 10, 4},     \
    {1542, K::kUpDown, nullptr, lo, hi, 0, kToneR},                                    \
    {1521, K::kLabel, "G"}, {1531, K::kEdit, nullptr, lo, hi, 0, kToneG, 0, 10, 4},     \
    {1541, K::kUpDown, nullptr, lo, hi, 0, kToneG},                                    \
    {1520, K::kLabel, "B"}, {1530, K::kEdit, nullptr, lo, hi, 0, kToneB, 0, 10, 4},     \
    {1540, K::kUpDown, nullptr, lo, hi, 0, kToneB},                                    \
    {1550, K::kCheck, "同期", 0, 1, 1, kToneSync}
const BarControl kGammaBar[] = {LUMRA_TONE_BAR(kGammaMin, kGammaMax)};
const BarControl kBrightnessBar[] = {LUMRA_TONE_BAR(kBrightnessMin, kBrightnessMax)};
const BarControl kContrastBar[] = {LUMRA_TONE_BAR(kContrastMin, kContrastMax)};
#undef LUMRA_TONE_BAR

// Levels: Min and Max show the selected channel's pair.
const BarControl kLevelsBar[] = {
    {1413, K::kRadio, "RGB", 0, 3, 3, kLevelsSelected, 3},
    {0, K::kLabel, "/"},
    {1412, K::kRadio, "R", 0, 3, 3, kLevelsSelected, 2},
    {1411, K::kRadio, "G", 0, 3, 3, kLevelsSelected, 1},
    {1410, K::kRadio, "B", 0, 3, 3, kLevelsSelected, 0},
    {0, K::kLabel, "Min"},
    {1430, K::kEdit, nullptr, 0, 254, 0, kLevelsShownMin, 0, 10, 4},
    {1440, K::kUpDown, nullptr, 0, 254, 0, kLevelsShownMin},
    {0, K::kLabel, "Max"},
    {1431, K::kEdit, nullptr, 1, 255, 255, kLevelsShownMax, 0, 10, 4},
    {1441, K::kUpDown, nullptr, 1, 255, 255, kLevelsShownMax},
    {1450, K::kButton, "自動設定"},
    {1460, K::kCheck, "ウィンドウ", 0, 1, 1, kLevelsWindow},
};

// Hue/saturation: the trackbar, box 1640 and its up-down edit the value of the mode.
const BarControl kHueSaturationBar[] = {
    {1610, K::kRadio, "色相", 0, 2, 2, kHlsMode, 0},
    {1611, K::kRadio, "輝度", 0, 2, 2, kHlsMode, 1},
    {1612, K::kRadio, "彩度", 0, 2, 2, kHlsMode, 2},
    {1630, K::kTrackbar, nullptr, -255, 255, 0, kHlsShown},
    {1640, K::kEdit, nullptr, -255, 255, 0, kHlsShown, 0, 10, 4},
    {1650, K::kUpDown, nullptr, -255, 255, 0, kHlsShown},
    {1660, K::kCheck, "色域指定", 0, 1, 0, kHlsInRange},
    {1670, K::kColourBox, nullptr, 0, 0xFFFFFF, 0xFFFFFF, kHlsColour},
    {1680, K::kButton, "Pic"},
    {1641, K::kEdit, nullptr, 0, 150, 50, kHlsRange, 0, 10, 3},
    {1651, K::kUpDown, nullptr, 0, 150, 50, kHlsRange},
};

const BarControl kReplaceBar[] = {
    {0, K::kLabel, "置換元"},
    {2250, K::kColourBox, nullptr, 0, 0xFFFFFF, 0x60A0FF, kRpcSrcColour},
    {2260, K::kButton, "Pic"},
    {0, K::kLabel, "範囲"},
    {2220, K::kTrackbar, nullptr, 0, 150, 75, kRpcRange},
    {2230, K::kEdit, nullptr, 0, 150, 75, kRpcRange, 0, 10, 3},
    {2240, K::kUpDown, nullptr, 0, 150, 75, kRpcRange},
    {0, K::kLabel, "置換先"},
    {2251, K::kColourBox, nullptr, 0, 0xFFFFFF, 0xFF0080, kRpcDstColour},
    {2261, K::kButton, "Pic"},
    {0, K::kLabel, "強度"},
    {2221, K::kTrackbar, nullptr, 0, 255, 100, kRpcStrength},
    {2231, K::kEdit, nullptr, 0, 255, 100, kRpcStrength, 0, 10, 3},
    {2241, K::kUpDown, nullptr, 0, 255, 100, kRpcStrength},
};

// The operations, by family; each family fills in its own rows.
const OperationDef kOperations[] = {
    // selection
    {kOpSelection, 5130, "領域", "select", false, kCorrectionStopMs, false, 2, StartSelectionOp, nullptr,
     nullptr, FinishSelectionOp, nullptr, kSelectionControls, static_cast<int>(std::size(kSelectionControls))},
    // brushes and text
    {kOpPaint, 5190, "ペイント", "paint", false, kCorrectionStopMs, false, 2, StartBrush, nullptr, nullptr,
     FinishBrush, nullptr, kPaintControls, static_cast<int>(std::size(kPaintControls))},
    {kOpPartialBrush, 5191, "部分補正", "partial", false, kCorrectionStopMs, false, 2, StartBrush, nullptr,
     nullptr, FinishBrush, nullptr, kPartialControls, static_cast<int>(std::size(kPartialControls))},
    {kOpText, 5192, kTextHistoryName, "text", false, kCorrectionStopMs, false, 2, StartText, nullptr, nullptr,
     FinishText, nullptr, kTextControls, static_cast<int>(std::size(kTextControls))},
    // geometry
    {kOpTrim, 5120, "トリミング", "trim", false, kCorrectionStopMs, true, 2, StartTrim, RecomputeTrim, nullptr,
     FinishTrim, ParseTrimArgs, kTrimControls, kTrimControlCount},
    {kOpResize, 5121, "リサイズ", "resize", false, kCorrectionStopMs, true, 1, StartResize, nullptr, nullptr,
     FinishResize, ParseResizeArgs, kResizeControls, kResizeControlCount},
    {kOpRotate, 5140, "任意角度回転", "rotate", true, kRotationStopMs, true, 2, StartRotate, RecomputeRotate,
     RotateNeutral, FinishRotate, ParseRotateArgs, kRotateControls, kRotateControlCount},
    // tone
    {kOpHistogram, 5160, "ヒストグラム補正", "levels", true, kCorrectionStopMs, false, 2, StartLevels,
     RecomputeLevels, LevelsNeutral, nullptr, ParseLevelsArgs, kLevelsBar, static_cast<int>(std::size(kLevelsBar))},
    {kOpGamma, 5161, "ガンマ補正", "gamma", true, kCorrectionStopMs, false, 2, StartGamma, RecomputeTone,
     ToneNeutral, nullptr, ParseGammaArgs, kGammaBar, static_cast<int>(std::size(kGammaBar))},
    {kOpBrightness, 5162, "明るさ補正", "brightness", true, kCorrectionStopMs, false, 2, StartBrightness,
     RecomputeTone, ToneNeutral, nullptr, ParseBrightnessArgs, kBrightnessBar, static_cast<int>(std::size(kBrightnessBar))},
    {kOpContrast, 5163, "コントラスト", "contrast", true, kCorrectionStopMs, false, 2, StartContrast, RecomputeTone,
     ToneNeutral, nullptr, ParseContrastArgs, kContrastBar, static_cast<int>(std::size(kContrastBar))},
    // colour
    {kOpHueSaturation, 5164, "色相/彩度", "hls", true, kCorrectionStopMs, false, 2, StartHueSaturation,
     RecomputeHueSaturation, HueSaturationNeutral, nullptr, ParseHueSaturationArgs, kHueSaturationBar,
     static_cast<int>(std::size(kHueSaturationBar))},
    {kOpColourReplace, 5181, "色置換", "replace", true, kCorrectionStopMs, false, 2, StartReplaceColour,
     RecomputeReplaceColour, ReplaceColourNeutral, nullptr, ParseReplaceColourArgs, kReplaceBar,
     static_cast<int>(std::size(kReplaceBar))},
    // filters
    {kOpUnsharp, 5170, "アンシャープマスク", "usm", true, kCorrectionStopMs, false, 2, StartUnsharp,
     RecomputeUnsharp, NeutralUnsharp, nullptr, ParseUnsharpArgs, kUnsharpControls,
     static_cast<int>(std::size(kUnsharpControls))},
    {kOpBlur, 5171, "ぼかし", "blur", true, kCorrectionStopMs, false, 2, StartBlur, RecomputeBlur,
     NeutralBlur, nullptr, ParseBlurArgs, kBlurControls, static_cast<int>(std::size(kBlurControls))},
    {kOpSoftFocus, 5172, "ソフトフォーカス", "softfocus", true, kCorrectionStopMs, false, 2,
     StartSoftFocus, RecomputeSoftFocus, NeutralFirstParam, nullptr, ParseSoftFocusArgs, kSoftFocusControls,
     static_cast<int>(std::size(kSoftFocusControls))},
    {kOpNoise, 5182, "ノイズ除去", "denoise", true, kCorrectionStopMs, false, 2, StartNoise,
     RecomputeNoise, NeutralFirstParam, nullptr, ParseNoiseArgs, kNoiseControls,
     static_cast<int>(std::size(kNoiseControls))},
    // end
};

// Commands that change the picture at once, without an operation bar.
const ImmediateDef kImmediates[] = {
    // tone
    {5165, "invert", ApplyInvert},
    {5180, "equalize", ApplyEqualize},
    // geometry
    {5150, "rot90", ApplyRot90},
    {5151, "rot180", ApplyRot180},
    {5152, "rot270", ApplyRot270},
    {5153, "mirror_lr", ApplyMirrorLeftRight},
    {5154, "mirror_tb", ApplyMirrorTopBottom},
    // end
};

void ShowError(Document& doc, int code) {
    if (doc.ui.showError) doc.ui.showError(code);
}

bool IsNeutral(const OperationRecord& r) {
    return r.def->neutral && r.preview && r.def->neutral(*r.preview);
}

// Ending of an operation with a preview: stop the worker, then commit or drop the copy.
bool FinishPreview(Document& doc, OperationRecord& r, bool ok) {
    if (r.worker && !r.worker->Stop(r.def->stopBoundMs)) {
        // A half-computed preview is never committed.
        if (ok && !IsNeutral(r)) ShowError(doc, kErrDisplay);
        ok = false;
    }
    r.worker.reset();
    if (doc.ui.setTitle) doc.ui.setTitle("wait...");
    if (!ok || !r.preview || IsNeutral(r)) return false;
    ImageBuffer copy = std::move(r.preview->copy);
    CommitPreview(doc, std::move(copy), r.def->historyName ? r.def->historyName : "");
    return true;
}

}  // namespace

std::span<const OperationDef> OperationTable() { return kOperations; }

const OperationDef* FindOperation(int kind) {
    for (const OperationDef& d : kOperations)
        if (d.kind == kind) return &d;
    return nullptr;
}

const OperationDef* FindOperationByCommand(int command) {
    for (const OperationDef& d : kOperations)
        if (d.command == command) return &d;
    return nullptr;
}

std::span<const ImmediateDef> ImmediateTable() { return kImmediates; }

const ImmediateDef* FindImmediate(int command) {
    for (const ImmediateDef& d : kImmediates)
        if (d.command == command) return &d;
    return nullptr;
}

const ImmediateDef* FindImmediateByCliName(const std::string& name) {
    for (const ImmediateDef& d : kImmediates)
        if (name == d.cliName) return &d;
    return nullptr;
}

const OperationDef* FindOperationByCliName(const std::string& name) {
    for (const OperationDef& d : kOperations)
        if (d.cliName && name == d.cliName) return &d;
    return nullptr;
}

bool BeginOperation(EditModel& model, Document& doc, int kind) {
    const OperationDef* def = FindOperation(kind);
    return def && BeginOperation(model, doc, *def);
}

bool BeginOperation(EditModel& model, Document& doc, const OperationDef& def) {
    if (!doc.picture.HasPicture() || doc.operationState != 0 || !def.start) return false;
    // A save preview still on show goes first.
    DiscardTrialSave(doc);
    std::unique_ptr<OperationRecord> record(new (std::nothrow) OperationRecord);
    if (!record) {
        ShowError(doc, kErrMemory);
        return false;
    }
    record->def = &def;
    if (!def.start(doc, *record)) {
        // The worker, if one was started, ends with the record.
        if (record->worker) record->worker->Stop(def.stopBoundMs);
        return false;
    }
    if (record->preview && !record->preview->changed) record->preview->changed = model.previewChanged;
    if (record->preview && !record->preview->busy) record->preview->busy = model.previewBusy;
    model.active = std::move(record);
    doc.operationState = def.kind;
    model.layout = def.layout;
    return true;
}

EndResult EndOperation(EditModel& model, Document& doc, bool ok) {
    EndResult result;
    if (!model.active) return result;
    std::unique_ptr<OperationRecord> record = std::move(model.active);
    const OperationDef& def = *record->def;
    result.changed = def.finish ? def.finish(doc, *record, ok) : FinishPreview(doc, *record, ok);
    result.sizeChanged = result.changed && def.sizeMayChange;
    if (record->worker) record->worker->Stop(def.stopBoundMs);
    record.reset();
    doc.operationState = 0;
    if (!result.changed) model.layout = 1;
    return result;
}

void RequestRecompute(EditModel& model) {
    OperationRecord* r = model.active.get();
    if (!r || !r->preview) return;
    if (r->worker) {
        r->worker->RequestRecompute();
    } else if (r->def->recompute) {
        r->def->recompute(*r->preview);
        if (r->preview->changed) r->preview->changed();
    }
}

bool StartPreview(Document& doc, OperationRecord& record) {
    const ImageBuffer& pic = doc.picture.image;
    auto state = std::shared_ptr<PreviewState>(new (std::nothrow) PreviewState);
    if (!state || (pic.bitCount() != 8 && pic.bitCount() != 24) ||
        !state->copy.Allocate(pic.width(), pic.height(), pic.bitCount())) {
        ShowError(doc, kErrDisplay);
        return false;
    }
    state->source = pic.Clone();
    if (state->source.empty()) {
        ShowError(doc, kErrDisplay);
        return false;
    }
    ImageBuffer& copy = state->copy;
    copy.palette = pic.palette;
    std::memcpy(copy.bits(), pic.bits(), pic.imageBytes());
    PixelJob& job = state->job;
    job.width = pic.width();
    job.height = pic.height();
    job.bitCount = pic.bitCount();
    job.stride = static_cast<int32_t>(pic.stride());
    job.srcPalette = state->source.palette.data();
    job.dstPalette = copy.palette.data();
    job.src = state->source.bits();
    job.dst = copy.bits();
    const std::vector<uint8_t>& mask = doc.picture.selection;
    if (mask.size() == static_cast<size_t>(pic.width()) * static_cast<size_t>(pic.height())) {
        state->mask = mask;
        job.mask = state->mask.data();
    }
    job.blend = &GetBlendTable();
    record.preview = state;
    if (record.def->hasWorker && record.def->recompute) {
        void (*recompute)(PreviewState&) = record.def->recompute;
        // The worker holds the state, so an abandoned thread never writes into freed memory.
        record.worker = std::make_unique<PreviewWorker>([state, recompute] {
            recompute(*state);
            if (state->changed) state->changed();
        });
    }
    return true;
}

void CommitPreview(Document& doc, ImageBuffer&& copy, const std::string& name) {
    copy.sourceFormat = kFormatBmp;
    copy.sourceBitDepth = copy.bitCount();
    copy.fileSize = static_cast<int32_t>(copy.imageBytes() + 54 + (copy.bitCount() == 8 ? 1024 : 0));
    InstallPicture(doc, std::move(copy), true, false);
    CurrentPicture& pic = doc.picture;
    pic.flags = PictureFlags{};
    SetPictureInfo(doc, nullptr, HistoryMode::kAddEntry, name);
}

ImageBuffer WidenTo24(const ImageBuffer& image) {
    ImageBuffer out;
    if (image.bitCount() == 24) return image.Clone();
    if (!out.Allocate(image.width(), image.height(), 24)) return out;
    out.header.biXPelsPerMeter = image.header.biXPelsPerMeter;
    out.header.biYPelsPerMeter = image.header.biYPelsPerMeter;
    out.sourceFormat = image.sourceFormat;
    out.sourceBitDepth = image.sourceBitDepth;
    out.fileSize = image.fileSize;
    out.fileTime = image.fileTime;
    const int bits = image.bitCount();
    for (int y = 0; y < image.height(); ++y) {
        const uint8_t* s = image.storedRow(y);
        uint8_t* d = out.storedRow(y);
        for (int x = 0; x < image.width(); ++x) {
            int index = 0;
            if (bits == 8) index = s[x];
            else if (bits == 4) index = (s[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
            else index = (s[x >> 3] >> (7 - (x & 7))) & 1;
            const RgbQuad& c = image.palette[static_cast<size_t>(index)];
            d[3 * x] = c.blue;
            d[3 * x + 1] = c.green;
            d[3 * x + 2] = c.red;
        }
    }
    return out;
}

void ApplyMask(const PixelJob& job) {
    if (!job.mask || job.bitCount != 24) return;
    const BlendTable& t = job.blend ? *job.blend : GetBlendTable();
    const uint8_t* m = job.mask;
    for (int y = 0; y < job.height; ++y) {
        const uint8_t* s = job.src + static_cast<size_t>(y) * job.stride;
        uint8_t* d = job.dst + static_cast<size_t>(y) * job.stride;
        for (int x = 0; x < job.width; ++x, ++m) {
            for (int c = 0; c < 3; ++c) {
                uint8_t& v = d[3 * x + c];
                if (*m == 255) v = s[3 * x + c];
                else if (*m != 0) v = static_cast<uint8_t>(t.entry[*m][s[3 * x + c]] + t.entry[255 - *m][v]);
            }
        }
    }
}

ImageBuffer RenderOverlay(const ImageBuffer& picture, const uint8_t* mask) {
    ImageBuffer out = picture.Clone();
    if (out.empty() || picture.bitCount() != 24 || !mask) return out;
    const BlendTable& t = GetBlendTable();
    for (int y = 0; y < out.height(); ++y) {
        uint8_t* p = out.storedRow(y);
        for (int x = 0; x < out.width(); ++x, ++mask) {
            const unsigned m = *mask;
            if (m == 0) continue;
            uint8_t* px = p + 3 * x;
            const unsigned luma = ((30u * px[0]) >> 8) + ((151u * px[1]) >> 8) + ((77u * px[2]) >> 8);
            const auto grey = static_cast<uint8_t>(64 + (luma >> 1));
            for (int c = 0; c < 3; ++c)
                px[c] = m == 255 ? grey : static_cast<uint8_t>(t.entry[255 - m][px[c]] + t.entry[m][grey]);
        }
    }
    return out;
}

}  // namespace lumra
