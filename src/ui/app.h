// The running program: start-up, the single instance, the boxes, opening and saving
// pictures and shut-down. It owns the session and the main window.
#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "shell/command_catalogue.h"
#include "shell/command_line.h"
#include "shell/menu_model.h"
#include "shell/messages.h"
#include "shell/session.h"
#include "view/file_list.h"

class QAction;
class QDialog;
class QMimeData;
class QMenu;
class QTimer;
class QUrl;

namespace lumra {
class FirstViewAhead;
class PreloadCache;
struct PreloadKey;
}  // namespace lumra

namespace lumra::ui {

class AcceleratorFilter;
class CommandRouter;
class EditWindow;
class FileListController;
class FirstViewLoader;
class ModeController;
class SlideShowController;
class FileListView;
class FileListWindow;
class InstanceServer;
class NavigatorWindow;
class OptionsDialog;
class ViewWindow;
struct KeptView;

struct StartOptions {
    std::string executablePath;     // the running executable (its name is checked)
    std::vector<std::string> args;  // the argument vector; args[0] is the program
    int showCommand = kShowNormal;
    std::string currentFolder;      // for relative paths handed over; empty: the process's own
    // The picture named on the command line, read and decoded reduced from the start of main.
    std::shared_ptr<FirstViewAhead> firstViewAhead;
};

class Application;

// The first local file among dropped URLs (empty: none).
QString FirstLocalFile(const QMimeData* mime);
// Opens a dropped file once the drop has finished (so that a question box does not hold up
// the source), with window brought to the front.
void OpenDroppedFile(Application& app, QWidget* window, const QString& file);

class Application : public QObject {
    Q_OBJECT
public:
    // The box behind ShowBox; tests put a recorder here.
    using BoxFunction = std::function<BoxResult(QWidget* owner, const BoxRequest& request)>;
    // Runs a modal dialog and returns its result code (QDialog::exec by default).
    using DialogFunction = std::function<int(QDialog& dialog)>;
    // Shows a pop-up menu at a screen point and returns the chosen action (QMenu::exec).
    using MenuFunction = std::function<QAction*(QMenu& menu, const QPoint& at)>;
    // Opens a folder, a document or a web address on the desktop.
    using UrlFunction = std::function<bool(const QUrl& url)>;
    // Starts a program with arguments, detached.
    using StartFunction = std::function<bool(const QString& program, const QStringList& arguments)>;

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
    void SetMenuFunction(MenuFunction function) { menuFn_ = std::move(function); }
    void SetUrlFunction(UrlFunction function) { url_ = std::move(function); }
    void SetStartFunction(StartFunction function) { start_ = std::move(function); }

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
    // Called when the save dialog's type changes the save format (the save-settings bar follows).
    void SetSaveFormatListener(std::function<void()> listener) { saveFormatListener_ = std::move(listener); }
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

    // The file-list window that currently holds the list.
    void SetActiveFileList(QWidget* window) { activeFileList_ = window; }
    QWidget* activeFileList() const { return activeFileList_; }
    // The edit window once it exists, and its file-list window (null: the list stays in
    // the main window's).
    void SetEditWindow(QWidget* window, FileListWindow* list = nullptr);

    // ---- Keys, menus and commands ----
    const AcceleratorTable& accelerators() const { return accelerators_; }
    // A new key table (key customisation): the menus show its keys.
    void SetAccelerators(const AcceleratorTable& table);
    bool acceleratorsSuspended() const { return acceleratorsSuspended_; }
    void SetAcceleratorsSuspended(bool suspended) { acceleratorsSuspended_ = suspended; }
    // Every command from a key, a menu or the tool bar: it clears the menu's double-open
    // flag and runs only when the menu model enables it; in edit mode the edit window's
    // handler takes it and decides.
    void RunCommand(int id);
    bool CommandEnabled(int id) const;
    // Pressing and releasing Alt alone in window.
    void AltAlone(QWidget* window);
    // The context menu at a screen point, for the main window or the edit window. A
    // second opening by the same gesture only clears the suppression flag.
    void ShowMainMenu(const QPoint& globalPos, QWidget* window);
    void ClearMenuSuppression() { menuSuppressed_ = false; }
    bool menuSuppressed() const { return menuSuppressed_; }
    QMenu* mainMenu() const { return mainMenu_.get(); }
    // The zoom pop-up of the edit window's zoom field.
    void ShowZoomMenu(const QPoint& globalPos);
    // Builds the menus again (keys or tools changed).
    void RebuildMenus();
    // The mode texts of Full screen and Edit window.
    void UpdateMenuTexts();
    // askClipboard false: the clipboard's picture is not looked for.
    MenuFacts CurrentMenuFacts(bool editWindowVariant, bool askClipboard = true) const;
    // The edit window's command handler; set by the edit window.
    void SetEditCommandHandler(std::function<void(int)> handler);

    void Reopen();
    void DeleteCurrentFile();
    void RunTool(int slot);
    void ShowHelp();
    void ShowVersion();
    // Full screen returns to the mode it was entered from.
    void LeaveFullScreenToReturnMode();
    bool OpenUrl(const QUrl& url);

    // ---- The folder's file list ----
    FileList& fileList();
    FileListWindow* fileListWindow() const;
    FileListView* fileListView() const;
    // Brings the list up to date for the current path (a new folder is read in the
    // background; the list fills when it is read).
    void RefreshFileList();
    void RebuildFileList();
    // Waits for a folder read in progress and shows its names.
    void FinishFileListScan();
    // First/Last/Previous/Next with the error box and the refresh.
    void NavigateCommand(int kind);
    // The user chose a name in the list.
    void OpenSelected(int row);
    void PlaceFileList();
    // Hands the one list to another list window (the edit window's when the mode changes;
    // null: back to the main window's).
    void MoveFileListTo(FileListWindow* window);
    // Command File list.
    void ShowFileList();
    // The program became active (true) or inactive.
    void OnAppActivated(bool active);
    // A file was written by a save.
    void SavedFile(const std::string& path);
    // The sort order of the list: the user's locale, case ignored.
    NameCompare MakeNameCompare() const;

    // Carries out a step list of the command-line dispatch or a hand-over.
    void RunSteps(const StepList& steps);
    // The running instance's side of the hand-over: restore, raise, act.
    void ReceiveHandOver(const HandOver& message);

    // Entry points of the windows and features that grow later.
    void CreateEditWindow();
    // The edit window the start-up left for after the main window's first paint, made now.
    void EnsureEditWindow();
    void ShowEditWindow(int showCommand);
    void SwitchToEditWindow();
    void SwitchToMainWindow();
    void EnterFullScreen();
    void StartSlideShow();
    void StopSlideShow();
    bool slideShowRunning() const;
    // The slide-show timer's step (the timer is single-shot and armed again here).
    void OnSlideShowTimer();
    QTimer* slideShowTimer() const;
    // 0 main window, 1 edit window, 2 full screen.
    void SwitchMode(int target);
    // The navigator during a right-drag scroll of a large picture (the view's source
    // rectangle is outlined).
    void ShowNavigator();
    void MoveNavigatorFrame();
    void HideNavigator();
    NavigatorWindow* navigatorWindow() const { return navigator_; }
    void RunOptionsDialog();
    // OK or "適用" of the options dialog: its values take effect.
    void ApplyOptions(OptionsDialog& dialog);
    void RefreshEditWindow();
    void EditWindowCommand(int id);
    // A command both windows share, run without the main window's own handling (the edit
    // window passes what it does not handle itself).
    void RunSharedCommand(int id);
    // The program's edit window (null before it is created).
    EditWindow* editWindowObject();
    void DeleteHistoryFiles();
    std::string PluginPatterns();
    // Lossless JPEG rotation of the current file (right: clockwise).
    void LosslessRotate(bool right);
    // 5110: the number of colours the picture uses.
    void ShowColourCount();
    // The history window is open.
    bool HistoryWindowOpen() const;
    // A selection area exists.
    bool HasSelectionArea() const;
    // The bottom of the edit window's tool bar (screen), for placing the list.
    int EditToolBarBottom() const;

    // ---- Decoding ahead ----
    // The neighbours decoded in the background; null until the first list is there.
    PreloadCache* preloadCache() const;
    // Asks for the next and the previous names of the list to be decoded.
    void RequestNeighbours();
    // What the pictures are decoded with now.
    PreloadKey CurrentPreloadKey() const;

    // ---- For the mode switch, the slide show and the command router ----
    QWidget* editWindow();
    FileListWindow* editListWindow();
    // Asks to save changes; false: cancelled or the save failed.
    bool SaveChangesFirst();
    // After a new current picture: the window, the list, the neighbours.
    void RefreshAfterLoad();
    // The file list and the preloaded neighbours follow the current picture.
    void RefreshAroundPicture();
    // Loads a path as the current picture, remembering its write time.
    bool LoadForList(const std::string& path);
    // A big JPEG opened through its quick first view is still being decoded whole.
    bool firstViewPending() const;
    // Pending and its preview still being made: the picture is not painted yet.
    bool firstViewWaiting() const;
    // The quick first view's stand-in for the picture's pixels; null when none.
    const QImage* firstViewPreview() const;
    // The quick first view has been painted.
    void FirstViewPainted();
    // Waits for the whole picture of a quick first view and puts it in place.
    void FinishFirstView();
    void ShowListSelection();
    // A name left the list or the selection went back: the list again, then the error box.
    void ShowListAfterFailedLoad();
    void ShowCursorNow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // After a load: the refresh, or the error box; then the titles.
    bool ShowLoadResult(bool ok);
    void InstallKeysAndMenus();
    void ActivateMainWindow();
    // The start-up's edit window waits for the main window's first paint (or an input).
    void DeferEditWindow();
    void WriteSettings();
    int ReadStartSetting() const;
    // A relative command-line path taken against the folder the program was started in.
    std::string InStartFolder(const std::string& path) const;

    Session session_;
    std::unique_ptr<ViewWindow> view_;
    std::unique_ptr<EditWindow> edit_;
    // The edit window that is set is the program's own.
    bool OwnEditWindow() const;
    std::unique_ptr<FirstViewLoader> firstView_;
    std::shared_ptr<FirstViewAhead> firstViewAhead_;  // until the start-up's open has used it
    std::unique_ptr<KeptView> keptView_;  // the view before a quick first view, for its failure
    // Opens path through a quick first view when it is a JPEG shown much reduced.
    bool OpenFirstView(const std::string& path);
    std::unique_ptr<InstanceServer> server_;
    std::string startFolder_;
    QPointer<QWidget> activeFileList_;
    QPointer<QWidget> editWindow_;
    QPointer<FileListWindow> editListWindow_;
    NavigatorWindow* navigator_ = nullptr;  // a child window of the main window
    BoxFunction box_;
    DialogFunction dialog_;
    MenuFunction menuFn_;
    UrlFunction url_;
    StartFunction start_;
    std::function<void()> quit_;
    std::function<void(int)> editCommand_;
    std::string executablePath_;

    AcceleratorTable accelerators_ = DefaultAccelerators();
    bool acceleratorsSuspended_ = false;
    std::function<void()> saveFormatListener_;
    std::unique_ptr<AcceleratorFilter> acceleratorFilter_;
    std::unique_ptr<QMenu> mainMenu_;
    bool menuSuppressed_ = false;

    int cursorShown_ = 1;
    bool waitCursor_ = false;
    bool closed_ = false;
    // The start-up's edit window waits for the main window's first paint.
    bool editDeferred_ = false;
    bool editPosted_ = false;
    bool startingUp_ = false;
    std::unique_ptr<ModeController> modes_;
    SlideShowController* slides_ = nullptr;
    FileListController* files_ = nullptr;
    std::unique_ptr<CommandRouter> router_;
};

}  // namespace lumra::ui
