// The text tool: one line of text rendered with a shadow into a copy of the picture, placed
// by its origin, and its row of the operation table.
#pragma once

#include <string>

#include "document/document.h"
#include "edit/edit_model.h"
#include "edit/text/glyphs.h"

namespace lumra {

inline constexpr const char* kTextHistoryName = "テキスト挿入";
inline constexpr size_t kTextMaxUnits = 259;

struct TextSettings {
    std::string text = "<ここに文字を入力>";  // UTF-8
    std::string faceLatin = "MS UI Gothic";
    std::string faceJapanese = "MS UI Gothic";
    int size = 36;  // points, 6..720
    int weight = 400;
    bool italic = false;
    int charset = kCharsetJapanese;
    int spacing = 0;  // extra pixels between characters, 0..99
    uint8_t red = 255, green = 255, blue = 255;
    int opacity = 70;  // percent
    bool shadow = true;
    int shadowX = 2, shadowY = 2;  // 1..99
    uint8_t shadowRed = 0, shadowGreen = 0, shadowBlue = 0;
};

// Pixels from the top-left, right and bottom exclusive.
struct TextArea {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// Coverage level 0..64 as a weight 0..255.
inline int CoverageWeight(int level) { return level * 255 >> 6; }

// Draws the run at origin (x0, y0): the shadow pass, then the text pass. Returns the area
// covered (from the origin, widened by every black box of both passes).
TextArea RenderGlyphs(ImageBuffer& dib, const GlyphRun& run, const TextSettings& s, int x0, int y0);

struct TextTool {
    TextSettings settings;
    ImageBuffer source;  // the picture, 24-bit
    ImageBuffer dib;     // the source with the text
    GlyphRun run;
    int x = 0, y = 0;  // origin: pen position of the first character, top of the line
    TextArea covered;  // of the last rendering
    bool drawn = false;
    int dpi = 96;

    bool Start(const ImageBuffer& picture);
    const std::string& Face() const {
        return settings.charset == kCharsetLatin ? settings.faceLatin : settings.faceJapanese;
    }
    // Rebuilds the glyphs from the text and font settings and renders at the origin; an empty
    // text restores the picture. kFailed leaves nothing drawn.
    GlyphBuild Rebuild();
    // Restores what the last rendering covered, then draws at (x0, y0).
    void Render(int x0, int y0);
    // Dragging: moves the origin by (dx, dy) picture pixels, kept so that the ink stays
    // within the picture's edges, and renders.
    void MoveBy(int dx, int dy);
};

TextTool* ActiveText(EditModel& model);

bool StartText(Document& doc, OperationRecord& record);
bool FinishText(Document& doc, OperationRecord& record, bool ok);

}  // namespace lumra
