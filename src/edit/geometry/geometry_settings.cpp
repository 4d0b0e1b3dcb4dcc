#include "edit/geometry/geometry_settings.h"

namespace lumra {
namespace {

int InRange(int v, int lo, int hi, int def) { return v >= lo && v <= hi ? v : def; }

}  // namespace

void ReadGeometrySettings(const std::function<int(const std::string&, int)>& get, GeometrySettings& out) {
    const GeometrySettings def;
    for (int i = 1; i <= 8; ++i) {
        const std::string n = std::to_string(i);
        RatioEntry& r = out.ratios[static_cast<size_t>(i)];
        const RatioEntry& dr = def.ratios[static_cast<size_t>(i)];
        r.w = InRange(get("TrmR" + n + "W", dr.w), 0, kRegisteredMax, dr.w);
        r.h = InRange(get("TrmR" + n + "H", dr.h), 0, kRegisteredMax, dr.h);
        SizePreset& p = out.presets[static_cast<size_t>(i)];
        const SizePreset& dp = def.presets[static_cast<size_t>(i)];
        p.w = InRange(get("RszP" + n + "W", dp.w), 0, kRegisteredMax, dp.w);
        p.h = InRange(get("RszP" + n + "H", dp.h), 0, kRegisteredMax, dp.h);
    }
    out.ratioSel = InRange(get("TrmRSel", def.ratioSel), 0, 8, def.ratioSel);
    out.grid = get("TurGrid", def.grid) & 1;
    out.verticalLine = get("TurVLine", def.verticalLine) & 1;
    out.background.red = static_cast<uint8_t>(InRange(get("TurBgR", 255), 0, 255, 255));
    out.background.green = static_cast<uint8_t>(InRange(get("TurBgG", 255), 0, 255, 255));
    out.background.blue = static_cast<uint8_t>(InRange(get("TurBgB", 255), 0, 255, 255));
}

void WriteGeometrySettings(const GeometrySettings& s, const std::function<void(const std::string&, int)>& put) {
    for (int i = 1; i <= 8; ++i) {
        const std::string n = std::to_string(i);
        put("TrmR" + n + "W", s.ratios[static_cast<size_t>(i)].w);
        put("TrmR" + n + "H", s.ratios[static_cast<size_t>(i)].h);
    }
    put("TrmRSel", s.ratioSel);
    for (int i = 1; i <= 8; ++i) {
        const std::string n = std::to_string(i);
        put("RszP" + n + "W", s.presets[static_cast<size_t>(i)].w);
        put("RszP" + n + "H", s.presets[static_cast<size_t>(i)].h);
    }
    put("TurGrid", s.grid);
    put("TurVLine", s.verticalLine);
    put("TurBgR", s.background.red);
    put("TurBgG", s.background.green);
    put("TurBgB", s.background.blue);
}

}  // namespace lumra
