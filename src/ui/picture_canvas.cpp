#include "ui/picture_canvas.h"

#include <QKeyEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <utility>

#include "ui/picture_image.h"
#include "view/view_scaler.h"

namespace lumra::ui {

namespace {

QRect ToQRect(const ViewRect& r) { return QRect(r.x, r.y, r.w, r.h); }

}  // namespace

PictureCanvas::PictureCanvas(const Viewport& viewport, FrameFn frame, OptionsFn options, QWidget* parent)
    : QWidget(parent), vp_(viewport), frame_(std::move(frame)), options_(std::move(options)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    // Right clicks are the owner's gesture (menu or scrolling).
    setContextMenuPolicy(Qt::PreventContextMenu);
    // Drops go to the owner.
    setAcceptDrops(false);
}

QPoint PictureCanvas::PictureOrigin() const {
    const int x = vp_.dest.x - static_cast<int>(static_cast<int64_t>(vp_.src.x) * vp_.zoom / kZoomActual);
    const int y = vp_.dest.y - static_cast<int>(static_cast<int64_t>(vp_.src.y) * vp_.zoom / kZoomActual);
    return QPoint(x, y);
}

void PictureCanvas::keyPressEvent(QKeyEvent* event) {
    emit keyPressed(event);
    QWidget::keyPressEvent(event);
}

void PictureCanvas::NewPicture(const void* pictureBits) {
    cache_ = ScaledCache{};
    ++generation_;
    // A copy offered for exactly this picture is kept for its first paint.
    const bool offerFits = !offered_.isNull() && offeredBits_ == pictureBits;
    offeredGeneration_ = offerFits ? generation_ : -1;
    if (!offerFits) offered_ = QImage();
    offeredBits_ = nullptr;
}

void PictureCanvas::PixelsChanged() {
    cache_ = ScaledCache{};
    ++generation_;
    update();
}

void PictureCanvas::PixelsChangedIn(const QRect& area) {
    cache_ = ScaledCache{};
    ++generation_;
    update(area);
}

void PictureCanvas::OfferReducedCopy(std::vector<uint32_t>&& rows, int w, int h, const void* pictureBits) {
    offered_ = QImage();
    if (rows.size() != static_cast<size_t>(w) * static_cast<size_t>(h) || w < 1 || h < 1) return;
    auto* owned = new std::vector<uint32_t>(std::move(rows));
    offered_ = QImage(
        reinterpret_cast<const uchar*>(owned->data()), w, h, static_cast<qsizetype>(w) * 4, QImage::Format_RGB32,
        [](void* p) { delete static_cast<std::vector<uint32_t>*>(p); }, owned);
    offeredBits_ = pictureBits;
}

void PictureCanvas::MoveDrawnPixels(const ViewPoint& shift) {
    if (shift.x == 0 && shift.y == 0) return;
    if (vp_.zoom == kZoomActual) {
        // Whole pixels: the drawn ones move, only the uncovered part is painted.
        scroll(shift.x, shift.y, ToQRect(vp_.dest));
    } else {
        update();
    }
}

void PictureCanvas::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Paint(painter, rect());
}

const QImage& PictureCanvas::SmoothScaled(const CanvasFrame& shown) {
    const ImageBuffer& frame = *shown.image;
    const bool whole = vp_.zoom < kZoomActual;
    // Zoomed out: the whole picture once at the display size; zoomed in: the drawn part.
    const QRect src = whole ? QRect(0, 0, vp_.pictureW, vp_.pictureH) : ToQRect(vp_.src);
    const QSize size = whole ? QSize(vp_.displayW, vp_.displayH) : QSize(vp_.dest.w, vp_.dest.h);
    if (cache_.generation == generation_ && cache_.bits == frame.bits() && cache_.frame == shown.index &&
        cache_.zoom == vp_.zoom && cache_.src == src && cache_.size == size && !cache_.image.isNull()) {
        return cache_.image;
    }
    bool done = false;
    if (whole && offeredGeneration_ == generation_ && offered_.size() == size && frame.bits() == shown.pictureBits) {
        // Made ahead while the picture was decoded in the background.
        cache_.image = std::move(offered_);
        done = true;
    }
    offered_ = QImage();
    offeredGeneration_ = -1;
    if (whole && !done) {
        ++reductionsMade_;
        // Reduced by box averages straight from the rows.
        QImage reduced(size, QImage::Format_RGB32);
        done = !reduced.isNull() && BoxReduce(frame, size.width(), size.height(),
                                              reinterpret_cast<uint32_t*>(reduced.bits()),
                                              static_cast<size_t>(reduced.bytesPerLine()));
        if (done) cache_.image = std::move(reduced);
    }
    if (!done) {
        // Stored rows are bottom-up: scaled as they are, then turned upright.
        const QImage rows = StoredRowsImage(frame);
        const QRect stored(src.x(), frame.height() - src.y() - src.height(), src.width(), src.height());
        const QImage part = whole ? rows : rows.copy(stored);
        cache_.image = part.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).mirrored(false, true);
    }
    cache_.bits = frame.bits();
    cache_.frame = shown.index;
    cache_.zoom = vp_.zoom;
    cache_.src = src;
    cache_.size = size;
    cache_.generation = generation_;
    return cache_.image;
}

void PictureCanvas::Paint(QPainter& painter, const QRect& area) {
    const CanvasOptions options = options_ ? options_() : CanvasOptions{};
    const CanvasFrame shown = frame_ ? frame_() : CanvasFrame{};
    const QColor background = BackgroundColour(options.bgColor);
    if (!shown.image) {
        painter.fillRect(area, background);
        return;
    }
    const QRect dest = ToQRect(vp_.dest);
    // The strips beside and above/below the picture.
    if (dest.left() > area.left()) painter.fillRect(QRect(area.left(), area.top(), dest.left(), area.height()), background);
    if (dest.right() < area.right())
        painter.fillRect(QRect(dest.right() + 1, area.top(), area.right() - dest.right(), area.height()), background);
    if (dest.top() > area.top()) painter.fillRect(QRect(dest.left(), area.top(), dest.width(), dest.top()), background);
    if (dest.bottom() < area.bottom())
        painter.fillRect(QRect(dest.left(), dest.bottom() + 1, dest.width(), area.bottom() - dest.bottom()),
                         background);

    if (shown.preview && !shown.preview->isNull() && vp_.pictureW > 0 && vp_.pictureH > 0) {
        // The drawn part of the picture, taken from the stand-in at its own scale.
        const QImage& p = *shown.preview;
        const double sx = static_cast<double>(p.width()) / vp_.pictureW;
        const double sy = static_cast<double>(p.height()) / vp_.pictureH;
        const QRectF from(vp_.src.x * sx, vp_.src.y * sy, vp_.src.w * sx, vp_.src.h * sy);
        if (std::abs(from.width() - dest.width()) < 0.01 && std::abs(from.height() - dest.height()) < 0.01) {
            // At its own size (the usual first paint): copied as it is.
            painter.drawImage(dest.topLeft(), p, QRect(qRound(from.x()), qRound(from.y()), dest.width(), dest.height()));
        } else {
            painter.setRenderHint(QPainter::SmoothPixmapTransform, options.smooth);
            painter.drawImage(QRectF(dest), p, from);
        }
        return;
    }
    const ImageBuffer& frame = *shown.image;
    if (frame.empty() || frame.width() != vp_.pictureW || frame.height() != vp_.pictureH) {
        painter.fillRect(dest, background);
        return;
    }
    const bool scaled = vp_.displayW != vp_.pictureW || vp_.displayH != vp_.pictureH;
    if (options.smooth && scaled) {
        const QImage& copy = SmoothScaled(shown);
        if (vp_.zoom < kZoomActual) {
            // The drawn part of the whole scaled copy.
            const int x = static_cast<int>(static_cast<int64_t>(vp_.src.x) * vp_.displayW / vp_.pictureW);
            const int y = static_cast<int>(static_cast<int64_t>(vp_.src.y) * vp_.displayH / vp_.pictureH);
            const QRect part(std::clamp(x, 0, std::max(copy.width() - dest.width(), 0)),
                             std::clamp(y, 0, std::max(copy.height() - dest.height(), 0)), dest.width(),
                             dest.height());
            painter.drawImage(dest.topLeft(), copy, part);
        } else {
            painter.drawImage(dest.topLeft(), copy);
        }
    } else {
        const QImage rows = StoredRowsImage(frame);
        if (rows.isNull()) {
            painter.fillRect(dest, background);
            return;
        }
        // Drawn flipped: stored row 0 is the bottom row.
        const QRect stored(vp_.src.x, frame.height() - vp_.src.y - vp_.src.h, vp_.src.w, vp_.src.h);
        painter.save();
        painter.setClipRect(dest);
        painter.translate(dest.left(), dest.top() + dest.height());
        painter.scale(1, -1);
        painter.drawImage(QRectF(0, 0, dest.width(), dest.height()), rows, stored);
        painter.restore();
    }
    if (options.rubberBand) {
        painter.setCompositionMode(QPainter::RasterOp_NotDestination);
        painter.setPen(QPen(Qt::white, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRect(QPoint(vp_.anchor.x, vp_.anchor.y), QPoint(vp_.corner.x, vp_.corner.y)).normalized());
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
}

}  // namespace lumra::ui
