// What the edit window does for an operation beyond the engine's row: the bar it shows, the
// stored settings the operation starts from and keeps, and its own handling on the panes.
#pragma once

#include <span>

class QWidget;

namespace lumra {
struct EditModel;
struct ImageBuffer;
struct OperationDef;
struct Session;
}  // namespace lumra

namespace lumra::ui {

class EditWindow;

struct OperationUi {
    int kind = 0;
    // After the start: the stored settings into the operation's parameters.
    void (*seed)(Session&, EditModel&) = nullptr;
    // The bar (and any pane hooks the operation installs on the window). Null: the generic
    // bar built from the row's control table, or no bar when the row has none.
    QWidget* (*makeBar)(EditWindow&, EditModel&, const OperationDef&) = nullptr;
    // At OK, before the operation ends: its parameters back into the settings.
    void (*store)(Session&, const EditModel&) = nullptr;
    // After the operation ended (OK or Cancel): removes what makeBar installed.
    void (*ended)(EditWindow&) = nullptr;
};

std::span<const OperationUi> OperationUiTable();
const OperationUi* FindOperationUi(int kind);

// The picture a tool without a preview copy draws on (the brushes' and the text tool's), or
// null; the preview pane shows it.
const ImageBuffer* OperationPicture(EditModel& model);

// The bar for an operation that has just started: its own, or the generic one from its table
// wired to the parameters (a change asks for a recompute), OK / Cancel and the keys.
QWidget* MakeOperationBar(EditWindow& window, EditModel& model, const OperationDef& def);

}  // namespace lumra::ui
