// The bars of the four filters (unsharp mask, blur, soft focus, noise removal) and their
// section ImgF: read when a filter starts, written back when its bar goes (OK or Cancel).
#pragma once

class QWidget;

namespace lumra {
struct EditModel;
struct OperationDef;
struct Session;
}  // namespace lumra

namespace lumra::ui {

class EditWindow;

void SeedFilter(Session& session, EditModel& model);
QWidget* MakeFilterBar(EditWindow& window, EditModel& model, const OperationDef& def);
// Whether the filter's start computes long enough to show "wait..." and the wait cursor.
bool FilterStartWaits(int kind);

}  // namespace lumra::ui
