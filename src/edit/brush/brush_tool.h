// The paint and partial-correction brush tools: the working picture, the strokes and their
// history, and the tools' rows of the operation table.
#pragma once

#include <array>
#include <vector>

#include "document/document.h"
#include "document/history_store.h"
#include "edit/brush/brush_kernels.h"
#include "edit/edit_model.h"

namespace lumra {

// What the two tools remember between uses (paint: size, opacity, colour; partial
// correction: mode, size and one strength per mode but noise removal).
struct BrushPrefs {
    int paintSize = 24;
    int opacity = 50;
    uint8_t red = 255, green = 255, blue = 255;
    int mode = kBrushVivid;
    int correctSize = 24;
    std::array<int, 6> strength{20, 20, 50, 50, 100, 100};
};
// The dab settings of the paint (true) or partial-correction tool from the preferences.
BrushSettings BrushSettingsFor(const BrushPrefs& prefs, bool paint);

struct BrushTool {
    ImageBuffer before;   // the picture before the stroke in progress, 24-bit
    ImageBuffer working;  // what the preview pane shows
    std::vector<uint8_t> selection;
    StrokeHistory strokes;
    BrushSettings settings;
    bool drawing = false;
    int lastX = 0, lastY = 0;  // the last dab point
    // The block the last press or move drew on, within the picture; empty when it drew none.
    StrokeHistory::Rect drawn{};

    // Working data from the picture and its selection mask; false when out of memory.
    bool Start(const ImageBuffer& picture, const std::vector<uint8_t>& mask);
    // Button down, move and up in picture pixels (X from the left, Y from the top).
    void Press(int x, int y);
    void Move(int x, int y);
    // Ends the stroke; false when its history file could not be written.
    bool Release();
    // 塗りつぶし: one stroke over the whole picture.
    bool Fill();
    // Per stroke; false when there is nothing to step to or the file cannot be read (then
    // nothing changed and failed is set).
    bool Undo(bool* failed = nullptr);
    bool Redo(bool* failed = nullptr);

private:
    void Dab(int x, int y);
    bool EndStroke();
    BrushCanvas Canvas();
};

// The active brush tool of the model, or null.
BrushTool* ActiveBrush(EditModel& model);

// Undo (-1) or redo (+1) of the active brush tool's strokes, with the error box on a failed
// read; false when nothing happened.
bool StepBrushStrokes(EditModel& model, Document& doc, int delta);

// The operation table's functions for kinds 2 and 3.
bool StartBrush(Document& doc, OperationRecord& record);
bool FinishBrush(Document& doc, OperationRecord& record, bool ok);

}  // namespace lumra
