// Trimming, resize and rotation as operations of the editing model, and the quarter turns
// and mirrors as commands that act at once.
#pragma once

#include <string>

#include "edit/bar_controls.h"
#include "edit/edit_model.h"
#include "edit/geometry/geometry_settings.h"
#include "edit/geometry/resize_bar.h"
#include "edit/geometry/rotate.h"
#include "edit/geometry/trim_frame.h"

namespace lumra {

// Texts of the bars and dialogs.
inline constexpr const char* kTrimCoordinateLabels[4] = {"X1", "Y1", "X2", "Y2"};
inline constexpr const char* kTrimRatioLabel = "比率（W:H）";
inline constexpr const char* kRatioDialogTitle = "縦横比登録";
inline constexpr const char* kIgnoreAspectLabel = "縦横比無視";
inline constexpr const char* kSizeDialogTitle = "サイズ登録";
inline constexpr const char* kAngleLabel = "角度";
inline constexpr const char* kGridLabel = "グリッド";
inline constexpr const char* kLineModeLabels[2] = {"水平線指定", "垂直線指定"};
inline constexpr const char* kBackgroundLabel = "背景色";
inline constexpr int kAngleBoxChars = 6;

// The bars' controls. Their values are the bar's own (the operation reads them from its
// state, not from the worker's parameters).
enum TrimBarParam { kTrimX1 = 0, kTrimY1 = 1, kTrimX2 = 2, kTrimY2 = 3, kTrimRatioList = 4 };
enum TrimBarId { kTrimShownW = 20, kTrimShownH = 21, kTrimRatioCombo = 22 };
enum ResizeBarParam { kResizePercent = 0, kResizeW = 1, kResizeH = 2, kResizeIgnore = 3, kResizePresets = 4 };
enum ResizeBarId { kResizePresetCombo = 30 };
enum RotateBarParam { kRotateAngle = 0, kRotateBackground = 1, kRotateGrid = 2, kRotateLineMode = 3 };
extern const BarControl kTrimControls[];
extern const int kTrimControlCount;
extern const BarControl kResizeControls[];
extern const int kResizeControlCount;
extern const BarControl kRotateControls[];
extern const int kRotateControlCount;

// What the bars drive while the operation is active (null for another operation).
struct TrimOperation {
    TrimFrame frame;
};
struct ResizeOperation {
    ResizeBar bar;
};
struct RotateOperation {
    RotateBar bar;
    BackgroundColour background;
    bool grid = true;
    bool verticalLine = false;
};
TrimOperation* TrimOf(OperationRecord& r);
ResizeOperation* ResizeOf(OperationRecord& r);
RotateOperation* RotateOf(OperationRecord& r);

// Takes the stored ratios, selection, grid, line mode and background into a started
// operation; SaveGeometrySettings takes them back when it ends.
void ApplyGeometrySettings(OperationRecord& r, const GeometrySettings& s);
void SaveGeometrySettings(OperationRecord& r, GeometrySettings& s);

// Rotation bar changes: the angle (tenths, -1800..1800) and the background go to the
// worker's parameters; the caller then requests a recompute.
void SetRotation(OperationRecord& r, int tenths, BackgroundColour background);

bool StartTrim(Document& doc, OperationRecord& r);
void RecomputeTrim(PreviewState& s);
bool FinishTrim(Document& doc, OperationRecord& r, bool ok);
bool ParseTrimArgs(const std::string& args, PreviewState& s, std::string& error);

bool StartResize(Document& doc, OperationRecord& r);
bool FinishResize(Document& doc, OperationRecord& r, bool ok);
bool ParseResizeArgs(const std::string& args, PreviewState& s, std::string& error);

bool StartRotate(Document& doc, OperationRecord& r);
void RecomputeRotate(PreviewState& s);
bool RotateNeutral(const PreviewState& s);
bool FinishRotate(Document& doc, OperationRecord& r, bool ok);
bool ParseRotateArgs(const std::string& args, PreviewState& s, std::string& error);

// The immediate commands 5150..5154: 0, or the error shown (nothing changed).
int ApplyRot90(Document& doc);
int ApplyRot180(Document& doc);
int ApplyRot270(Document& doc);
int ApplyMirrorLeftRight(Document& doc);
int ApplyMirrorTopBottom(Document& doc);

}  // namespace lumra
