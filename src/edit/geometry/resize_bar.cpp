#include "edit/geometry/resize_bar.h"

#include <algorithm>

#include "formats/image_buffer.h"

namespace lumra {

int64_t RoundDiv(int64_t a, int64_t b) { return (2 * a + b) / (2 * b); }

int TypedNumber(std::string_view text, int limit) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    int64_t v = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) v = std::min<int64_t>(v * 10 + (text[i] - '0'), limit);
    return static_cast<int>(v);
}

void ResizeBar::Open(int width, int height) {
    pictureWidth = width;
    pictureHeight = height;
    w = width;
    h = height;
    maxW = std::min(2 * width, kMaxPictureSide);
    maxH = std::min(2 * height, kMaxPictureSide);
    percent = 100;
}

void ResizeBar::Track(int pos) {
    percent = std::clamp(pos, 1, 200);
    // Never beyond the maxima, which the boxes would not accept either.
    w = static_cast<int>(std::clamp<int64_t>(RoundDiv(int64_t{pictureWidth} * percent, 100), 1, maxW));
    h = static_cast<int>(std::clamp<int64_t>(RoundDiv(int64_t{pictureHeight} * percent, 100), 1, maxH));
}

void ResizeBar::TypeW(int value) {
    w = std::clamp(value, 1, maxW);
    if (ignoreAspect) return;
    h = static_cast<int>(std::clamp<int64_t>(RoundDiv(int64_t{w} * pictureHeight, pictureWidth), 1, maxH));
    percent = static_cast<int>(std::clamp<int64_t>(RoundDiv(int64_t{w} * 100, pictureWidth), 1, 200));
}

void ResizeBar::TypeH(int value) {
    h = std::clamp(value, 1, maxH);
    if (ignoreAspect) return;
    w = static_cast<int>(std::clamp<int64_t>(RoundDiv(int64_t{h} * pictureWidth, pictureHeight), 1, maxW));
    percent = static_cast<int>(std::clamp<int64_t>(RoundDiv(int64_t{h} * 100, pictureHeight), 1, 200));
}

bool ResizeBar::ChoosePreset(const std::array<SizePreset, 9>& presets, int index) {
    if (index == kListRegister) return true;
    if (index < 1 || index > 8) return false;
    const SizePreset& p = presets[static_cast<size_t>(index)];
    if (p.empty()) return false;
    if (p.w != 0 && p.h != 0) {
        ignoreAspect = true;
        w = std::clamp(p.w, 1, maxW);
        h = std::clamp(p.h, 1, maxH);
        return false;
    }
    ignoreAspect = false;
    if (p.w != 0) TypeW(p.w);
    else TypeH(p.h);
    return false;
}

std::string PresetLabel(const SizePreset& p) {
    if (p.empty()) return "-";
    std::string s;
    if (p.w != 0) s = "W:" + std::to_string(p.w);
    if (p.h != 0) s += (s.empty() ? "H:" : " H:") + std::to_string(p.h);
    return s;
}

std::vector<std::string> PresetListItems(const std::array<SizePreset, 9>& presets) {
    std::vector<std::string> items{"プリセット"};
    for (size_t i = 1; i <= 8; ++i) items.push_back(PresetLabel(presets[i]));
    items.push_back("登録");
    return items;
}

std::string RatioLabel(const RatioEntry& r) {
    return r.empty() ? "-" : std::to_string(r.w) + ":" + std::to_string(r.h);
}

std::vector<std::string> RatioListItems(const std::array<RatioEntry, 9>& ratios) {
    std::vector<std::string> items{"-"};
    for (size_t i = 1; i <= 8; ++i) items.push_back(RatioLabel(ratios[i]));
    items.push_back("登録");
    return items;
}

RatioEntry RegisteredRatio(std::string_view w, std::string_view h) {
    const RatioEntry r{TypedNumber(w, kRegisteredMax), TypedNumber(h, kRegisteredMax)};
    return r.empty() ? RatioEntry{} : r;
}

SizePreset RegisteredSize(std::string_view w, std::string_view h) {
    return {TypedNumber(w, kRegisteredMax), TypedNumber(h, kRegisteredMax)};
}

}  // namespace lumra
