// QImage views of an ImageBuffer's rows.
#pragma once

#include <QColor>
#include <QImage>

#include "formats/image_buffer.h"

namespace lumra::ui {

// The stored rows as a QImage without a copy: row 0 of the result is the picture's
// bottom row, so it is drawn flipped. 24 bits: BGR888; 8 bits: Indexed8 with the
// palette; 1 bit: Mono. 4-bit rows have no QImage form and are widened into a copy.
// A null image for an empty buffer or another depth.
QImage StoredRowsImage(const ImageBuffer& image);

// The background colours of the view: 0 white, 1 light grey, 2 grey, 3 dark grey, 4 black.
QColor BackgroundColour(int bgColor);

}  // namespace lumra::ui
