// Section ImgS of the settings file: read when a geometric operation starts, written when it
// ends.
#pragma once

#include <string>

#include "edit/geometry/geometry_settings.h"
#include "shell/ini_file.h"

namespace lumra {

GeometrySettings ReadGeometrySection(const IniFile& ini);
void WriteGeometrySection(IniFile& ini, const GeometrySettings& s);

// The same on the file at path (nothing is written for an empty path).
GeometrySettings LoadGeometrySettings(const std::string& path);
void StoreGeometrySettings(const std::string& path, const GeometrySettings& s);

}  // namespace lumra
