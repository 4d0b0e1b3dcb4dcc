#include "cli/cli_print.h"

#include <array>
#include <optional>
#include <ostream>

#include "formats/load_save.h"
#include "formats/plugin_host.h"
#include "output/print_layout.h"
#include "output/print_pdf.h"
#include "platform/atomic_write.h"
#include "platform/paths.h"
#include "shell/ini_file.h"
#include "shell/session.h"
#include "shell/settings.h"
#include "shell/show_error.h"

namespace lumra {

const char* const kPrintUsage =
    "  lumra print IN OUT.pdf [--mode normal|full] [--place X,Y,R,B] [--crop X,Y,W,H]\n"
    "              [--paper NAME] [--landscape] [--margins L,T,R,B]\n"
    "      Prints IN on one PDF page as the print dialog would. --place gives the\n"
    "      picture's left, top, right and bottom edges in 0.1 mm from the printable\n"
    "      area's top-left corner (normal mode; default: the picture's own resolution,\n"
    "      else 96 dpi, at 0,0); --crop the picture pixels that fill the printable area\n"
    "      (full mode; default: centred in the page's proportions). Papers: A3 A4 (default)\n"
    "      A5 B4 B5 Letter Legal. The printable area is the whole page unless --margins\n"
    "      gives its distances from the paper's edges in 0.1 mm.\n";

namespace {

constexpr int kScreenDpi = 96;  // no screen: the usual one

struct PrintUsageError {
    std::string message;
};

std::optional<std::array<int, 4>> FourNumbers(const std::string& text, bool allowNegative) {
    std::array<int, 4> v{};
    size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        const size_t comma = text.find(',', start);
        if ((i == 3) != (comma == std::string::npos)) return std::nullopt;
        const std::string part = text.substr(start, i == 3 ? std::string::npos : comma - start);
        size_t k = 0;
        bool negative = false;
        if (allowNegative && !part.empty() && part[0] == '-') negative = true, k = 1;
        if (k >= part.size() || part.size() - k > 9) return std::nullopt;
        int n = 0;
        for (; k < part.size(); ++k) {
            if (part[k] < '0' || part[k] > '9') return std::nullopt;
            n = n * 10 + (part[k] - '0');
        }
        v[i] = negative ? -n : n;
        start = comma + 1;
    }
    return v;
}

struct PrintOptions {
    std::vector<std::string> files;
    PrintMode mode = PrintMode::kNormal;
    std::optional<std::array<int, 4>> place, crop;
    std::array<int, 4> margins{};
    int paperWidth = 2100, paperHeight = 2970;
    bool landscape = false;
    std::string plugins;
};

PrintOptions ParsePrint(const std::vector<std::string>& args) {
    PrintOptions o;
    bool ended = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (ended || arg.size() < 2 || arg[0] != '-') {
            o.files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            ended = true;
            continue;
        }
        if (arg[1] != '-') throw PrintUsageError{"unknown option '" + arg + "'"};
        std::string name = arg.substr(2);
        std::optional<std::string> inlineValue;
        if (const size_t eq = name.find('='); eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
        }
        auto value = [&]() -> std::string {
            if (inlineValue) return *inlineValue;
            if (i + 1 >= args.size()) throw PrintUsageError{"--" + name + " needs a value"};
            return args[++i];
        };
        auto four = [&](const char* what, bool negative) {
            const std::string v = value();
            const auto n = FourNumbers(v, negative);
            if (!n) throw PrintUsageError{"--" + name + ": expected " + what + " as whole numbers, got '" + v + "'"};
            return *n;
        };
        if (name == "mode") {
            const std::string v = value();
            if (v == "normal") o.mode = PrintMode::kNormal;
            else if (v == "full") o.mode = PrintMode::kFull;
            else throw PrintUsageError{"--mode: '" + v + "' is not normal or full"};
        } else if (name == "place") {
            o.place = four("X,Y,R,B", true);
        } else if (name == "crop") {
            o.crop = four("X,Y,W,H", false);
        } else if (name == "margins") {
            o.margins = four("L,T,R,B", false);
        } else if (name == "paper") {
            const std::string v = value();
            if (!PaperSize(v, o.paperWidth, o.paperHeight))
                throw PrintUsageError{"--paper: '" + v + "' is not one of A3 A4 A5 B4 B5 Letter Legal"};
        } else if (name == "landscape") {
            if (inlineValue) throw PrintUsageError{"--landscape takes no value"};
            o.landscape = true;
        } else if (name == "plugins") {
            o.plugins = value();
        } else {
            throw PrintUsageError{"unknown option '--" + name + "'"};
        }
    }
    if (o.files.size() != 2) throw PrintUsageError{"print needs IN and OUT.pdf"};
    if (o.place && o.mode != PrintMode::kNormal) throw PrintUsageError{"--place applies to --mode normal"};
    if (o.crop && o.mode != PrintMode::kFull) throw PrintUsageError{"--crop applies to --mode full"};
    if (o.landscape) std::swap(o.paperWidth, o.paperHeight);
    const auto& m = o.margins;
    if (m[0] + m[2] >= o.paperWidth - 10 || m[1] + m[3] >= o.paperHeight - 10)
        throw PrintUsageError{"--margins leave no printable area"};
    return o;
}

}  // namespace

int RunPrint(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
    PrintOptions o;
    try {
        o = ParsePrint(args);
    } catch (const PrintUsageError& e) {
        err << "lumra: " << e.message << "\nTry 'lumra --help'.\n";
        return 2;
    }
    const std::string& in = o.files[0];
    const std::string& outPath = o.files[1];
    Session s;
    ScreenFacts screen;
    screen.pluginFolder = InstalledPluginFolder(ExecutablePath());
    LoadSettings(IniFile{}, screen, s.settings);
    if (!o.plugins.empty()) s.settings.path.spi = o.plugins;
    if (!LoadPicture(s, in)) {
        err << in << ": " << ShowErrorText(kErrDisplay) << '\n';
        return 1;
    }
    const ImageBuffer& img = s.picture.image;
    const PageDevice device =
        PdfDevice(o.paperWidth, o.paperHeight, o.margins[0], o.margins[1], o.margins[2], o.margins[3]);
    const int dpi = InitialPrintDpi(img.header.biXPelsPerMeter, img.header.biYPelsPerMeter, kScreenDpi, kScreenDpi);
    PrintLayout layout = StartPrintLayout(MeasurePage(device), img.width(), img.height(), dpi);
    layout.mode = o.mode;
    if (o.place) {
        layout.x = std::max(0, (*o.place)[0]);
        layout.y = std::max(0, (*o.place)[1]);
        layout.r = (*o.place)[2];
        layout.b = (*o.place)[3];
    }
    UpdatePrintLayout(layout);
    if (o.crop) {
        const auto& c = *o.crop;
        if (c[2] < 1 || c[3] < 1 || int64_t{c[0]} + c[2] > img.width() || int64_t{c[1]} + c[3] > img.height()) {
            err << "lumra: --crop: " << c[0] << ',' << c[1] << ',' << c[2] << ',' << c[3]
                << " is not inside the " << img.width() << " x " << img.height() << " picture\nTry 'lumra --help'.\n";
            return 2;
        }
        layout.cropX = c[0];
        layout.cropY = c[1];
        layout.cropWidth = c[2];
        layout.cropHeight = c[3];
    }
    const std::string pdf = PrintToPdf(img, layout, device, FileNamePart(in));
    if (pdf.empty() || !WriteFileAtomically(outPath, pdf)) {
        err << outPath << ": " << ShowErrorText(pdf.empty() ? kErrPrint : kErrFileCreate) << '\n';
        return 1;
    }
    return 0;
}

}  // namespace lumra
