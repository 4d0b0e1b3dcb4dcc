#include "ui/picture_image.h"

#include "view/window_toggles.h"

#include <QList>

namespace lumra::ui {

namespace {

QList<QRgb> ColourTable(const Palette& palette, int count) {
    QList<QRgb> table;
    table.reserve(count);
    for (int i = 0; i < count; ++i) table.push_back(qRgb(palette[i].red, palette[i].green, palette[i].blue));
    return table;
}

}  // namespace

QImage StoredRowsImage(const ImageBuffer& image) {
    if (image.empty() || image.width() <= 0 || image.height() <= 0) return QImage();
    const int w = image.width();
    const int h = image.height();
    const qsizetype stride = static_cast<qsizetype>(image.stride());
    switch (image.bitCount()) {
        case 24:
            return QImage(image.bits(), w, h, stride, QImage::Format_BGR888);
        case 8: {
            QImage view(image.bits(), w, h, stride, QImage::Format_Indexed8);
            view.setColorTable(ColourTable(image.palette, 256));
            return view;
        }
        case 1: {
            QImage view(image.bits(), w, h, stride, QImage::Format_Mono);
            view.setColorTable(ColourTable(image.palette, 2));
            return view;
        }
        case 4: {
            QImage wide(w, h, QImage::Format_Indexed8);
            if (wide.isNull()) return QImage();
            wide.setColorTable(ColourTable(image.palette, 16));
            for (int y = 0; y < h; ++y) {
                const uint8_t* src = image.storedRow(y);
                uchar* dst = wide.scanLine(y);
                for (int x = 0; x < w; ++x) dst[x] = (x & 1) ? (src[x >> 1] & 0x0F) : (src[x >> 1] >> 4);
            }
            return wide;
        }
        default:
            return QImage();
    }
}

QColor BackgroundColour(int bgColor) { return QColor::fromRgb(0xFF000000u | BackgroundRgb(bgColor)); }

}  // namespace lumra::ui
