#include "edit/select/selection_tool.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>

#include "edit/brush/brush_kernels.h"
#include "edit/row_loops.h"
#include "formats/blend_table.h"

namespace lumra {
namespace {

enum class Writer { kSet0, kSet255, kLeave };

struct Writers {
    Writer inside;
    Writer outside;
};

// The writer pair for the next shape, by creation method and whether a mask is there.
Writers ChooseWriters(const SelectionTool& t) {
    const bool existing = t.hadMask || t.changed;
    switch (t.settings.mode) {
        case kSelectAdd:
            return existing ? Writers{Writer::kSet0, Writer::kLeave}
                            : Writers{Writer::kSet0, Writer::kSet255};
        case kSelectExclude:
            return existing ? Writers{Writer::kSet255, Writer::kLeave}
                            : Writers{Writer::kSet255, Writer::kSet0};
        default:
            return {Writer::kSet0, Writer::kSet255};
    }
}

inline void Write(Writer w, uint8_t& cell) {
    if (w == Writer::kSet0)
        cell = 0;
    else if (w == Writer::kSet255)
        cell = 255;
}

size_t Index(const SelectionTool& t, int x, int y) {
    return static_cast<size_t>(t.height - 1 - y) * static_cast<size_t>(t.width) +
           static_cast<size_t>(x);
}

bool Inside(const SelectionTool& t, int x, int y) {
    return x >= 0 && y >= 0 && x < t.width && y < t.height;
}

void Rerender(SelectionTool& t) {
    ImageBuffer o = RenderOverlay(t.view, t.mask.data());
    if (!o.empty()) t.overlay = std::move(o);
}

// Overlay pixels of a rectangle (picture coordinates, right and bottom exclusive).
void RerenderRect(SelectionTool& t, int left, int top, int right, int bottom) {
    if (t.overlay.empty()) return;
    const BlendTable& bt = GetBlendTable();
    for (int y = top; y < bottom; ++y) {
        const uint8_t* s = t.view.topRow(y);
        uint8_t* d = t.overlay.topRow(y);
        for (int x = left; x < right; ++x) {
            const unsigned m = t.mask[Index(t, x, y)];
            const uint8_t* px = s + 3 * x;
            uint8_t* out = d + 3 * x;
            if (m == 0) {
                out[0] = px[0], out[1] = px[1], out[2] = px[2];
                continue;
            }
            const unsigned luma =
                ((30u * px[0]) >> 8) + ((151u * px[1]) >> 8) + ((77u * px[2]) >> 8);
            const auto grey = static_cast<uint8_t>(64 + (luma >> 1));
            for (int c = 0; c < 3; ++c)
                out[c] = m == 255
                             ? grey
                             : static_cast<uint8_t>(bt.entry[255 - m][px[c]] + bt.entry[m][grey]);
        }
    }
}

// One application of a shape: inside[i] (bottom-up like the mask) picks the writer.
void ApplyShape(SelectionTool& t, const std::vector<uint8_t>& inside) {
    const Writers w = ChooseWriters(t);
    for (size_t i = 0; i < t.mask.size(); ++i) Write(inside[i] ? w.inside : w.outside, t.mask[i]);
    t.changed = true;
    Rerender(t);
}

long Round(double v) {
    return std::lround(v);
}

void ApplyRectOrEllipse(SelectionTool& t, int ex, int ey, bool shift) {
    int dx = ex - t.startX, dy = ey - t.startY;
    if (dx == 0 && dy == 0) return;  // a click without a drag
    if (shift) {
        const int side = (std::abs(dx) + std::abs(dy)) / 2;
        dx = dx < 0 ? -side : side;
        dy = dy < 0 ? -side : side;
    }
    const int x1 = std::max(std::min(t.startX, t.startX + dx), 0);
    const int x2 = std::min(std::max(t.startX, t.startX + dx), t.width - 1);
    const int y1 = std::max(std::min(t.startY, t.startY + dy), 0);
    const int y2 = std::min(std::max(t.startY, t.startY + dy), t.height - 1);
    std::vector<uint8_t> inside(t.mask.size(), 0);
    if (x1 <= x2 && y1 <= y2) {
        if (t.settings.type == kShapeRect) {
            for (int y = y1; y <= y2; ++y)
                for (int x = x1; x <= x2; ++x) inside[Index(t, x, y)] = 1;
        } else {
            const long a = (x2 - x1) >> 1, b = (y2 - y1) >> 1;
            const long major = std::max(a, b), minor = std::min(a, b);
            const long f = Round(std::sqrt(static_cast<double>(major * major - minor * minor)));
            const long cx = x1 + a, cy = y1 + b;
            const long fx = a >= b ? f : 0, fy = a >= b ? 0 : f;
            const long squares = 2 * (minor * minor + f * f);
            const long sumLimit =
                Round(2.0 * std::sqrt(static_cast<double>(minor * minor + f * f)));
            // Only cells of the dragged rectangle can be inside.
            for (int y = y1; y <= y2; ++y) {
                for (int x = x1; x <= x2; ++x) {
                    const long ax = x - (cx - fx), ay = y - (cy - fy);
                    const long bx = x - (cx + fx), by = y - (cy + fy);
                    const long q1 = ax * ax + ay * ay, q2 = bx * bx + by * by;
                    if (q1 + q2 <= squares || Round(std::sqrt(static_cast<double>(q1))) +
                                                      Round(std::sqrt(static_cast<double>(q2))) <=
                                                  sumLimit)
                        inside[Index(t, x, y)] = 1;
                }
            }
        }
    }
    ApplyShape(t, inside);
}

// False once the list is full.
bool RecordPoint(SelectionTool& t, int x, int y) {
    if (static_cast<int>(t.points.size()) > kLassoPointLimit) return false;
    t.points.push_back({x, y});
    t.boxLeft = std::min(t.boxLeft, x);
    t.boxRight = std::max(t.boxRight, x);
    t.boxTop = std::min(t.boxTop, y);
    t.boxBottom = std::max(t.boxBottom, y);
    return true;
}

// Even-odd test of a cell against the closed polygon of the points.
bool InPolygon(const std::vector<LassoPoint>& p, int px, int py) {
    bool in = false;
    for (size_t i = 0, j = p.size() - 1; i < p.size(); j = i++) {
        const long yi = p[i].y, yj = p[j].y;
        if ((yi > py) == (yj > py)) continue;
        const long cross = (p[j].x - p[i].x) * (py - yi) - (px - p[i].x) * (yj - yi);
        if (yj > yi ? cross > 0 : cross < 0) in = !in;
    }
    return in;
}

void CloseLasso(SelectionTool& t) {
    t.dragging = false;
    const LassoPoint first = t.points.front();
    WalkLine(t.lastX, t.lastY, first.x, first.y, [&](int x, int y) { RecordPoint(t, x, y); });
    std::vector<uint8_t> marks;
    try {
        marks.assign(t.mask.size(), 1);
    } catch (const std::bad_alloc&) {
        t.points.clear();
        return;
    }
    // The outline; points off the picture are not marked.
    for (const LassoPoint& p : t.points)
        if (Inside(t, p.x, p.y)) marks[Index(t, p.x, p.y)] = 0;
    const int left = std::max(t.boxLeft, 0), right = std::min(t.boxRight, t.width - 1);
    const int top = std::max(t.boxTop, 0), bottom = std::min(t.boxBottom, t.height - 1);
    std::vector<LassoPoint> stack;
    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= right; ++x) {
            if (marks[Index(t, x, y)] != 1) continue;
            // One test classifies the whole 4-connected group.
            const uint8_t value = InPolygon(t.points, x, y) ? 3 : 2;
            marks[Index(t, x, y)] = value;
            stack.push_back({x, y});
            while (!stack.empty()) {
                const LassoPoint c = stack.back();
                stack.pop_back();
                const LassoPoint next[4] = {
                    {c.x - 1, c.y}, {c.x, c.y + 1}, {c.x + 1, c.y}, {c.x, c.y - 1}};
                for (const LassoPoint& n : next) {
                    if (n.x < left || n.x > right || n.y < top || n.y > bottom) continue;
                    uint8_t& m = marks[Index(t, n.x, n.y)];
                    if (m != 1) continue;
                    m = value;
                    stack.push_back(n);
                }
            }
        }
    }
    std::vector<uint8_t> inside(t.mask.size(), 0);
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x) {
            const uint8_t m = marks[Index(t, x, y)];
            inside[Index(t, x, y)] = m == 0 || m == 3;
        }
    t.points.clear();
    ApplyShape(t, inside);
}

void Dab(SelectionTool& t, int x, int y) {
    const int size = ClampBrushSize(t.settings.size);
    const int left = x - size / 2, top = y - size / 2;
    const int right = left + size, bottom = y + size - size / 2;
    const int l = std::max(left, 0), r = std::min(right, t.width);
    const int tp = std::max(top, 0), b = std::min(bottom, t.height);
    if (l >= r || tp >= b) return;
    const BlendTable& bt = GetBlendTable();
    for (int cy = tp; cy < b; ++cy)
        for (int cx = l; cx < r; ++cx) {
            const unsigned w = t.brushMask[static_cast<size_t>((cy - top) * size + (cx - left))];
            uint8_t& m = t.mask[Index(t, cx, cy)];
            m = static_cast<uint8_t>(bt.entry[255 - w][m] + bt.entry[w][t.strokeValue]);
        }
    RerenderRect(t, l, tp, r, b);
}

void PressBrush(SelectionTool& t, int x, int y) {
    t.brushMask = BrushMask(ClampBrushSize(t.settings.size));
    const bool existing = t.hadMask || t.changed;
    const int mode = t.settings.mode;
    if (existing) {
        if (mode == kSelectNew) std::fill(t.mask.begin(), t.mask.end(), 255);
        t.strokeValue = mode == kSelectExclude ? 255 : 0;
    } else {
        std::fill(t.mask.begin(), t.mask.end(), mode == kSelectExclude ? 0 : 255);
        t.strokeValue = mode == kSelectExclude ? 255 : 0;
    }
    if (!existing || mode == kSelectNew) Rerender(t);
    t.changed = true;
    t.dragging = true;
    t.lastX = x;
    t.lastY = y;
    Dab(t, x, y);
}

void MoveBrush(SelectionTool& t, int x, int y) {
    const int spacing = ClampBrushSize(t.settings.size) >> 3;
    WalkLine(t.lastX, t.lastY, x, y, [&](int px, int py) {
        if (std::abs(px - t.lastX) + std::abs(py - t.lastY) > spacing) {
            t.lastX = px;
            t.lastY = py;
            Dab(t, px, py);
        }
    });
}

void PickRange(SelectionTool& t, int x, int y) {
    if (!Inside(t, x, y)) return;
    const uint8_t* c = t.view.topRow(y) + 3 * x;
    const int bc = c[0], gc = c[1], rc = c[2];
    const int range = ClampColourRange(t.settings.range);
    const long limit = 3L * range * range;
    auto matches = [&](int px, int py) {
        const uint8_t* p = t.view.topRow(py) + 3 * px;
        const long d =
            (p[0] - bc) * (p[0] - bc) + (p[1] - gc) * (p[1] - gc) + (p[2] - rc) * (p[2] - rc);
        return d <= limit;
    };
    std::vector<uint8_t> inside(t.mask.size(), 0);
    if (!(t.settings.unit & 1)) {
        for (int py = 0; py < t.height; ++py)
            for (int px = 0; px < t.width; ++px) inside[Index(t, px, py)] = matches(px, py);
    } else {
        std::vector<LassoPoint> stack{{x, y}};
        inside[Index(t, x, y)] = 1;
        while (!stack.empty()) {
            const LassoPoint p = stack.back();
            stack.pop_back();
            const LassoPoint next[4] = {
                {p.x - 1, p.y}, {p.x, p.y + 1}, {p.x + 1, p.y}, {p.x, p.y - 1}};
            for (const LassoPoint& n : next) {
                if (!Inside(t, n.x, n.y) || inside[Index(t, n.x, n.y)] || !matches(n.x, n.y))
                    continue;
                inside[Index(t, n.x, n.y)] = 1;
                stack.push_back(n);
            }
        }
    }
    ApplyShape(t, inside);
}

}  // namespace

int ClampColourRange(int v) {
    return std::clamp(v, 0, 255);
}
int ClampFeatherRadius(int v) {
    return std::clamp(v, 1, 100);
}

SelectionSettings ClampSelectionSettings(const SelectionSettings& in) {
    SelectionSettings s;
    s.mode = in.mode >= 0 && in.mode <= 2 ? in.mode : kSelectNew;
    s.type = in.type >= 0 && in.type <= 4 ? in.type : kShapeRange;
    s.size = ClampBrushSize(in.size);
    s.range = ClampColourRange(in.range);
    s.unit = in.unit & 1;
    s.smooth = ClampFeatherRadius(in.smooth);
    return s;
}

void FeatherMask(std::vector<uint8_t>& mask, int width, int height, int radius, int threads) {
    const int r = std::max(0, std::min(radius, (std::min(width, height) - 1) / 2));
    int w[101] = {255};
    int v[101] = {};
    const int d = static_cast<int>(r * r / 2.0 + 0.5);
    long total = 255;
    for (int i = 1; i <= r; ++i) {
        w[i] = static_cast<int>(std::exp(-static_cast<double>(i * i) / d) * 255.0 + 0.5);
        total += 2 * w[i];
    }
    int s = 0;
    while ((total >> s) != 0) ++s;
    for (int i = 0; i <= r; ++i) v[i] = static_cast<int>(w[i] * std::ldexp(1.0, s) / total + 0.5);
    std::vector<uint8_t> work(mask.size());
    const size_t wd = static_cast<size_t>(width);
    auto store = [s](const int32_t* acc, uint8_t* out, int n) {
        for (int i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(std::min(acc[i] >> s, 255));
    };
    // Across each row; the r cells at each end are weighted by the raw weights inside.
    ForBandsOfRows(height, threads, [&](int from, int to) {
        std::vector<int32_t> acc(wd);
        for (int y = from; y < to; ++y) {
            const uint8_t* in = mask.data() + y * wd;
            uint8_t* out = work.data() + y * wd;
            const int lo = r, n = width - 2 * r;
            MulRow(acc.data(), in + lo, v[0], n);
            for (int k = 1; k <= r; ++k) MacPair(acc.data(), in + lo - k, in + lo + k, v[k], n);
            store(acc.data(), out + lo, n);
            for (int x = 0; x < width; ++x) {
                if (x == r && n > 0) x = width - r;
                if (x >= width) break;
                long sum = 0, weight = 0;
                for (int k = -r; k <= r; ++k) {
                    if (x + k < 0 || x + k >= width) continue;
                    sum += in[x + k] * static_cast<long>(w[std::abs(k)]);
                    weight += w[std::abs(k)];
                }
                out[x] = static_cast<uint8_t>(weight ? sum / weight : 0);
            }
        }
    });
    // Down each column, a whole row at a time.
    ForBandsOfRows(height, threads, [&](int from, int to) {
        std::vector<int32_t> acc(wd);
        for (int y = from; y < to; ++y) {
            const uint8_t* in = work.data() + y * wd;
            uint8_t* out = mask.data() + y * wd;
            if (y >= r && y < height - r) {
                MulRow(acc.data(), in, v[0], width);
                for (int k = 1; k <= r; ++k)
                    MacPair(acc.data(), in - k * wd, in + k * wd, v[k], width);
                store(acc.data(), out, width);
                continue;
            }
            MulRow(acc.data(), in, w[0], width);
            int32_t weight = w[0];
            for (int k = 1; k <= r; ++k) {
                if (y - k >= 0)
                    MacPair(acc.data(), in - k * wd, nullptr, w[k], width), weight += w[k];
                if (y + k < height)
                    MacPair(acc.data(), in + k * wd, nullptr, w[k], width), weight += w[k];
            }
            for (int x = 0; x < width; ++x)
                out[x] = static_cast<uint8_t>(acc[static_cast<size_t>(x)] / weight);
        }
    });
}

bool StartSelectionTool(SelectionTool& t, const ImageBuffer& picture,
                        const std::vector<uint8_t>& selection, const SelectionSettings& settings) {
    t = SelectionTool{};
    t.settings = ClampSelectionSettings(settings);
    t.width = picture.width();
    t.height = picture.height();
    t.view = WidenTo24(picture);
    if (t.view.empty()) return false;
    const size_t cells = static_cast<size_t>(t.width) * static_cast<size_t>(t.height);
    try {
        t.hadMask = selection.size() == cells;
        t.mask = t.hadMask ? selection : std::vector<uint8_t>(cells, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    t.overlay = t.hadMask ? RenderOverlay(t.view, t.mask.data()) : t.view.Clone();
    return !t.overlay.empty();
}

void SelectionPress(SelectionTool& t, int x, int y, bool) {
    if (t.dragging) return;
    switch (t.settings.type) {
        case kShapeRect:
        case kShapeEllipse:
            t.dragging = true;
            t.startX = x;
            t.startY = y;
            break;
        case kShapeLasso:
            t.dragging = true;
            t.points.clear();
            t.boxLeft = t.boxRight = x;
            t.boxTop = t.boxBottom = y;
            RecordPoint(t, x, y);
            t.lastX = x;
            t.lastY = y;
            break;
        case kShapeBrush:
            PressBrush(t, x, y);
            break;
        default:
            PickRange(t, x, y);
            break;
    }
}

void SelectionMove(SelectionTool& t, int x, int y, bool) {
    if (!t.dragging) return;
    if (t.settings.type == kShapeLasso) {
        WalkLine(t.lastX, t.lastY, x, y, [&](int px, int py) { RecordPoint(t, px, py); });
        t.lastX = x;
        t.lastY = y;
        if (static_cast<int>(t.points.size()) > kLassoPointLimit) CloseLasso(t);
    } else if (t.settings.type == kShapeBrush) {
        MoveBrush(t, x, y);
    }
}

void SelectionRelease(SelectionTool& t, int x, int y, bool shift) {
    if (!t.dragging) return;
    switch (t.settings.type) {
        case kShapeRect:
        case kShapeEllipse:
            t.dragging = false;
            ApplyRectOrEllipse(t, x, y, shift);
            break;
        case kShapeLasso:
            CloseLasso(t);
            break;
        default:
            t.dragging = false;
            break;
    }
}

RubberBand CurrentRubberBand(const SelectionTool& t, int x, int y, bool shift) {
    RubberBand band;
    if (!t.dragging || (t.settings.type != kShapeRect && t.settings.type != kShapeEllipse))
        return band;
    int dx = x - t.startX, dy = y - t.startY;
    if (shift) {
        const int side = (std::abs(dx) + std::abs(dy)) / 2;
        dx = dx < 0 ? -side : side;
        dy = dy < 0 ? -side : side;
    }
    band = {true, t.startX, t.startY, t.startX + dx, t.startY + dy};
    return band;
}

void SelectWhole(SelectionTool& t, bool selected) {
    std::fill(t.mask.begin(), t.mask.end(), selected ? 0 : 255);
    t.changed = true;
    Rerender(t);
}

void InvertSelection(SelectionTool& t) {
    for (uint8_t& m : t.mask) m = static_cast<uint8_t>(255 - m);
    t.changed = true;
    Rerender(t);
}

bool CanFeather(const SelectionTool& t) {
    return t.hadMask || t.changed;
}

bool FeatherSelection(SelectionTool& t) {
    if (!CanFeather(t)) return false;
    FeatherMask(t.mask, t.width, t.height, ClampFeatherRadius(t.settings.smooth));
    t.changed = true;
    Rerender(t);
    return true;
}

void FinishSelectionTool(Document& doc, SelectionTool& t, bool ok) {
    t.dragging = false;
    if (!ok || !t.changed || !doc.picture.HasPicture()) return;
    if (doc.picture.image.bitCount() != 24) InstallPicture(doc, std::move(t.view), false, false);
    doc.picture.selection = std::move(t.mask);
}

bool ClearSelection(Document& doc) {
    if (doc.picture.selection.empty()) return false;
    doc.picture.selection.clear();
    doc.picture.selection.shrink_to_fit();
    return true;
}

bool StartSelectionOp(Document& doc, OperationRecord& record) {
    auto tool = std::shared_ptr<SelectionTool>(new (std::nothrow) SelectionTool);
    if (!tool ||
        !StartSelectionTool(*tool, doc.picture.image, doc.picture.selection, SelectionSettings{})) {
        if (doc.ui.showError) doc.ui.showError(kErrDisplay);
        return false;
    }
    record.data = tool;
    return true;
}

bool FinishSelectionOp(Document& doc, OperationRecord& record, bool ok) {
    if (auto* tool = static_cast<SelectionTool*>(record.data.get()))
        FinishSelectionTool(doc, *tool, ok);
    return false;
}

SelectionTool* ActiveSelectionTool(EditModel& model) {
    if (!model.active || model.active->def->kind != kOpSelection) return nullptr;
    return static_cast<SelectionTool*>(model.active->data.get());
}

}  // namespace lumra
