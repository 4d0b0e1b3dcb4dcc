// The application's keys, menus and the commands of the catalogue that are its own.
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QUrl>

#include "document/document.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "platform/trash.h"
#include "shell/program_info.h"
#include "ui/accelerators.h"
#include "ui/app.h"
#include "ui/clipboard.h"
#include "ui/command_router.h"
#include "ui/file_list_controller.h"
#include "ui/file_list_window.h"
#include "ui/main_menu.h"
#include "ui/tool_bar_strip.h"
#include "ui/version_dialog.h"
#include "ui/view_window.h"

namespace lumra::ui {

void Application::InstallKeysAndMenus() {
    RebuildMenus();
    AcceleratorFilter::Hooks hooks;
    hooks.table = [this]() -> const AcceleratorTable& { return accelerators_; };
    hooks.suspended = [this] { return acceleratorsSuspended_; };
    hooks.runCommand = [this](int id) { RunCommand(id); };
    hooks.altAlone = [this](QWidget* window) { AltAlone(window); };
    hooks.leftPress = [this](QWidget* window) {
        if (view_ && window == view_.get()) ClearMenuSuppression();
    };
    acceleratorFilter_ = std::make_unique<AcceleratorFilter>(std::move(hooks));
    qApp->installEventFilter(acceleratorFilter_.get());
}

void Application::SetAccelerators(const AcceleratorTable& table) {
    accelerators_ = table;
    if (mainMenu_) RefreshKeyTexts(*mainMenu_, accelerators_);
}

void Application::RebuildMenus() {
    MenuMode mode;
    mode.fullScreen = session_.displayMode == kFullScreen;
    mode.editMode = session_.displayMode == kEditWindow;
    mainMenu_ = BuildMenu(BuildMainMenu(session_.settings.path, mode), accelerators_);
}

void Application::UpdateMenuTexts() {
    if (!mainMenu_) return;
    SetMenuItemText(*mainMenu_, kCmdFullScreen,
                    QString::fromStdString(FullScreenItemText(session_.displayMode == kFullScreen)));
    SetMenuItemText(*mainMenu_, kCmdEditWindow,
                    QString::fromStdString(EditWindowItemText(session_.displayMode == kEditWindow)));
}

MenuFacts Application::CurrentMenuFacts(bool editWindowVariant, bool askClipboard) const {
    const Session& s = session_;
    MenuFacts f;
    f.hasPicture = s.picture.HasPicture();
    f.hasPath = !s.picture.path.empty();
    f.sourceFormat = s.picture.image.sourceFormat;
    f.toolActive = s.operationState != 0;
    f.hasComment = s.picture.flags.hasComment;
    f.hasTextOrExif = s.picture.flags.hasText;
    f.clipboardHasDib = askClipboard && ClipboardHasPicture();
    f.historyPosition = s.history.position;
    f.historyCount = s.history.entries;
    f.hasSelection = HasSelectionArea();
    f.editWindowVariant = editWindowVariant;
    f.fullScreen = s.displayMode == kFullScreen;
    f.titleBar = (s.settings.vwin.capBar & 1) != 0;
    f.frame = (s.settings.vwin.frame & 1) != 0;
    f.alwaysOnTop = (s.settings.awin.top & 1) != 0;
    f.toolBar = (s.settings.vwin.vtBar & 1) != 0;
    f.bgColor = s.displayMode == kEditWindow ? s.settings.swin.bgColor : s.settings.vwin.bgColor;
    return f;
}

void Application::RunCommand(int id) {
    ClearMenuSuppression();
    // Commands act on the whole picture, never on a quick first view's stand-in.
    FinishFirstView();
    // The edit window's handler keeps its own states.
    if (!router_ || (session_.displayMode != kEditWindow && !CommandEnabled(id))) return;
    router_->Run(id);
}

bool Application::CommandEnabled(int id) const {
    // The clipboard is asked only for the command that needs it.
    return lumra::CommandEnabled(id, CurrentMenuFacts(session_.displayMode == kEditWindow, id == kCmdPaste));
}

void Application::AltAlone(QWidget* window) {
    if (!window || !view_) return;
    if (window == view_.get()) {
        if (view_->DragInProgress()) return;
        ShowMainMenu(view_->mapToGlobal(QPoint(0, 0)), view_.get());
    } else if (editWindow_ && window == editWindow_.data()) {
        ShowMainMenu(editWindow_->mapToGlobal(QPoint(0, 0)), editWindow_.data());
    }
}

void Application::ShowMainMenu(const QPoint& globalPos, QWidget* window) {
    // The gesture that closed the menu must not open it again.
    if (menuSuppressed_) {
        menuSuppressed_ = false;
        return;
    }
    if (!mainMenu_) return;
    menuSuppressed_ = true;
    UpdateMenuTexts();
    const bool editVariant = editWindow_ && window == editWindow_.data();
    ApplyMenuStates(*mainMenu_, CurrentMenuFacts(editVariant));
    QAction* chosen = menuFn_(*mainMenu_, globalPos);
    if (!chosen) {
        // Closed from the keyboard: no click is left over to suppress.
        if (QGuiApplication::mouseButtons() == Qt::NoButton) menuSuppressed_ = false;
        return;
    }
    menuSuppressed_ = false;
    RunCommand(chosen->data().toInt());
}

void Application::ShowZoomMenu(const QPoint& globalPos) {
    const std::unique_ptr<QMenu> menu = BuildMenu(BuildZoomMenu(), accelerators_);
    if (QAction* chosen = menuFn_(*menu, globalPos)) RunCommand(chosen->data().toInt());
}

void Application::Reopen() {
    CurrentPicture& picture = session_.picture;
    if (!picture.HasPicture() || picture.path.empty()) return;
    if (!SaveChangesFirst()) return;
    const std::string path = picture.path;
    ShowLoadResult(LoadForList(path));
}

void Application::DeleteCurrentFile() {
    CurrentPicture& picture = session_.picture;
    if (!picture.HasPicture() || picture.path.empty()) return;
    if (!(session_.settings.awin.noRecycMsg & 1) &&
        ShowBox(view_.get(), DeleteFileBox(picture.fileName)) != BoxResult::Yes) {
        return;
    }
    FinishFileListScan();
    const std::string path = picture.path;
    if (!MoveToTrash(path)) {
        ShowError(view_.get(), kErrFileDelete);
        return;
    }
    // The neighbour that takes the deleted file's place becomes the current picture.
    const bool loaded = files_->ReplaceDeleted(path, picture.fileName);
    if (!loaded) {
        // Nothing left to show: the placeholder.
        ReleasePicture(session_);
        picture.path.clear();
        picture.fileName.clear();
        picture.flags = PictureFlags{};
        session_.history.Clear();
    }
    RefreshAfterLoad();
    UpdateTitles();
}

bool Application::OpenUrl(const QUrl& url) { return url_ && url_(url); }

void Application::RunTool(int slot) {
    const ToolLaunch launch = PlanToolLaunch(session_.settings.path, slot, session_.picture);
    if (launch.kind == LaunchKind::None) return;
    if (session_.displayMode == kFullScreen) LeaveFullScreenToReturnMode();
    if (session_.settings.awin.top & 1) {
        session_.settings.awin.top = 0;
        view_->ApplyAlwaysOnTop();
        if (session_.displayMode == kEditWindow && editWindow_) {
            editWindow_->raise();
            editWindow_->activateWindow();
        }
    }
    bool ok = false;
    const QString target = QFile::decodeName(launch.target.c_str());
    if (launch.kind == LaunchKind::Program) {
        QStringList arguments;
        for (const std::string& a : launch.arguments) arguments << QFile::decodeName(a.c_str());
        ok = start_ && start_(target, arguments);
    } else {
        ok = OpenUrl(QUrl::fromLocalFile(target));
    }
    if (!ok) ShowError(view_.get(), kErrFileExec);
}

void Application::ShowHelp() {
    if (session_.displayMode == kFullScreen) LeaveFullScreenToReturnMode();
    const std::string help = HelpFilePath(executablePath_.empty() ? ExecutablePath() : executablePath_);
    if (!FileExists(help) || !OpenUrl(QUrl::fromLocalFile(QFile::decodeName(help.c_str())))) {
        ShowError(view_.get(), kErrFileExec);
    }
}

void Application::ShowVersion() {
    SetAcceleratorsSuspended(true);
    VersionDialog dialog(view_.get(), [this] { OpenUrl(QUrl(QString::fromUtf8(kWebAddress))); });
    if (view_) {
        const QRect main = view_->frameGeometry();
        dialog.move(main.center() - dialog.rect().center());
    }
    RunDialog(dialog);
    SetAcceleratorsSuspended(false);
}

}  // namespace lumra::ui
