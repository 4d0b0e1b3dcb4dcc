#include "output/print_layout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace lumra {

namespace {

int Rnd(double v) { return static_cast<int>(RoundHalfAway(v)); }
// Picture-proportional side: rnd(value * num / den) in 64 bits.
int Scaled(int64_t value, int64_t num, int64_t den) {
    return den > 0 ? Rnd(static_cast<double>(value) * static_cast<double>(num) / static_cast<double>(den)) : 0;
}

}  // namespace

int64_t RoundHalfAway(double v) {
    return static_cast<int64_t>(v < 0 ? -std::floor(-v + 0.5) : std::floor(v + 0.5));
}

PageGeometry MeasurePage(const PageDevice& d) {
    PageGeometry g;
    if (d.dpiX <= 0 || d.dpiY <= 0) return g;
    g.printableWidth = static_cast<int>(int64_t{d.horzRes} * 254 / d.dpiX);
    g.printableHeight = static_cast<int>(int64_t{d.vertRes} * 254 / d.dpiY);
    g.paperWidth = Scaled(d.physicalWidth, 254, d.dpiX);
    g.paperHeight = Scaled(d.physicalHeight, 254, d.dpiY);
    g.offsetX = static_cast<int>(std::ceil(static_cast<double>(d.offsetX) * 254 / d.dpiX));
    g.offsetY = static_cast<int>(std::ceil(static_cast<double>(d.offsetY) * 254 / d.dpiY));
    return g;
}

int InitialPrintDpi(int xPelsPerMeter, int yPelsPerMeter, int screenDpiX, int screenDpiY) {
    int64_t p;
    if (int64_t{xPelsPerMeter} + yPelsPerMeter > 1) {
        p = (int64_t{xPelsPerMeter} + yPelsPerMeter) / 2;
    } else {
        const int64_t sx = static_cast<int64_t>(screenDpiX / 0.0254 + 0.5);
        const int64_t sy = static_cast<int64_t>(screenDpiY / 0.0254 + 0.5);
        p = sx + sy > 1 ? (sx + sy) / 2 : 3780;
    }
    return std::max(1, static_cast<int>(RoundHalfAway(static_cast<double>(p) * 0.0254)));
}

void MinimumPrintSize(int width, int height, int& minWidth, int& minHeight) {
    if (width >= height) {
        minWidth = kMinPrintSide;
        minHeight = Scaled(height, kMinPrintSide, width);
    } else {
        minHeight = kMinPrintSide;
        minWidth = Scaled(width, kMinPrintSide, height);
    }
}

PrintLayout StartPrintLayout(const PageGeometry& page, int pictureWidth, int pictureHeight, int dpi) {
    PrintLayout l;
    l.page = page;
    l.pictureWidth = std::max(1, pictureWidth);
    l.pictureHeight = std::max(1, pictureHeight);
    dpi = std::max(1, dpi);
    l.r = Scaled(l.pictureWidth, 254, dpi);
    l.b = Scaled(l.pictureHeight, 254, dpi);
    MinimumPrintSize(l.pictureWidth, l.pictureHeight, l.minWidth, l.minHeight);
    l.dpi = dpi;
    UpdatePrintLayout(l);
    return l;
}

void UpdatePrintDpi(PrintLayout& l) {
    l.dpi = l.r > l.x ? std::max(1, Scaled(l.pictureWidth, 254, l.r - l.x)) : 1;
}

void UpdatePrintLayout(PrintLayout& l) {
    const PageGeometry& p = l.page;
    const int w = l.pictureWidth, h = l.pictureHeight;
    // The paper in the preview box.
    const int longer = std::max(std::max(p.paperWidth, p.paperHeight), 1);
    if (p.paperWidth >= p.paperHeight) {
        const int side = Scaled(p.paperHeight, kPreviewSide, longer);
        l.paper = {0, (kPreviewSide - side) / 2, kPreviewSide, (kPreviewSide - side) / 2 + side};
    } else {
        const int side = Scaled(p.paperWidth, kPreviewSide, longer);
        l.paper = {(kPreviewSide - side) / 2, 0, (kPreviewSide - side) / 2 + side, kPreviewSide};
    }
    l.scale = std::max(1, Rnd(4e6 / longer));

    if (l.mode == PrintMode::kNormal) {
        const int pw = p.printableWidth, ph = p.printableHeight;
        l.r = std::max(l.r, l.x + l.minWidth);
        l.b = std::max(l.b, l.y + l.minHeight);
        if (l.r - l.x > pw) {
            l.x = 0;
            l.r = pw;
            l.b = l.y + Scaled(pw, h, w);
        } else if (l.r > pw) {
            l.x -= l.r - pw;
            l.r = pw;
        }
        if (l.b - l.y > ph) {
            l.y = 0;
            l.b = ph;
            l.r = l.x + Scaled(ph, w, h);
        } else if (l.b > ph) {
            l.y -= l.b - ph;
            l.b = ph;
        }
        UpdatePrintDpi(l);
        return;
    }

    // Full page: the crop keeps the printable area's proportions.
    const int pw = std::max(p.printableWidth, 1), ph = std::max(p.printableHeight, 1);
    const int areaLeft = l.paper.left + Scaled(l.scale, p.offsetX, 10000);
    const int areaTop = l.paper.top + Scaled(l.scale, p.offsetY, 10000);
    l.printableArea = {areaLeft, areaTop, areaLeft + Scaled(l.scale, p.printableWidth, 10000),
                       areaTop + Scaled(l.scale, p.printableHeight, 10000)};
    if (int64_t{ph} * w < int64_t{pw} * h) {
        l.cropWidth = w;
        l.cropHeight = std::clamp(Scaled(ph, w, pw), 1, h);
        l.cropX = 0;
        l.cropY = Rnd((h - l.cropHeight) * 0.5);
        l.scale = std::max(1, Scaled(l.printableArea.width(), 10000, l.cropWidth));
    } else {
        l.cropHeight = h;
        l.cropWidth = std::clamp(Scaled(pw, h, ph), 1, w);
        l.cropY = 0;
        l.cropX = Rnd((w - l.cropWidth) * 0.5);
        l.scale = std::max(1, Scaled(l.printableArea.height(), 10000, l.cropHeight));
    }
}

bool SetPrintLeft(PrintLayout& l, int value) {
    value = std::max(value, 0);
    if (value == l.x) return false;
    l.r += value - l.x;
    l.x = value;
    if (l.r > l.page.printableWidth) {
        l.x -= l.r - l.page.printableWidth;
        l.r = l.page.printableWidth;
    }
    UpdatePrintDpi(l);
    return true;
}

bool SetPrintTop(PrintLayout& l, int value) {
    value = std::max(value, 0);
    if (value == l.y) return false;
    l.b += value - l.y;
    l.y = value;
    if (l.b > l.page.printableHeight) {
        l.y -= l.b - l.page.printableHeight;
        l.b = l.page.printableHeight;
    }
    UpdatePrintDpi(l);
    return true;
}

bool SetPrintWidth(PrintLayout& l, int value) {
    if (value == l.r - l.x) return false;
    const int w = l.pictureWidth, h = l.pictureHeight;
    const int pw = l.page.printableWidth, ph = l.page.printableHeight;
    int r = std::max(l.x + value, l.x + l.minWidth);
    if (r > pw) r = pw;
    int b = l.y + Scaled(r - l.x, h, w);
    if (b > ph) {
        b = ph;
        r = l.x + Scaled(ph - l.y, w, h);
    } else {
        b = std::max(b, l.y + l.minHeight);
    }
    l.r = r;
    l.b = b;
    UpdatePrintDpi(l);
    return true;
}

bool SetPrintHeight(PrintLayout& l, int value) {
    if (value == l.b - l.y) return false;
    const int w = l.pictureWidth, h = l.pictureHeight;
    const int pw = l.page.printableWidth, ph = l.page.printableHeight;
    int b = std::max(l.y + value, l.y + l.minHeight);
    if (b > ph) b = ph;
    int r = l.x + Scaled(b - l.y, w, h);
    if (r > pw) {
        r = pw;
        b = l.y + Scaled(pw - l.x, h, w);
    } else {
        r = std::max(r, l.x + l.minWidth);
    }
    l.r = r;
    l.b = b;
    UpdatePrintDpi(l);
    return true;
}

std::optional<int> ParsePrintTenths(std::string_view text) {
    const std::string s(text);
    const char* begin = s.c_str();
    char* end = nullptr;
    const double v = std::strtod(begin, &end);
    if (end == begin || !std::isfinite(v) || std::fabs(v) > 1e8) return std::nullopt;
    while (*end == ' ') ++end;
    if (*end != '\0') return std::nullopt;
    return static_cast<int>(RoundHalfAway(v * 10));
}

std::string FormatPrintTenths(int tenths) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", tenths / 10.0);
    return buf;
}

std::string StepPrintText(std::string_view text, int delta) {
    const std::string s(text);
    double v = std::strtod(s.c_str(), nullptr);
    if (!std::isfinite(v) || std::fabs(v) > 1e8) v = 0;
    v = std::trunc((v + delta) * 10) / 10;
    if (v < 0) v = 0;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", v);
    return buf;
}

PrintRect PreviewPictureRect(const PrintLayout& l) {
    const int ox = l.page.offsetX, oy = l.page.offsetY;
    return {l.paper.left + Scaled(l.scale, ox + l.x, 10000), l.paper.top + Scaled(l.scale, oy + l.y, 10000),
            l.paper.left + Scaled(l.scale, ox + l.r, 10000), l.paper.top + Scaled(l.scale, oy + l.b, 10000)};
}

int PrintHitArea(const PrintLayout& l, int px, int py) {
    if (l.mode != PrintMode::kNormal) return 0;
    const PrintRect p = PreviewPictureRect(l);
    auto near = [&](int cx, int cy) {
        return std::abs(px - cx) <= kHandleTolerance && std::abs(py - cy) <= kHandleTolerance;
    };
    if (near(p.right, p.bottom)) return 1;
    if (near(p.right, p.top)) return 2;
    if (near(p.left, p.bottom)) return 3;
    if (near(p.left, p.top)) return 4;
    return 0;
}

void BeginPrintDrag(const PrintLayout& l, PrintDrag& d, int px, int py) {
    d.held = true;
    d.area = PrintHitArea(l, px, py);
    d.startX = d.lastX = px;
    d.startY = d.lastY = py;
    d.startWidth = l.r - l.x;
    d.startHeight = l.b - l.y;
}

namespace {

int ToUnits(const PrintLayout& l, int d) { return Scaled(d, 10000, l.scale); }

// A corner drag: the size from the diagonal movement since the button went down,
// proportions kept, the opposite corner fixed.
bool ResizeFromCorner(PrintLayout& l, const PrintDrag& d, int px, int py) {
    const int dx = px - d.startX, dy = py - d.startY;
    int diagonal = 0;
    switch (d.area) {
        case 1: diagonal = dx + dy; break;
        case 2: diagonal = dx - dy; break;
        case 3: diagonal = dy - dx; break;
        default: diagonal = -dx - dy; break;
    }
    const int change = ToUnits(l, diagonal);
    const int w = l.pictureWidth, h = l.pictureHeight;
    int height = d.startHeight + Scaled(change, h, int64_t{h} + w);
    int width = Scaled(height, w, h);
    if (height < l.minHeight || width < l.minWidth) {
        height = l.minHeight;
        width = l.minWidth;
    }
    const bool right = d.area == 1 || d.area == 2, bottom = d.area == 1 || d.area == 3;
    const int x = right ? l.x : l.r - width, r = right ? l.x + width : l.r;
    const int y = bottom ? l.y : l.b - height, b = bottom ? l.y + height : l.b;
    if (x < 0 || y < 0 || r > l.page.printableWidth || b > l.page.printableHeight) return false;
    if (x == l.x && y == l.y && r == l.r && b == l.b) return false;
    l.x = x;
    l.y = y;
    l.r = r;
    l.b = b;
    UpdatePrintDpi(l);
    return true;
}

}  // namespace

bool DragPrintTo(PrintLayout& l, PrintDrag& d, int px, int py) {
    if (!d.held) return false;
    if (l.mode == PrintMode::kNormal && d.area != 0) return ResizeFromCorner(l, d, px, py);
    // Moving and panning go by the movement since the last applied position; a movement
    // too small for one unit waits for the next.
    const int ux = ToUnits(l, px - d.lastX), uy = ToUnits(l, py - d.lastY);
    if (ux != 0) d.lastX = px;
    if (uy != 0) d.lastY = py;
    if (ux == 0 && uy == 0) return false;
    if (l.mode == PrintMode::kFull) {
        const int cx = std::clamp(l.cropX - ux, 0, l.pictureWidth - l.cropWidth);
        const int cy = std::clamp(l.cropY - uy, 0, l.pictureHeight - l.cropHeight);
        if (cx == l.cropX && cy == l.cropY) return false;
        l.cropX = cx;
        l.cropY = cy;
        return true;
    }
    const int w = l.r - l.x, h = l.b - l.y;
    const int x = std::clamp(l.x + ux, 0, std::max(0, l.page.printableWidth - w));
    const int y = std::clamp(l.y + uy, 0, std::max(0, l.page.printableHeight - h));
    if (x == l.x && y == l.y) return false;
    l.x = x;
    l.y = y;
    l.r = x + w;
    l.b = y + h;
    return true;
}

PrintPlacement PlaceOnDevice(const PrintLayout& l, const PageDevice& dev) {
    PrintPlacement p;
    if (l.mode == PrintMode::kFull) {
        p.source = {l.cropX, l.cropY, l.cropX + l.cropWidth, l.cropY + l.cropHeight};
        p.target = {0, 0, dev.horzRes, dev.vertRes};
        return p;
    }
    p.source = {0, 0, l.pictureWidth, l.pictureHeight};
    int x = Scaled(l.x, dev.dpiX, 254), y = Scaled(l.y, dev.dpiY, 254);
    int w = Scaled(l.r - l.x, dev.dpiX, 254), h = Scaled(l.b - l.y, dev.dpiY, 254);
    if (w > dev.horzRes) {
        x = 0;
        w = dev.horzRes;
    } else if (x + w > dev.horzRes) {
        x = dev.horzRes - w;
    }
    if (h > dev.vertRes) {
        y = 0;
        h = dev.vertRes;
    } else if (y + h > dev.vertRes) {
        y = dev.vertRes - h;
    }
    p.target = {x, y, x + w, y + h};
    return p;
}

bool PaperSize(std::string_view name, int& width, int& height) {
    struct Paper {
        const char* name;
        int w, h;
    };
    static constexpr Paper kPapers[] = {{"a3", 2970, 4200}, {"a4", 2100, 2970},   {"a5", 1480, 2100},
                                        {"b4", 2570, 3640}, {"b5", 1820, 2570},   {"letter", 2159, 2794},
                                        {"legal", 2159, 3556}};
    std::string lower(name);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    for (const Paper& p : kPapers)
        if (lower == p.name) {
            width = p.w;
            height = p.h;
            return true;
        }
    return false;
}

}  // namespace lumra
