// The four filter operations (unsharp mask, blur, soft focus, noise removal) as rows of the
// operation table: start, recompute on the preview worker, neutral test and `lumra edit` values.
#pragma once

#include <string>

#include "edit/edit_model.h"

namespace lumra {

// Parameter slots in PreviewState::params.
enum FilterParam : int {
    kUsmLevel = 0,    // 0..100
    kUsmRange = 1,    // 0..100
    kBlurMode = 0,    // 0 3x3, 1 5x5, 2 Gaussian
    kBlurLevel = 1,   // 0..10, or 0..20 for the Gaussian
    kFocusLevel = 0,  // 0..200
    kNoiseLevel = 0,  // 0..255
};

// Section ImgF as the filters use it.
struct FilterSettings {
    int usmLevel = 3;
    int usmRange = 20;
    int sftMode = 1;
    int sftLevel = 0;
    int fcsLevel = 100;
    int nsrLevel = 255;
};
// The stored values brought into their controls' ranges (the file is not trusted).
FilterSettings ClampFilterSettings(const FilterSettings& in);

// The level range of the blur control in a mode, and the level kept on a mode change.
int BlurLevelMax(int mode);
int BlurLevelForMode(int mode, int level);

// Puts the settings into a started filter operation's parameters, and takes them back when it
// ends (the other filters' values stay).
void SetFilterParams(const OperationDef& def, PreviewState& state, const FilterSettings& settings);
void StoreFilterParams(const OperationDef& def, const PreviewState& state,
                       FilterSettings& settings);

bool StartUnsharp(Document& doc, OperationRecord& record);
bool StartBlur(Document& doc, OperationRecord& record);
bool StartSoftFocus(Document& doc, OperationRecord& record);
bool StartNoise(Document& doc, OperationRecord& record);

void RecomputeUnsharp(PreviewState& state);
void RecomputeBlur(PreviewState& state);
void RecomputeSoftFocus(PreviewState& state);
void RecomputeNoise(PreviewState& state);

bool NeutralUnsharp(const PreviewState& state);
bool NeutralBlur(const PreviewState& state);
bool NeutralFirstParam(const PreviewState& state);

bool ParseUnsharpArgs(const std::string& args, PreviewState& state, std::string& error);
bool ParseBlurArgs(const std::string& args, PreviewState& state, std::string& error);
bool ParseSoftFocusArgs(const std::string& args, PreviewState& state, std::string& error);
bool ParseNoiseArgs(const std::string& args, PreviewState& state, std::string& error);

}  // namespace lumra
