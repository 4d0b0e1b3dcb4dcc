// The printed page as a PDF file, for a printer that is a file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/image_buffer.h"
#include "output/print_layout.h"

namespace lumra {

inline constexpr int kPdfDeviceDpi = 720;  // ten device pixels per point

// A device for a paper of width x height (0.1 mm) with margins (0.1 mm) around the printable area.
PageDevice PdfDevice(int paperWidth, int paperHeight, int marginLeft, int marginTop, int marginRight,
                     int marginBottom);
// The picture as R,G,B rows from the top, cut to the source rectangle (1-, 4-, 8- or 24-bit).
bool PictureRgb(const ImageBuffer& image, const PrintRect& source, int& width, int& height,
                std::vector<uint8_t>& rgb);
// The whole PDF file of the page; empty on failure.
std::string PrintToPdf(const ImageBuffer& image, const PrintLayout& layout, const PageDevice& device,
                       const std::string& title);

}  // namespace lumra
