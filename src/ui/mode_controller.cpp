#include "ui/mode_controller.h"

#include <QScreen>
#include <algorithm>

#include "formats/load_save.h"
#include "shell/session.h"
#include "ui/animation.h"
#include "ui/app.h"
#include "ui/file_list_window.h"
#include "ui/view_window.h"
#include "view/window_modes.h"

namespace lumra::ui {

namespace {

// Moves window onto the monitor of reference when it lies on another one: its size
// limited to that monitor's work area, centred in it.
void MoveToMonitorOf(QWidget* window, QWidget* reference) {
    QScreen* target = reference->screen();
    if (!target || window->screen() == target) return;
    const QRect work = target->availableGeometry();
    const QRect frame = window->frameGeometry();
    const QRect inner = window->geometry();
    const int frameW = frame.width() - inner.width();
    const int frameH = frame.height() - inner.height();
    const int w = std::min(frame.width(), work.width());
    const int h = std::min(frame.height(), work.height());
    window->resize(w - frameW, h - frameH);
    window->move(work.left() + (work.width() - w) / 2, work.top() + (work.height() - h) / 2);
}

}  // namespace

void ModeController::SwitchMode(int target) {
    ViewWindow* view = app_.viewWindow();
    if (!view) return;
    Session& session = app_.session();
    const ModeSwitchPlan plan = PlanModeSwitch(session.displayMode, target, app_.editWindow() != nullptr);
    if (plan.returnMode >= 0) session.returnMode = plan.returnMode;
    for (ModeStep step : plan.steps) {
        switch (step) {
            case ModeStep::LeaveFullScreen: LeaveFullScreenMode(); break;
            case ModeStep::LeaveEditMode: LeaveEditMode(); break;
            case ModeStep::EnterEditMode: EnterEditMode(); break;
            case ModeStep::EnterFullScreen: EnterFullScreenMode(); break;
            case ModeStep::ListToMainWindow: app_.MoveFileListTo(nullptr); break;
            case ModeStep::ListToEditWindow: app_.MoveFileListTo(app_.editListWindow()); break;
            case ModeStep::DiscardTrialPreview:
                if (session.picture.trial.previewShown) DiscardTrialSave(session);
                break;
            case ModeStep::Repaint: view->update(); break;
            case ModeStep::ShowMainWindow:
                if (!view->isVisible()) view->ShowWithCommand(kShowNormal);
                break;
        }
    }
    if (!plan.switched) return;
    if (FileListWindow* list = app_.fileListWindow(); list && list->isVisible()) app_.PlaceFileList();
    app_.UpdateTitles();
}

void ModeController::LeaveFullScreenToReturnMode() {
    const Session& session = app_.session();
    if (session.displayMode != kFullScreen) return;
    SwitchMode(ReturnTarget(session.returnMode, app_.editWindow() != nullptr));
}

void ModeController::EnterEditMode() {
    ViewWindow& view = *app_.viewWindow();
    QWidget* edit = app_.editWindow();
    app_.session().displayMode = kEditWindow;
    if (view.animation()) view.animation()->Stop();
    MoveToMonitorOf(edit, &view);
    edit->show();
    view.hide();
    app_.RefreshEditWindow();
    app_.UpdateMenuTexts();
    edit->raise();
    edit->activateWindow();
    edit->setFocus();
}

void ModeController::LeaveEditMode() {
    ViewWindow& view = *app_.viewWindow();
    QWidget* edit = app_.editWindow();
    Session& session = app_.session();
    session.displayMode = kMainWindow;
    if (session.picture.trial.previewShown) DiscardTrialSave(session);
    if (edit) MoveToMonitorOf(&view, edit);
    view.ShowWithCommand(kShowNormal);
    if (edit) edit->hide();
    // Fit and size as after a new picture; the animation starts again from frame 0.
    view.RefreshAfterLoad(true);
    view.update();
    app_.UpdateMenuTexts();
    view.raise();
    view.activateWindow();
    view.setFocus();
}

void ModeController::EnterFullScreenMode() {
    ViewWindow& view = *app_.viewWindow();
    app_.session().displayMode = kFullScreen;
    view.EnterFullScreenView();
    app_.UpdateMenuTexts();
    view.raise();
    view.activateWindow();
}

void ModeController::LeaveFullScreenMode() {
    // The show runs only in full screen.
    app_.StopSlideShow();
    app_.session().displayMode = kMainWindow;
    app_.viewWindow()->LeaveFullScreenView();
    app_.UpdateMenuTexts();
    app_.EnsureCursorShown();
    app_.ShowCursorNow();
}

}  // namespace lumra::ui
