// The bars of the tone and colour operations: gamma / brightness / contrast with "同期",
// levels with its histogram window and "自動設定", hue/saturation and colour replacement
// with their colour boxes and "Pic"; and the ImgC settings they start from and keep.
#pragma once

#include <QWidget>
#include <functional>

class QDialog;

namespace lumra {
struct EditModel;
struct OperationDef;
struct Session;
}  // namespace lumra

namespace lumra::ui {

class EditWindow;
class HistogramWindow;

QWidget* MakeToneBar(EditWindow& window, EditModel& model, const OperationDef& def);
QWidget* MakeLevelsBar(EditWindow& window, EditModel& model, const OperationDef& def);
QWidget* MakeHueSaturationBar(EditWindow& window, EditModel& model, const OperationDef& def);
QWidget* MakeReplaceBar(EditWindow& window, EditModel& model, const OperationDef& def);

// ImgC into the parameters at the start.
void SeedHueSaturation(Session& session, EditModel& model);
void SeedReplace(Session& session, EditModel& model);
// After the end (OK or Cancel): ImgC written back, the histogram window and a pick closed.
void EndToneBar(EditWindow& window);
void EndColourBar(EditWindow& window);

// The levels bar's histogram window while the bar is up (null otherwise).
HistogramWindow* ActiveHistogramWindow();

// Command 5111: the luminance histogram of the current picture.
void ShowLuminanceHistogram(Session& session, QWidget* parent, const std::function<int(QDialog&)>& run);

}  // namespace lumra::ui
