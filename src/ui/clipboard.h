// The picture on the clipboard: a BMP block (a packed DIB behind a file header) for this
// program and a QImage for others.
#pragma once

#include <cstdint>
#include <vector>

#include "formats/image_buffer.h"

class QImage;
class QMimeData;

namespace lumra::ui {

// The clipboard's contents for a picture; nullptr when the picture cannot be written.
QMimeData* PictureMimeData(const ImageBuffer& image);
// Puts the picture on the clipboard; a failure leaves the clipboard as it was.
void CopyPictureToClipboard(const ImageBuffer& image);
// The packed DIB of what the clipboard holds: BMP data first, else any image; empty if none.
std::vector<uint8_t> ClipboardDib(const QMimeData* mime);
// Whether the clipboard holds a picture that paste can take.
bool ClipboardHasPicture();

}  // namespace lumra::ui
