#include "ui/clipboard.h"

#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include "formats/bmp/bmp_codec.h"
#include "ui/picture_image.h"

namespace lumra::ui {
namespace {

const QString kBmpType = QStringLiteral("image/bmp");

// Another program's image as a packed 24-bit DIB (info header and bottom-up rows).
std::vector<uint8_t> ImageToPackedDib(const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_RGB888);
    if (image.isNull()) return {};
    const int w = image.width();
    const int h = image.height();
    const size_t stride = PaddedRowBytes(w, 24);
    if (stride == 0 || h <= 0 || h > kMaxPictureSide || w > kMaxPictureSide) return {};
    std::vector<uint8_t> dib(40 + stride * static_cast<size_t>(h), 0);
    auto put32 = [&dib](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) dib[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    put32(0, 40);
    put32(4, static_cast<uint32_t>(w));
    put32(8, static_cast<uint32_t>(h));
    dib[12] = 1;
    dib[14] = 24;
    for (int y = 0; y < h; ++y) {
        const uchar* src = image.constScanLine(h - 1 - y);
        uint8_t* dst = dib.data() + 40 + stride * static_cast<size_t>(y);
        for (int x = 0; x < w; ++x) {
            dst[3 * x] = src[3 * x + 2];
            dst[3 * x + 1] = src[3 * x + 1];
            dst[3 * x + 2] = src[3 * x];
        }
    }
    return dib;
}

void Put32(QByteArray& bytes, int at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(v >> (8 * i));
}

}  // namespace

QMimeData* PictureMimeData(const ImageBuffer& image) {
    if (image.empty()) return nullptr;
    const std::vector<uint8_t> dib = WriteClipboardDib(image);
    if (dib.size() < 40 + image.imageBytes()) return nullptr;
    QByteArray bmp(14, '\0');
    bmp[0] = 'B';
    bmp[1] = 'M';
    Put32(bmp, 2, static_cast<uint32_t>(14 + dib.size()));
    // The rows follow the header and the colour table.
    Put32(bmp, 10, static_cast<uint32_t>(14 + dib.size() - image.imageBytes()));
    bmp.append(reinterpret_cast<const char*>(dib.data()), static_cast<qsizetype>(dib.size()));
    auto* mime = new QMimeData;
    mime->setData(kBmpType, bmp);
    // Top-down, a copy that owns its pixels, for programs that read images.
    mime->setImageData(StoredRowsImage(image).mirrored().convertToFormat(QImage::Format_RGB32));
    return mime;
}

void CopyPictureToClipboard(const ImageBuffer& image) {
    if (QMimeData* mime = PictureMimeData(image)) QGuiApplication::clipboard()->setMimeData(mime);
}

std::vector<uint8_t> ClipboardDib(const QMimeData* mime) {
    if (!mime) return {};
    std::vector<uint8_t> dib;
    if (mime->hasFormat(kBmpType)) {
        // A BMP file: the packed DIB follows the 14-byte file header.
        const QByteArray bmp = mime->data(kBmpType);
        if (bmp.size() > 14 && bmp.startsWith("BM")) dib.assign(bmp.begin() + 14, bmp.end());
    }
    if (dib.empty() && mime->hasImage()) dib = ImageToPackedDib(qvariant_cast<QImage>(mime->imageData()));
    return dib;
}

bool ClipboardHasPicture() {
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    return mime && (mime->hasImage() || mime->hasFormat(kBmpType));
}

}  // namespace lumra::ui
