// Questions about a path: what it is, where its links lead, who may run it.
#pragma once

#include <optional>
#include <string>

namespace lumra {

enum class FileKind { Missing, Folder, Regular, Other };

// What the path names, links followed.
FileKind KindOfFile(const std::string& path);
// The path itself is a symbolic link (not followed).
bool IsSymbolicLink(const std::string& path);
// Follows symbolic links to the file finally named; a dangling link gives the path it
// points at. Gives up after 40 links.
std::string FollowSymbolicLinks(const std::string& path);
// Permission bits (07777), nullopt when the path does not exist.
std::optional<unsigned> FilePermissions(const std::string& path);
// The caller may execute the file.
bool IsExecutableByUs(const std::string& path);

}  // namespace lumra
