#include "output/wallpaper.h"

#include <cstdio>

#include "formats/bmp/bmp_codec.h"
#include "platform/file_io.h"
#include "platform/temp_file.h"

namespace lumra {

namespace {

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string Trimmed(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && (s[a] == ' ' || s[a] == '\n' || s[a] == '\r' || s[a] == '\t' || s[a] == '\'')) ++a;
    while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\n' || s[b - 1] == '\r' || s[b - 1] == '\t' || s[b - 1] == '\''))
        --b;
    return s.substr(a, b - a);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = Trimmed(text.substr(start, end - start));
        if (!line.empty()) lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

bool EndsWith(const std::string& s, std::string_view tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// gsettings: the schema of each desktop of the GNOME family.
const char* Schema(Desktop d) {
    switch (d) {
        case Desktop::kGnome: return "org.gnome.desktop.background";
        case Desktop::kCinnamon: return "org.cinnamon.desktop.background";
        case Desktop::kMate: return "org.mate.background";
        default: return nullptr;
    }
}

const char* GnomeOption(WallpaperStyle s) {
    return s == WallpaperStyle::kCentre ? "centered" : s == WallpaperStyle::kTile ? "wallpaper" : "stretched";
}

// Plasma's image wallpaper FillMode: 6 centred (pad), 0 stretched, 3 tiled.
int PlasmaFillMode(WallpaperStyle s) {
    return s == WallpaperStyle::kCentre ? 6 : s == WallpaperStyle::kTile ? 3 : 0;
}

// Xfce's image-style: 1 centred, 3 stretched, 2 tiled.
int XfceStyle(WallpaperStyle s) { return s == WallpaperStyle::kCentre ? 1 : s == WallpaperStyle::kTile ? 2 : 3; }

constexpr const char* kPlasmaConfig =
    "d.wallpaperPlugin = 'org.kde.image'; d.currentConfigGroup = ['Wallpaper', 'org.kde.image', 'General'];";

std::string JsString(const std::string& s) {
    std::string out = "'";
    for (const char c : s) {
        if (c == '\'' || c == '\\') out += '\\';
        out += c;
    }
    return out + "'";
}

// Runs a Plasma script through whichever qdbus is installed.
CommandResult RunPlasmaScript(const std::string& script, const CommandRunner& run) {
    CommandResult r;
    for (const char* tool : {"qdbus6", "qdbus"}) {
        r = run({tool, "org.kde.plasmashell", "/PlasmaShell", "org.kde.PlasmaShell.evaluateScript", script});
        if (r.status != -1) return r;
    }
    return r;
}

constexpr const char* kXfceChannel = "xfce4-desktop";

}  // namespace

Desktop DetectDesktop(std::string_view xdg) {
    size_t start = 0;
    while (start <= xdg.size()) {
        size_t end = xdg.find(':', start);
        if (end == std::string_view::npos) end = xdg.size();
        const std::string name = Lower(xdg.substr(start, end - start));
        if (name == "gnome" || name == "unity" || name == "budgie" || name == "pantheon" || name == "gnome-classic" ||
            name == "gnome-flashback")
            return Desktop::kGnome;
        if (name == "x-cinnamon" || name == "cinnamon") return Desktop::kCinnamon;
        if (name == "mate") return Desktop::kMate;
        if (name == "kde") return Desktop::kKde;
        if (name == "xfce") return Desktop::kXfce;
        start = end + 1;
    }
    return Desktop::kUnknown;
}

std::string FileUri(const std::string& path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (const unsigned char c : path) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' || c == '-' ||
            c == '_' || c == '.' || c == '~') {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 15];
        }
    }
    return uri;
}

std::optional<WallpaperStyle> ReadWallpaperStyle(Desktop desktop, const CommandRunner& run) {
    std::string value;
    if (const char* schema = Schema(desktop)) {
        const CommandResult r = run({"gsettings", "get", schema, "picture-options"});
        if (r.status != 0) return std::nullopt;
        value = Trimmed(r.output);
        if (value == "centered") return WallpaperStyle::kCentre;
        if (value == "wallpaper") return WallpaperStyle::kTile;
        return WallpaperStyle::kStretch;
    }
    if (desktop == Desktop::kKde) {
        const CommandResult r = RunPlasmaScript(
            std::string("var d = desktops()[0]; ") + kPlasmaConfig + " print(d.readConfig('FillMode'));", run);
        if (r.status != 0) return std::nullopt;
        value = Trimmed(r.output);
        if (value == "6") return WallpaperStyle::kCentre;
        if (value == "3") return WallpaperStyle::kTile;
        return WallpaperStyle::kStretch;
    }
    if (desktop == Desktop::kXfce) {
        const CommandResult list = run({"xfconf-query", "-c", kXfceChannel, "-l"});
        if (list.status != 0) return std::nullopt;
        for (const std::string& property : Lines(list.output)) {
            if (!EndsWith(property, "/image-style")) continue;
            const CommandResult r = run({"xfconf-query", "-c", kXfceChannel, "-p", property});
            if (r.status != 0) return std::nullopt;
            value = Trimmed(r.output);
            if (value == "1") return WallpaperStyle::kCentre;
            if (value == "2") return WallpaperStyle::kTile;
            return WallpaperStyle::kStretch;
        }
    }
    return std::nullopt;
}

WallpaperApply ApplyWallpaper(Desktop desktop, const std::string& path, WallpaperStyle style,
                              const CommandRunner& run) {
    auto ok = [&](const std::vector<std::string>& argv) { return run(argv).status == 0; };
    if (const char* schema = Schema(desktop)) {
        const bool mate = desktop == Desktop::kMate;
        const std::string key = mate ? "picture-filename" : "picture-uri";
        if (!ok({"gsettings", "set", schema, key, mate ? path : FileUri(path)})) return WallpaperApply::kFailed;
        // The dark-style picture, on desktops that have one.
        if (desktop == Desktop::kGnome && ok({"gsettings", "writable", schema, "picture-uri-dark"}) &&
            !ok({"gsettings", "set", schema, "picture-uri-dark", FileUri(path)}))
            return WallpaperApply::kFailed;
        return ok({"gsettings", "set", schema, "picture-options", GnomeOption(style)}) ? WallpaperApply::kApplied
                                                                                       : WallpaperApply::kFailed;
    }
    if (desktop == Desktop::kKde) {
        const std::string script = "var all = desktops(); for (var i = 0; i < all.length; i++) { var d = all[i]; " +
                                   std::string(kPlasmaConfig) + " d.writeConfig('Image', " +
                                   JsString(FileUri(path)) + "); d.writeConfig('FillMode', " +
                                   std::to_string(PlasmaFillMode(style)) + "); }";
        const CommandResult r = RunPlasmaScript(script, run);
        if (r.status == 0) return WallpaperApply::kApplied;
        // Without D-Bus tools Plasma's own command still sets the picture.
        if (r.status == -1 && ok({"plasma-apply-wallpaperimage", path})) return WallpaperApply::kApplied;
        return WallpaperApply::kFailed;
    }
    if (desktop == Desktop::kXfce) {
        const CommandResult list = run({"xfconf-query", "-c", kXfceChannel, "-l"});
        if (list.status != 0) return WallpaperApply::kFailed;
        const std::string style_ = std::to_string(XfceStyle(style));
        bool any = false;
        for (const std::string& property : Lines(list.output)) {
            if (EndsWith(property, "/last-image")) {
                if (!ok({"xfconf-query", "-c", kXfceChannel, "-p", property, "-s", path})) return WallpaperApply::kFailed;
                any = true;
            } else if (EndsWith(property, "/image-style")) {
                if (!ok({"xfconf-query", "-c", kXfceChannel, "-p", property, "-s", style_}))
                    return WallpaperApply::kFailed;
            }
        }
        if (any) return WallpaperApply::kApplied;
        // A desktop that never had a picture: the first monitor's first workspace.
        const std::string base = "/backdrop/screen0/monitor0/workspace0/";
        return ok({"xfconf-query", "-c", kXfceChannel, "-p", base + "last-image", "-n", "-t", "string", "-s", path}) &&
                       ok({"xfconf-query", "-c", kXfceChannel, "-p", base + "image-style", "-n", "-t", "int", "-s",
                           style_})
                   ? WallpaperApply::kApplied
                   : WallpaperApply::kFailed;
    }
    return WallpaperApply::kUnsupported;
}

WallpaperFileResult WriteWallpaperFile(const ImageBuffer& image, const std::string& destination) {
    WallpaperFileResult result;
    const auto temp = CreateTempFile();
    if (!temp) {
        result.error = WallpaperFileError::kTempCreate;
        return result;
    }
    DecoderContext ctx;
    int depth = image.bitCount();
    if (depth != 1 && depth != 4 && depth != 8) depth = 24;
    // A failed BMP write skips the copy and the wallpaper change.
    if (WriteBmpFile(*temp, image, depth, false, 0, ctx)) {
        if (CopyFileOver(*temp, destination)) result.written = true;
        else result.error = WallpaperFileError::kFileCreate;
    }
    if (!DeleteFile(*temp) && result.error == WallpaperFileError::kNone) result.error = WallpaperFileError::kTempDelete;
    return result;
}

}  // namespace lumra
