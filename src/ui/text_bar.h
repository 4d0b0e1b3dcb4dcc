// The text tool in the edit window: its bar (the text, "フォント", the colour and the
// opacity), the font window, and placing the text by dragging on the preview pane.
#pragma once

class QWidget;

namespace lumra {
struct EditModel;
struct OperationDef;
}  // namespace lumra

namespace lumra::ui {

class EditWindow;
class FontWindow;

QWidget* MakeTextBar(EditWindow& window, EditModel& model, const OperationDef& def);
// Writes ImgT back (OK or Cancel), closes the font window and removes the pane hook.
void EndTextUi(EditWindow& window);
// The font window of the running text tool (null when none).
FontWindow* TextFontWindow();

}  // namespace lumra::ui
