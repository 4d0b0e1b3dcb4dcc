// The main window: shows the current picture through the viewport geometry, handles the
// mouse gestures and routes the commands while it is the active main window.
#pragma once

#include <QCursor>
#include <QElapsedTimer>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QTimer>
#include <QWidget>
#include <array>
#include <optional>

#include "document/picture.h"
#include "ui/picture_canvas.h"
#include "view/preload_cache.h"
#include "view/view_rules.h"
#include "view/viewport.h"

namespace lumra {
struct Session;
}  // namespace lumra

namespace lumra::ui {

class Application;
class AnimationPlayer;
class ToolBarStrip;

// How the view window showed its picture.
struct KeptView {
    Viewport vp;
    QRect geometry;
    QSize limit;
};

class ViewWindow : public QWidget {
    Q_OBJECT
public:
    explicit ViewWindow(Application& app);

    // A command (number of the catalogue) from this window: the application's router.
    void Command(int id);
    // For the command router.
    bool GestureBlocksCommands() const {
        return drag_ == Drag::RightPending || drag_ == Drag::RightScroll || drag_ == Drag::RightBlocked ||
               drag_ == Drag::RubberBand;
    }
    void UserTookZoom() { refitForFrame_ = false; }
    void MinimiseByCommand() {
        ownStateChange_ = true;
        showMinimized();
        ownStateChange_ = false;
    }
    bool normalDisplay() const;
    void ZoomCommand(int id);
    void ScrollKeyCommand(int id);
    void RestoreFromMinimised();
    void CentreWindow();
    void RelayoutAndPaint();

    // After a load: zoom, fit, size the window (normal display) or lay out (full
    // screen), repaint, titles, animation. full: the picture changed.
    void RefreshAfterLoad(bool full);
    // The layout-and-paint step.
    void FinalLayout();
    // The picture's pixels changed in place: scaled copies are dropped, repaint.
    void PictureChanged();
    // The display size a picture decoded ahead would get now, for its reduced copy.
    PreloadCache::DisplaySizeFn DisplaySizeAhead() const;
    // A reduced copy made ahead for the picture whose pixels are at pictureBits; the next
    // refresh after a load takes it when it is the size the picture is shown at.
    void OfferReducedCopy(std::vector<uint32_t>&& rows, int w, int h, const void* pictureBits);
    // The whole picture took the place of a quick first view's stand-in (same size and
    // facts): only the drawn pixels change. displayCopy: it reduced to the displayed size.
    void FullPictureArrived(std::vector<uint32_t>&& displayCopy, int w, int h);
    // The view of the picture shown now (zoom, scroll, window), kept while a new picture is
    // opened; RestoreView brings it back with that picture when the new one is given up.
    KeptView KeepView() const { return KeptView{vp_, geometry(), limit_}; }
    void RestoreView(const KeptView& kept);
    // Moves on with every new picture and every change of its pixels.
    int pictureGeneration() const { return view_->generation(); }
    // Reductions made at paint time (tests).
    int reductionsMade() const { return view_->reductionsMade(); }
    // Shows the window as a show command says (normal, maximised, minimised, ...).
    void ShowWithCommand(int showCommand);
    // Sizes and places the normal window around the displayed picture within the
    // work area (or the restricting rectangle); lays out in full screen.
    void AutoSizeWindow();
    // The view's background colour (Vwin BgColor).
    void ApplyBackground();
    // Window flags from the title bar / frame / full-screen state and Awin Top.
    void ApplyStyle();
    void ApplyAlwaysOnTop() { ApplyStyle(); }
    // The tool bar strip at the top edge.
    // Made when first needed: nothing of it shows until then.
    ToolBarStrip* toolBarStrip() const;
    bool toolBarStripShown() const;
    void ShowToolBarStrip(bool show);
    bool toolBarDown() const { return toolBarDown_; }
    // A mouse drag of the window's own is in progress.
    bool DragInProgress() const { return gesture_.drag != DragState::None; }

    // The window's side of full screen: style, zoom, fit and layout (entering), and back
    // to the normal window (leaving). The mode bookkeeping is the application's.
    void EnterFullScreenView();
    void LeaveFullScreenView();
    // The part of the picture that is drawn (picture pixels, top-down).
    QRect SourceRect() const;
    // Where the picture is drawn in the picture area.
    QRect DestinationRect() const;

    // Writes "r:..  g:..  b:.." for the picture point under a point of the picture area
    // into target's title.
    void WritePixelReadout(const QPoint& clientPoint, QWidget* target) const;

    PictureCanvas* pictureView() const { return view_; }
    // The frame the window will get is known while it is hidden (frameless, or the window
    // manager told it), so sizing it before it is first shown needs no second fit.
    bool FrameKnownBeforeShow() const { return style_ != Style::TitleBar || wmFrame_.has_value(); }
    AnimationPlayer* animation() const { return animation_; }
    // Zoom in hundredths of a percent.
    int zoom() const { return vp_.zoom; }
    const Viewport& viewport() const { return vp_; }
    // The window is being scaled with the smooth filter right now.
    bool smoothScaling() const;
    // The area the normal window keeps to (screen pixels).
    QRect AvailableArea() const;

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    using Drag = DragState;
    enum class Style { TitleBar, FrameOnly, None };

    bool HasPicture() const;
    bool fullScreen() const;
    int frameBorder() const { return style_ == Style::FrameOnly ? kFrameBorder : 0; }
    // The window system's frame plus the drawn border around the picture area.
    FrameExtents Frame() const;
    // The frame as Qt knows it (nothing until the window is mapped and framed).
    FrameExtents QtFrame() const;
    // Asks the window manager once for the frame of a title-bar window, before it is shown.
    void AskFrameOnce();
    int MinOuterWidth() const;
    QRect MonitorRect() const;
    // Available width and height for the fit rules in the current display.
    QSize FitArea() const;
    // Back to 100 % unless kept, then the fit on a picture change: with the full-screen
    // flags into the monitor, else with the normal ones into the fit area.
    void FitForDisplay(bool fullScreenFlags);
    void SyncPictureSize();
    void SyncClientSize();
    // Follows a scroll on screen (shift in client pixels).
    void MoveDrawnPixels(const ViewPoint& shift) { view_->MoveDrawnPixels(shift); }
    void SetWindowRect(const QRect& widgetRect);
    void ScaleAfterUserResize(const QRect& before, bool settling);
    // Places the picture area so that its centre lies at clientCentre (screen); returns
    // the window rectangle set.
    QRect AutoSizeAround(const ViewPoint& clientCentre);

    // Mouse, from the picture area.
    void ViewMousePress(QMouseEvent* event);
    void ViewMouseMove(QMouseEvent* event);
    void ViewMouseRelease(QMouseEvent* event);
    void ViewDoubleClick(QMouseEvent* event);
    void ViewWheel(QWheelEvent* event);
    void AnyKeyPress();
    void HoverMove(const QPoint& pos);
    void StartRightDrag();
    void EndRightDrag();
    void FinishRubberBand();
    void RunGestureAction(GestureAction action, QMouseEvent* event);
    void RunClickAction(int value);
    Qt::Edges BorderEdges(const QPoint& pos) const;
    // The edge cursors and the title tip's timer.
    void SetUpPointerParts();
    // The title over the drawn frame, shown after the pointer rests there.
    void ShowTitleTip();

    static constexpr int kFrameBorder = 4;

    Application& app_;
    Session& session_;  // the application's
    PictureCanvas* view_ = nullptr;
    AnimationPlayer* animation_ = nullptr;
    mutable ToolBarStrip* strip_ = nullptr;
    Viewport vp_;
    Style style_ = Style::TitleBar;

    GestureState gesture_;
    Drag& drag_ = gesture_.drag;
    bool navigatorShown_ = false;
    QPoint dragLast_;       // previous point of a right drag (picture area)
    QPoint moveOffset_;     // pointer to window origin while moving the window by hand
    int wheelRest_ = 0;
    bool settleClamped_ = false;  // the limit was applied once since the window sized itself
    bool toolBarDown_ = false;
    QPoint cursorRef_;      // screen point where the cursor was hidden
    QSize requested_;       // the last window size set here
    QSize limit_;           // the largest window size edge dragging may reach
    QRect lastGeometry_;    // the window as the last resize left it
    bool applyingGeometry_ = false;
    QElapsedTimer sinceOwnGeometry_;  // since the window was last sized here
    bool fullScreenView_ = false;
    bool ownStateChange_ = false;
    QRect normalGeometry_;  // the window before full screen
    FrameExtents lastFrame_;  // the frame the last sizing counted with
    // The window manager's frame for the title-bar style, asked for before the first show;
    // it stands in while Qt knows no frame yet.
    std::optional<FrameExtents> wmFrame_;
    bool frameAsked_ = false;
    // The picture was fitted before the window system's frame was known: fit again once it is.
    bool refitForFrame_ = false;
    // Sizes again when the window system's frame differs from the one last counted with.
    void CheckFrameChange();
    // Checks the frame a few times over the next moments.
    void WatchFrame();
    // A window manager may keep its own size while the user drags: the size wanted here
    // is set again once the drag has come to rest.
    QTimer userResizeRest_;
    QRect userResizeTarget_;
    QSize systemSize_;  // the size the window system last gave
    QTimer titleTip_;       // the rest over the frame before the title shows
    QPoint titleTipPos_;    // where the pointer rests (screen)
    std::array<QCursor, 9> edgeCursors_;
};

}  // namespace lumra::ui
