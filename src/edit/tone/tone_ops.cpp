#include "edit/tone/tone_ops.h"

#include <memory>

#include "edit/op_args.h"
#include "edit/tone/tone_kernels.h"
#include "edit/tone/tone_tables.h"

namespace lumra {

namespace {

bool StartTone(Document& doc, OperationRecord& record, int mode) {
    std::shared_ptr<ContrastTable> contrast;
    if (mode == kToneContrast) {
        contrast = std::shared_ptr<ContrastTable>(new (std::nothrow) ContrastTable);
        if (!contrast) {
            if (doc.ui.showError) doc.ui.showError(kErrDisplay);
            return false;
        }
        // The mean of the whole current picture, mask or not.
        BuildContrastTable(MeanLuminance(doc.picture.image), *contrast);
    }
    if (!StartPreview(doc, record)) return false;
    PreviewState& p = *record.preview;
    p.job.gamma = GetGammaTable().Row(0);
    p.job.clamp = GetClampTable().Zero();
    if (contrast) {
        p.job.contrast = contrast->Row(0);
        p.data = contrast;
    }
    p.params[kToneSync] = 1;
    p.params[kToneMode] = mode;
    return true;
}

bool ParseTone(const std::string& args, PreviewState& p, std::string& error, const char* name,
               int lo, int hi) {
    const std::vector<std::string> tokens = SplitOpArgs(args);
    if (tokens.size() != 1 && tokens.size() != 3) {
        error = std::string(name) + " takes V or R,G,B, each from " + std::to_string(lo) + " to " +
                std::to_string(hi);
        return false;
    }
    const ArgRange ranges[] = {{"R", lo, hi}, {"G", lo, hi}, {"B", lo, hi}};
    const ArgRange single[] = {{"V", lo, hi}};
    std::vector<int> v;
    if (!ParseRangedArgs(tokens, tokens.size() == 1 ? single : ranges, v, error)) return false;
    const bool sync = v.size() == 1;
    p.params[kToneSync] = sync;
    p.params[kToneR] = v[0];
    p.params[kToneG] = sync ? v[0] : v[1];
    p.params[kToneB] = sync ? v[0] : v[2];
    return true;
}

struct LevelsData {
    LevelsHistogram histogram;
};

}  // namespace

bool StartGamma(Document& doc, OperationRecord& record) {
    return StartTone(doc, record, kToneGamma);
}
bool StartBrightness(Document& doc, OperationRecord& record) {
    return StartTone(doc, record, kToneBrightness);
}
bool StartContrast(Document& doc, OperationRecord& record) {
    return StartTone(doc, record, kToneContrast);
}

void RecomputeTone(PreviewState& p) {
    const int mode = p.params[kToneMode];
    ApplyChannelMaps(p.job, ToneMap(p.job, mode, p.params[kToneB]),
                     ToneMap(p.job, mode, p.params[kToneG]),
                     ToneMap(p.job, mode, p.params[kToneR]));
}

bool ToneNeutral(const PreviewState& p) {
    return p.params[kToneR] == 0 && p.params[kToneG] == 0 && p.params[kToneB] == 0;
}

bool ParseGammaArgs(const std::string& args, PreviewState& p, std::string& error) {
    return ParseTone(args, p, error, "gamma", kGammaMin, kGammaMax);
}
bool ParseBrightnessArgs(const std::string& args, PreviewState& p, std::string& error) {
    return ParseTone(args, p, error, "brightness", kBrightnessMin, kBrightnessMax);
}
bool ParseContrastArgs(const std::string& args, PreviewState& p, std::string& error) {
    return ParseTone(args, p, error, "contrast", kContrastMin, kContrastMax);
}

bool StartLevels(Document& doc, OperationRecord& record) {
    auto data = std::shared_ptr<LevelsData>(new (std::nothrow) LevelsData);
    if (!data) {
        if (doc.ui.showError) doc.ui.showError(kErrDisplay);
        return false;
    }
    const CurrentPicture& pic = doc.picture;
    const size_t pixels =
        static_cast<size_t>(pic.image.width()) * static_cast<size_t>(pic.image.height());
    data->histogram = CountLevelsHistogram(
        pic.image, pic.selection.size() == pixels ? pic.selection.data() : nullptr);
    if (!StartPreview(doc, record)) return false;
    PreviewState& p = *record.preview;
    p.job.division = &GetDivisionTable();
    p.data = data;
    for (int c = 0; c < 4; ++c) {
        p.params[static_cast<size_t>(2 * c)] = 0;
        p.params[static_cast<size_t>(2 * c + 1)] = 255;
    }
    p.params[kLevelsSelected] = 3;
    return true;
}

void RecomputeLevels(PreviewState& p) {
    std::array<LevelsPair, 4> pairs;
    for (int c = 0; c < 4; ++c)
        pairs[static_cast<size_t>(c)] = {p.params[static_cast<size_t>(2 * c)],
                                         p.params[static_cast<size_t>(2 * c + 1)]};
    ApplyLevels(p.job, pairs, p.params[kLevelsSelected]);
}

bool LevelsNeutral(const PreviewState& p) {
    const int selected = p.params[kLevelsSelected];
    for (int c = 0; c < 4; ++c) {
        if ((selected == 3) != (c == 3)) continue;
        if (p.params[static_cast<size_t>(2 * c)] != 0 ||
            p.params[static_cast<size_t>(2 * c + 1)] != 255)
            return false;
    }
    return true;
}

void AutoLevelsSelected(PreviewState& p) {
    const auto* data = static_cast<const LevelsData*>(p.data.get());
    if (!data) return;
    const int c = p.params[kLevelsSelected];
    const LevelsPair pair = AutoLevels(data->histogram, c);
    p.params[static_cast<size_t>(2 * c)] = pair.lo;
    p.params[static_cast<size_t>(2 * c + 1)] = pair.hi;
}

const LevelsHistogram* LevelsHistogramOf(const PreviewState& p) {
    const auto* data = static_cast<const LevelsData*>(p.data.get());
    return data ? &data->histogram : nullptr;
}

bool ParseLevelsArgs(const std::string& args, PreviewState& p, std::string& error) {
    static const char* const kUsage =
        "levels takes groups CH,MIN,MAX or CH,auto: CH is RGB, R, G or B; MIN from 0 to 254, MAX "
        "from 1 to 255, "
        "MIN below MAX";
    const std::vector<std::string> tokens = SplitOpArgs(args);
    if (tokens.empty()) {
        error = kUsage;
        return false;
    }
    // Checked whole before anything is stored.
    struct Group {
        int channel;
        bool automatic;
        int lo, hi;
    };
    std::vector<Group> groups;
    for (size_t i = 0; i < tokens.size();) {
        const std::string& ch = tokens[i];
        const int channel = ch == "RGB" ? 3 : ch == "R" ? 2 : ch == "G" ? 1 : ch == "B" ? 0 : -1;
        if (channel < 0) {
            error = "'" + ch + "' is not a channel; " + kUsage;
            return false;
        }
        if (i + 1 < tokens.size() && tokens[i + 1] == "auto") {
            groups.push_back({channel, true, 0, 0});
            i += 2;
            continue;
        }
        if (i + 2 >= tokens.size()) {
            error = kUsage;
            return false;
        }
        const ArgRange ranges[] = {{"MIN", 0, 254}, {"MAX", 1, 255}};
        std::vector<int> v;
        if (!ParseRangedArgs({tokens[i + 1], tokens[i + 2]}, ranges, v, error)) return false;
        if (v[0] >= v[1]) {
            error = "MIN " + std::to_string(v[0]) + " is not below MAX " + std::to_string(v[1]) +
                    "; " + kUsage;
            return false;
        }
        groups.push_back({channel, false, v[0], v[1]});
        i += 3;
    }
    for (const Group& g : groups) {
        p.params[kLevelsSelected] = g.channel;
        if (g.automatic) {
            AutoLevelsSelected(p);
        } else {
            p.params[static_cast<size_t>(2 * g.channel)] = g.lo;
            p.params[static_cast<size_t>(2 * g.channel + 1)] = g.hi;
        }
    }
    return true;
}

namespace {

// Immediate commands need a picture and no active operation.
bool Idle(const Document& doc) {
    return doc.picture.HasPicture() && doc.operationState == 0;
}

const uint8_t* MaskOf(const CurrentPicture& pic) {
    const size_t pixels =
        static_cast<size_t>(pic.image.width()) * static_cast<size_t>(pic.image.height());
    return pic.selection.size() == pixels ? pic.selection.data() : nullptr;
}

}  // namespace

int ApplyInvert(Document& doc) {
    if (!Idle(doc)) return kErrCommand;
    const ImageBuffer& image = doc.picture.image;
    ImageBuffer out = InvertPicture(image, MaskOf(doc.picture));
    if (out.empty()) {
        if (doc.ui.showError) doc.ui.showError(kErrMemory);
        return kErrMemory;
    }
    CommitPreview(doc, std::move(out), "階調反転");
    return 0;
}

int ApplyEqualize(Document& doc) {
    if (!Idle(doc)) return kErrCommand;
    const ImageBuffer& image = doc.picture.image;
    const std::string title = doc.ui.title ? doc.ui.title() : std::string();
    if (doc.ui.setTitle) doc.ui.setTitle("wait...");
    if (doc.ui.setWaitCursor) doc.ui.setWaitCursor(true);
    bool unchanged = false;
    ImageBuffer out = EqualizePicture(image, MaskOf(doc.picture), unchanged);
    if (doc.ui.setWaitCursor) doc.ui.setWaitCursor(false);
    if (unchanged || out.empty()) {
        if (doc.ui.setTitle && doc.ui.title) doc.ui.setTitle(title);
        if (unchanged) return 0;
        if (doc.ui.showError) doc.ui.showError(kErrDisplay);
        return kErrDisplay;
    }
    CommitPreview(doc, std::move(out), "イコライズ");
    return 0;
}

}  // namespace lumra
