#include "edit/text/text_tool.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "edit/brush/brush_kernels.h"
#include "formats/blend_table.h"

namespace lumra {

TextArea RenderGlyphs(ImageBuffer& dib, const GlyphRun& run, const TextSettings& s, int x0, int y0) {
    const BlendTable& t = GetBlendTable();
    const int a = OpacityByte(s.opacity);
    const int w = dib.width(), h = dib.height();
    TextArea area{x0, y0, x0, y0};
    auto pass = [&](int penX, int lineTop, const uint8_t (&colour)[3]) {
        uint8_t pre[3];
        for (int c = 0; c < 3; ++c) pre[c] = t.entry[a][colour[c]];
        for (const GlyphRecord& g : run.glyphs) {
            const int left = penX + g.originX;
            const int top = lineTop + run.ascent - g.originY;
            const int bw = static_cast<int>(g.blackBoxX), bh = static_cast<int>(g.blackBoxY);
            const size_t stride = (g.blackBoxX + 3) & ~3u;
            for (int gy = std::max(0, -top); gy < bh && top + gy < h; ++gy) {
                uint8_t* row = dib.topRow(top + gy);
                const uint8_t* levels = g.bits.data() + static_cast<size_t>(gy) * stride;
                for (int gx = std::max(0, -left); gx < bw && left + gx < w; ++gx) {
                    const int weight = CoverageWeight(levels[gx]);
                    if (weight == 0) continue;
                    uint8_t* px = row + 3 * (left + gx);
                    for (int c = 0; c < 3; ++c) {
                        const int d = px[c];
                        px[c] = static_cast<uint8_t>(t.entry[weight][pre[c] + t.entry[255 - a][d]] +
                                                     t.entry[255 - weight][d]);
                    }
                }
            }
            area.left = std::min(area.left, left);
            area.top = std::min(area.top, top);
            area.right = std::max(area.right, left + bw);
            area.bottom = std::max(area.bottom, top + bh);
            penX += g.cellIncX + s.spacing;
        }
    };
    if (s.shadow) pass(x0 + s.shadowX, y0 + s.shadowY, {s.shadowBlue, s.shadowGreen, s.shadowRed});
    pass(x0, y0, {s.blue, s.green, s.red});
    return area;
}

bool TextTool::Start(const ImageBuffer& picture) {
    source = WidenTo24(picture);
    if (source.empty()) return false;
    dib = source.Clone();
    drawn = false;
    return !dib.empty();
}

void TextTool::Render(int x0, int y0) {
    if (drawn) {
        const int left = std::max(covered.left, 0), right = std::min(covered.right, dib.width());
        for (int row = std::max(covered.top, 0); row < std::min(covered.bottom, dib.height()) && left < right; ++row)
            std::memcpy(dib.topRow(row) + 3 * left, source.topRow(row) + 3 * left,
                        static_cast<size_t>(right - left) * 3);
        drawn = false;
    }
    x = x0;
    y = y0;
    if (run.glyphs.empty()) return;
    covered = RenderGlyphs(dib, run, settings, x0, y0);
    drawn = true;
}

GlyphBuild TextTool::Rebuild() {
    std::u16string text = Utf8To16(settings.text);
    if (text.size() > kTextMaxUnits) text.resize(kTextMaxUnits);
    GlyphRun built;
    GlyphBuild result = GlyphBuild::kOk;
    if (!text.empty()) {
        const FontRequest font{Face(), settings.size, settings.weight, settings.italic, settings.charset, dpi};
        result = BuildGlyphs(font, text, built);
        if (result == GlyphBuild::kNoFont) return result;  // quietly, as it was
    }
    run = std::move(built);
    Render(x, y);
    return result;
}

void TextTool::MoveBy(int dx, int dy) {
    int nx = x + dx, ny = y + dy;
    const int w = dib.width(), h = dib.height();
    if (drawn) {
        const int right = covered.right - x, bottom = covered.bottom - y;
        if (nx + right >= w) nx = w + 1 - right;
        if (ny + bottom >= h) ny = h + 1 - bottom;
    }
    if (!run.glyphs.empty()) {
        if (nx + run.minOriginX < 0) nx = -run.minOriginX;
        if (ny + run.minTop < 0) ny = -run.minTop;
    }
    Render(nx, ny);
}

TextTool* ActiveText(EditModel& model) {
    OperationRecord* r = model.active.get();
    if (!r || !r->def || r->def->kind != kOpText) return nullptr;
    return static_cast<TextTool*>(r->data.get());
}

bool StartText(Document& doc, OperationRecord& record) {
    std::shared_ptr<TextTool> tool(new (std::nothrow) TextTool);
    if (!tool || !tool->Start(doc.picture.image) || tool->Rebuild() == GlyphBuild::kFailed) {
        if (doc.ui.showError) doc.ui.showError(kErrDisplay);
        return false;
    }
    record.data = tool;
    return true;
}

bool FinishText(Document& doc, OperationRecord& record, bool ok) {
    auto* tool = static_cast<TextTool*>(record.data.get());
    if (!tool || !ok || tool->settings.text.empty()) return false;
    CommitPreview(doc, std::move(tool->dib), kTextHistoryName);
    return true;
}

}  // namespace lumra
