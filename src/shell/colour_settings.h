// Section ImgC (hue/saturation and colour replacement): read when the operation starts,
// written back when it ends, committed or cancelled.
#pragma once

namespace lumra {

class IniFile;

struct ColourSettings {
    int hlsMode = 2;  // 0 hue, 1 lightness, 2 saturation
    int hlsColR = 255, hlsColG = 255, hlsColB = 255;
    int hlsRange = 50;
    int rpcCol0R = 96, rpcCol0G = 160, rpcCol0B = 255;
    int rpcCol1R = 255, rpcCol1G = 0, rpcCol1B = 128;
    int rpcRange = 75;
    int rpcLevel = 100;
};

// Stored values are brought into their controls' ranges.
ColourSettings ReadColourSettings(const IniFile& ini);
void WriteColourSettings(IniFile& ini, const ColourSettings& s);

}  // namespace lumra
