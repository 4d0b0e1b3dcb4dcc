#include "cli/cli.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <optional>
#include <ostream>
#include <string_view>
#include <utility>
#include <vector>

#include "formats/codec_error.h"
#include "formats/jpeg/exif.h"
#include "cli/cli_edit.h"
#include "cli/cli_print.h"
#include "document/document.h"
#include "shell/session.h"
#include "formats/plugin_host.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "shell/ini_file.h"
#include "shell/settings.h"
#include "shell/show_error.h"

namespace lumra {

namespace {

constexpr const char* kUsage =
    "Usage:\n"
    "  lumra info FILE... [load options]\n"
    "      One line per file:\n"
    "      FILE format=F width=W height=H bits=B source_bits=S file_size=N flags=ITXC\n"
    "      (format 1 BMP, 2 PNG, 3 JPEG, 4 TIFF, 5 GIF, 0 read by a plug-in; flags:\n"
    "      I interlaced, T transparent, X has text, C has comment, '-' when absent);\n"
    "      an animation adds frames=N at the end.\n"
    "      A file that does not load gives: FILE error N: MESSAGE\n"
    "  lumra decode FILE OUT.ppm [load options]\n"
    "      Writes the decoded picture as a binary PPM (P6).\n"
    "  lumra convert IN OUT [load options] [save options]\n"
    "      Loads IN and saves OUT through a temporary file; an existing OUT is moved\n"
    "      to the trash first.\n"
    "  lumra exif FILE\n"
    "      Prints the Exif shooting data of a JPEG file, one \"label:value\" line for\n"
    "      each of the twelve rows of the Exif dialog.\n"
    "  lumra --help | -h\n"
    "\n"
    "Save options:\n"
    "  --format bmp|png|jpeg|tiff|gif|jpeg-trans\n"
    "                       output format (default: from OUT's extension: bmp, png,\n"
    "                       jpg/jpeg/jpe, tif/tiff, gif)\n"
    "  --depth N            bits per pixel, 1-8 or 24 (default 24)\n"
    "  --gray               write grey\n"
    "  --dither N           error diffusion 0 full, 1 two-thirds, 2 half, 3 none (default 0)\n"
    "  --level N            PNG deflate level 0-9 (default 9)\n"
    "  --filter F           PNG filter 0-5 or auto|none|sub|up|average|paeth (default auto)\n"
    "  --interlace          PNG Adam7 / GIF interlace\n"
    "  --save-gamma N       write a PNG gAMA chunk for display gamma N/1000 (1-1000000)\n"
    "  --transparent R,G,B  save this colour as transparent (PNG, GIF); 0-255 each\n"
    "  --quality N          JPEG quality 1-100 (default 75)\n"
    "  --sampling N         JPEG sampling 0 (4:1), 1 (2:1), 2 (1:1) (default 0)\n"
    "  --progressive        progressive JPEG\n"
    "  --markers M          JPEG/TRANS markers 0-2 or none|comments|all (default all)\n"
    "  --trim, --no-trim    JPEG/TRANS: drop edge blocks that cannot be transformed\n"
    "                       (default --trim)\n"
    "  --orientation N      JPEG/TRANS: 0 none, 1 turn 90 clockwise, 2 turn 180,\n"
    "                       3 turn 270 clockwise, 4 mirror left-right, 5 mirror\n"
    "                       top-bottom (default 0)\n"
    "  --limit-kb N         JPEG: largest quality that fits N KB (1-2097151)\n"
    "  --comment TEXT       write TEXT as the comment (PNG, JPEG)\n"
    "\n"
    "Load options:\n"
    "  --no-gamma           ignore the PNG gamma value\n"
    "  --display-gamma N    display gamma x 1000 for PNG (1-1000000, default 2200)\n"
    "  --no-alpha           ignore transparency information\n"
    "  --no-file-background ignore the file's background colour\n"
    "  --background R,G,B   colour behind transparent pixels, 0-255 each (default 255,255,255)\n"
    "  --plugins DIR        folder of import plug-ins (default: the plugins folder\n"
    "                       beside this program, when there is one)\n"
    "\n"
    "Options may also be written --name=VALUE; \"--\" ends the options.\n"
    "Exit status: 0 success, 1 a file could not be read or written, 2 usage error.\n";

struct UsageError {
    std::string message;
};

// Strict decimal: digits only, no sign, no blanks, within [lo, hi].
std::optional<int> ParseInt(std::string_view text, int lo, int hi) {
    if (text.empty() || text.size() > 10) return std::nullopt;
    long long v = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    if (v < lo || v > hi) return std::nullopt;
    return static_cast<int>(v);
}

int IntOption(const std::string& name, const std::string& value, int lo, int hi) {
    const auto v = ParseInt(value, lo, hi);
    if (!v)
        throw UsageError{"--" + name + ": '" + value + "' is not a number from " +
                         std::to_string(lo) + " to " + std::to_string(hi)};
    return *v;
}

struct Rgb {
    int r, g, b;
};

Rgb ColourOption(const std::string& name, const std::string& value) {
    int parts[3];
    size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        const size_t comma = value.find(',', start);
        const bool last = i == 2;
        if (last != (comma == std::string::npos))
            throw UsageError{"--" + name + ": expected R,G,B, got '" + value + "'"};
        const std::string_view part =
            std::string_view(value).substr(start, last ? std::string::npos : comma - start);
        const auto v = ParseInt(part, 0, 255);
        if (!v) throw UsageError{"--" + name + ": expected R,G,B with 0-255 each, got '" + value + "'"};
        parts[i] = *v;
        start = comma + 1;
    }
    return {parts[0], parts[1], parts[2]};
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

int ChoiceOption(const std::string& name, const std::string& value,
                 std::initializer_list<const char*> names) {
    const std::string v = Lower(value);
    int i = 0;
    for (const char* n : names) {
        if (v == n) return i;
        ++i;
    }
    const auto number = ParseInt(value, 0, static_cast<int>(names.size()) - 1);
    if (number) return *number;
    std::string list;
    for (const char* n : names) list += std::string(list.empty() ? "" : "|") + n;
    throw UsageError{"--" + name + ": '" + value + "' is not one of " + list + " or 0-" +
                     std::to_string(names.size() - 1)};
}

std::optional<int> FormatFromName(const std::string& name) {
    const std::string v = Lower(name);
    if (v == "bmp") return kSaveBmp;
    if (v == "png") return kSavePng;
    if (v == "jpeg" || v == "jpg") return kSaveJpeg;
    if (v == "tiff" || v == "tif") return kSaveTiff;
    if (v == "gif") return kSaveGif;
    if (v == "jpeg-trans") return kSaveJpegTrans;
    return std::nullopt;
}

std::optional<int> FormatFromExtension(const std::string& path) {
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::nullopt;
    const std::string ext = Lower(path.substr(dot + 1));
    if (ext == "bmp") return kSaveBmp;
    if (ext == "png") return kSavePng;
    if (ext == "jpg" || ext == "jpeg" || ext == "jpe") return kSaveJpeg;
    if (ext == "tif" || ext == "tiff") return kSaveTiff;
    if (ext == "gif") return kSaveGif;
    return std::nullopt;
}

// The convert plan (files, settings, save switches) and what only the parser needs.
struct Options : ConvertPlan {
    std::string command;
    std::optional<int> format;
    std::string firstSaveOption;  // for the message when a command takes none
};

void ParseArguments(const std::vector<std::string>& args, Options& o) {
    o.command = args[0];
    // The program's defaults, as with an empty settings file; the user's file is not read.
    // The plug-ins installed beside the tool are used unless --plugins names others.
    ScreenFacts screen;
    screen.pluginFolder = InstalledPluginFolder(ExecutablePath());
    LoadSettings(IniFile{}, screen, o.settings);
    if (o.command != "info" && o.command != "decode" && o.command != "convert" &&
        o.command != "exif")
        throw UsageError{"unknown command '" + o.command + "'"};

    SImgSettings& simg = o.settings.simg;
    LImgSettings& limg = o.settings.limg;
    bool optionsEnded = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            o.files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg[1] != '-') throw UsageError{"unknown option '" + arg + "'"};
        std::string name = arg.substr(2);
        std::optional<std::string> inlineValue;
        if (const size_t eq = name.find('='); eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
        }
        auto flag = [&]() {
            if (inlineValue) throw UsageError{"--" + name + " takes no value"};
        };
        auto value = [&]() -> std::string {
            if (inlineValue) return *inlineValue;
            if (i + 1 >= args.size()) throw UsageError{"--" + name + " needs a value"};
            return args[++i];
        };
        auto saveOption = [&]() {
            if (o.firstSaveOption.empty()) o.firstSaveOption = "--" + name;
        };

        if (name == "format") {
            saveOption();
            const std::string v = value();
            o.format = FormatFromName(v);
            if (!o.format)
                throw UsageError{"--format: '" + v + "' is not one of bmp|png|jpeg|tiff|gif|jpeg-trans"};
        } else if (name == "depth") {
            saveOption();
            const std::string v = value();
            const auto d = ParseInt(v, 1, 24);
            if (!d || (*d > 8 && *d != 24))
                throw UsageError{"--depth: '" + v + "' is not 1-8 or 24"};
            simg.depth = *d;
            o.depthGiven = true;
        } else if (name == "gray") {
            saveOption();
            flag();
            simg.gray = 1;
        } else if (name == "dither") {
            saveOption();
            simg.dither = IntOption(name, value(), 0, 3);
        } else if (name == "level") {
            saveOption();
            simg.level = IntOption(name, value(), 0, 9);
        } else if (name == "filter") {
            saveOption();
            simg.filter = ChoiceOption(name, value(), {"auto", "none", "sub", "up", "average", "paeth"});
        } else if (name == "interlace") {
            saveOption();
            flag();
            simg.interlace = 1;
        } else if (name == "save-gamma") {
            saveOption();
            simg.gamma = 1;
            simg.saveGam = IntOption(name, value(), 1, 1000000);
        } else if (name == "transparent") {
            saveOption();
            const Rgb c = ColourOption(name, value());
            o.saveTransparent = true;
            simg.alphaR = c.r;
            simg.alphaG = c.g;
            simg.alphaB = c.b;
        } else if (name == "quality") {
            saveOption();
            simg.quality = IntOption(name, value(), 1, 100);
        } else if (name == "sampling") {
            saveOption();
            simg.sampling = IntOption(name, value(), 0, 2);
        } else if (name == "progressive") {
            saveOption();
            flag();
            simg.progressive = 1;
        } else if (name == "markers") {
            saveOption();
            simg.jMarker = ChoiceOption(name, value(), {"none", "comments", "all"});
        } else if (name == "trim") {
            saveOption();
            flag();
            simg.jpgTrim = 1;
        } else if (name == "no-trim") {
            saveOption();
            flag();
            simg.jpgTrim = 0;
        } else if (name == "orientation") {
            saveOption();
            o.orientation = IntOption(name, value(), 0, 5);
        } else if (name == "limit-kb") {
            saveOption();
            simg.jpgLimit = 1;
            simg.jpgLmtVal = IntOption(name, value(), 1, 2097151);
        } else if (name == "comment") {
            saveOption();
            o.writeComment = true;
            o.comment = value();
        } else if (name == "no-gamma") {
            flag();
            limg.gamma = 0;
        } else if (name == "display-gamma") {
            limg.dispGam = IntOption(name, value(), 1, 1000000);
        } else if (name == "no-alpha") {
            flag();
            limg.alpha = 0;
        } else if (name == "no-file-background") {
            flag();
            limg.fbg = 0;
        } else if (name == "background") {
            const Rgb c = ColourOption(name, value());
            limg.bgR = c.r;
            limg.bgG = c.g;
            limg.bgB = c.b;
        } else if (name == "plugins") {
            const std::string v = value();
            if (v.empty()) throw UsageError{"--plugins needs a folder"};
            o.settings.path.spi = v;
        } else {
            throw UsageError{"unknown option '--" + name + "'"};
        }
    }

    if (o.command != "convert" && !o.firstSaveOption.empty())
        throw UsageError{o.firstSaveOption + " applies to convert only"};
    if (o.command == "info" && o.files.empty()) throw UsageError{"info needs at least one FILE"};
    if (o.command == "exif" && o.files.size() != 1) throw UsageError{"exif needs one FILE"};
    if (o.command == "decode" && o.files.size() != 2)
        throw UsageError{"decode needs FILE and OUT.ppm"};
    if (o.command == "convert") {
        if (o.files.size() != 2) throw UsageError{"convert needs IN and OUT"};
        if (!o.format) {
            o.format = FormatFromExtension(o.files[1]);
            if (!o.format)
                throw UsageError{"cannot tell the format from '" + o.files[1] + "'; use --format"};
        }
        simg.format = *o.format;
    }
}

Session MakeSession(const Options& o) {
    Session s;
    s.settings = o.settings;
    return s;
}

// Why a file did not load, from the load's own result: the own codec's error, 4 when the
// file cannot be read, else 0 with the display-failure text.
std::pair<int, std::string> LoadError(const LoadResult& r) {
    if (r.unreadable) return {kCodecRead, CodecErrorText(kCodecRead)};
    if (r.format >= kFormatBmp && r.format <= kFormatGif) {
        std::string text = CodecErrorText(r.error);
        if (text.empty()) text = r.message;  // a library's own words
        if (text.empty()) text = ShowErrorText(kErrDisplay);
        return {r.error, text};
    }
    return {0, ShowErrorText(kErrDisplay)};
}

std::string ErrorLine(const std::string& file, const std::pair<int, std::string>& e) {
    return file + " error " + std::to_string(e.first) + ": " + e.second;
}

std::string FlagText(const PictureFlags& f) {
    std::string s = "----";
    if (f.interlaced) s[0] = 'I';
    if (f.transparent) s[1] = 'T';
    if (f.hasText) s[2] = 'X';
    if (f.hasComment) s[3] = 'C';
    return s;
}

int RunInfo(const Options& o, std::ostream& out) {
    int status = 0;
    for (const std::string& file : o.files) {
        Session s = MakeSession(o);
        LoadResult result;
        if (!LoadPicture(s, file, &result)) {
            out << ErrorLine(file, LoadError(result)) << '\n';
            status = 1;
            continue;
        }
        const ImageBuffer& img = s.picture.image;
        out << file << " format=" << img.sourceFormat << " width=" << img.width()
            << " height=" << img.height() << " bits=" << img.bitCount()
            << " source_bits=" << img.sourceBitDepth << " file_size=" << img.fileSize
            << " flags=" << FlagText(s.picture.flags);
        if (s.picture.animation.frameCount() > 1) out << " frames=" << s.picture.animation.frameCount();
        out << '\n';
    }
    out.flush();
    return out ? status : 1;
}

// The picture as R,G,B, rows from the top, converted a band of rows at a time (never a
// second whole copy of the picture).
bool WritePpm(const ImageBuffer& img, const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const int w = img.width(), h = img.height(), bpp = img.bitCount();
    bool ok = std::fprintf(f, "P6\n%d %d\n255\n", w, h) > 0 && std::fflush(f) == 0;
    const size_t rowBytes = static_cast<size_t>(w) * 3;
    const size_t bandRows = std::max<size_t>(1, (size_t{1} << 20) / rowBytes);
    std::vector<uint8_t> band(rowBytes * bandRows);
    uint8_t rgb[256][3];  // the palette as R,G,B
    for (int i = 0; i < 256; ++i) {
        const RgbQuad& c = img.palette[static_cast<size_t>(i)];
        rgb[i][0] = c.red;
        rgb[i][1] = c.green;
        rgb[i][2] = c.blue;
    }
    for (int y = 0; ok && y < h;) {
        const int rows = static_cast<int>(std::min<size_t>(bandRows, static_cast<size_t>(h - y)));
        for (int k = 0; k < rows; ++k, ++y) {
            const uint8_t* src = img.topRow(y);
            uint8_t* d = band.data() + rowBytes * static_cast<size_t>(k);
            if (bpp == 24) {
                for (int x = 0; x < w; ++x, src += 3, d += 3) {
                    const uint8_t b = src[0], g = src[1], r = src[2];
                    d[0] = r;
                    d[1] = g;
                    d[2] = b;
                }
                continue;
            }
            for (int x = 0; x < w; ++x, d += 3) {
                int index;
                if (bpp == 8) index = src[x];
                else if (bpp == 4) index = (src[x / 2] >> (x % 2 ? 0 : 4)) & 15;
                else index = (src[x / 8] >> (7 - x % 8)) & 1;
                std::memcpy(d, rgb[index], 3);
            }
        }
        const size_t n = rowBytes * static_cast<size_t>(rows);
        ok = WriteAllToFd(fileno(f), band.data(), n);
    }
    if (std::fclose(f) != 0) ok = false;
    if (!ok) std::remove(path.c_str());
    return ok;
}

int RunDecode(const Options& o, std::ostream& err) {
    const std::string& file = o.files[0];
    const std::string& outPath = o.files[1];
    Session s = MakeSession(o);
    LoadResult result;
    if (!LoadPicture(s, file, &result)) {
        err << ErrorLine(file, LoadError(result)) << '\n';
        return 1;
    }
    const int bpp = s.picture.image.bitCount();
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24) {
        err << file << " error " << kCodecUnsupported << ": " << CodecErrorText(kCodecUnsupported)
            << '\n';
        return 1;
    }
    if (!WritePpm(s.picture.image, outPath)) {
        err << outPath << ": " << ShowErrorText(kErrFileCreate) << '\n';
        return 1;
    }
    return 0;
}

int SaveConvertedOptions(Session& s, const Options& o, const std::string& outPath, std::ostream& err) {
    ConvertPlan plan = o;
    plan.depthGiven = true;  // convert saves at the depth of its options
    return SaveConverted(s, plan, outPath, err);
}

int RunConvert(Options& o, std::ostream& err) {
    const std::string& in = o.files[0];
    const std::string& outPath = o.files[1];
    Session s = MakeSession(o);
    LoadResult result;
    if (!LoadPicture(s, in, &result)) {
        err << ErrorLine(in, LoadError(result)) << '\n';
        return 1;
    }
    return SaveConvertedOptions(s, o, outPath, err);
}

int RunExif(const Options& o, std::ostream& out, std::ostream& err) {
    const std::string& file = o.files[0];
    ExifRecord record;
    if (!ReadExifFile(file, record)) {
        err << file << ": " << ShowErrorText(kErrRead) << '\n';
        return 1;
    }
    out << ExifRowsText(MakeExifRows(record));
    out.flush();
    return out ? 0 : 1;
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        err << kUsage;
        return 2;
    }
    for (const std::string& a : args) {
        if (a == "--") break;
        if (a == "--help" || a == "-h") {
            out << kUsage << "\n" << kPrintUsage << kEditUsage;
            out.flush();
            return out ? 0 : 1;
        }
    }
    if (args[0] == "print") return RunPrint(args, out, err);
    if (args[0] == "edit") return RunEdit(args, out, err);
    Options o;
    try {
        ParseArguments(args, o);
    } catch (const UsageError& e) {
        err << "lumra: " << e.message << "\nTry 'lumra --help'.\n";
        return 2;
    }
    if (o.command == "info") return RunInfo(o, out);
    if (o.command == "decode") return RunDecode(o, err);
    if (o.command == "exif") return RunExif(o, out, err);
    return RunConvert(o, err);
}

}  // namespace

bool ParseConvertArguments(const std::vector<std::string>& args, ConvertPlan& plan,
                           std::string& error) {
    Options o;
    try {
        ParseArguments(args, o);
    } catch (const UsageError& e) {
        error = e.message;
        return false;
    }
    plan = o;
    return true;
}

int SaveConverted(Session& s, const ConvertPlan& plan, const std::string& outPath, std::ostream& err) {
    // Loading resets these switches; the options are applied to the loaded picture.
    const int depth = s.settings.simg.depth;
    s.settings.simg = plan.settings.simg;
    if (!plan.depthGiven) s.settings.simg.depth = depth;
    s.picture.saveTransparent = plan.saveTransparent;
    s.picture.writeComment = plan.writeComment;
    s.picture.commentText = plan.comment;
    s.picture.orientation = plan.orientation;
    bool reported = false;
    s.ui.showError = [&](int code) {
        err << outPath << ": " << ShowErrorText(code) << '\n';
        reported = true;
    };
    s.ui.reportCodecError = [&](int code, const std::string& text) {
        std::string message = text.empty() ? CodecErrorText(code) : text;
        if (message.empty()) message = ShowErrorText(kErrFileCreate);
        err << outPath << " error " << code << ": " << message << '\n';
        reported = true;
    };
    if (!SavePicture(s, outPath)) {
        if (!reported) err << outPath << ": " << ShowErrorText(kErrFileCreate) << '\n';
        return 1;
    }
    return 0;
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    try {
        return Run(args, out, err);
    } catch (const std::bad_alloc&) {
        try {
            err << "lumra: " << ShowErrorText(kErrMemory) << '\n';
        } catch (...) {
        }
        return 1;
    } catch (const std::exception& e) {
        try {
            err << "lumra: " << e.what() << '\n';
        } catch (...) {
        }
        return 1;
    } catch (...) {
        return 1;
    }
}

}  // namespace lumra
