// The running program: start-up, the single instance, the boxes, opening and saving
// pictures and shut-down. It owns the session and the main window.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "shell/command_line.h"
#include "shell/messages.h"
#include "shell/session.h"

class QDialog;

namespace lumra::ui {

class InstanceServer;
class ViewWindow;

struct StartOptions {
    std::string executablePath;     // the running executable (its name is checked)
    std::vector<std::string> args;  // the argument vector; args[0] is the program
    int showCommand = kShowNormal;
    std::string currentFolder;      // for relative paths handed over; empty: the process's own
};

class Application : public QObject {
    Q_OBJECT
public:
    // The box behind ShowBox; tests put a recorder here.
    using BoxFunction = std::function<BoxResult(QWidget* owner, const BoxRequest& request)>;
    // Runs a modal dialog and returns its result code (QDialog::exec by default).
    using DialogFunction = std::function<int(QDialog& dialog)>;

    Application();
    ~Application() override;

    // Start-up up to the first display. True: run the event loop; false: end now with 0
    // (wrong executable, handed over to a running instance, or closed during start-up).
    bool StartUp(const StartOptions& options);

    Session& session() { return session_; }
    ViewWindow* viewWindow() const { return view_.get(); }
    const std::string& settingsPath() const { return session_.settingsPath; }
    bool isFirstInstance() const { return server_ != nullptr; }

    void SetBoxFunction(BoxFunction function) { box_ = std::move(function); }
    void SetDialogFunction(DialogFunction function) { dialog_ = std::move(function); }
    void SetQuitFunction(std::function<void()> function) { quit_ = std::move(function); }

    // Every box goes through here: the cursor is brought back and the active file-list
    // window is disabled while the box is up.
    BoxResult ShowBox(QWidget* owner, const BoxRequest& request);
    void ShowError(QWidget* owner, int code);
    int RunDialog(QDialog& dialog);

    // 0 cancel, 1 go on, 2 save first.
    int AskSaveChanges();
    bool OpenPath(const std::string& path);
    bool OpenPictureDialog();
    bool SavePictureAs();
    void PasteFromClipboard();
    void ShowMouseInfo();
    void UpdateTitles();

    // The main window's close: false keeps the program running.
    bool ConfirmClose();
    // ConfirmClose, then the program ends.
    bool CloseRequested();

    // The mouse cursor (CursorShown).
    int cursorShown() const { return cursorShown_; }
    void HideCursor();
    void EnsureCursorShown();

    // The file-list window that currently holds the list (none yet).
    void SetActiveFileList(QWidget* window) { activeFileList_ = window; }
    QWidget* activeFileList() const { return activeFileList_; }
    // The edit window once it exists.
    void SetEditWindow(QWidget* window) { editWindow_ = window; }

    // Carries out a step list of the command-line dispatch or a hand-over.
    void RunSteps(const StepList& steps);
    // The running instance's side of the hand-over: restore, raise, act.
    void ReceiveHandOver(const HandOver& message);

    // Entry points of the windows and features that grow later.
    void CreateEditWindow();
    void ShowEditWindow(int showCommand);
    void SwitchToEditWindow();
    void SwitchToMainWindow();
    void EnterFullScreen();
    void StartSlideShow();
    void StopSlideShow();
    void RunOptionsDialog();
    void RefreshEditWindow();
    void EditWindowCommand(int id);
    void DeleteHistoryFiles();
    std::string PluginPatterns();

private:
    bool SaveChangesFirst();
    void RefreshAfterLoad();
    void HideActiveFileList();
    void ActivateMainWindow();
    void WriteSettings();
    int ReadStartSetting() const;
    // A relative command-line path taken against the folder the program was started in.
    std::string InStartFolder(const std::string& path) const;
    void ShowCursorNow();

    Session session_;
    std::unique_ptr<ViewWindow> view_;
    std::unique_ptr<InstanceServer> server_;
    std::string startFolder_;
    QPointer<QWidget> activeFileList_;
    QPointer<QWidget> editWindow_;
    BoxFunction box_;
    DialogFunction dialog_;
    std::function<void()> quit_;
    int cursorShown_ = 1;
    bool waitCursor_ = false;
    bool closed_ = false;
};

}  // namespace lumra::ui
