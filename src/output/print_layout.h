// Page layout of a printed picture: every page measure is in tenths of a millimetre.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumra {

inline constexpr int kPreviewSide = 400;    // the paper's longer side in the preview box
inline constexpr int kMinPrintSide = 200;   // 20.0 mm for the picture's longer side
inline constexpr int kHandleTolerance = 7;  // preview pixels around a corner
inline constexpr int kHandleSize = 9;

// Half away from zero.
int64_t RoundHalfAway(double v);

// What a printer reports, in device pixels.
struct PageDevice {
    int horzRes = 0, vertRes = 0;                // printable area
    int physicalWidth = 0, physicalHeight = 0;  // paper
    int offsetX = 0, offsetY = 0;                // printable area on the paper
    int dpiX = 0, dpiY = 0;
};

struct PageGeometry {
    int printableWidth = 0, printableHeight = 0;  // truncated
    int paperWidth = 0, paperHeight = 0;          // rounded
    int offsetX = 0, offsetY = 0;                 // rounded up
    friend bool operator==(const PageGeometry&, const PageGeometry&) = default;
};
PageGeometry MeasurePage(const PageDevice& device);

struct PrintRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    friend bool operator==(const PrintRect&, const PrintRect&) = default;
};

enum class PrintMode { kNormal, kFull };

struct PrintLayout {
    PageGeometry page;
    int pictureWidth = 1, pictureHeight = 1;  // pixels
    PrintMode mode = PrintMode::kNormal;
    // Normal mode: the picture relative to the printable area's top-left corner.
    int x = 0, y = 0, r = 0, b = 0;
    int minWidth = 0, minHeight = 0;
    int dpi = 1;
    // Full page: the part of the picture that fills the printable area (pixels, from the top).
    int cropX = 0, cropY = 0, cropWidth = 0, cropHeight = 0;
    // Preview: the paper in the 400 x 400 box; preview pixels per 10000 units (0.1 mm, or
    // picture pixels in full-page mode); the printable area in full-page mode.
    PrintRect paper;
    int scale = 1;
    PrintRect printableArea;
};

// The first dpi: from the picture's pixels per metre, else the screen's dpi.
int InitialPrintDpi(int xPelsPerMeter, int yPelsPerMeter, int screenDpiX, int screenDpiY);
// Minimum printed size: 200 for the longer side, the shorter in proportion.
void MinimumPrintSize(int width, int height, int& minWidth, int& minHeight);
// A new layout: the picture at the top-left corner at the given dpi, laid out.
PrintLayout StartPrintLayout(const PageGeometry& page, int pictureWidth, int pictureHeight, int dpi);
// Lays out again after any change (also a new page or mode); recentres the full-page crop.
void UpdatePrintLayout(PrintLayout& layout);
void UpdatePrintDpi(PrintLayout& layout);

// Typed values in 0.1 mm. False when nothing changed.
bool SetPrintLeft(PrintLayout& layout, int value);
bool SetPrintTop(PrintLayout& layout, int value);
bool SetPrintWidth(PrintLayout& layout, int value);
bool SetPrintHeight(PrintLayout& layout, int value);
// An edit's text: a decimal number of millimetres, in 0.1 mm; nullopt when not a number.
std::optional<int> ParsePrintTenths(std::string_view text);
// "%.1f" of a value in 0.1 mm.
std::string FormatPrintTenths(int tenths);
// One up-down click: the text's number plus delta millimetres, truncated to tenths, at least 0.
std::string StepPrintText(std::string_view text, int delta);

// The picture in the preview box (normal mode).
PrintRect PreviewPictureRect(const PrintLayout& layout);

// Mouse: 0 move, 1 bottom-right, 2 top-right, 3 bottom-left, 4 top-left corner.
int PrintHitArea(const PrintLayout& layout, int px, int py);
struct PrintDrag {
    bool held = false;
    int area = 0;
    int startX = 0, startY = 0;  // button-down position
    int lastX = 0, lastY = 0;    // position already applied (moving and panning)
    int startWidth = 0, startHeight = 0;
};
void BeginPrintDrag(const PrintLayout& layout, PrintDrag& drag, int px, int py);
// Applies a move with the button held; true when the layout changed.
bool DragPrintTo(PrintLayout& layout, PrintDrag& drag, int px, int py);

// Where the picture goes on the printer: the source rectangle in picture pixels (from the
// top) and the destination in device pixels relative to the printable area.
struct PrintPlacement {
    PrintRect source;
    PrintRect target;
};
PrintPlacement PlaceOnDevice(const PrintLayout& layout, const PageDevice& device);

// Paper sizes by name (A3, A4, A5, B4, B5, Letter, Legal; case ignored), in 0.1 mm.
bool PaperSize(std::string_view name, int& width, int& height);

}  // namespace lumra
