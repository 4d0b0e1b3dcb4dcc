// Replacing a file so that a crash never leaves half of it.
#pragma once

#include <string>
#include <string_view>

namespace lumra {

// Writes data to a hidden temporary beside the file (links followed, so a link stays a
// link), syncs it and renames it over the file. A new file gets 0666 less the umask; an
// existing one keeps its permissions. False on failure, and the old file stays.
bool WriteFileAtomically(const std::string& path, std::string_view data);

}  // namespace lumra
