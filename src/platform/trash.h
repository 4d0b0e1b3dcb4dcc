// The freedesktop Trash.
#pragma once

#include <string>

namespace lumra {

// The home trash: $XDG_DATA_HOME/Trash (default ~/.local/share/Trash).
std::string HomeTrashFolder();
// Moves a file into the home trash with its .trashinfo (original path, deletion date).
// The name is made unique within the trash. False when the file could not be moved;
// the file is then left where it was.
bool MoveToTrash(const std::string& path);

}  // namespace lumra
