// Program location, settings location and path helpers.
#pragma once

#include <string>

namespace lumra {

// The running executable's full path (/proc/self/exe).
std::string ExecutablePath();
// The executable's name must be "LumraEx", case ignored, a trailing ".exe" ignored.
bool IsProgramName(const std::string& fileName);
// "LumraEx.ini" beside the executable when that file exists; else
// $XDG_CONFIG_HOME/Lumra/LumraEx.ini (default ~/.config), the folder created when missing.
// Empty when the executable's name is not the program's.
std::string LocateSettingsFile(const std::string& executablePath);
// The user's documents folder (XDG_DOCUMENTS_DIR from user-dirs.dirs, ~/Documents, else ~).
std::string DocumentsFolder();
// Absolute, normalised path with symbolic links resolved; the input when that fails.
std::string ResolvePath(const std::string& path);
// File-name part of a path.
std::string FileNamePart(const std::string& path);
std::string FolderPart(const std::string& path);

}  // namespace lumra
