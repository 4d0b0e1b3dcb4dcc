// The edit window: the tool bar rows at the top, the source and preview panes below in
// one of three layouts, their scroll bars, the zoom field, the view commands it handles
// itself, and the start and end of editing operations.
#pragma once

#include <QFrame>
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <map>
#include <optional>
#include <utility>

#include "edit/colour_pick.h"
#include "edit/edit_model.h"
#include "view/edit_panes.h"
#include "view/view_rules.h"
#include "view/viewport.h"

class QAction;
class QLabel;
class QLineEdit;
class QScrollBar;
class QToolBar;
class QToolButton;

namespace lumra {
struct Session;
struct SwinSettings;
}  // namespace lumra

namespace lumra::ui {

class Application;
class FileListWindow;
class HistoryWindow;
class NavigatorWindow;
class PictureCanvas;
class SaveSettingsBar;

// One pane: the picture and its two scroll bars inside a thin sunken edge.
class EditPane : public QFrame {
    Q_OBJECT
public:
    EditPane(PictureCanvas* canvas, QWidget* parent);
    PictureCanvas* canvas() const { return canvas_; }
    QScrollBar* horizontalBar() const { return h_; }
    QScrollBar* verticalBar() const { return v_; }
    // The pane's size inside its edge.
    QSize InnerSize() const;
    // The picture area of cw x ch at the top-left, the bars that are shown beside it.
    void Arrange(bool horizontal, bool vertical, int cw, int ch);

private:
    PictureCanvas* canvas_;
    QScrollBar* h_;
    QScrollBar* v_;
};

class EditWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit EditWindow(Application& app);
    ~EditWindow() override;

    // The rows of the rebar: the operation bar (null removes it, and the save-settings
    // bar comes back) and the save-settings bar.
    void SetOperationBar(QWidget* bar);
    void SetSaveBar(QWidget* bar);
    // Makes the operation bar of an operation that has just started (may return null).
    using OperationBarFactory = std::function<QWidget*(EditModel& model, const OperationDef& def)>;
    void SetOperationBarFactory(OperationBarFactory factory) { barFactory_ = std::move(factory); }

    // An active operation's own mouse handling on the panes (brushes, trimming, colour
    // pick): true when it took the event. pane: 0 source, 1 preview.
    using PaneMouseHandler = std::function<bool(int pane, QMouseEvent* event, const Viewport& vp)>;
    void SetPaneMouseHandler(PaneMouseHandler handler) { paneMouse_ = std::move(handler); }

    // The trimming tool while it is not adjusting: the layouts, the preview pane's area
    // zoom and maximising are refused while this says so.
    void SetLayoutLock(std::function<bool()> locked) { layoutLock_ = std::move(locked); }
    // Called after the view scrolled (an operation's overlay follows it).
    void SetViewMovedHook(std::function<void()> moved) { viewMoved_ = std::move(moved); }

    // The running operation's own commands (a brush tool's undo and redo of its strokes):
    // true when it took the command. strokes: whether its undo and redo are available.
    void SetOperationCommands(std::function<bool(int id)> handler, std::function<std::pair<bool, bool>()> strokes) {
        operationCommand_ = std::move(handler);
        strokeState_ = std::move(strokes);
    }

    Application& app() const { return app_; }
    // The edit window's command handler.
    void Command(int id);
    // After a load, a history step or an operation: layout 1, fit when the picture changed,
    // zoom field, tool bar, title.
    void Refresh(bool pictureChanged);
    void UpdateTitle();
    void UpdateToolBar();
    // Starts an operation of the table: its bar, the preview pane. False when it did not
    // start (no picture, another one running, or the row has no functions yet).
    bool StartOperation(const OperationDef& def);
    // The active operation ends as cancelled (closing).
    void CancelOperation();
    // Swin's geometry and RebarRow at exit.
    void StoreGeometry(SwinSettings& swin) const;
    // The bottom of the tool bar rows in screen coordinates.
    int ToolBarBottom() const;

    void SetPaneLayout(int layout);
    int layout() const { return model_.layout; }
    const Viewport& viewport() const { return vp_; }
    EditModel& model() { return model_; }
    EditPane* sourcePane() const { return panes_[0]; }
    EditPane* previewPane() const { return panes_[1]; }
    QLineEdit* zoomField() const { return zoomField_; }
    QToolBar* mainToolBar() const { return mainBar_; }
    QToolBar* bandBar() const { return bandBar_; }
    int rebarRows() const;
    QAction* ToolAction(int id) const;
    FileListWindow* listWindow() const { return list_; }
    HistoryWindow* historyWindow() const { return history_; }
    SaveSettingsBar* saveSettingsBar() const { return saveSettings_; }
    // The colour pick on the source pane, for the save settings' transparent colour or a
    // colour of the active operation. live: the colour the swatches show meanwhile (nothing
    // once it ends); done: the target and the accepted colour, nothing when cancelled.
    struct PickClient {
        std::function<void(std::optional<uint32_t> live)> live;
        std::function<void(int target, std::optional<uint32_t> colour)> done;
    };
    bool colourPickArmed() const { return pick_.armed; }
    // False (nothing armed) with no picture or a pick already armed.
    bool StartColourPick(int target, uint32_t initial, PickClient client);
    // Accept (the colour under the pointer) or cancel; nothing when no pick is armed.
    void EndColourPick(bool accept);
    void StartTransparentPick();
    bool historyWindowOpen() const;
    // The history window (5117) from any display mode.
    void ShowHistoryWindow();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    Session& session();
    const Session& session() const;
    bool HasPicture() const;
    bool OperationActive() const;
    bool LayoutLocked() const;

    void BuildToolBars(int rows);
    void AddButton(int id);
    void WriteZoomField();
    void ZoomFieldEdited();

    // Places the panes for the layout; with rescale the display size follows the zoom,
    // the scroll bars are updated and the shown panes repainted.
    void LayoutPanes(bool rescale);
    void UpdateScrollBars();
    void RepaintPanes();
    QSize PaneSize() const;
    void SyncPicture();
    void ViewCommand(int id);
    void ZoomCommand(int id);
    void ScrollBarInput(QScrollBar* bar, int action);
    void ToggleScrollBars();
    void Preview();
    void ShowPreviewResult(bool ok);
    void HostSaveBar();
    void CreateComment();
    // The pick's share of the mouse on the panes: true when it took the event.
    bool PickMouse(int pane, QMouseEvent* event);
    void Undo(int delta);
    void AfterHistoryStep(bool sizeChanged);
    void RunOperationCommand(int id);
    // The preview worker's long computation began (true) or ended.
    void PreviewBusy(bool busy);
    void EndOperationCommand(bool ok);
    void RunImmediate(int id);
    void Minimise();
    void Centre();
    void RunShared(int id);
    void RebuildOverlay();

    // Mouse on a pane (index 0 source, 1 preview).
    void PanePress(int pane, QMouseEvent* event);
    void PaneMove(int pane, QMouseEvent* event);
    void PaneRelease(int pane, QMouseEvent* event);
    void PaneDoubleClick(int pane, QMouseEvent* event);
    void PaneWheel(QWheelEvent* event);
    void RunGesture(int pane, GestureAction action, QMouseEvent* event);
    void FinishAreaZoom();

    Application& app_;
    EditModel model_;
    Viewport vp_;
    GestureState gesture_;
    QPoint dragLast_;
    int bandPane_ = 0;  // the pane an area zoom is dragged in
    int wheelRest_ = 0;
    bool navigatorShown_ = false;
    bool selectionShown_ = false;
    ImageBuffer overlay_;  // the picture with the selection drawn on it
    EditPane* panes_[2] = {nullptr, nullptr};
    QWidget* centre_ = nullptr;
    QToolBar* mainBar_ = nullptr;
    QToolBar* bandBar_ = nullptr;
    QLabel* bandCaption_ = nullptr;
    QAction* captionAction_ = nullptr;
    QPointer<QWidget> saveBar_;
    QPointer<QWidget> operationBar_;
    QLineEdit* zoomField_ = nullptr;
    bool writingZoom_ = false;
    std::map<int, QAction*> actions_;
    FileListWindow* list_ = nullptr;
    NavigatorWindow* navigator_ = nullptr;
    HistoryWindow* history_ = nullptr;
    OperationBarFactory barFactory_;
    PaneMouseHandler paneMouse_;
    std::function<bool()> layoutLock_;
    std::function<void()> viewMoved_;
    std::function<bool(int)> operationCommand_;
    std::function<std::pair<bool, bool>()> strokeState_;
    QRect placed_;  // the normal rectangle from Swin, until the window has one of its own
    bool closing_ = false;
    int previewWaits_ = 0;  // long previews under way; the wait cursor shows while above 0
    SaveSettingsBar* saveSettings_ = nullptr;
    ColourPick pick_;
    PickClient pickClient_;
    bool pickHidOverlay_ = false;
};

}  // namespace lumra::ui
