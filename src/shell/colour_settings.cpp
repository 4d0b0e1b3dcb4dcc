#include "shell/colour_settings.h"

#include <algorithm>

#include "shell/ini_file.h"

namespace lumra {

namespace {

constexpr const char* kSection = "ImgC";

struct Key {
    const char* name;
    int ColourSettings::*field;
    int lo, hi;
};

constexpr Key kKeys[] = {
    {"HlsMode", &ColourSettings::hlsMode, 0, 2},       {"HlsColR", &ColourSettings::hlsColR, 0, 255},
    {"HlsColG", &ColourSettings::hlsColG, 0, 255},     {"HlsColB", &ColourSettings::hlsColB, 0, 255},
    {"HlsRange", &ColourSettings::hlsRange, 0, 150},   {"RpcCol0R", &ColourSettings::rpcCol0R, 0, 255},
    {"RpcCol0G", &ColourSettings::rpcCol0G, 0, 255},   {"RpcCol0B", &ColourSettings::rpcCol0B, 0, 255},
    {"RpcCol1R", &ColourSettings::rpcCol1R, 0, 255},   {"RpcCol1G", &ColourSettings::rpcCol1G, 0, 255},
    {"RpcCol1B", &ColourSettings::rpcCol1B, 0, 255},   {"RpcRange", &ColourSettings::rpcRange, 0, 150},
    {"RpcLevel", &ColourSettings::rpcLevel, 0, 255},
};

}  // namespace

ColourSettings ReadColourSettings(const IniFile& ini) {
    const ColourSettings d;
    ColourSettings s;
    for (const Key& k : kKeys) {
        const int v = ini.GetInt(kSection, k.name, d.*k.field);
        // A mode outside 0..2 is the default; colours and levels are clamped.
        s.*k.field = k.field == &ColourSettings::hlsMode && (v < k.lo || v > k.hi) ? d.hlsMode
                                                                                    : std::clamp(v, k.lo, k.hi);
    }
    return s;
}

void WriteColourSettings(IniFile& ini, const ColourSettings& s) {
    for (const Key& k : kKeys) ini.WriteInt(kSection, k.name, s.*k.field);
}

}  // namespace lumra
