// The selection tool in the edit window: its bar ("領域"), the mouse on the preview pane
// handed to the tool, the rubber band, the enclosure's line and the brush outline drawn over
// the pane, and the working overlay shown there.
#pragma once

class QWidget;

namespace lumra {
struct EditModel;
struct OperationDef;
struct Session;
}  // namespace lumra

namespace lumra::ui {

class EditWindow;

// Section ImgA into the tool that has just started.
void SeedSelectionTool(Session& session, EditModel& model);
// The bar and the pane hooks; the settings go back to ImgA when the bar goes (OK or Cancel).
QWidget* MakeSelectionBar(EditWindow& window, EditModel& model, const OperationDef& def);
// Removes the pane hooks and shows the selection the tool left.
void SelectionToolEnded(EditWindow& window);

}  // namespace lumra::ui
