#include "output/print_pdf.h"

#include "output/pdf_page.h"

namespace lumra {

PageDevice PdfDevice(int paperWidth, int paperHeight, int marginLeft, int marginTop, int marginRight,
                     int marginBottom) {
    auto px = [](int tenths) { return static_cast<int>(RoundHalfAway(tenths * double{kPdfDeviceDpi} / 254)); };
    PageDevice d;
    d.dpiX = d.dpiY = kPdfDeviceDpi;
    d.physicalWidth = px(paperWidth);
    d.physicalHeight = px(paperHeight);
    d.offsetX = px(marginLeft);
    d.offsetY = px(marginTop);
    d.horzRes = d.physicalWidth - d.offsetX - px(marginRight);
    d.vertRes = d.physicalHeight - d.offsetY - px(marginBottom);
    return d;
}

bool PictureRgb(const ImageBuffer& img, const PrintRect& s, int& width, int& height, std::vector<uint8_t>& rgb) {
    const int bpp = img.bitCount();
    if (img.empty() || (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24)) return false;
    if (s.left < 0 || s.top < 0 || s.right > img.width() || s.bottom > img.height() || s.width() <= 0 ||
        s.height() <= 0)
        return false;
    width = s.width();
    height = s.height();
    rgb.resize(static_cast<size_t>(width) * height * 3);
    uint8_t* d = rgb.data();
    for (int y = s.top; y < s.bottom; ++y) {
        const uint8_t* row = img.topRow(y);
        for (int x = s.left; x < s.right; ++x, d += 3) {
            if (bpp == 24) {
                d[0] = row[x * 3 + 2];
                d[1] = row[x * 3 + 1];
                d[2] = row[x * 3];
                continue;
            }
            int index = 0;
            if (bpp == 8) index = row[x];
            else if (bpp == 4) index = (row[x / 2] >> (x % 2 ? 0 : 4)) & 15;
            else index = (row[x / 8] >> (7 - x % 8)) & 1;
            const RgbQuad& c = img.palette[index];
            d[0] = c.red;
            d[1] = c.green;
            d[2] = c.blue;
        }
    }
    return true;
}

std::string PrintToPdf(const ImageBuffer& image, const PrintLayout& layout, const PageDevice& device,
                       const std::string& title) {
    const PrintPlacement place = PlaceOnDevice(layout, device);
    PdfPicture picture;
    if (!PictureRgb(image, place.source, picture.width, picture.height, picture.rgb)) return {};
    const double pt = 72.0 / device.dpiX, ptY = 72.0 / device.dpiY;
    return MakePdfPage(device.physicalWidth * pt, device.physicalHeight * ptY, picture,
                       (device.offsetX + place.target.left) * pt, (device.offsetY + place.target.top) * ptY,
                       place.target.width() * pt, place.target.height() * ptY, title);
}

}  // namespace lumra
