// A one-page PDF file holding one picture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lumra {

struct PdfPicture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;  // R,G,B, rows from the top
};

// The page is pageWidth x pageHeight points; the picture is stretched into the rectangle
// left, top, width, height (points, from the page's top-left corner). Empty on failure.
std::string MakePdfPage(double pageWidth, double pageHeight, const PdfPicture& picture, double left,
                        double top, double width, double height, const std::string& title);

}  // namespace lumra
