#include "ui/print_page.h"

#include <QPainter>

#include "output/print_pdf.h"

namespace lumra::ui {

QImage PlacementSource(const ImageBuffer& image, const PrintRect& source) {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    if (!PictureRgb(image, source, w, h, rgb)) return QImage();
    return QImage(rgb.data(), w, h, static_cast<qsizetype>(w) * 3, QImage::Format_RGB888).copy();
}

bool PaintPrintPage(QPainter& painter, const ImageBuffer& image, const PrintLayout& layout, const PageDevice& device) {
    const PrintPlacement place = PlaceOnDevice(layout, device);
    const QImage source = PlacementSource(image, place.source);
    if (source.isNull()) return false;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(place.target.left, place.target.top, place.target.width(), place.target.height()), source);
    return true;
}

}  // namespace lumra::ui
