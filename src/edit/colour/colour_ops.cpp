#include "edit/colour/colour_ops.h"

#include <memory>

#include "edit/colour/colour_kernels.h"
#include "edit/op_args.h"

namespace lumra {

namespace {

// Worker-side state: the fall-off table of the last range value.
struct ColourData {
    std::unique_ptr<ColourRange> range;
    int rangeValue = -1;
};

bool StartColour(Document& doc, OperationRecord& record) {
    auto data = std::shared_ptr<ColourData>(new (std::nothrow) ColourData);
    if (!data) {
        if (doc.ui.showError) doc.ui.showError(kErrDisplay);
        return false;
    }
    GetHlsTables();
    if (!StartPreview(doc, record)) return false;
    record.preview->data = data;
    record.preview->job.squares = GetSquares().data() + 255;
    return true;
}

// The fall-off table of range value v, rebuilt when v changed; the job points at it.
const ColourRange& RangeFor(PreviewState& p, int v) {
    auto* data = static_cast<ColourData*>(p.data.get());
    if (!data->range || data->rangeValue != v) {
        data->range = std::make_unique<ColourRange>(v);
        data->rangeValue = v;
    }
    p.job.threshold = data->range->threshold;
    p.job.falloff = data->range->falloff.data();
    return *data->range;
}

}  // namespace

bool StartHueSaturation(Document& doc, OperationRecord& record) {
    if (!StartColour(doc, record)) return false;
    PreviewState& p = *record.preview;
    p.params[kHlsColR] = 255;
    p.params[kHlsColG] = 255;
    p.params[kHlsColB] = 255;
    p.params[kHlsRange] = 50;
    p.params[kHlsMode] = 2;
    return true;
}

void RecomputeHueSaturation(PreviewState& p) {
    const int hue = p.params[kHlsHue], light = p.params[kHlsLightness],
              sat = p.params[kHlsSaturation];
    if (!p.params[kHlsInRange]) {
        HueSaturation(p.job, hue, light, sat);
        return;
    }
    const ColourRange& range = RangeFor(p, p.params[kHlsRange]);
    HueSaturationInRange(p.job, hue, light, sat,
                         Rgb{p.params[kHlsColR], p.params[kHlsColG], p.params[kHlsColB]}, range);
}

bool HueSaturationNeutral(const PreviewState& p) {
    return p.params[kHlsHue] == 0 && p.params[kHlsLightness] == 0 && p.params[kHlsSaturation] == 0;
}

bool ParseHueSaturationArgs(const std::string& args, PreviewState& p, std::string& error) {
    const std::vector<std::string> tokens = SplitOpArgs(args);
    if (tokens.size() != 3 && tokens.size() != 7) {
        error =
            "hls takes HUE,LIGHT,SAT (-180..180, -255..255, -255..255) or "
            "HUE,LIGHT,SAT,COLR,COLG,COLB,RANGE "
            "(colour 0..255, range 0..150)";
        return false;
    }
    const ArgRange ranges[] = {{"HUE", kHueMin, kHueMax},
                               {"LIGHT", kHlsMin, kHlsMax},
                               {"SAT", kHlsMin, kHlsMax},
                               {"COLR", 0, 255},
                               {"COLG", 0, 255},
                               {"COLB", 0, 255},
                               {"RANGE", 0, kColourRangeMax}};
    std::vector<int> v;
    if (!ParseRangedArgs(tokens, ranges, v, error)) return false;
    p.params[kHlsHue] = v[0];
    p.params[kHlsLightness] = v[1];
    p.params[kHlsSaturation] = v[2];
    p.params[kHlsInRange] = v.size() == 7;
    if (v.size() == 7) {
        p.params[kHlsColR] = v[3];
        p.params[kHlsColG] = v[4];
        p.params[kHlsColB] = v[5];
        p.params[kHlsRange] = v[6];
    }
    return true;
}

bool StartReplaceColour(Document& doc, OperationRecord& record) {
    if (!StartColour(doc, record)) return false;
    PreviewState& p = *record.preview;
    const int defaults[] = {96, 160, 255, 75, 255, 0, 128, 100};
    for (size_t i = 0; i < std::size(defaults); ++i) p.params[i] = defaults[i];
    return true;
}

void RecomputeReplaceColour(PreviewState& p) {
    const ColourRange& range = RangeFor(p, p.params[kRpcRange]);
    ReplaceColour(p.job, p.params[kRpcStrength],
                  Rgb{p.params[kRpcSrcR], p.params[kRpcSrcG], p.params[kRpcSrcB]},
                  Rgb{p.params[kRpcDstR], p.params[kRpcDstG], p.params[kRpcDstB]}, range);
}

bool ReplaceColourNeutral(const PreviewState& p) {
    return p.params[kRpcStrength] == 0;
}

bool ParseReplaceColourArgs(const std::string& args, PreviewState& p, std::string& error) {
    const std::vector<std::string> tokens = SplitOpArgs(args);
    if (tokens.size() != 8) {
        error =
            "replace takes R0,G0,B0,RANGE,R1,G1,B1,STRENGTH (colours 0..255, range 0..150, "
            "strength 0..255)";
        return false;
    }
    const ArgRange ranges[] = {
        {"R0", 0, 255}, {"G0", 0, 255}, {"B0", 0, 255}, {"RANGE", 0, kColourRangeMax},
        {"R1", 0, 255}, {"G1", 0, 255}, {"B1", 0, 255}, {"STRENGTH", 0, 255}};
    std::vector<int> v;
    if (!ParseRangedArgs(tokens, ranges, v, error)) return false;
    for (size_t i = 0; i < v.size(); ++i) p.params[i] = v[i];
    return true;
}

}  // namespace lumra
