// A widget that paints one frame of a picture through a viewport: the background
// strips, the scaled copy (smooth or nearest), the rubber band. It knows no window:
// the owner gives the viewport, the frame and the options, and takes the input from
// its signals.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

#include "formats/image_buffer.h"
#include "view/viewport.h"

namespace lumra::ui {

// The frame to draw; image null: no picture.
struct CanvasFrame {
    const ImageBuffer* image = nullptr;
    int index = 0;
    const void* pictureBits = nullptr;  // the picture's own pixels (a reduced copy made ahead matches them)
    // Drawn in place of the pixels while they are not there yet: the whole picture, top-down,
    // at a size of its own (a quick first view).
    const QImage* preview = nullptr;
};

struct CanvasOptions {
    int bgColor = 2;          // Vwin BgColor
    bool smooth = false;      // the smooth filter for a scaled picture
    bool rubberBand = false;  // the band from the viewport's anchor to its corner
};

class PictureCanvas : public QWidget {
    Q_OBJECT
public:
    using FrameFn = std::function<CanvasFrame()>;
    using OptionsFn = std::function<CanvasOptions()>;
    PictureCanvas(const Viewport& viewport, FrameFn frame, OptionsFn options, QWidget* parent);

    // The widget the picture is painted on (this one).
    QWidget* viewport() { return this; }
    // Where the picture's top-left corner would lie in this widget.
    QPoint PictureOrigin() const;

    // A new picture: the scaled copy goes; a copy offered ahead for pictureBits stays.
    void NewPicture(const void* pictureBits);
    // The pixels changed in place: the scaled copy goes.
    void PixelsChanged();
    // The same for pixels that changed only under area (widget coordinates): only it is painted.
    void PixelsChangedIn(const QRect& area);
    // Moves on with every new picture and every change of its pixels.
    void NextGeneration() { ++generation_; }
    int generation() const { return generation_; }
    // A reduced copy made ahead (rows top-down, 0xAARRGGBB) for the picture at pictureBits.
    void OfferReducedCopy(std::vector<uint32_t>&& rows, int w, int h, const void* pictureBits);
    // Reductions made at paint time.
    int reductionsMade() const { return reductionsMade_; }
    // Follows a scroll on screen (shift in client pixels): at 100 % the drawn pixels move.
    void MoveDrawnPixels(const ViewPoint& shift);

signals:
    void mousePressed(QMouseEvent* event);
    void mouseMoved(QMouseEvent* event);
    void mouseReleased(QMouseEvent* event);
    void mouseDoubleClicked(QMouseEvent* event);
    void wheelTurned(QWheelEvent* event);
    void keyPressed(QKeyEvent* event);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override { emit mousePressed(event); }
    void mouseMoveEvent(QMouseEvent* event) override { emit mouseMoved(event); }
    void mouseReleaseEvent(QMouseEvent* event) override { emit mouseReleased(event); }
    void mouseDoubleClickEvent(QMouseEvent* event) override { emit mouseDoubleClicked(event); }
    void wheelEvent(QWheelEvent* event) override { emit wheelTurned(event); }
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Paint(QPainter& painter, const QRect& area);
    const QImage& SmoothScaled(const CanvasFrame& frame);

    const Viewport& vp_;
    FrameFn frame_;
    OptionsFn options_;
    // The smooth copy of the whole picture at the display size (zoomed out), or of the
    // drawn part at the destination size (zoomed in).
    struct ScaledCache {
        const void* bits = nullptr;
        int frame = -1;
        int zoom = 0;
        QRect src;
        QSize size;
        QImage image;
        int generation = -1;
    } cache_;
    int generation_ = 0;
    QImage offered_;                     // a reduced copy made ahead
    const void* offeredBits_ = nullptr;  // the pixels it was made from
    int offeredGeneration_ = -1;         // the generation it belongs to
    int reductionsMade_ = 0;
};

}  // namespace lumra::ui
