// The main window: shows the current picture and routes the commands while it is the
// active main window.
#pragma once

#include <QAbstractScrollArea>
#include <QWidget>

#include "formats/picture.h"

namespace lumra::ui {

class Application;
class AnimationPlayer;
class ToolBarStrip;

// The picture area: the current picture drawn at 100 % on the background colour,
// centred when smaller than the area and scrolled when larger.
class PictureView : public QAbstractScrollArea {
    Q_OBJECT
public:
    PictureView(const CurrentPicture& picture, QWidget* parent = nullptr);

    void SetBackground(int bgColor);
    // The picture was replaced or changed: new scroll ranges, repaint.
    void PictureChanged();
    // The size the picture takes on screen (400 x 300 without a picture).
    QSize DisplaySize() const;
    // Where the picture's top-left corner is drawn in the viewport.
    QPoint PictureOrigin() const;
    // The animation frame to draw instead of the picture (none: the picture).
    void SetAnimation(const AnimationPlayer* player) { animation_ = player; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void UpdateScrollBars();

    const CurrentPicture& picture_;
    const AnimationPlayer* animation_ = nullptr;
    int bgColor_ = 2;
};

class ViewWindow : public QWidget {
    Q_OBJECT
public:
    explicit ViewWindow(Application& app);

    // The command router (command numbers of the catalogue).
    void Command(int id);

    // After a load: size the window to the picture (normal display), repaint, titles.
    void RefreshAfterLoad(bool full);
    // The layout-and-paint step.
    void FinalLayout();
    // Shows the window as a show command says (normal, maximised, minimised, ...).
    void ShowWithCommand(int showCommand);
    // Sizes and places the normal window around the picture within the available area.
    void AutoSizeWindow();
    // The view's background colour (Vwin BgColor).
    void ApplyBackground();
    // Keeps the window above others while Awin Top is set.
    void ApplyAlwaysOnTop();
    // The tool bar strip at the top edge.
    ToolBarStrip* toolBarStrip() const { return strip_; }
    void ShowToolBarStrip(bool show);
    // A mouse drag of the window's own is in progress (none so far).
    bool DragInProgress() const { return false; }

    // The window's side of full screen: style, zoom, fit and layout (entering), and back
    // to the normal window (leaving). The mode bookkeeping is the application's.
    void EnterFullScreenView();
    void LeaveFullScreenView();
    // The part of the picture that is drawn (picture pixels, top-down).
    QRect SourceRect() const;

    PictureView* pictureView() const { return view_; }
    AnimationPlayer* animation() const { return animation_; }
    // Zoom in hundredths of a percent; fixed at 100 % for now.
    int zoom() const { return zoom_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QRect AvailableArea() const;

    Application& app_;
    PictureView* view_ = nullptr;
    AnimationPlayer* animation_ = nullptr;
    ToolBarStrip* strip_ = nullptr;
    int zoom_ = 10000;
};

}  // namespace lumra::ui
