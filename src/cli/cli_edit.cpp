#include "cli/cli_edit.h"

#include <cstdio>
#include <ostream>

#include "cli/cli.h"
#include "edit/edit_model.h"
#include "edit/filter/filter_ops.h"
#include "edit/select/selection_tool.h"
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
    "      picture. Nothing is written on a failure.\n"
    "      All --select items form one selection-tool session, ended with OK before the\n"
    "      operations run (X from the left, Y from the top; MODE new, add or exclude):\n"
    "        rect=MODE,X1,Y1,X2,Y2[,shift]  ellipse=MODE,X1,Y1,X2,Y2[,shift]\n"
    "        lasso=MODE,X1,Y1[,X2,Y2...]    brush=MODE,SIZE,X1,Y1[,X2,Y2...]\n"
    "        range=MODE,X,Y,RANGE,ADJ       all  none  invert  feather=LEVEL\n"
    "      Filters: usm=LEVEL,RANGE  blur=MODE,LEVEL  softfocus=LEVEL  denoise=LEVEL\n";

namespace {

struct OpStep {
    std::string name;
    std::string args;
    const OperationDef* def = nullptr;       // an operation with a bar
    const ImmediateDef* immediate = nullptr;  // a command that acts at once
};

// One --select item: a gesture or a command of the selection tool.
struct SelectStep {
    std::string name;  // rect, ellipse, lasso, brush, range, all, none, invert, feather
    int mode = kSelectNew;
    std::vector<int> values;
    bool shift = false;
};

struct EditArgs {
    std::string mask, writeMask, writeOverlay;
    std::vector<OpStep> ops;
    std::vector<SelectStep> selects;
    std::vector<std::string> rest{"convert"};
};

bool Usage(std::ostream& err, const std::string& message) {
    err << "lumra: " << message << "\nTry 'lumra --help'.\n";
    return false;
}

constexpr int kSelectReach = 1000000;

// MODE,values... of a --select item; the value count is checked by the caller.
bool ParseSelectStep(const std::string& text, SelectStep& step, std::ostream& err) {
    const size_t eq = text.find('=');
    step.name = text.substr(0, eq);
    const std::string args = eq == std::string::npos ? std::string() : text.substr(eq + 1);
    const std::string& n = step.name;
    if (n == "all" || n == "none" || n == "invert") {
        if (eq != std::string::npos) return Usage(err, "--select: " + n + " takes no value");
        return true;
    }
    if (n == "feather") {
        if (!ParseIntList(args, step.values) || step.values.size() != 1)
            return Usage(err, "--select: feather takes LEVEL (1..100)");
        return true;
    }
    static const char* const kForms[][2] = {
        {"rect", "rect=MODE,X1,Y1,X2,Y2[,shift]"},  {"ellipse", "ellipse=MODE,X1,Y1,X2,Y2[,shift]"},
        {"lasso", "lasso=MODE,X1,Y1[,X2,Y2...]"},    {"brush", "brush=MODE,SIZE,X1,Y1[,X2,Y2...]"},
        {"range", "range=MODE,X,Y,RANGE,ADJ (ADJ 0 or 1)"},
    };
    const char* form = nullptr;
    for (const auto& f : kForms)
        if (n == f[0]) form = f[1];
    if (!form) return Usage(err, "--select: unknown item '" + n + "'");
    const auto bad = [&] { return Usage(err, std::string("--select: ") + form + ", MODE new, add or exclude"); };
    const size_t comma = args.find(',');
    const std::string mode = args.substr(0, comma);
    if (mode == "new") step.mode = kSelectNew;
    else if (mode == "add") step.mode = kSelectAdd;
    else if (mode == "exclude") step.mode = kSelectExclude;
    else return bad();
    std::string rest = comma == std::string::npos ? std::string() : args.substr(comma + 1);
    if ((n == "rect" || n == "ellipse") && rest.size() >= 6 && rest.compare(rest.size() - 6, 6, ",shift") == 0) {
        step.shift = true;
        rest.resize(rest.size() - 6);
    }
    if (!ParseIntList(rest, step.values)) return bad();
    const size_t count = step.values.size();
    // Points farther off than any pointer can go are refused.
    for (size_t i = n == "brush" ? 1 : 0; i < count && (n != "range" || i < 2); ++i)
        if (step.values[i] < -kSelectReach || step.values[i] > kSelectReach)
            return Usage(err, "--select: coordinates from -1000000 to 1000000");
    const bool ok = n == "rect" || n == "ellipse" ? count == 4
                    : n == "lasso"                ? count >= 2 && count % 2 == 0
                    : n == "brush"                ? count >= 3 && count % 2 == 1
                                                  : count == 4 && (step.values[3] == 0 || step.values[3] == 1);
    return ok ? true : bad();
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
        else if (name == "select") {
            SelectStep step;
            if (!ParseSelectStep(value, step, err)) return false;
            e.selects.push_back(std::move(step));
        } else {
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
                // Values are checked before the picture is read.
                PreviewState probe;
                std::string error;
                if (!step.def->parseArgs(step.args, probe, error))
                    return Usage(err, "--op " + step.name + ": " + error);
            } else if (!step.args.empty()) {
                return Usage(err, "--op: " + step.name + " takes no value");
            }
            e.ops.push_back(std::move(step));
        }
    }
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

// The --select items as one selection-tool session ended with OK; 0 or an exit status.
int RunSelection(Session& s, EditModel& model, const std::vector<SelectStep>& steps) {
    if (steps.empty()) return 0;
    if (!BeginOperation(model, s, kOpSelection)) return 1;
    SelectionTool& tool = *ActiveSelectionTool(model);
    for (const SelectStep& step : steps) {
        const std::vector<int>& v = step.values;
        SelectionSettings& set = tool.settings;
        if (step.name == "all" || step.name == "none") {
            SelectWhole(tool, step.name == "all");
        } else if (step.name == "invert") {
            InvertSelection(tool);
        } else if (step.name == "feather") {
            set.smooth = ClampFeatherRadius(v[0]);
            FeatherSelection(tool);
        } else if (step.name == "range") {
            set.type = kShapeRange;
            set.range = ClampColourRange(v[2]);
            set.unit = v[3];
            set.mode = step.mode;
            SelectionPress(tool, v[0], v[1], false);
            SelectionRelease(tool, v[0], v[1], false);
        } else {
            // A press at the first point, a move to each later one, the release at the last.
            set.mode = step.mode;
            size_t first = 0;
            if (step.name == "rect") set.type = kShapeRect;
            else if (step.name == "ellipse") set.type = kShapeEllipse;
            else if (step.name == "lasso") set.type = kShapeLasso;
            else {
                set.type = kShapeBrush;
                set.size = ClampBrushSize(v[0]);
                first = 1;
            }
            SelectionPress(tool, v[first], v[first + 1], step.shift);
            for (size_t i = first + 2; i < v.size(); i += 2) SelectionMove(tool, v[i], v[i + 1], step.shift);
            SelectionRelease(tool, v[v.size() - 2], v.back(), step.shift);
        }
    }
    EndOperation(model, s, true);
    return 0;
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
    EndOperation(model, s, true);
    return 0;
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
    if (const int rc = RunSelection(s, model, e.selects); rc != 0) return rc;
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
