// Sections ImgA (selection tool) and ImgF (filters): read when the tool or filter starts,
// written back when it ends, committed or cancelled.
#pragma once

#include "edit/filter/filter_ops.h"
#include "edit/select/selection_tool.h"

namespace lumra {

class IniFile;

// Stored values are brought into their controls' ranges.
SelectionSettings ReadSelectionSettings(const IniFile& ini);
void WriteSelectionSettings(IniFile& ini, const SelectionSettings& s);
FilterSettings ReadFilterSettings(const IniFile& ini);
void WriteFilterSettings(IniFile& ini, const FilterSettings& s);

}  // namespace lumra
