// Settings of the geometric operations (section ImgS): trimming ratios, size presets and the
// rotation's grid, line mode and background. The settings file itself is the shell's: it
// hands in a reader and a writer.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "edit/geometry/rotate.h"

namespace lumra {

// A width:height ratio; a zero side means an empty entry.
struct RatioEntry {
    int w = 0, h = 0;
    bool empty() const { return w == 0 || h == 0; }
    friend bool operator==(const RatioEntry&, const RatioEntry&) = default;
};

// A size preset; one side 0 follows from the aspect ratio, both 0 is an empty entry.
struct SizePreset {
    int w = 0, h = 0;
    bool empty() const { return w == 0 && h == 0; }
    friend bool operator==(const SizePreset&, const SizePreset&) = default;
};

inline constexpr int kRegisteredMax = 9999;

struct GeometrySettings {
    std::array<RatioEntry, 9> ratios{RatioEntry{}, {1024, 768}, {1280, 1024}, {1440, 900}};  // 0: no ratio
    int ratioSel = 0;
    std::array<SizePreset, 9> presets{SizePreset{}, {1024, 768}, {240, 0}, {0, 120}};  // 0: none
    int grid = 1;
    int verticalLine = 0;
    BackgroundColour background;
    friend bool operator==(const GeometrySettings&, const GeometrySettings&) = default;
};

inline constexpr const char* kGeometrySection = "ImgS";

// get(key, default) reads one integer of the section; out-of-range values take the default.
void ReadGeometrySettings(const std::function<int(const std::string&, int)>& get, GeometrySettings& out);
// put(key, value) writes one integer ("%d").
void WriteGeometrySettings(const GeometrySettings& s, const std::function<void(const std::string&, int)>& put);

}  // namespace lumra
