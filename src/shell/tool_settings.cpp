#include "shell/tool_settings.h"

#include <string_view>

namespace lumra {
namespace {

constexpr std::string_view kBrush = "ImgD";
constexpr std::string_view kText = "ImgT";
constexpr const char* kStrengthKeys[6] = {"DcbGamUp", "DcbGamDn", "DcbHlsUp", "DcbHlsDn", "DcbSharp", "DcbSoft"};

// The stored value when it lies in lo..hi, else def.
int Ranged(const IniFile& ini, std::string_view section, std::string_view key, int def, int lo, int hi) {
    const int v = ini.GetInt(section, key, def);
    return v >= lo && v <= hi ? v : def;
}

uint8_t Byte(const IniFile& ini, std::string_view section, std::string_view key, int def) {
    return static_cast<uint8_t>(Ranged(ini, section, key, def, 0, 255));
}

}  // namespace

BrushPrefs ReadBrushPrefs(const IniFile& ini) {
    BrushPrefs p;
    p.paintSize = Ranged(ini, kBrush, "DpbSize", p.paintSize, kBrushMinSize, kBrushMaxSize);
    p.opacity = Ranged(ini, kBrush, "DpbAlpha", p.opacity, 0, 100);
    p.red = Byte(ini, kBrush, "DpbColR", p.red);
    p.green = Byte(ini, kBrush, "DpbColG", p.green);
    p.blue = Byte(ini, kBrush, "DpbColB", p.blue);
    p.mode = Ranged(ini, kBrush, "DcbMode", p.mode, 0, kBrushDenoise);
    p.correctSize = Ranged(ini, kBrush, "DcbSize", p.correctSize, kBrushMinSize, kBrushMaxSize);
    for (size_t i = 0; i < 6; ++i) p.strength[i] = Ranged(ini, kBrush, kStrengthKeys[i], p.strength[i], 1, 100);
    return p;
}

void WriteBrushPrefs(IniFile& ini, const BrushPrefs& p) {
    ini.WriteInt(kBrush, "DpbSize", p.paintSize);
    ini.WriteInt(kBrush, "DpbAlpha", p.opacity);
    ini.WriteInt(kBrush, "DpbColR", p.red);
    ini.WriteInt(kBrush, "DpbColG", p.green);
    ini.WriteInt(kBrush, "DpbColB", p.blue);
    ini.WriteInt(kBrush, "DcbMode", p.mode);
    ini.WriteInt(kBrush, "DcbSize", p.correctSize);
    for (size_t i = 0; i < 6; ++i) ini.WriteInt(kBrush, kStrengthKeys[i], p.strength[i]);
}

TextSettings ReadTextSettings(const IniFile& ini) {
    TextSettings t;
    t.text = ini.GetString(kText, "DrtStr", t.text);
    if (std::u16string units = Utf8To16(t.text); units.size() > kTextMaxUnits) {
        units.resize(kTextMaxUnits);
        t.text = Utf16To8(units);
    }
    t.faceLatin = ini.GetString(kText, "DrtFaceA", t.faceLatin);
    t.faceJapanese = ini.GetString(kText, "DrtFaceS", t.faceJapanese);
    t.red = Byte(ini, kText, "DrtColR", t.red);
    t.green = Byte(ini, kText, "DrtColG", t.green);
    t.blue = Byte(ini, kText, "DrtColB", t.blue);
    t.opacity = Ranged(ini, kText, "DrtAlpha", t.opacity, 0, 100);
    t.size = Ranged(ini, kText, "DrtSize", t.size, 6, 720);
    const int weight = ini.GetInt(kText, "DrtWeight", t.weight);
    t.weight = weight == 700 ? 700 : 400;
    t.italic = ini.GetInt(kText, "DrtItalic", 0) & 1;
    const int charset = ini.GetInt(kText, "DrtCharSet", t.charset);
    t.charset = charset == kCharsetLatin ? kCharsetLatin : kCharsetJapanese;
    t.spacing = Ranged(ini, kText, "DrtSpace", t.spacing, 0, 99);
    t.shadow = ini.GetInt(kText, "DrtShadow", 1) & 1;
    t.shadowX = Ranged(ini, kText, "DrtShdX", t.shadowX, 1, 99);
    t.shadowY = Ranged(ini, kText, "DrtShdY", t.shadowY, 1, 99);
    t.shadowRed = Byte(ini, kText, "DrtShdR", t.shadowRed);
    t.shadowGreen = Byte(ini, kText, "DrtShdG", t.shadowGreen);
    t.shadowBlue = Byte(ini, kText, "DrtShdB", t.shadowBlue);
    return t;
}

void WriteTextSettings(IniFile& ini, const TextSettings& t) {
    ini.WriteString(kText, "DrtStr", t.text);
    ini.WriteString(kText, "DrtFaceA", t.faceLatin);
    ini.WriteString(kText, "DrtFaceS", t.faceJapanese);
    ini.WriteInt(kText, "DrtColR", t.red);
    ini.WriteInt(kText, "DrtColG", t.green);
    ini.WriteInt(kText, "DrtColB", t.blue);
    ini.WriteInt(kText, "DrtAlpha", t.opacity);
    ini.WriteInt(kText, "DrtSize", t.size);
    ini.WriteInt(kText, "DrtWeight", t.weight);
    ini.WriteInt(kText, "DrtItalic", t.italic ? 1 : 0);
    ini.WriteInt(kText, "DrtCharSet", t.charset);
    ini.WriteInt(kText, "DrtSpace", t.spacing);
    ini.WriteInt(kText, "DrtShadow", t.shadow ? 1 : 0);
    ini.WriteInt(kText, "DrtShdX", t.shadowX);
    ini.WriteInt(kText, "DrtShdY", t.shadowY);
    ini.WriteInt(kText, "DrtShdR", t.shadowRed);
    ini.WriteInt(kText, "DrtShdG", t.shadowGreen);
    ini.WriteInt(kText, "DrtShdB", t.shadowBlue);
}

}  // namespace lumra
