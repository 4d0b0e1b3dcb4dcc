// Painting the printed page: the same for the printer and the preview's picture source.
#pragma once

#include <QImage>

#include "formats/image_buffer.h"
#include "output/print_layout.h"

class QPainter;

namespace lumra::ui {

// The picture's source rectangle as a top-down RGB image (shared with the PDF page).
QImage PlacementSource(const ImageBuffer& image, const PrintRect& source);
// Paints the picture where the layout puts it. The painter's origin is the printable area's
// top-left corner, in device pixels. False when the picture cannot be converted.
bool PaintPrintPage(QPainter& painter, const ImageBuffer& image, const PrintLayout& layout, const PageDevice& device);

}  // namespace lumra::ui
