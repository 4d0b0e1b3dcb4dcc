// The desktop wallpaper: the file save_wp.bmp and the desktop's own setting.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/image_buffer.h"

namespace lumra {

enum class WallpaperStyle { kCentre, kStretch, kTile };
enum class Desktop { kGnome, kCinnamon, kMate, kKde, kXfce, kUnknown };

inline constexpr const char* kWallpaperFileName = "save_wp.bmp";
inline constexpr const char* kWallpaperUnsupportedText = "このデスクトップでは壁紙を設定できません。";
inline constexpr const char* kWallpaperFailedText = "壁紙の設定に失敗しました。";

// From XDG_CURRENT_DESKTOP (a colon-separated list; the first known name wins).
// GNOME, Unity, Budgie and Pantheon share GNOME's keys.
Desktop DetectDesktop(std::string_view xdgCurrentDesktop);

struct CommandResult {
    int status = -1;  // exit status; -1 when the program could not be started
    std::string output;
};
// Runs argv[0] with the arguments, waits, returns its status and standard output.
using CommandRunner = std::function<CommandResult(const std::vector<std::string>& argv)>;

// The arrangement the desktop has now; nullopt when it cannot be read.
std::optional<WallpaperStyle> ReadWallpaperStyle(Desktop desktop, const CommandRunner& run);

enum class WallpaperApply { kApplied, kUnsupported, kFailed };
// Makes the file at path the wallpaper with the arrangement.
WallpaperApply ApplyWallpaper(Desktop desktop, const std::string& path, WallpaperStyle style,
                              const CommandRunner& run);

// "file://" and the path, percent-encoded.
std::string FileUri(const std::string& path);

enum class WallpaperFileError { kNone, kTempCreate, kFileCreate, kTempDelete };
struct WallpaperFileResult {
    bool written = false;  // destination holds the picture (also with kTempDelete)
    WallpaperFileError error = WallpaperFileError::kNone;
};
// Writes the picture at its own depth as BMP into a temporary file and copies it over destination.
WallpaperFileResult WriteWallpaperFile(const ImageBuffer& image, const std::string& destination);

}  // namespace lumra
