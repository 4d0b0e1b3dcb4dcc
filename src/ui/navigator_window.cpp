#include "ui/navigator_window.h"

#include <QMouseEvent>
#include <QPainter>

#include "ui/picture_image.h"
#include "view/view_scaler.h"

namespace lumra::ui {

NavigatorWindow::NavigatorWindow(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus |
                         Qt::WindowStaysOnTopHint) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    setWindowTitle(QStringLiteral("Lumra Ex"));
}

void NavigatorWindow::SetPicture(const ImageBuffer& image, int generation) {
    if (!thumbnail_.isNull() && sourceBits_ == image.bits() && sourceGeneration_ == generation)
        return;
    sourceBits_ = image.bits();
    sourceGeneration_ = generation;
    thumb_ = LayoutNavigatorThumb(image.width(), image.height());
    QImage reduced(thumb_.width, thumb_.height, QImage::Format_RGB32);
    if (!reduced.isNull() && thumb_.width <= image.width() && thumb_.height <= image.height() &&
        BoxReduce(image, thumb_.width, thumb_.height, reinterpret_cast<uint32_t*>(reduced.bits()),
                  static_cast<size_t>(reduced.bytesPerLine()))) {
        thumbnail_ = std::move(reduced);
    } else if (const QImage rows = StoredRowsImage(image); !rows.isNull()) {
        // Smaller than the thumbnail: enlarged. The rows are stored bottom-up.
        thumbnail_ = rows.scaled(thumb_.width, thumb_.height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                         .mirrored(false, true)
                         .convertToFormat(QImage::Format_RGB32);
    } else {
        thumbnail_ = QImage(thumb_.width, thumb_.height, QImage::Format_RGB32);
        thumbnail_.fill(Qt::gray);
    }
    ++scaleCount_;
    frame_ = NavigatorFrame{};
    update();
}

void NavigatorWindow::SetSourceRect(const QRect& source) {
    const NavigatorFrame next = NavigatorFrameFor(thumb_, source.x(), source.y(), source.width(), source.height());
    if (next.left == frame_.left && next.top == frame_.top && next.right == frame_.right &&
        next.bottom == frame_.bottom) {
        return;
    }
    const QRect old = FrameArea(frame_);
    frame_ = next;
    update(old);
    update(FrameArea(frame_));
}

QRect NavigatorWindow::FrameArea(const NavigatorFrame& frame) const {
    return QRect(QPoint(frame.left, frame.top), QPoint(frame.right, frame.bottom))
        .translated(kNavigatorBorder, kNavigatorBorder)
        .adjusted(-1, -1, 1, 1);
}

void NavigatorWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // The border: a dark line outside and a light one inside.
    painter.fillRect(rect(), palette().color(QPalette::Window));
    painter.setPen(Qt::black);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(1, 1, -2, -2));
    painter.drawImage(kNavigatorBorder, kNavigatorBorder, thumbnail_);

    // The outline inverts what lies under it; right and bottom are exclusive.
    const int w = frame_.right - frame_.left;
    const int h = frame_.bottom - frame_.top;
    if (w <= 0 || h <= 0) return;
    painter.setClipRect(QRect(kNavigatorBorder, kNavigatorBorder, thumb_.width, thumb_.height));
    painter.setCompositionMode(QPainter::RasterOp_NotDestination);
    // Four strips that never overlap, so every outline pixel is inverted once.
    const int x = kNavigatorBorder + frame_.left;
    const int y = kNavigatorBorder + frame_.top;
    painter.fillRect(QRect(x, y, w, 1), Qt::black);
    if (h > 1) painter.fillRect(QRect(x, y + h - 1, w, 1), Qt::black);
    if (h > 2) {
        painter.fillRect(QRect(x, y + 1, 1, h - 2), Qt::black);
        if (w > 1) painter.fillRect(QRect(x + w - 1, y + 1, 1, h - 2), Qt::black);
    }
}

void NavigatorWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        hide();
        return;
    }
    QWidget::mousePressEvent(event);
}

}  // namespace lumra::ui
