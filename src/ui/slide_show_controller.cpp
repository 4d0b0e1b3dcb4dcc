#include "ui/slide_show_controller.h"

#include <QTimer>

#include "shell/session.h"
#include "shell/settings.h"
#include "ui/app.h"
#include "ui/tool_bar_strip.h"
#include "ui/view_window.h"
#include "view/file_list.h"
#include "view/slide_show.h"

namespace lumra::ui {

SlideShowController::SlideShowController(Application& app) : QObject(&app), app_(app) {}

int SlideShowController::Interval() const { return ClampSlideTime(app_.session().settings.vwin.time) * 1000; }

void SlideShowController::HideCursorUnlessToolBar() {
    ViewWindow* view = app_.viewWindow();
    if (view && !view->toolBarStripShown()) app_.HideCursor();
}

void SlideShowController::Start() {
    if (!app_.viewWindow() || running_) return;
    app_.FinishFileListScan();
    FileList& list = app_.fileList();
    if (list.watchedFolder.empty()) return;
    if (!app_.SaveChangesFirst()) return;
    if (QWidget* window = app_.activeFileList(); window && window->isVisible()) window->hide();
    if (!SlideShowCanStart(list.selection, list.count(), (app_.session().settings.vwin.repeat & 1) != 0)) return;
    if (!timer_) {
        timer_ = new QTimer(this);
        timer_->setSingleShot(true);
        connect(timer_, &QTimer::timeout, this, [this] { OnTimer(); });
    }
    timer_->start(Interval());
    HideCursorUnlessToolBar();
    app_.SetAcceleratorsSuspended(true);
    running_ = true;
}

void SlideShowController::OnTimer() {
    if (!running_ || !app_.viewWindow()) return;
    if (timer_) timer_->stop();
    if (app_.cursorShown() == 1) HideCursorUnlessToolBar();
    app_.FinishFileListScan();
    FileList& list = app_.fileList();
    const SlideStep step = NextSlide(list.selection, list.count(), (app_.session().settings.vwin.repeat & 1) != 0);
    bool goOn = false;
    if (step.next >= 0) {
        const std::string name = list.names[static_cast<size_t>(step.next)];
        if (app_.LoadForList(JoinFolder(list.watchedFolder, name))) {
            // The full-screen refresh: zoom, fit to the monitor, layout, information text.
            app_.RefreshAfterLoad();
            // (A folder that changed meanwhile is being read again and selects the name itself.)
            if (step.next < list.count() && list.names[static_cast<size_t>(step.next)] == name) {
                list.selection = step.next;
                app_.ShowListSelection();
            }
            goOn = step.goOn;
        } else {
            RemoveAt(list, step.next);
            app_.ShowListAfterFailedLoad();
        }
    }
    app_.UpdateTitles();
    if (goOn && running_) {
        timer_->start(Interval());
    } else {
        Stop();
    }
}

void SlideShowController::Stop() {
    if (timer_) timer_->stop();
    // Only a running show gives the keys back: a dialog may hold them otherwise.
    if (!running_) return;
    app_.SetAcceleratorsSuspended(false);
    running_ = false;
    app_.EnsureCursorShown();
}

}  // namespace lumra::ui
