// The main window: shows the current picture through the viewport geometry, handles the
// mouse gestures and routes the commands while it is the active main window.
#pragma once

#include <QCursor>
#include <QElapsedTimer>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QWidget>
#include <array>

#include "document/picture.h"
#include "view/preload_cache.h"
#include "view/viewport.h"

namespace lumra::ui {

class Application;
class AnimationPlayer;
class ToolBarStrip;
class ViewWindow;

// The picture area inside the window: paints the viewport and passes the mouse and the
// keys to the window.
class PictureView : public QWidget {
    Q_OBJECT
public:
    explicit PictureView(ViewWindow& window);

    // The widget the picture is painted on (this one).
    QWidget* viewport() { return this; }
    // Where the picture's top-left corner would lie in this widget (client pixels).
    QPoint PictureOrigin() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    ViewWindow& window_;
};

class ViewWindow : public QWidget {
    Q_OBJECT
public:
    explicit ViewWindow(Application& app);

    // The command router (command numbers of the catalogue).
    void Command(int id);

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
    // Moves on with every new picture and every change of its pixels.
    int pictureGeneration() const { return pictureGeneration_; }
    // Reductions made at paint time (tests).
    int reductionsMade() const { return reductionsMade_; }
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
    ToolBarStrip* toolBarStrip() const { return strip_; }
    void ShowToolBarStrip(bool show);
    bool toolBarDown() const { return toolBarDown_; }
    // A mouse drag of the window's own is in progress.
    bool DragInProgress() const { return drag_ != Drag::None; }

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

    PictureView* pictureView() const { return view_; }
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
    friend class PictureView;
    enum class Drag { None, RightPending, RightScroll, RightBlocked, RubberBand, MovePending, WindowMove };
    enum class Style { TitleBar, FrameOnly, None };

    bool HasPicture() const;
    bool fullScreen() const;
    bool normalDisplay() const;
    int frameBorder() const { return style_ == Style::FrameOnly ? kFrameBorder : 0; }
    // The window system's frame plus the drawn border around the picture area.
    FrameExtents Frame() const;
    int MinOuterWidth() const;
    QRect MonitorRect() const;
    // Available width and height for the fit rules in the current display.
    QSize FitArea() const;
    void SyncPictureSize();
    void SyncClientSize();
    void RelayoutAndPaint();
    void ZoomCommand(int id);
    void RestoreFromMinimised();
    void ScrollKeyCommand(int id);
    // Follows a scroll on screen (shift in client pixels).
    void MoveDrawnPixels(const ViewPoint& shift);
    void CentreWindow();
    void SetWindowRect(const QRect& widgetRect);
    void ScaleAfterUserResize(const QSize& old);

    // Painting of the picture area.
    void PaintPicture(QPainter& painter, const QRect& area);
    const QImage& SmoothScaled(const ImageBuffer& frame, int frameIndex);

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
    void RunClickAction(int value);
    Qt::Edges BorderEdges(const QPoint& pos) const;

    static constexpr int kFrameBorder = 4;

    Application& app_;
    PictureView* view_ = nullptr;
    AnimationPlayer* animation_ = nullptr;
    ToolBarStrip* strip_ = nullptr;
    Viewport vp_;
    Style style_ = Style::TitleBar;

    Drag drag_ = Drag::None;
    bool chord_ = false;
    bool navigatorShown_ = false;
    QPoint dragLast_;       // previous point of a right drag (picture area)
    QPoint moveOffset_;     // pointer to window origin while moving the window by hand
    bool ignoreNextLeftRelease_ = false;
    int wheelRest_ = 0;
    bool toolBarDown_ = false;
    QPoint cursorRef_;      // screen point where the cursor was hidden
    QSize requested_;       // the last window size set here
    QSize limit_;           // the largest window size edge dragging may reach
    bool applyingGeometry_ = false;
    QElapsedTimer sinceOwnGeometry_;  // since the window was last sized here
    bool fullScreenView_ = false;
    bool ownStateChange_ = false;
    QRect normalGeometry_;  // the window before full screen
    FrameExtents lastFrame_;  // the frame the last sizing counted with
    // The picture was fitted before the window system's frame was known: fit again once it is.
    bool refitForFrame_ = false;
    // Sizes again when the window system's frame differs from the one last counted with.
    void CheckFrameChange();

    // The smooth copy of the whole picture at the display size (zoomed out), or of the
    // drawn part at the destination size (zoomed in).
    struct ScaledCache {
        const void* bits = nullptr;
        int frame = -1;
        int zoom = 0;
        QRect src;
        QSize size;
        QImage image;
    } cache_;
    int pictureGeneration_ = 0;
    QImage offered_;                     // a reduced copy made ahead
    const void* offeredBits_ = nullptr;  // the pixels it was made from
    int offeredGeneration_ = -1;         // the picture generation it belongs to
    int reductionsMade_ = 0;
    int cacheGeneration_ = -1;
    std::array<QCursor, 9> edgeCursors_;
};

}  // namespace lumra::ui
