// The selection area tool: a working copy of the SelectionMask built from rectangles,
// ellipses, free-hand enclosures, a soft brush and colour-range picks, combined as new, add or
// exclude, inverted and feathered. The edit window forwards presses, moves and releases in
// picture coordinates (x from the left, y from the top); everything else happens here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "edit/edit_model.h"
#include "formats/image_buffer.h"

namespace lumra {

enum SelectMode : int { kSelectNew = 0, kSelectAdd = 1, kSelectExclude = 2 };
enum SelectShape : int {
    kShapeRect = 0,
    kShapeEllipse = 1,
    kShapeLasso = 2,
    kShapeBrush = 3,
    kShapeRange = 4
};

// Values of the tool's bar (slots of its control table).
enum SelectionBarParam : int {
    kSelParamMode = 0,    // the list: 0..2 creation methods, 3 "全選択", 4 "全除外"
    kSelParamShape = 1,   // 0..4
    kSelParamNumber = 2,  // brush size or colour range, by shape
    kSelParamAdjacent = 3,
};
inline constexpr int kSelListSelectAll = 3;
inline constexpr int kSelListDeselectAll = 4;

inline constexpr int kLassoPointLimit = 39998;  // the enclosure closes itself beyond this

// Section ImgA.
struct SelectionSettings {
    int mode = kSelectNew;   // AreMode
    int type = kShapeRange;  // AreType
    int size = 24;           // AreSize, brush 3..128
    int range = 50;          // AreRange, 0..255
    int unit = 1;            // AreUnit, adjacent only
    int smooth = 1;          // AreSmooth, feather radius 1..100
};
SelectionSettings ClampSelectionSettings(const SelectionSettings& in);
int ClampBrushSize(int v);      // 3..128
int ClampColourRange(int v);    // 0..255
int ClampFeatherRadius(int v);  // 1..100

struct LassoPoint {
    int x = 0;
    int y = 0;
};

struct SelectionTool {
    int width = 0;
    int height = 0;
    ImageBuffer view;           // the picture at 24 bits
    std::vector<uint8_t> mask;  // working mask, rows bottom-up: 0 selected, 255 not
    ImageBuffer overlay;        // the view with the working mask drawn on it
    bool hadMask = false;       // a SelectionMask existed when the tool started
    bool changed = false;
    SelectionSettings settings;

    // The gesture under way.
    bool dragging = false;
    int startX = 0, startY = 0;  // press
    int lastX = 0, lastY = 0;    // last pointer position (enclosure), last dab (brush)
    std::vector<LassoPoint> points;
    int boxLeft = 0, boxTop = 0, boxRight = 0, boxBottom = 0;  // enclosure bounds, inclusive
    uint8_t strokeValue = 0;
    const uint8_t* brushMask = nullptr;  // size x size weights for the stroke under way
};

// Makes the 24-bit view, the working mask (the selection, or all 0) and the overlay.
// False when memory runs out.
bool StartSelectionTool(SelectionTool& tool, const ImageBuffer& picture,
                        const std::vector<uint8_t>& selection, const SelectionSettings& settings);

void SelectionPress(SelectionTool& tool, int x, int y, bool shift);
void SelectionMove(SelectionTool& tool, int x, int y, bool shift);
void SelectionRelease(SelectionTool& tool, int x, int y, bool shift);

// The rubber band of a rectangle or ellipse drag (Shift makes it square), for drawing.
struct RubberBand {
    bool active = false;
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};
RubberBand CurrentRubberBand(const SelectionTool& tool, int x, int y, bool shift);

// "全選択" (true) and "全除外" (false).
void SelectWhole(SelectionTool& tool, bool selected);
// "反転".
void InvertSelection(SelectionTool& tool);
// "ぼかし" is offered only with a mask to feather.
bool CanFeather(const SelectionTool& tool);
// Feathers with settings.smooth; false (nothing changed) when not offered.
bool FeatherSelection(SelectionTool& tool);

// Finish: with OK and a change the working mask becomes the selection (an 8-bit picture is
// replaced by its 24-bit view, without a history entry). The picture never counts as changed.
void FinishSelectionTool(Document& doc, SelectionTool& tool, bool ok);

// Command 5131: drops the selection; false when there is none.
bool ClearSelection(Document& doc);

// Kernels, exposed for the tests.
void FeatherMask(std::vector<uint8_t>& mask, int width, int height, int radius, int threads = 0);

// Operation table row (kind 1): the tool lives in the record's data.
bool StartSelectionOp(Document& doc, OperationRecord& record);
bool FinishSelectionOp(Document& doc, OperationRecord& record, bool ok);
SelectionTool* ActiveSelectionTool(EditModel& model);

}  // namespace lumra
