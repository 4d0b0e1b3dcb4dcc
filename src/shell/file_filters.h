// The filter lists of the open and save dialogs and the file-name rule of the save
// dialog's type change.
#pragma once

#include <string>
#include <vector>

namespace lumra {

struct FileFilter {
    std::string text;      // shown in the dialog's type list
    std::string patterns;  // ';'-separated, e.g. "*.jpg;*.jpeg;*.jpe"
    bool operator==(const FileFilter&) const = default;
};

// pluginPatterns: the plug-ins' patterns joined with ';', empty when there are none.
std::vector<FileFilter> OpenFilters(const std::string& pluginPatterns);
// The sixth entry (JPEG/TRANS) only when the picture came from a JPEG file.
std::vector<FileFilter> SaveFilters(bool fromJpeg);

// The patterns of an entry as the file dialog matches them: split at ';', blanks and
// empty items dropped, "*.*" meaning every file.
std::vector<std::string> DialogPatterns(const std::string& patterns);

// Drops the extension of a typed file name ("a.png" -> "a", "dir/a.b.c" -> "dir/a.b");
// a name that only starts with a dot keeps it.
std::string StripExtension(const std::string& name);

// The save format chosen by a 1-based filter index; -1 outside 1-6.
int SaveFormatForFilterIndex(int index);

}  // namespace lumra
