#include "shell/select_filter_settings.h"

#include "shell/ini_file.h"

namespace lumra {

SelectionSettings ReadSelectionSettings(const IniFile& ini) {
    const SelectionSettings d;
    SelectionSettings s;
    s.mode = ini.GetInt("ImgA", "AreMode", d.mode);
    s.type = ini.GetInt("ImgA", "AreType", d.type);
    s.size = ini.GetInt("ImgA", "AreSize", d.size);
    s.range = ini.GetInt("ImgA", "AreRange", d.range);
    s.unit = ini.GetInt("ImgA", "AreUnit", d.unit);
    s.smooth = ini.GetInt("ImgA", "AreSmooth", d.smooth);
    return ClampSelectionSettings(s);
}

void WriteSelectionSettings(IniFile& ini, const SelectionSettings& s) {
    ini.WriteInt("ImgA", "AreMode", s.mode);
    ini.WriteInt("ImgA", "AreType", s.type);
    ini.WriteInt("ImgA", "AreSize", s.size);
    ini.WriteInt("ImgA", "AreRange", s.range);
    ini.WriteInt("ImgA", "AreUnit", s.unit);
    ini.WriteInt("ImgA", "AreSmooth", s.smooth);
}

FilterSettings ReadFilterSettings(const IniFile& ini) {
    const FilterSettings d;
    FilterSettings s;
    s.usmLevel = ini.GetInt("ImgF", "UsmLevel", d.usmLevel);
    s.usmRange = ini.GetInt("ImgF", "UsmRange", d.usmRange);
    s.sftMode = ini.GetInt("ImgF", "SftMode", d.sftMode);
    s.sftLevel = ini.GetInt("ImgF", "SftLevel", d.sftLevel);
    s.fcsLevel = ini.GetInt("ImgF", "FcsLevel", d.fcsLevel);
    s.nsrLevel = ini.GetInt("ImgF", "NsrLevel", d.nsrLevel);
    return ClampFilterSettings(s);
}

void WriteFilterSettings(IniFile& ini, const FilterSettings& s) {
    ini.WriteInt("ImgF", "UsmLevel", s.usmLevel);
    ini.WriteInt("ImgF", "UsmRange", s.usmRange);
    ini.WriteInt("ImgF", "SftMode", s.sftMode);
    ini.WriteInt("ImgF", "SftLevel", s.sftLevel);
    ini.WriteInt("ImgF", "FcsLevel", s.fcsLevel);
    ini.WriteInt("ImgF", "NsrLevel", s.nsrLevel);
}

}  // namespace lumra
