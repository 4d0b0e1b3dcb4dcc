// The edit window's side of trimming, resize and rotation: their bars, the drawing over the
// preview pane, the registration dialogs, and section ImgS kept while one of them runs.
#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <utility>

#include "edit/geometry/geometry_settings.h"
#include "ui/operation_bar.h"

namespace lumra {
struct EditModel;
struct OperationDef;
struct Session;
}  // namespace lumra

namespace lumra::ui {

class EditWindow;

// Drawn over a pane's picture; the mouse goes through to the pane.
class PaneOverlay : public QWidget {
public:
    using PaintFn = std::function<void(QPainter&)>;
    PaneOverlay(QWidget* canvas, PaintFn paint);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    PaintFn paint_;
};

// An operation bar that stays in its row of a narrow window: it takes the width there is and
// the controls that do not fit are cut off at the right, instead of the whole bar moving
// behind the row's extension button.
class ClippedOperationBar : public OperationBar {
public:
    explicit ClippedOperationBar(const OperationDef& def);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
};

// ImgS as read at the start of the running geometric operation and changed since.
GeometrySettings& GeometryPrefs();

// The operation table's hooks.
void SeedGeometry(Session& session, EditModel& model);
void StoreGeometry(Session& session, const EditModel& model);
void EndGeometry(EditWindow& window);
QWidget* MakeTrimBar(EditWindow& window, EditModel& model, const OperationDef& def);
QWidget* MakeResizeBar(EditWindow& window, EditModel& model, const OperationDef& def);
QWidget* MakeRotateBar(EditWindow& window, EditModel& model, const OperationDef& def);

// "縦横比登録" / "サイズ登録": eight rows of two numbers, placed below `below`. True on OK
// with rows[1..8] as typed (row 0 untouched).
bool RunRegistration(EditWindow& window, QWidget* below, const char* title, std::array<std::pair<int, int>, 9>& rows,
                     bool ratios);

// Called when the bar of the running operation goes (the window removes its hooks).
void SetGeometryCleanup(std::function<void()> cleanup);

}  // namespace lumra::ui
