#include "shell/geometry_settings_file.h"

namespace lumra {

GeometrySettings ReadGeometrySection(const IniFile& ini) {
    GeometrySettings s;
    ReadGeometrySettings([&ini](const std::string& key, int def) { return ini.GetInt(kGeometrySection, key, def); },
                         s);
    return s;
}

void WriteGeometrySection(IniFile& ini, const GeometrySettings& s) {
    WriteGeometrySettings(s, [&ini](const std::string& key, int v) { ini.WriteInt(kGeometrySection, key, v); });
}

GeometrySettings LoadGeometrySettings(const std::string& path) {
    IniFile ini;
    if (!path.empty()) ini.Load(path);
    return ReadGeometrySection(ini);
}

void StoreGeometrySettings(const std::string& path, const GeometrySettings& s) {
    if (path.empty()) return;
    IniFile ini;
    ini.Load(path);
    WriteGeometrySection(ini, s);
    ini.Save(path);
}

}  // namespace lumra
