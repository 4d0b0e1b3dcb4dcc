// The settings sections of the brush tools (ImgD) and the text tool (ImgT): read when a tool
// starts, written back when it ends, committed or not.
#pragma once

#include "edit/brush/brush_tool.h"
#include "edit/text/text_tool.h"
#include "shell/ini_file.h"

namespace lumra {

// Missing or out-of-range values take their defaults; booleans count their lowest bit.
BrushPrefs ReadBrushPrefs(const IniFile& ini);
void WriteBrushPrefs(IniFile& ini, const BrushPrefs& prefs);

TextSettings ReadTextSettings(const IniFile& ini);
void WriteTextSettings(IniFile& ini, const TextSettings& settings);

}  // namespace lumra
