// The colour operations of the edit window: hue/saturation and colour replacement.
#pragma once

#include <string>

#include "edit/edit_model.h"

namespace lumra {

// Hue/saturation parameters; colours are R, G, B.
enum HlsParam {
    kHlsHue = 0,
    kHlsLightness = 1,
    kHlsSaturation = 2,
    kHlsInRange = 3,
    kHlsColR = 4,
    kHlsColG = 5,
    kHlsColB = 6,
    kHlsRange = 7,
    kHlsMode = 8,
    kHlsShown = 9,   // bar only: the value of the current mode
    kHlsColour = 10,  // bar only: the range colour as 0xRRGGBB
};
bool StartHueSaturation(Document& doc, OperationRecord& record);
void RecomputeHueSaturation(PreviewState& p);
bool HueSaturationNeutral(const PreviewState& p);
bool ParseHueSaturationArgs(const std::string& args, PreviewState& p, std::string& error);

// Colour replacement parameters.
enum ReplaceParam {
    kRpcSrcR = 0,
    kRpcSrcG = 1,
    kRpcSrcB = 2,
    kRpcRange = 3,
    kRpcDstR = 4,
    kRpcDstG = 5,
    kRpcDstB = 6,
    kRpcStrength = 7,
    kRpcSrcColour = 8,  // bar only: the colours as 0xRRGGBB
    kRpcDstColour = 9,
};
bool StartReplaceColour(Document& doc, OperationRecord& record);
void RecomputeReplaceColour(PreviewState& p);
bool ReplaceColourNeutral(const PreviewState& p);
bool ParseReplaceColourArgs(const std::string& args, PreviewState& p, std::string& error);

}  // namespace lumra
