#include "cli/cli_edit.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ostream>

#include "cli/cli.h"
#include "edit/brush/brush_tool.h"
#include "edit/edit_model.h"
#include "edit/filter/filter_ops.h"
#include "edit/op_args.h"
#include "edit/select/selection_tool.h"
#include "edit/text/text_tool.h"
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
    "      (NAME or NAME=ARGS) committed with OK and saves OUT. OUT keeps the picture's\n"
    "      depth unless --depth is given. M1 and OV are written while a selection exists,\n"
    "      otherwise removed. Exit status 3: an operation refused the picture. Nothing is\n"
    "      written on a failure. X from the left, Y from the top, 0-based.\n"
    "      All --select items form one selection-tool session, ended with OK before the\n"
    "      operations run (MODE new, add or exclude):\n"
    "        rect=MODE,X1,Y1,X2,Y2[,shift]  ellipse=MODE,X1,Y1,X2,Y2[,shift]\n"
    "        lasso=MODE,X1,Y1[,X2,Y2...]    brush=MODE,SIZE,X1,Y1[,X2,Y2...]\n"
    "        range=MODE,X,Y,RANGE,ADJ       all  none  invert  feather=LEVEL\n"
    "      Operations:\n"
    "        History:  undo  redo\n"
    "        At once:  invert  equalize  rot90  rot180  rot270  mirror_lr  mirror_tb\n"
    "        Geometry: trim=X1,Y1,X2,Y2  resize=W,H  rotate=ANGLE[,R,G,B] (ANGLE in degrees,\n"
    "                  -180.0..180.0; R,G,B the background)\n"
    "        Tone:     gamma=V|R,G,B (-100..100)  brightness=V|R,G,B (-255..255)\n"
    "                  contrast=V|R,G,B (-100..100)\n"
    "                  levels=CH,MIN,MAX|CH,auto[,...] (CH RGB, R, G or B; MIN < MAX)\n"
    "        Colour:   hls=HUE,LIGHT,SAT[,COLR,COLG,COLB,RANGE]\n"
    "                  replace=R0,G0,B0,RANGE,R1,G1,B1,STRENGTH\n"
    "        Filters:  usm=LEVEL,RANGE  blur=MODE,LEVEL  softfocus=LEVEL  denoise=LEVEL\n"
    "        Brushes:  stroke=paint,SIZE,OPACITY,R,G,B,X1,Y1[,...]\n"
    "                  stroke=correct,MODE,SIZE,STRENGTH,X1,Y1[,...]  fill=OPACITY,R,G,B\n"
    "                  ok  cancel (undo and redo act on the strokes until ok or cancel)\n"
    "        Text:     text=X,Y,SIZE,WEIGHT,ITALIC,SPACING,R,G,B,OPACITY,SHADOW,SX,SY,SR,SG,\n"
    "                  SB,FACE,TEXT\n";

namespace {

struct OpStep {
    std::string name;
    std::string args;
    const OperationDef* def = nullptr;       // an operation with a bar
    const ImmediateDef* immediate = nullptr;  // a command that acts at once
    bool tool = false;                        // a brush or text step
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

bool IsToolStep(const std::string& name);

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
            if (IsToolStep(step.name)) {
                step.tool = true;
                if ((step.name == "ok" || step.name == "cancel") && !step.args.empty())
                    return Usage(err, "--op: " + step.name + " takes no value");
            } else if (const ImmediateDef* imm = FindImmediateByCliName(step.name)) {
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

// Brushes and text. A brush session (the paint or partial-correction tool left open) takes
// strokes, fills, undo and redo until ok, cancel, a step of another kind or the end.

bool IsToolStep(const std::string& name) {
    return name == "stroke" || name == "fill" || name == "ok" || name == "cancel" || name == "text";
}

// Comma-separated integers; false on anything else.
bool ParseInts(const std::string& text, std::vector<long>& out) {
    out.clear();
    size_t pos = 0;
    while (true) {
        const size_t comma = text.find(',', pos);
        const std::string field = text.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        size_t used = 0;
        long v = 0;
        try {
            v = std::stol(field, &used);
        } catch (...) {
            return false;
        }
        if (used != field.size() || field.empty() || std::isspace(static_cast<unsigned char>(field[0])))
            return false;
        out.push_back(v);
        if (comma == std::string::npos) return true;
        pos = comma + 1;
    }
}

bool ColourArg(long v, uint8_t& out, std::string& error) {
    if (v < 0 || v > 255) {
        error = "a colour value lies from 0 to 255";
        return false;
    }
    out = static_cast<uint8_t>(v);
    return true;
}

int Clamp(long v, int lo, int hi) { return static_cast<int>(std::clamp<long>(v, lo, hi)); }

void EndBrushSession(Session& s, EditModel& model, bool ok) {
    if (ActiveBrush(model)) EndOperation(model, s, ok);
}

// Opens the tool of kind (ending the other brush tool with OK first); null when refused.
BrushTool* OpenBrush(Session& s, EditModel& model, int kind) {
    if (BrushTool* open = ActiveBrush(model)) {
        if (model.active->def->kind == kind) return open;
        EndOperation(model, s, true);
    }
    return BeginOperation(model, s, kind) ? ActiveBrush(model) : nullptr;
}

int RunStroke(Session& s, EditModel& model, const OpStep& step, std::ostream& err) {
    static const char* const kModes[] = {"brighten", "darken", "vivid", "pale", "sharpen", "blur", "denoise"};
    const size_t comma = step.args.find(',');
    const std::string kind = step.args.substr(0, comma);
    std::vector<long> v;
    const bool paint = kind == "paint";
    int mode = -1;
    std::string rest = comma == std::string::npos ? "" : step.args.substr(comma + 1);
    if (!paint && kind == "correct") {
        const size_t c2 = rest.find(',');
        const std::string name = rest.substr(0, c2);
        for (int i = 0; i < 7; ++i)
            if (name == kModes[i]) mode = i;
        rest = c2 == std::string::npos ? "" : rest.substr(c2 + 1);
    }
    const size_t head = paint ? 5 : 2;  // SIZE,OPACITY,R,G,B or SIZE,STRENGTH
    std::string error;
    BrushSettings set;
    set.paint = paint;
    if (!paint && kind != "correct") {
        error = "stroke=paint,... or stroke=correct,...";
    } else if (!paint && mode < 0) {
        error = "MODE is brighten, darken, vivid, pale, sharpen, blur or denoise";
    } else if (!ParseInts(rest, v) || v.size() < head + 2 || (v.size() - head) % 2 != 0) {
        error = paint ? "stroke=paint,SIZE,OPACITY,R,G,B,X1,Y1[,X2,Y2...]"
                      : "stroke=correct,MODE,SIZE,STRENGTH,X1,Y1[,X2,Y2...]";
    } else {
        set.size = Clamp(v[0], kBrushMinSize, kBrushMaxSize);
        if (paint) {
            set.alpha = OpacityByte(Clamp(v[1], 0, 100));
            if (ColourArg(v[2], set.red, error) && ColourArg(v[3], set.green, error)) ColourArg(v[4], set.blue, error);
        } else {
            set.mode = mode;
            set.strength = Clamp(v[1], 1, 100);
        }
        for (size_t i = head; i < v.size() && error.empty(); ++i)
            if (v[i] < -kMaxPictureSide * 4L || v[i] > kMaxPictureSide * 4L)
                error = "a point lies from -100000 to 100000";
    }
    if (!error.empty()) {
        err << "lumra: --op stroke: " << error << '\n';
        return 2;
    }
    BrushTool* tool = OpenBrush(s, model, paint ? kOpPaint : kOpPartialBrush);
    if (!tool) return 3;
    tool->settings = set;
    tool->Press(static_cast<int>(v[head]), static_cast<int>(v[head + 1]));
    for (size_t i = head + 2; i < v.size(); i += 2) tool->Move(static_cast<int>(v[i]), static_cast<int>(v[i + 1]));
    if (!tool->Release()) {
        err << "stroke: " << ShowErrorText(kErrHistorySave) << '\n';
        return 1;
    }
    return 0;
}

int RunFill(Session& s, EditModel& model, const OpStep& step, std::ostream& err) {
    std::vector<long> v;
    std::string error;
    BrushSettings set;
    if (!ParseInts(step.args, v) || v.size() != 4) error = "fill=OPACITY,R,G,B";
    else if (ColourArg(v[1], set.red, error) && ColourArg(v[2], set.green, error)) ColourArg(v[3], set.blue, error);
    if (!error.empty()) {
        err << "lumra: --op fill: " << error << '\n';
        return 2;
    }
    set.alpha = OpacityByte(Clamp(v[0], 0, 100));
    BrushTool* tool = OpenBrush(s, model, kOpPaint);
    if (!tool) return 3;
    set.size = tool->settings.size;
    tool->settings = set;
    if (!tool->Fill()) {
        err << "fill: " << ShowErrorText(kErrHistorySave) << '\n';
        return 1;
    }
    return 0;
}

int RunText(Session& s, EditModel& model, const OpStep& step, std::ostream& err) {
    // Seventeen fields, then the text (commas allowed).
    size_t pos = 0;
    std::vector<std::string> fields;
    while (fields.size() < 17) {
        const size_t comma = step.args.find(',', pos);
        if (comma == std::string::npos) break;
        fields.push_back(step.args.substr(pos, comma - pos));
        pos = comma + 1;
    }
    std::vector<long> v;
    std::string numbers;
    for (size_t i = 0; i < 16 && i < fields.size(); ++i) numbers += (i ? "," : "") + fields[i];
    std::string error;
    TextSettings t;
    if (fields.size() < 17 || !ParseInts(numbers, v) || v.size() != 16) {
        error = "text=X,Y,SIZE,WEIGHT,ITALIC,SPACING,R,G,B,OPACITY,SHADOW,SX,SY,SR,SG,SB,FACE,TEXT";
    } else if (v[0] < -kMaxPictureSide * 4L || v[0] > kMaxPictureSide * 4L || v[1] < -kMaxPictureSide * 4L ||
               v[1] > kMaxPictureSide * 4L) {
        error = "X and Y lie from -100000 to 100000";
    } else if (v[3] != 400 && v[3] != 700) {
        error = "WEIGHT is 400 or 700";
    } else if ((v[4] != 0 && v[4] != 1) || (v[10] != 0 && v[10] != 1)) {
        error = "ITALIC and SHADOW are 0 or 1";
    } else if (ColourArg(v[6], t.red, error) && ColourArg(v[7], t.green, error) && ColourArg(v[8], t.blue, error) &&
               ColourArg(v[13], t.shadowRed, error) && ColourArg(v[14], t.shadowGreen, error)) {
        ColourArg(v[15], t.shadowBlue, error);
    }
    if (!error.empty()) {
        err << "lumra: --op text: " << error << '\n';
        return 2;
    }
    EndBrushSession(s, model, true);
    if (!BeginOperation(model, s, kOpText)) return 3;
    TextTool* tool = ActiveText(model);
    t.size = Clamp(v[2], 6, 720);
    t.weight = static_cast<int>(v[3]);
    t.italic = v[4] != 0;
    t.spacing = Clamp(v[5], 0, 99);
    t.opacity = Clamp(v[9], 0, 100);
    t.shadow = v[10] != 0;
    t.shadowX = Clamp(v[11], 1, 99);
    t.shadowY = Clamp(v[12], 1, 99);
    t.faceLatin = t.faceJapanese = fields[16];
    t.text = step.args.substr(pos);
    tool->settings = t;
    tool->x = static_cast<int>(v[0]);
    tool->y = static_cast<int>(v[1]);
    const GlyphBuild built = tool->Rebuild();
    if (built != GlyphBuild::kOk) {
        EndOperation(model, s, false);
        err << "text: " << (built == GlyphBuild::kNoFont ? "no font for '" + fields[16] + "'" : ShowErrorText(kErrMemory))
            << '\n';
        return 3;
    }
    EndOperation(model, s, true);
    return 0;
}

// The brushes' and text's steps, undo and redo inside a brush session; -1 for the other
// steps (an open brush session ends with OK before them).
int RunToolStep(Session& s, EditModel& model, const OpStep& step, std::ostream& err) {
    if (step.name == "stroke") return RunStroke(s, model, step, err);
    if (step.name == "fill") return RunFill(s, model, step, err);
    if (step.name == "text") return RunText(s, model, step, err);
    if (step.name == "ok" || step.name == "cancel") {
        EndBrushSession(s, model, step.name == "ok");
        return 0;
    }
    if (ActiveBrush(model) && !step.def && !step.immediate) {
        bool failed = false;
        auto show = s.ui.showError;
        s.ui.showError = [&](int code) {
            failed = true;
            err << step.name << ": " << ShowErrorText(code) << '\n';
        };
        StepBrushStrokes(model, s, step.name == "undo" ? -1 : 1);
        s.ui.showError = show;
        return failed ? 1 : 0;
    }
    EndBrushSession(s, model, true);
    return -1;
}

// One operation through the same start / recompute / finish path as the edit window.
int RunOperation(Session& s, EditModel& model, const OpStep& step, std::ostream& err) {
    if (const int rc = RunToolStep(s, model, step, err); rc >= 0) return rc;
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
    if (const int rc = RunSelection(s, model, e.selects); rc != 0) return rc;
    for (const OpStep& step : e.ops)
        if (const int rc = RunOperation(s, model, step, err); rc != 0) return rc;
    EndBrushSession(s, model, true);

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
