#include "ui/command_router.h"

#include "shell/command_catalogue.h"
#include "shell/session.h"
#include "shell/settings.h"
#include "ui/app.h"
#include "ui/clipboard.h"
#include "ui/comment_exif_dialogs.h"
#include "ui/edit_window.h"
#include "edit/edit_model.h"
#include "platform/paths.h"
#include "shell/messages.h"
#include "ui/file_list_window.h"
#include "ui/png_text_dialog.h"
#include "ui/print_dialog.h"
#include "ui/tone_bars.h"
#include "ui/wallpaper_dialog.h"
#include "ui/view_window.h"
#include "view/window_modes.h"
#include "view/window_toggles.h"

namespace lumra::ui {

void CommandRouter::Run(int id) {
    app_.EnsureCursorShown();
    view_.UserTookZoom();
    Session& session = app_.session();
    if (session.displayMode == kEditWindow) {
        app_.EditWindowCommand(id);
        return;
    }
    if (view_.GestureBlocksCommands()) return;
    if (view_.normalDisplay() && view_.toolBarDown()) view_.ShowToolBarStrip(false);
    if (IsZoomCommand(id)) {
        view_.ZoomCommand(id);
        return;
    }
    RunShared(id);
}

void CommandRouter::RunShared(int id) {
    Session& session = app_.session();
    const CurrentPicture& picture = session.picture;
    if (FindOperationByCommand(id) || FindImmediate(id) || id == kCmdUndo || id == kCmdRedo ||
        id == kCmdHistoryWindow || id == kCmdDeselect) {
        EditWindow* edit = app_.editWindowObject();
        if (!edit) return;
        // The editing tools work in the edit window.
        if (FindOperationByCommand(id)) app_.SwitchMode(kEditWindow);
        edit->Command(id);
        return;
    }
    switch (id) {
        case kCmdOpen:
            app_.OpenPictureDialog();
            break;
        case kCmdReopen:
            app_.Reopen();
            break;
        case kCmdSaveAs:
            app_.SavePictureAs();
            break;
        case kCmdSaveRotateRight:
        case kCmdSaveRotateLeft:
            app_.LosslessRotate(id == kCmdSaveRotateRight);
            break;
        case kCmdCopy:
            if (picture.HasPicture()) CopyPictureToClipboard(picture.image);
            break;
        case kCmdPaste:
            app_.PasteFromClipboard();
            break;
        case kCmdComment:
            if (session.operationState == 0) ShowCommentEditor(app_);
            break;
        case kCmdTextData:
            if (picture.image.sourceFormat == kFormatJpeg) {
                ShowExifViewer(app_);
            } else if (picture.image.sourceFormat == kFormatPng) {
                ShowPngTextViewer(app_, &view_, picture.path);
            }
            break;
        case kCmdPrint:
            if (picture.HasPicture()) RunPrint();
            break;
        case kCmdWallpaper:
            if (picture.HasPicture()) RunWallpaper();
            break;
        case kCmdColorCount:
            app_.ShowColourCount();
            break;
        case kCmdHistogram:
            ShowLuminanceHistogram(session, session.displayMode == kEditWindow ? app_.editWindow() : static_cast<QWidget*>(&view_), [this](QDialog& d) { return app_.RunDialog(d); });
            break;
        case kCmdDelete:
            app_.DeleteCurrentFile();
            break;
        case kCmdFileList:
            app_.ShowFileList();
            break;
        case kCmdSlideShow:
            if (app_.slideShowRunning()) {
                app_.StopSlideShow();
            } else {
                app_.SwitchMode(kFullScreen);
                app_.StartSlideShow();
            }
            break;
        case kCmdEditWindow:
            if (view_.isMinimized()) view_.RestoreFromMinimised();
            app_.StopSlideShow();
            app_.SwitchMode(kEditWindow);
            break;
        case kCmdCenter:
            view_.CentreWindow();
            break;
        case kCmdOptions:
            app_.RunOptionsDialog();
            break;
        case kCmdHelp:
            app_.ShowHelp();
            break;
        case kCmdMouseHelp:
            app_.ShowMouseInfo();
            break;
        case kCmdVersion:
            app_.ShowVersion();
            break;
        case kCmdFullScreen:
            FullScreen();
            break;
        case kCmdMinimize:
            Minimise();
            break;
        case kCmdExit:
            app_.StopSlideShow();
            view_.close();
            break;
        case kCmdScrollLeft:
        case kCmdScrollRight:
        case kCmdScrollUp:
        case kCmdScrollDown:
            view_.ScrollKeyCommand(id);
            break;
        case kCmdFirst:
        case kCmdLast:
        case kCmdPrevious:
        case kCmdNext:
            app_.NavigateCommand(id - kCmdFirst);
            break;
        default:
            if (id >= kCmdTool1 && id <= kCmdTool8) {
                app_.RunTool(id - kCmdTool1);
            } else {
                WindowSetting(id);
            }
            break;
    }
}

void CommandRouter::WindowSetting(int id) {
    Settings& settings = app_.session().settings;
    if (const int bg = BackgroundOfCommand(id); bg >= 0) {
        settings.vwin.bgColor = bg;
        view_.ApplyBackground();
        return;
    }
    switch (WindowToggle(id, view_.normalDisplay(), (settings.vwin.capBar & 1) != 0)) {
        case ToggledSetting::AlwaysOnTop:
            settings.awin.top = Flipped(settings.awin.top);
            view_.ApplyAlwaysOnTop();
            break;
        case ToggledSetting::TitleBar:
            settings.vwin.capBar = Flipped(settings.vwin.capBar);
            view_.ApplyStyle();
            view_.AutoSizeWindow();
            break;
        case ToggledSetting::Frame:
            settings.vwin.frame = Flipped(settings.vwin.frame);
            view_.ApplyStyle();
            view_.RelayoutAndPaint();
            break;
        case ToggledSetting::ToolBar:
            settings.vwin.vtBar = Flipped(settings.vwin.vtBar);
            break;
        case ToggledSetting::None:
            break;
    }
}

void CommandRouter::FullScreen() {
    switch (FullScreenCommandAction(view_.isMinimized(), app_.session().displayMode)) {
        case FullScreenAction::Restore:
            view_.RestoreFromMinimised();
            break;
        case FullScreenAction::Leave:
            app_.StopSlideShow();
            app_.LeaveFullScreenToReturnMode();
            break;
        case FullScreenAction::Enter:
            app_.EnterFullScreen();
            break;
    }
}

void CommandRouter::Minimise() {
    if (view_.isMinimized()) {
        view_.RestoreFromMinimised();
        return;
    }
    app_.StopSlideShow();
    view_.MinimiseByCommand();
}

void CommandRouter::RunPrint() {
    Session& session = app_.session();
    if (FileListWindow* list = app_.fileListWindow(); list && list->isVisible()) list->hide();
    PrintDialogHooks hooks;
    hooks.runDialog = [this](QDialog& d) { return app_.RunDialog(d); };
    hooks.showError = [this](int code) { app_.ShowError(&view_, code); };
    const CurrentPicture& picture = session.picture;
    RunPrintDialog(&view_, picture.image, picture.path.empty() ? picture.fileName : picture.path, hooks);
}

void CommandRouter::RunWallpaper() {
    Session& session = app_.session();
    FileListWindow* list = app_.fileListWindow();
    if (list) list->setEnabled(false);
    WallpaperHooks hooks;
    hooks.runDialog = [this](QDialog& d) { return app_.RunDialog(d); };
    hooks.showError = [this](int code) { app_.ShowError(&view_, code); };
    hooks.showMessage = [this](const QString& text) {
        app_.ShowBox(&view_, BoxRequest{text.toStdString(), kErrorCaption, BoxIcon::Error, BoxButtons::Ok});
    };
    RunWallpaperDialog(&view_, session.picture.image, FolderPart(session.settingsPath), hooks);
    if (list) list->setEnabled(true);
}

}  // namespace lumra::ui
