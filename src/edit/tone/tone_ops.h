// The tone operations of the edit window: levels, gamma, brightness and contrast (with a
// preview), invert and equalize (at once).
#pragma once

#include <string>

#include "edit/edit_model.h"
#include "edit/tone/tone_kernels.h"

namespace lumra {

// Parameters of gamma, brightness and contrast.
enum ToneParam { kToneR = 0, kToneG = 1, kToneB = 2, kToneSync = 3, kToneMode = 4 };
bool StartGamma(Document& doc, OperationRecord& record);
bool StartBrightness(Document& doc, OperationRecord& record);
bool StartContrast(Document& doc, OperationRecord& record);
void RecomputeTone(PreviewState& p);
bool ToneNeutral(const PreviewState& p);
bool ParseGammaArgs(const std::string& args, PreviewState& p, std::string& error);
bool ParseBrightnessArgs(const std::string& args, PreviewState& p, std::string& error);
bool ParseContrastArgs(const std::string& args, PreviewState& p, std::string& error);

// Levels: params 2c and 2c + 1 hold the minimum and maximum of channel c (0 B, 1 G, 2 R,
// 3 RGB), kLevelsSelected the selected channel. data holds the LevelsHistogram of the start.
inline constexpr int kLevelsSelected = 8;
// Bar only: the Min and Max boxes (the selected channel's pair) and the "ウィンドウ" check.
inline constexpr int kLevelsShownMin = 9, kLevelsShownMax = 10, kLevelsWindow = 11;
bool StartLevels(Document& doc, OperationRecord& record);
void RecomputeLevels(PreviewState& p);
bool LevelsNeutral(const PreviewState& p);
bool ParseLevelsArgs(const std::string& args, PreviewState& p, std::string& error);
// 自動設定 on the selected channel.
void AutoLevelsSelected(PreviewState& p);
// The histograms counted at the start (null before).
const LevelsHistogram* LevelsHistogramOf(const PreviewState& p);

// Commands 5165 and 5180: 0, or the error code shown.
int ApplyInvert(Document& doc);
int ApplyEqualize(Document& doc);

}  // namespace lumra
