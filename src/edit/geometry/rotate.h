// Rotation by any angle: the nearest-neighbour preview, the bilinear final rotation into a
// larger picture, and the rules of the rotation bar (angle text, grid, line tool).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/image_buffer.h"

namespace lumra {

inline constexpr double kRotationPi = 3.1415926535;
inline constexpr int kAngleMin = -1800;  // tenths of a degree, as the controls hold it
inline constexpr int kAngleMax = 1800;

struct BackgroundColour {
    uint8_t red = 255, green = 255, blue = 255;
    friend bool operator==(const BackgroundColour&, const BackgroundColour&) = default;
};

// The angle as kept by the operation: 0..3599 (a negative control value plus 3600).
int StoredAngle(int tenths);

// W' x H' of the final rotation (the turned picture plus a margin of 5); may exceed 25000.
struct RotatedSize {
    int64_t width = 0, height = 0;
};
RotatedSize RotatedSizeFor(int width, int height, int storedAngle);

// Preview: src and dst 24-bit of the same size; corners turned outside are cut off.
void RotatePreview(const ImageBuffer& src, ImageBuffer& dst, int storedAngle, BackgroundColour background);

// Final rotation of a 24-bit picture into W' x H'; empty when that exceeds 25000 a side or
// memory runs out.
ImageBuffer RotatePicture(const ImageBuffer& src, int storedAngle, BackgroundColour background);

// Text of the angle box: decimal degrees times 10, rounded half away from zero. Loose
// (the edit box): a leading number, 0 when there is none. Strict: the whole text must be
// a number.
std::optional<int> ParseAngleTenths(std::string_view text, bool strict);
std::string FormatAngle(int tenths);  // "%.1f" degrees

// The rotation bar's angle (tenths, -1800..1800).
struct RotateBar {
    int tenths = 0;
    // Edit box change: true when the angle was taken (a preview is due).
    bool TypeText(std::string_view text);
    // Trackbar or up-down moved to pos: the text the edit box receives.
    static std::string TextForPosition(int pos) { return FormatAngle(pos); }
    int Stored() const { return StoredAngle(tenths); }
};

// The line tool: a line of (dx, dy) view pixels (y down) drawn in horizontal (false) or
// vertical (true) mode gives the text to put into the angle box; nothing for a line
// shorter than 9 pixels on both axes.
std::optional<std::string> LineToolText(int currentTenths, int dx, int dy, bool vertical);

// The line tool's drag on the preview pane (view pixels). The grid is hidden while it is held.
struct LineTool {
    bool held = false;
    int anchorX = 0, anchorY = 0, endX = 0, endY = 0;
    void Press(int x, int y) {
        held = true;
        anchorX = endX = x;
        anchorY = endY = y;
    }
    // The end stays on the displayed picture (inclusive bounds).
    void Move(int x, int y, int left, int top, int right, int bottom);
    // Button up: the text for the angle box, or nothing for a line too short.
    std::optional<std::string> Release(int currentTenths, bool vertical);
    bool GridShown(bool gridOn) const { return gridOn && !held; }
};

// View positions of the grid lines across a view length: 32, 64, ...
std::vector<int> GridLines(int viewLength);

}  // namespace lumra
