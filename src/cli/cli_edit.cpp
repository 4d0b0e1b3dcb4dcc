#include "cli/cli_edit.h"

#include <cstdio>
#include <ostream>

#include "cli/cli.h"
#include "edit/edit_model.h"
#include "formats/bmp/bmp_codec.h"
#include "platform/file_io.h"
#include "shell/session.h"
#include "shell/show_error.h"

namespace lumra {

const char* const kEditUsage =
    "  lumra edit IN OUT [--mask M0.pgm] [--select S]... [--write-mask M1.pgm]\n"
    "             [--write-overlay OV.bmp] [--op O]... [save options of convert]\n"
    "      Loads IN, takes the selection from M0 (binary PGM of the picture's size, 255\n"
    "      kept, 0 full effect; an 8-bit picture becomes 24-bit), runs each operation O\n"
    "      (NAME or NAME=ARGS; undo, redo) committed with OK and saves OUT. OUT keeps the\n"
    "      picture's depth unless --depth is given. M1 and OV are written while a\n"
    "      selection exists, otherwise removed. Exit status 3: an operation refused the\n"
    "      picture. Nothing is written on a failure.\n";

namespace {

struct OpStep {
    std::string name;
    std::string args;
    const OperationDef* def = nullptr;       // an operation with a bar
    const ImmediateDef* immediate = nullptr;  // a command that acts at once
};

struct EditArgs {
    std::string mask, writeMask, writeOverlay;
    std::vector<OpStep> ops;
    bool select = false;
    std::vector<std::string> rest{"convert"};
};

bool Usage(std::ostream& err, const std::string& message) {
    err << "lumra: " << message << "\nTry 'lumra --help'.\n";
    return false;
}

bool SplitArguments(const std::vector<std::string>& args, EditArgs& e, std::ostream& err) {
    bool ended = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (ended || a.size() < 3 || a.compare(0, 2, "--") != 0) {
            if (a == "--") ended = true;
            e.rest.push_back(a);
            continue;
        }
        std::string name = a.substr(2);
        std::optional<std::string> inlineValue;
        if (const size_t eq = name.find('='); eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
        }
        if (name != "mask" && name != "select" && name != "write-mask" && name != "write-overlay" &&
            name != "op") {
            e.rest.push_back(a);
            continue;
        }
        std::string value;
        if (inlineValue) {
            value = *inlineValue;
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            return Usage(err, "--" + name + " needs a value");
        }
        if (value.empty()) return Usage(err, "--" + name + " needs a value");
        if (name == "mask") e.mask = value;
        else if (name == "write-mask") e.writeMask = value;
        else if (name == "write-overlay") e.writeOverlay = value;
        else if (name == "select") e.select = true;
        else {
            OpStep step;
            const size_t eq = value.find('=');
            step.name = value.substr(0, eq);
            if (eq != std::string::npos) step.args = value.substr(eq + 1);
            if (const ImmediateDef* imm = FindImmediateByCliName(step.name)) {
                step.immediate = imm;
                if (!imm->apply) return Usage(err, "--op: '" + step.name + "' is not available");
                if (!step.args.empty()) return Usage(err, "--op: " + step.name + " takes no value");
            } else if (step.name != "undo" && step.name != "redo") {
                step.def = FindOperationByCliName(step.name);
                if (!step.def) return Usage(err, "--op: unknown operation '" + step.name + "'");
                if (!step.def->start || !step.def->parseArgs)
                    return Usage(err, "--op: '" + step.name + "' is not available");
            } else if (!step.args.empty()) {
                return Usage(err, "--op: " + step.name + " takes no value");
            }
            e.ops.push_back(std::move(step));
        }
    }
    // The selection tool arrives with the selection areas.
    if (e.select) return Usage(err, "--select: the selection tool is not available");
    return true;
}

// The mask file as the picture's SelectionMask (bottom-up rows); 1 or 2 on failure.
int ReadMask(const std::string& path, const ImageBuffer& picture, std::vector<uint8_t>& mask,
             std::ostream& err) {
    std::vector<uint8_t> file;
    if (!ReadWholeFile(path, file)) {
        err << path << ": " << ShowErrorText(kErrRead) << '\n';
        return 1;
    }
    const std::optional<GreyMap> map = ParsePgm(file);
    if (!map) {
        err << path << ": not a binary PGM file with maxval 255\n";
        return 1;
    }
    const int w = picture.width(), h = picture.height();
    if (map->width != w || map->height != h) {
        err << "lumra: --mask: " << path << " is " << map->width << "x" << map->height
            << ", the picture is " << w << "x" << h << '\n';
        return 2;
    }
    mask.resize(map->bytes.size());
    for (int y = 0; y < h; ++y)
        std::copy_n(map->bytes.begin() + static_cast<ptrdiff_t>(y) * w, w,
                    mask.begin() + static_cast<ptrdiff_t>(h - 1 - y) * w);
    return 0;
}

GreyMap MaskAsPgm(const std::vector<uint8_t>& mask, int w, int h) {
    GreyMap map{w, h, std::vector<uint8_t>(mask.size())};
    for (int y = 0; y < h; ++y)
        std::copy_n(mask.begin() + static_cast<ptrdiff_t>(h - 1 - y) * w, w,
                    map.bytes.begin() + static_cast<ptrdiff_t>(y) * w);
    return map;
}

// One operation through the same start / recompute / finish path as the edit window.
int RunOperation(Session& s, EditModel& model, const OpStep& step, std::ostream& err) {
    if (step.immediate) {
        auto show = s.ui.showError;
        s.ui.showError = [&](int code) { err << step.name << ": " << ShowErrorText(code) << '\n'; };
        const int code = step.immediate->apply(s);
        s.ui.showError = show;
        return code == 0 ? 0 : 3;
    }
    if (!step.def) {
        bool sizeChanged = false;
        bool failed = false;
        auto show = s.ui.showError;
        s.ui.showError = [&](int code) {
            failed = true;
            err << step.name << ": " << ShowErrorText(code) << '\n';
        };
        StepHistory(s, step.name == "undo" ? -1 : 1, &sizeChanged);
        s.ui.showError = show;
        return failed ? 1 : 0;
    }
    if (!BeginOperation(model, s, *step.def)) return 3;
    std::string error;
    if (!step.def->parseArgs(step.args, *model.active->preview, error)) {
        EndOperation(model, s, false);
        err << "lumra: --op " << step.name << ": " << error << '\n';
        return 2;
    }
    RequestRecompute(model);
    // An operation that refuses its result at OK (say a picture too large) has said why; a
    // history entry that could not be written leaves the change standing.
    auto show = s.ui.showError;
    bool refused = false;
    s.ui.showError = [&](int code) {
        refused = refused || code != kErrHistorySave;
        if (show) show(code);
    };
    EndOperation(model, s, true);
    s.ui.showError = show;
    return refused ? 3 : 0;
}

}  // namespace

std::optional<GreyMap> ParsePgm(const std::vector<uint8_t>& file) {
    size_t pos = 0;
    auto skipSpace = [&] {
        while (pos < file.size()) {
            if (file[pos] == '#') {
                while (pos < file.size() && file[pos] != '\n') ++pos;
            } else if (file[pos] == ' ' || file[pos] == '\t' || file[pos] == '\n' || file[pos] == '\r') {
                ++pos;
            } else {
                break;
            }
        }
    };
    auto number = [&]() -> long {
        skipSpace();
        long v = 0;
        size_t digits = 0;
        while (pos < file.size() && file[pos] >= '0' && file[pos] <= '9' && digits < 9) {
            v = v * 10 + (file[pos++] - '0');
            ++digits;
        }
        return digits ? v : -1;
    };
    if (file.size() < 2 || file[0] != 'P' || file[1] != '5') return std::nullopt;
    pos = 2;
    const long w = number(), h = number(), maxval = number();
    if (w <= 0 || h <= 0 || w > kMaxPictureSide || h > kMaxPictureSide || maxval != 255) return std::nullopt;
    if (pos >= file.size()) return std::nullopt;
    ++pos;  // the one blank after maxval
    const size_t bytes = static_cast<size_t>(w) * static_cast<size_t>(h);
    if (file.size() - pos < bytes) return std::nullopt;
    GreyMap map{static_cast<int>(w), static_cast<int>(h),
                std::vector<uint8_t>(file.begin() + static_cast<ptrdiff_t>(pos),
                                     file.begin() + static_cast<ptrdiff_t>(pos + bytes))};
    return map;
}

std::vector<uint8_t> MakePgm(const GreyMap& map) {
    const std::string head =
        "P5\n" + std::to_string(map.width) + " " + std::to_string(map.height) + "\n255\n";
    std::vector<uint8_t> out(head.begin(), head.end());
    out.insert(out.end(), map.bytes.begin(), map.bytes.end());
    return out;
}

int RunEdit(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    (void)out;
    EditArgs e;
    if (!SplitArguments(args, e, err)) return 2;
    ConvertPlan plan;
    std::string error;
    if (!ParseConvertArguments(e.rest, plan, error)) {
        if (error == "convert needs IN and OUT") error = "edit needs IN and OUT";
        Usage(err, error);
        return 2;
    }
    const std::string& in = plan.files[0];
    const std::string& outPath = plan.files[1];

    Session s;
    s.settings = plan.settings;
    if (!LoadPicture(s, in)) {
        err << in << ": " << ShowErrorText(kErrDisplay) << '\n';
        return 1;
    }
    s.ui.showError = [&](int code) { err << in << ": " << ShowErrorText(code) << '\n'; };

    if (!e.mask.empty()) {
        std::vector<uint8_t> mask;
        if (const int rc = ReadMask(e.mask, s.picture.image, mask, err); rc != 0) return rc;
        if (s.picture.image.bitCount() != 24) {
            // A selection lives on a 24-bit picture.
            ImageBuffer wide = WidenTo24(s.picture.image);
            if (wide.empty()) {
                err << in << ": " << ShowErrorText(kErrMemory) << '\n';
                return 1;
            }
            InstallPicture(s, std::move(wide), false, false);
        }
        s.picture.selection = std::move(mask);
    }

    EditModel model;
    for (const OpStep& step : e.ops)
        if (const int rc = RunOperation(s, model, step, err); rc != 0) return rc;

    // What goes beside OUT, prepared before anything is written.
    const ImageBuffer& pic = s.picture.image;
    const bool selected =
        s.picture.selection.size() == static_cast<size_t>(pic.width()) * static_cast<size_t>(pic.height());
    std::vector<uint8_t> maskFile, overlayFile;
    if (selected && !e.writeMask.empty())
        maskFile = MakePgm(MaskAsPgm(s.picture.selection, pic.width(), pic.height()));
    if (selected && !e.writeOverlay.empty()) {
        DecoderContext ctx;
        const ImageBuffer overlay = RenderOverlay(WidenTo24(pic), s.picture.selection.data());
        if (overlay.empty() || !EncodeBmp(overlay, 24, false, 0, overlayFile, ctx)) {
            err << e.writeOverlay << ": " << ShowErrorText(kErrMemory) << '\n';
            return 1;
        }
    }

    s.settings.simg.depth = pic.bitCount();  // kept unless --depth
    // The turns of a JPEG picture travel to a JPEG/TRANS save unless --orientation says otherwise.
    if (plan.orientation == 0) plan.orientation = s.picture.orientation;
    if (const int rc = SaveConverted(s, plan, outPath, err); rc != 0) return rc;
    for (const auto& [path, bytes] : {std::pair{e.writeMask, &maskFile}, {e.writeOverlay, &overlayFile}}) {
        if (path.empty()) continue;
        if (!selected) {
            std::remove(path.c_str());
            continue;
        }
        if (!WriteWholeFile(path, bytes->data(), bytes->size())) {
            err << path << ": " << ShowErrorText(kErrFileCreate) << '\n';
            std::remove(outPath.c_str());
            return 1;
        }
    }
    return 0;
}

}  // namespace lumra
