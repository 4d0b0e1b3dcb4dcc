// The paint and partial-correction tools in the edit window: their bars, the brush outline
// that follows the pointer, strokes drawn with the mouse on the preview pane, the colour
// pick for the paint colour, and the strokes' undo and redo.
#pragma once

#include <QPointF>
#include <QRect>

#include "view/viewport.h"

class QWidget;

namespace lumra {
struct EditModel;
struct OperationDef;
}  // namespace lumra

namespace lumra::ui {

class EditWindow;

// The picture pixel under a pane point, rounded half away from zero and not clamped, so that
// a stroke may run past the picture's edges.
ViewPoint PanePicturePoint(const Viewport& vp, QPointF at);
// The pane area that shows picture pixels left..right x top..bottom (right and bottom
// exclusive), grown by 4 pane pixels on every side for the brush outline and rounding.
QRect PanePictureBlock(const Viewport& vp, int left, int top, int right, int bottom);

QWidget* MakeBrushBar(EditWindow& window, EditModel& model, const OperationDef& def);
// Writes ImgD back (OK or Cancel) and removes the pane hooks.
void EndBrushUi(EditWindow& window);

}  // namespace lumra::ui
