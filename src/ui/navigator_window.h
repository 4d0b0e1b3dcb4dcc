// The navigator: a small pop-up with the whole picture and the part the view shows
// outlined, up while the user scrolls a large picture with the right button.
#pragma once

#include <QImage>
#include <QWidget>
#include <cstdint>

#include "formats/image_buffer.h"
#include "view/navigator.h"

namespace lumra::ui {

class NavigatorWindow : public QWidget {
    Q_OBJECT
public:
    explicit NavigatorWindow(QWidget* owner);

    // Sizes the thumbnail for the picture; it is made again only when the picture's
    // pixels or their generation (a new load or an edit) changed.
    void SetPicture(const ImageBuffer& image, int generation = 0);
    // The view's source rectangle (picture pixels, top-down).
    void SetSourceRect(const QRect& source);

    const NavigatorThumb& thumb() const { return thumb_; }
    const NavigatorFrame& frame() const { return frame_; }
    const QImage& thumbnail() const { return thumbnail_; }
    // How many times the thumbnail was scaled (the cache at work).
    int scaleCount() const { return scaleCount_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    // Screen area of the rectangle's outline, for repainting only that.
    QRect FrameArea(const NavigatorFrame& frame) const;

    NavigatorThumb thumb_;
    NavigatorFrame frame_;
    QImage thumbnail_;
    // What the thumbnail was made from.
    const void* sourceBits_ = nullptr;
    int sourceGeneration_ = 0;
    int scaleCount_ = 0;
};

}  // namespace lumra::ui
