// The resize bar's rules: trackbar percent, the W and H boxes with the aspect ratio, the
// presets and their registration.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "edit/geometry/geometry_settings.h"

namespace lumra {

// Digits the size and coordinate boxes take (sizes up to 25000).
inline constexpr int kSizeBoxDigits = 5;

// rnd(a / b) for a >= 0, b > 0: rounded half away from zero.
int64_t RoundDiv(int64_t a, int64_t b);

// A typed number: its leading decimal digits (0 when there are none), at most limit.
int TypedNumber(std::string_view text, int limit);

struct ResizeBar {
    int pictureWidth = 0, pictureHeight = 0;
    int w = 0, h = 0;            // the new size
    int maxW = 0, maxH = 0;      // min(2 x side, 25000)
    int percent = 100;           // trackbar 1..200
    bool ignoreAspect = false;   // "縦横比無視"; the trackbar is disabled while ticked

    void Open(int width, int height);
    bool TrackbarEnabled() const { return !ignoreAspect; }
    void Track(int pos);
    void TypeW(int value);
    void TypeH(int value);
    void SetIgnoreAspect(bool on) { ignoreAspect = on; }
    // List index 0 "プリセット", 1..8 the presets, 9 "登録". True when "サイズ登録" is to
    // open; the list shows "プリセット" again either way.
    bool ChoosePreset(const std::array<SizePreset, 9>& presets, int index);
    // Whether OK changes the picture.
    bool Changes() const { return w != pictureWidth || h != pictureHeight; }
};

// "W:1024 H:768", "W:240", "H:120" or "-".
std::string PresetLabel(const SizePreset& p);
// The drop-down list: "プリセット", the eight presets, "登録".
std::vector<std::string> PresetListItems(const std::array<SizePreset, 9>& presets);

// "1024:768" or "-" for an empty entry.
std::string RatioLabel(const RatioEntry& r);
// The trimming list: "-", the eight ratios, "登録".
std::vector<std::string> RatioListItems(const std::array<RatioEntry, 9>& ratios);

// One row of the registration dialogs, each number limited to 9999: a ratio row needs both
// sides, a size row is empty only when both are 0.
RatioEntry RegisteredRatio(std::string_view w, std::string_view h);
SizePreset RegisteredSize(std::string_view w, std::string_view h);

inline constexpr int kListRegister = 9;  // the "登録" item of both lists

}  // namespace lumra
