#include "edit/filter/filter_ops.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <new>
#include <vector>

#include "edit/filter/filter_kernels.h"
#include "edit/op_args.h"

namespace lumra {
namespace {

// What a filter keeps between previews.
struct FilterData {
    FilterJob job;
    std::vector<uint8_t> aux;  // difference, intermediate or blurred reference
};

FilterData& Data(PreviewState& s) {
    return *static_cast<FilterData*>(s.data.get());
}

void Report(Document& doc, int code) {
    if (doc.ui.showError) doc.ui.showError(code);
}

// Common start: the 24-bit source and copy, the job and the auxiliary buffer; prepare runs
// before the worker exists.
bool StartFilter(Document& doc, OperationRecord& record,
                 void (*prepare)(Document&, PreviewState&)) {
    const ImageBuffer& pic = doc.picture.image;
    if (pic.width() < kMinFilterSide || pic.height() < kMinFilterSide) {
        Report(doc, kErrCommand);
        return false;
    }
    auto state = std::shared_ptr<PreviewState>(new (std::nothrow) PreviewState);
    auto data = std::shared_ptr<FilterData>(new (std::nothrow) FilterData);
    if (!state || !data) {
        Report(doc, kErrDisplay);
        return false;
    }
    state->source = WidenTo24(pic);
    if (!state->source.empty()) state->copy = state->source.Clone();
    try {
        data->aux.resize(state->source.imageBytes());
    } catch (const std::bad_alloc&) {
        data->aux.clear();
    }
    if (state->source.empty() || state->copy.empty() || data->aux.empty()) {
        Report(doc, kErrDisplay);
        return false;
    }
    const int w = pic.width(), h = pic.height();
    const std::vector<uint8_t>& mask = doc.picture.selection;
    if (mask.size() == static_cast<size_t>(w) * static_cast<size_t>(h)) state->mask = mask;
    const uint8_t* m = state->mask.empty() ? nullptr : state->mask.data();
    data->job = MakeFilterJob(w, h, state->source.bits(), state->copy.bits(), m);
    data->job.auxiliary = data->aux.data();
    PixelJob& job = state->job;
    job.width = w;
    job.height = h;
    job.bitCount = 24;
    job.stride = data->job.stride;
    job.src = state->source.bits();
    job.dst = state->copy.bits();
    job.mask = m;
    job.blend = data->job.blend;
    job.clamp = data->job.clamp;
    state->data = data;
    SetFilterParams(*record.def, *state, FilterSettings{});
    if (prepare) prepare(doc, *state);
    record.preview = state;
    void (*recompute)(PreviewState&) = record.def->recompute;
    record.worker = std::make_unique<PreviewWorker>([state, recompute] {
        recompute(*state);
        if (state->changed) state->changed();
    });
    return true;
}

void PrepareUnsharp(Document&, PreviewState& s) {
    const FilterJob& job = Data(s).job;
    BoxBlur5(job, 255);
    UnsharpDifference(job);
    RecomputeUnsharp(s);  // the first preview at once
}

// The radius-20 reference; the edit window shows "wait..." and the wait cursor around it.
void PrepareSoftFocus(Document&, PreviewState& s) {
    FilterJob job = Data(s).job;
    job.destination = Data(s).aux.data();
    std::vector<uint8_t> intermediate(Data(s).aux.size());
    GaussianBlur(job, intermediate.data(), kMaxGaussRadius);
}

bool Fail(std::string& error, const char* text) {
    error = text;
    return false;
}

}  // namespace

FilterSettings ClampFilterSettings(const FilterSettings& in) {
    FilterSettings s;
    s.usmLevel = std::clamp(in.usmLevel, 0, 100);
    s.usmRange = std::clamp(in.usmRange, 0, 100);
    s.sftMode = in.sftMode >= 0 && in.sftMode <= 2 ? in.sftMode : 1;
    s.sftLevel = std::clamp(in.sftLevel, 0, BlurLevelMax(s.sftMode));
    s.fcsLevel = std::clamp(in.fcsLevel, 0, 200);
    s.nsrLevel = std::clamp(in.nsrLevel, 0, 255);
    return s;
}

int BlurLevelMax(int mode) {
    return mode == 2 ? 20 : 10;
}
int BlurLevelForMode(int mode, int level) {
    return std::clamp(level, 0, BlurLevelMax(mode));
}

void SetFilterParams(const OperationDef& def, PreviewState& state, const FilterSettings& in) {
    const FilterSettings s = ClampFilterSettings(in);
    switch (def.kind) {
        case kOpUnsharp:
            state.params[kUsmLevel] = s.usmLevel;
            state.params[kUsmRange] = s.usmRange;
            break;
        case kOpBlur:
            state.params[kBlurMode] = s.sftMode;
            state.params[kBlurLevel] = s.sftLevel;
            break;
        case kOpSoftFocus:
            state.params[kFocusLevel] = s.fcsLevel;
            break;
        case kOpNoise:
            state.params[kNoiseLevel] = s.nsrLevel;
            break;
        default:
            break;
    }
}

void StoreFilterParams(const OperationDef& def, const PreviewState& state, FilterSettings& s) {
    switch (def.kind) {
        case kOpUnsharp:
            s.usmLevel = state.params[kUsmLevel];
            s.usmRange = state.params[kUsmRange];
            break;
        case kOpBlur:
            s.sftMode = state.params[kBlurMode];
            s.sftLevel = state.params[kBlurLevel];
            break;
        case kOpSoftFocus:
            s.fcsLevel = state.params[kFocusLevel];
            break;
        case kOpNoise:
            s.nsrLevel = state.params[kNoiseLevel];
            break;
        default:
            break;
    }
}

bool StartUnsharp(Document& doc, OperationRecord& r) {
    return StartFilter(doc, r, PrepareUnsharp);
}
bool StartBlur(Document& doc, OperationRecord& r) {
    return StartFilter(doc, r, nullptr);
}
bool StartSoftFocus(Document& doc, OperationRecord& r) {
    return StartFilter(doc, r, PrepareSoftFocus);
}
bool StartNoise(Document& doc, OperationRecord& r) {
    return StartFilter(doc, r, nullptr);
}

void RecomputeUnsharp(PreviewState& s) {
    UnsharpApply(Data(s).job, s.params[kUsmLevel], s.params[kUsmRange]);
}

void RecomputeBlur(PreviewState& s) {
    FilterJob job = Data(s).job;
    const int mode = s.params[kBlurMode];
    const int level = BlurLevelForMode(mode, s.params[kBlurLevel]);
    if (mode == 0)
        BoxBlur3(job, level * 25);
    else if (mode == 1)
        BoxBlur5(job, level * 25);
    else {
        // The Gaussian takes a while: the window shows the wait cursor meanwhile.
        if (s.busy) s.busy(true);
        GaussianBlur(job, Data(s).aux.data(), level);
        if (s.busy) s.busy(false);
    }
}

void RecomputeSoftFocus(PreviewState& s) {
    SoftFocusBlend(Data(s).job, std::clamp<int>(s.params[kFocusLevel], 0, 200), Data(s).aux.data());
}

void RecomputeNoise(PreviewState& s) {
    NoiseRemoval(Data(s).job, s.params[kNoiseLevel]);
}

bool NeutralUnsharp(const PreviewState& s) {
    return s.params[kUsmLevel] == 0;
}
bool NeutralBlur(const PreviewState& s) {
    return s.params[kBlurLevel] == 0;
}
bool NeutralFirstParam(const PreviewState& s) {
    return s.params[0] == 0;
}

bool ParseUnsharpArgs(const std::string& args, PreviewState& s, std::string& error) {
    std::vector<int> v;
    if (!ParseIntList(args, v) || v.size() != 2)
        return Fail(error, "usm takes LEVEL,RANGE (0..100, 0..100)");
    s.params[kUsmLevel] = std::clamp(v[0], 0, 100);
    s.params[kUsmRange] = std::clamp(v[1], 0, 100);
    return true;
}

bool ParseBlurArgs(const std::string& args, PreviewState& s, std::string& error) {
    std::vector<int> v;
    if (!ParseIntList(args, v) || v.size() != 2 || v[0] < 0 || v[0] > 2)
        return Fail(
            error,
            "blur takes MODE,LEVEL (MODE 0 3x3, 1 5x5, 2 Gaussian; LEVEL 0..10, or 0..20 for 2)");
    s.params[kBlurMode] = v[0];
    s.params[kBlurLevel] = BlurLevelForMode(v[0], v[1]);
    return true;
}

bool ParseSoftFocusArgs(const std::string& args, PreviewState& s, std::string& error) {
    std::vector<int> v;
    if (!ParseIntList(args, v) || v.size() != 1)
        return Fail(error, "softfocus takes LEVEL (0..200)");
    s.params[kFocusLevel] = std::clamp(v[0], 0, 200);
    return true;
}

bool ParseNoiseArgs(const std::string& args, PreviewState& s, std::string& error) {
    std::vector<int> v;
    if (!ParseIntList(args, v) || v.size() != 1) return Fail(error, "denoise takes LEVEL (0..255)");
    s.params[kNoiseLevel] = std::clamp(v[0], 0, 255);
    return true;
}

}  // namespace lumra
