#include "edit/brush/brush_tool.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace lumra {
namespace {

bool SameRect(const ImageBuffer& a, const ImageBuffer& b, const StrokeHistory::Rect& r) {
    for (int y = r.top; y < r.bottom; ++y)
        if (std::memcmp(a.topRow(y) + 3 * r.left, b.topRow(y) + 3 * r.left,
                        static_cast<size_t>(r.right - r.left) * 3) != 0)
            return false;
    return true;
}

}  // namespace

BrushSettings BrushSettingsFor(const BrushPrefs& p, bool paint) {
    BrushSettings s;
    s.paint = paint;
    s.size = ClampBrushSize(paint ? p.paintSize : p.correctSize);
    s.alpha = OpacityByte(p.opacity);
    s.red = p.red, s.green = p.green, s.blue = p.blue;
    s.mode = std::clamp(p.mode, 0, static_cast<int>(kBrushDenoise));
    s.strength = s.mode < kBrushDenoise ? std::clamp(p.strength[static_cast<size_t>(s.mode)], 1, 100) : 1;
    return s;
}

bool BrushTool::Start(const ImageBuffer& picture, const std::vector<uint8_t>& mask) {
    working = WidenTo24(picture);
    if (working.empty()) return false;
    before = working.Clone();
    if (before.empty()) return false;
    const size_t pixels = static_cast<size_t>(working.width()) * static_cast<size_t>(working.height());
    selection = mask.size() == pixels ? mask : std::vector<uint8_t>{};
    strokes.Clear();
    strokes.BeginStroke(working.width(), working.height());
    drawing = false;
    return true;
}

BrushCanvas BrushTool::Canvas() {
    return {&before, &working, selection.empty() ? nullptr : selection.data()};
}

void BrushTool::Dab(int x, int y) {
    lastX = x;
    lastY = y;
    const int size = ClampBrushSize(settings.size);
    const DabRect r = DabRectangle(x, y, size);
    strokes.ExtendDirty({r.left, r.top, r.right, r.bottom}, working.width(), working.height());
    const StrokeHistory::Rect c{std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, working.width()),
                                std::min(r.bottom, working.height())};
    if (c.right > c.left && c.bottom > c.top) {
        const bool none = drawn.right <= drawn.left || drawn.bottom <= drawn.top;
        drawn = none ? c
                     : StrokeHistory::Rect{std::min(drawn.left, c.left), std::min(drawn.top, c.top),
                                           std::max(drawn.right, c.right), std::max(drawn.bottom, c.bottom)};
    }
    ApplyDab(Canvas(), settings, x, y);
}

void BrushTool::Press(int x, int y) {
    if (drawing) return;
    drawing = true;
    drawn = {};
    Dab(x, y);
}

void BrushTool::Move(int x, int y) {
    if (!drawing) return;
    drawn = {};
    const int spacing = ClampBrushSize(settings.size) >> 3;
    WalkLine(lastX, lastY, x, y, [&](int px, int py) {
        if (std::abs(px - lastX) + std::abs(py - lastY) > spacing) Dab(px, py);
    });
}

bool BrushTool::Release() {
    if (!drawing) return true;
    drawing = false;
    return EndStroke();
}

bool BrushTool::EndStroke() {
    // A stroke that changed no pixel records nothing (the redo tail still goes).
    const StrokeHistory::Rect r = strokes.dirty;
    if (r.right > r.left && r.bottom > r.top && SameRect(before, working, r))
        strokes.BeginStroke(working.width(), working.height());
    return strokes.EndStroke(before, working);
}

bool BrushTool::Fill() {
    if (drawing) return true;
    ApplyFill(Canvas(), settings);
    strokes.dirty = {0, 0, working.width(), working.height()};
    return EndStroke();
}

bool BrushTool::Undo(bool* failed) {
    if (failed) *failed = false;
    if (drawing || !strokes.CanUndo()) return false;
    if (strokes.Undo(before, working)) return true;
    if (failed) *failed = true;
    return false;
}

bool BrushTool::Redo(bool* failed) {
    if (failed) *failed = false;
    if (drawing || !strokes.CanRedo()) return false;
    if (strokes.Redo(before, working)) return true;
    if (failed) *failed = true;
    return false;
}

BrushTool* ActiveBrush(EditModel& model) {
    OperationRecord* r = model.active.get();
    if (!r || !r->def || (r->def->kind != kOpPaint && r->def->kind != kOpPartialBrush)) return nullptr;
    return static_cast<BrushTool*>(r->data.get());
}

bool StepBrushStrokes(EditModel& model, Document& doc, int delta) {
    BrushTool* tool = ActiveBrush(model);
    if (!tool) return false;
    bool failed = false;
    const bool done = delta < 0 ? tool->Undo(&failed) : tool->Redo(&failed);
    if (failed && doc.ui.showError) doc.ui.showError(kErrHistoryRun);
    return done;
}

bool StartBrush(Document& doc, OperationRecord& record) {
    std::shared_ptr<BrushTool> tool(new (std::nothrow) BrushTool);
    if (!tool || !tool->Start(doc.picture.image, doc.picture.selection)) {
        if (doc.ui.showError) doc.ui.showError(kErrDisplay);
        return false;
    }
    tool->settings.paint = record.def->kind == kOpPaint;
    record.data = tool;
    return true;
}

bool FinishBrush(Document& doc, OperationRecord& record, bool ok) {
    auto* tool = static_cast<BrushTool*>(record.data.get());
    if (!tool) return false;
    const bool commit = ok && tool->strokes.CanUndo();
    tool->strokes.Clear();
    if (!commit) return false;
    CommitPreview(doc, std::move(tool->working), record.def->historyName);
    return true;
}

}  // namespace lumra
