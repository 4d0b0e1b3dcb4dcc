#include "edit/geometry/geometry_ops.h"

#include <charconv>
#include <iterator>
#include <new>
#include <vector>

#include "edit/geometry/resample.h"
#include "edit/geometry/turn.h"

namespace lumra {
namespace {

constexpr const char* kTrimName = "トリミング";
constexpr const char* kResizeName = "リサイズ";
constexpr const char* kRotateName = "任意角度回転";
constexpr const char* kTurnNames[] = {"90度回転", "180度回転", "270度回転", "左右反転", "上下反転"};

enum RotateParam { kParamAngle = 0, kParamRed = 1, kParamGreen = 2, kParamBlue = 3 };

void ShowError(Document& doc, int code) {
    if (doc.ui.showError) doc.ui.showError(code);
}

void WaitCursor(Document& doc, bool on) {
    if (doc.ui.setWaitCursor) doc.ui.setWaitCursor(on);
}

// Like CommitPreview, for a picture whose size may differ: the selection goes. An empty
// result (no memory, or too large) is shown and changes nothing.
bool CommitGeometry(Document& doc, ImageBuffer&& image, const std::string& name) {
    if (image.empty()) {
        ShowError(doc, kErrDisplay);
        return false;
    }
    image.sourceFormat = kFormatBmp;
    image.sourceBitDepth = image.bitCount();
    image.fileSize = static_cast<int32_t>(image.imageBytes() + 54 + (image.bitCount() <= 8 ? 1024 : 0));
    InstallPicture(doc, std::move(image), true, true);
    doc.picture.flags = PictureFlags{};
    SetPictureInfo(doc, nullptr, HistoryMode::kAddEntry, name);
    return true;
}

template <typename T>
T* DataOf(OperationRecord& r, int kind) {
    return r.def && r.def->kind == kind ? static_cast<T*>(r.data.get()) : nullptr;
}

template <typename T>
T* DataOf(const PreviewState& s) {
    return static_cast<T*>(s.data.get());
}

// Comma-separated integers; false when any is missing or not a number.
bool Integers(const std::string& text, std::vector<int>& out) {
    out.clear();
    const char* p = text.data();
    const char* end = p + text.size();
    while (true) {
        int v = 0;
        const auto [next, ec] = std::from_chars(p, end, v);
        if (ec != std::errc() || next == p) return false;
        out.push_back(v);
        if (next == end) return true;
        if (*next != ',') return false;
        p = next + 1;
    }
}

std::string Range(int lo, int hi) { return std::to_string(lo) + ".." + std::to_string(hi); }

int ApplyTurn(Document& doc, int kind) {
    CurrentPicture& pic = doc.picture;
    if (!pic.HasPicture() || doc.operationState != 0) return 0;
    WaitCursor(doc, true);
    ImageBuffer out = TurnPicture(pic.image, kind);
    WaitCursor(doc, false);
    if (out.empty()) {
        ShowError(doc, kErrDisplay);
        return kErrDisplay;
    }
    const std::string name = kTurnNames[kind - 1];
    const int next = pic.image.sourceFormat == kFormatJpeg ? NextOrientation(pic.orientation, kind) : -1;
    if (next < 0) {
        // No single lossless transform gives this picture: it is a plain edit now.
        CommitGeometry(doc, std::move(out), name);
        return 0;
    }
    // Still the JPEG file's pixels, turned: the lossless save stays on offer.
    out.sourceFormat = kFormatJpeg;
    out.sourceBitDepth = pic.image.sourceBitDepth;
    out.header.biXPelsPerMeter = pic.image.header.biXPelsPerMeter;
    out.header.biYPelsPerMeter = pic.image.header.biYPelsPerMeter;
    InstallPicture(doc, std::move(out), true, true);
    SetPictureInfo(doc, nullptr, HistoryMode::kAddEntry, name);
    pic.orientation = next;
    return 0;
}

}  // namespace

using K = BarControlKind;
const BarControl kTrimControls[] = {
    {1, K::kLabel, "X1"},
    {2, K::kEdit, nullptr, 0, kMaxPictureSide - 1, 0, kTrimX1, 0, 10, kSizeBoxDigits},
    {3, K::kUpDown, nullptr, 0, kMaxPictureSide - 1, 0, kTrimX1},
    {4, K::kLabel, "Y1"},
    {5, K::kEdit, nullptr, 0, kMaxPictureSide - 1, 0, kTrimY1, 0, 10, kSizeBoxDigits},
    {6, K::kUpDown, nullptr, 0, kMaxPictureSide - 1, 0, kTrimY1},
    {7, K::kLabel, "X2"},
    {8, K::kEdit, nullptr, 0, kMaxPictureSide - 1, 0, kTrimX2, 0, 10, kSizeBoxDigits},
    {9, K::kUpDown, nullptr, 0, kMaxPictureSide - 1, 0, kTrimX2},
    {10, K::kLabel, "Y2"},
    {11, K::kEdit, nullptr, 0, kMaxPictureSide - 1, 0, kTrimY2, 0, 10, kSizeBoxDigits},
    {12, K::kUpDown, nullptr, 0, kMaxPictureSide - 1, 0, kTrimY2},
    {13, K::kLabel, "W:"},
    {kTrimShownW, K::kLabel, "0"},
    {14, K::kLabel, "H:"},
    {kTrimShownH, K::kLabel, "0"},
    {15, K::kLabel, kTrimRatioLabel},
    {kTrimRatioCombo, K::kCombo, nullptr, 0, kListRegister, 0, kTrimRatioList, 0, 10, 0, 0,
     "-\n-\n-\n-\n-\n-\n-\n-\n-\n登録"},
};
const int kTrimControlCount = static_cast<int>(std::size(kTrimControls));

const BarControl kResizeControls[] = {
    {1, K::kTrackbar, nullptr, 1, 200, 100, kResizePercent, 0, 10},
    {2, K::kLabel, "W"},
    {3, K::kEdit, nullptr, 1, kMaxPictureSide, 1, kResizeW, 0, 10, kSizeBoxDigits},
    {4, K::kUpDown, nullptr, 1, kMaxPictureSide, 1, kResizeW},
    {5, K::kLabel, "H"},
    {6, K::kEdit, nullptr, 1, kMaxPictureSide, 1, kResizeH, 0, 10, kSizeBoxDigits},
    {7, K::kUpDown, nullptr, 1, kMaxPictureSide, 1, kResizeH},
    {8, K::kCheck, kIgnoreAspectLabel, 0, 1, 0, kResizeIgnore},
    {kResizePresetCombo, K::kCombo, nullptr, 0, kListRegister, 0, kResizePresets, 0, 10, 0, 0,
     "プリセット\n-\n-\n-\n-\n-\n-\n-\n-\n登録"},
};
const int kResizeControlCount = static_cast<int>(std::size(kResizeControls));

const BarControl kRotateControls[] = {
    {1, K::kLabel, kAngleLabel},
    {2, K::kTrackbar, nullptr, kAngleMin, kAngleMax, 0, kRotateAngle, 0, 10},
    {3, K::kEdit, nullptr, kAngleMin, kAngleMax, 0, kRotateAngle, 0, 10, kAngleBoxChars, 1},
    {4, K::kUpDown, nullptr, kAngleMin, kAngleMax, 0, kRotateAngle},
    {5, K::kCheck, kGridLabel, 0, 1, 1, kRotateGrid},
    {6, K::kRadio, kLineModeLabels[0], 0, 1, 0, kRotateLineMode, 0},
    {7, K::kRadio, kLineModeLabels[1], 0, 1, 0, kRotateLineMode, 1},
    {8, K::kLabel, kBackgroundLabel},
    {9, K::kColourBox, nullptr, 0, 0xFFFFFF, 0xFFFFFF, kRotateBackground},
};
const int kRotateControlCount = static_cast<int>(std::size(kRotateControls));

TrimOperation* TrimOf(OperationRecord& r) { return DataOf<TrimOperation>(r, kOpTrim); }
ResizeOperation* ResizeOf(OperationRecord& r) { return DataOf<ResizeOperation>(r, kOpResize); }
RotateOperation* RotateOf(OperationRecord& r) { return DataOf<RotateOperation>(r, kOpRotate); }

void ApplyGeometrySettings(OperationRecord& r, const GeometrySettings& s) {
    if (TrimOperation* t = TrimOf(r)) {
        t->frame.ratios = s.ratios;
        t->frame.ChooseRatio(s.ratioSel);
    } else if (RotateOperation* o = RotateOf(r)) {
        o->grid = (s.grid & 1) != 0;
        o->verticalLine = (s.verticalLine & 1) != 0;
        SetRotation(r, o->bar.tenths, s.background);
    }
}

void SaveGeometrySettings(OperationRecord& r, GeometrySettings& s) {
    if (TrimOperation* t = TrimOf(r)) {
        s.ratios = t->frame.ratios;
        s.ratioSel = t->frame.ratio;
    } else if (RotateOperation* o = RotateOf(r)) {
        s.grid = o->grid ? 1 : 0;
        s.verticalLine = o->verticalLine ? 1 : 0;
        s.background = o->background;
    }
}

void SetRotation(OperationRecord& r, int tenths, BackgroundColour background) {
    RotateOperation* o = RotateOf(r);
    if (!o || !r.preview) return;
    o->bar.tenths = std::clamp(tenths, kAngleMin, kAngleMax);
    o->background = background;
    auto& p = r.preview->params;
    p[kParamAngle] = o->bar.Stored();
    p[kParamRed] = background.red;
    p[kParamGreen] = background.green;
    p[kParamBlue] = background.blue;
}

// Trimming

bool StartTrim(Document& doc, OperationRecord& r) {
    const ImageBuffer& pic = doc.picture.image;
    auto state = std::shared_ptr<PreviewState>(new (std::nothrow) PreviewState);
    auto op = std::shared_ptr<TrimOperation>(new (std::nothrow) TrimOperation);
    if (state && op) {
        state->source = WidenTo24(pic);
        if (!state->source.empty()) state->copy = state->source.Clone();
    }
    if (!state || !op || state->copy.empty()) {
        ShowError(doc, kErrDisplay);
        return false;
    }
    op->frame.Start(pic.width(), pic.height(), GeometrySettings{}.ratios, 0);
    state->data = op;
    r.data = op;
    r.preview = state;
    return true;
}

void RecomputeTrim(PreviewState& s) {
    const TrimOperation* op = DataOf<TrimOperation>(s);
    if (!op || s.copy.empty()) return;
    RenderTrimPreview(s.source, s.copy, op->frame.hasRect ? &op->frame.rect : nullptr);
}

bool FinishTrim(Document& doc, OperationRecord& r, bool ok) {
    TrimOperation* op = TrimOf(r);
    if (doc.ui.setTitle) doc.ui.setTitle("wait...");
    WaitCursor(doc, true);
    r.preview.reset();  // the preview raster goes on either ending
    bool changed = false;
    // Before any rectangle is drawn there is nothing to cut out.
    if (ok && op && op->frame.Changes())
        changed = CommitGeometry(doc, CropPicture(doc.picture.image, op->frame.rect), kTrimName);
    WaitCursor(doc, false);
    return changed;
}

bool ParseTrimArgs(const std::string& args, PreviewState& s, std::string& error) {
    TrimOperation* op = DataOf<TrimOperation>(s);
    if (!op) return false;
    TrimFrame& f = op->frame;
    std::vector<int> v;
    if (!Integers(args, v) || v.size() != 4) {
        error = "trim needs X1,Y1,X2,Y2";
        return false;
    }
    if (v[0] < 0 || v[0] > v[2] || v[2] > f.width - 1 || v[1] < 0 || v[1] > v[3] || v[3] > f.height - 1) {
        error = "X1,Y1,X2,Y2 need 0 <= X1 <= X2 <= " + std::to_string(f.width - 1) + " and 0 <= Y1 <= Y2 <= " +
                std::to_string(f.height - 1);
        return false;
    }
    f.rect = PictureRect{v[0], v[1], v[2], v[3]};
    f.hasRect = true;
    f.state = TrimFrame::kSettled;
    return true;
}

// Resize

bool StartResize(Document& doc, OperationRecord& r) {
    auto state = std::shared_ptr<PreviewState>(new (std::nothrow) PreviewState);
    auto op = std::shared_ptr<ResizeOperation>(new (std::nothrow) ResizeOperation);
    if (!state || !op) {
        ShowError(doc, kErrDisplay);
        return false;
    }
    op->bar.Open(doc.picture.image.width(), doc.picture.image.height());
    state->data = op;
    r.data = op;
    r.preview = state;
    return true;
}

bool FinishResize(Document& doc, OperationRecord& r, bool ok) {
    ResizeOperation* op = ResizeOf(r);
    if (!ok || !op || !op->bar.Changes()) return false;
    if (doc.ui.setTitle) doc.ui.setTitle("wait...");
    WaitCursor(doc, true);
    const bool changed = CommitGeometry(doc, ResizePicture(doc.picture.image, op->bar.w, op->bar.h), kResizeName);
    WaitCursor(doc, false);
    return changed;
}

bool ParseResizeArgs(const std::string& args, PreviewState& s, std::string& error) {
    ResizeOperation* op = DataOf<ResizeOperation>(s);
    if (!op) return false;
    ResizeBar& b = op->bar;
    std::vector<int> v;
    if (!Integers(args, v) || v.size() != 2) {
        error = "resize needs W,H";
        return false;
    }
    if (v[0] < 1 || v[0] > b.maxW || v[1] < 1 || v[1] > b.maxH) {
        error = "W,H need W in " + Range(1, b.maxW) + " and H in " + Range(1, b.maxH);
        return false;
    }
    b.ignoreAspect = true;
    b.TypeW(v[0]);
    b.TypeH(v[1]);
    return true;
}

// Rotation

bool StartRotate(Document& doc, OperationRecord& r) {
    const ImageBuffer& pic = doc.picture.image;
    auto state = std::shared_ptr<PreviewState>(new (std::nothrow) PreviewState);
    auto op = std::shared_ptr<RotateOperation>(new (std::nothrow) RotateOperation);
    if (state && op) {
        state->source = WidenTo24(pic);
        if (!state->source.empty()) state->copy = state->source.Clone();
    }
    if (!state || !op || state->copy.empty()) {
        ShowError(doc, kErrDisplay);
        return false;
    }
    PixelJob& job = state->job;
    job.width = pic.width();
    job.height = pic.height();
    job.bitCount = 24;
    job.stride = static_cast<int32_t>(state->copy.stride());
    job.src = state->source.bits();
    job.dst = state->copy.bits();
    job.blend = &GetBlendTable();
    state->data = op;
    r.data = op;
    r.preview = state;
    SetRotation(r, 0, op->background);
    void (*recompute)(PreviewState&) = r.def->recompute;
    // The worker holds the state, so a worker given up never writes into freed memory.
    r.worker = std::make_unique<PreviewWorker>([state, recompute] {
        recompute(*state);
        if (state->changed) state->changed();
    });
    return true;
}

void RecomputeRotate(PreviewState& s) {
    const BackgroundColour bg{static_cast<uint8_t>(s.params[kParamRed].load()), static_cast<uint8_t>(s.params[kParamGreen].load()),
                 static_cast<uint8_t>(s.params[kParamBlue].load())};
    RotatePreview(s.source, s.copy, s.params[kParamAngle], bg);
}

bool RotateNeutral(const PreviewState& s) { return s.params[kParamAngle] == 0; }

bool FinishRotate(Document& doc, OperationRecord& r, bool ok) {
    // A worker that does not stop in time is given up silently: the result is computed here.
    if (r.worker) r.worker->Stop(kRotationStopMs);
    r.worker.reset();
    if (doc.ui.setTitle) doc.ui.setTitle("wait...");
    if (!r.preview) return false;
    PreviewState& s = *r.preview;
    const int angle = s.params[kParamAngle];
    if (!ok || angle == 0) return false;
    WaitCursor(doc, true);
    const BackgroundColour bg{static_cast<uint8_t>(s.params[kParamRed].load()), static_cast<uint8_t>(s.params[kParamGreen].load()),
                 static_cast<uint8_t>(s.params[kParamBlue].load())};
    // A result beyond 25000 a side cannot be held: refused like a failed allocation.
    const bool changed = CommitGeometry(doc, RotatePicture(s.source, angle, bg), kRotateName);
    WaitCursor(doc, false);
    return changed;
}

bool ParseRotateArgs(const std::string& args, PreviewState& s, std::string& error) {
    RotateOperation* op = DataOf<RotateOperation>(s);
    if (!op) return false;
    const size_t comma = args.find(',');
    const std::optional<int> tenths = ParseAngleTenths(args.substr(0, comma), true);
    if (!tenths || *tenths < kAngleMin || *tenths > kAngleMax) {
        error = "ANGLE needs degrees in -180.0..180.0";
        return false;
    }
    BackgroundColour bg;
    if (comma != std::string::npos) {
        std::vector<int> v;
        if (!Integers(args.substr(comma + 1), v) || v.size() != 3 || v[0] < 0 || v[0] > 255 || v[1] < 0 ||
            v[1] > 255 || v[2] < 0 || v[2] > 255) {
            error = "the background needs R,G,B in 0..255 each";
            return false;
        }
        bg = BackgroundColour{static_cast<uint8_t>(v[0]), static_cast<uint8_t>(v[1]), static_cast<uint8_t>(v[2])};
    }
    op->bar.tenths = *tenths;
    op->background = bg;
    s.params[kParamAngle] = op->bar.Stored();
    s.params[kParamRed] = bg.red;
    s.params[kParamGreen] = bg.green;
    s.params[kParamBlue] = bg.blue;
    return true;
}

int ApplyRot90(Document& doc) { return ApplyTurn(doc, kTurn90); }
int ApplyRot180(Document& doc) { return ApplyTurn(doc, kTurn180); }
int ApplyRot270(Document& doc) { return ApplyTurn(doc, kTurn270); }
int ApplyMirrorLeftRight(Document& doc) { return ApplyTurn(doc, kMirrorLeftRight); }
int ApplyMirrorTopBottom(Document& doc) { return ApplyTurn(doc, kMirrorTopBottom); }

}  // namespace lumra
