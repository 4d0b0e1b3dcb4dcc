#include "shell/options_rules.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/file_io.h"
#include "platform/paths.h"
#include "shell/ini_file.h"

namespace lumra {

const std::array<const char*, kOptionPages> kOptionPageLabels = {
    "起動・表示", "ズーム", "マウス・キーボード", "ツール", "プラグイン", "登録"};

OptionsWorkingCopy MakeWorkingCopy(const Settings& current, const AcceleratorTable& keys, const IniFile& ini) {
    OptionsWorkingCopy copy;
    copy.settings = current;
    copy.settings.awin.start = StoredStart(ini);
    copy.settings.awin.dual = StoredDual(ini) ? 1 : 0;
    copy.settings.awin.optTab = ClampOptTab(current.awin.optTab);
    copy.keys = keys;
    return copy;
}

const std::array<uint16_t, kSelectableKeyCount>& SelectableKeys() {
    static const std::array<uint16_t, kSelectableKeyCount> keys = [] {
        std::array<uint16_t, kSelectableKeyCount> k{};
        size_t n = 0;
        for (uint16_t v : {kVkBack, kVkTab, kVkReturn, kVkEscape, kVkSpace, kVkPrior, kVkNext, kVkEnd, kVkHome,
                           kVkLeft, kVkUp, kVkRight, kVkDown, kVkInsert, kVkDelete})
            k[n++] = v;
        for (uint16_t v : {186, 187, 188, 189, 190, 191, 192, 219, 220, 221, 222, 226}) k[n++] = v;
        for (uint16_t v = kVk0; v < kVk0 + 10; ++v) k[n++] = v;
        for (uint16_t v = kVkA; v < kVkA + 26; ++v) k[n++] = v;
        for (uint16_t v = kVkF1; v <= kVkF12; ++v) k[n++] = v;
        for (uint16_t v = kVkNumpad0; v < kVkNumpad0 + 10; ++v) k[n++] = v;
        for (uint16_t v : {kVkMultiply, kVkAdd, kVkSubtract, kVkDecimal, kVkDivide}) k[n++] = v;
        return k;
    }();
    return keys;
}

namespace {

bool ValidIndex(int index) { return index >= 0 && index < static_cast<int>(kAssignableCount); }

}  // namespace

KeyChange AssignKey(AcceleratorTable& table, int index, uint16_t key, bool ctrl, bool shift) {
    if (!ValidIndex(index)) return KeyChange::NoCommand;
    if (key == 0) return KeyChange::NoKey;
    for (const AccelEntry& e : table) {
        if (e.key == key && ((e.flags & kFControl) != 0) == ctrl && ((e.flags & kFShift) != 0) == shift)
            return KeyChange::AlreadyAssigned;
    }
    AccelEntry& entry = table[static_cast<size_t>(index)];
    entry.key = key;
    entry.flags = static_cast<uint8_t>(kFVirtKey | (ctrl ? kFControl : 0) | (shift ? kFShift : 0));
    return KeyChange::Done;
}

KeyChange ClearKey(AcceleratorTable& table, int index) {
    if (!ValidIndex(index)) return KeyChange::NoCommand;
    AccelEntry& entry = table[static_cast<size_t>(index)];
    entry.key = 0;
    entry.flags = kFVirtKey;
    return KeyChange::Done;
}

BoxRequest NoCommandBox() { return {"コマンドが選択されていません。", "未選択", BoxIcon::Error, BoxButtons::Ok}; }

BoxRequest AlreadyAssignedBox() {
    return {"選択されたキーは既に登録済みです。\n別のキーを選択してください。", "登録済み", BoxIcon::Error,
            BoxButtons::Ok};
}

BoxRequest ResetKeysBox() { return {"すべての値を初期設定に戻しますか？", "初期化", BoxIcon::None, BoxButtons::YesNo}; }

namespace {

bool ValidSlot(const PathSettings& tools, int slot) {
    return slot >= 0 && slot < static_cast<int>(tools.app.size());
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

void SetToolFile(PathSettings& tools, int slot, const std::string& path) {
    if (!ValidSlot(tools, slot) || path.empty()) return;
    std::string name = FileNamePart(path);
    // The extension goes; a name that is only an extension (".tool") stays whole.
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    tools.app[slot] = path;
    tools.an[slot] = name;
}

void SetToolFolder(PathSettings& tools, int slot, const std::string& folder) {
    if (!ValidSlot(tools, slot) || folder.empty()) return;
    const std::string path = WithoutTrailingSlashes(folder);
    const std::string name = FileNamePart(path);
    tools.app[slot] = path;
    tools.an[slot] = name.empty() ? path : name;
}

void ClearTool(PathSettings& tools, int slot) {
    if (!ValidSlot(tools, slot)) return;
    tools.app[slot].clear();
    tools.an[slot].clear();
}

std::string ToolDialogStart(const PathSettings& tools, int slot, const std::string& programFiles) {
    if (ValidSlot(tools, slot) && !tools.app[slot].empty() && IsDirectory(tools.app[slot])) return tools.app[slot];
    return programFiles;
}

std::string DisplayGammaText(int dispGam) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", dispGam / 1000.0);
    return text;
}

std::optional<int> ParseDisplayGamma(const std::string& text) {
    const char* begin = text.c_str();
    char* end = nullptr;
    const double v = std::strtod(begin, &end);
    if (end == begin) return std::nullopt;
    while (*end == ' ') ++end;
    if (*end != '\0' || !std::isfinite(v)) return std::nullopt;
    const double scaled = std::round(v * 1000.0);
    if (scaled > 2147483647.0 || scaled < -2147483648.0) return std::nullopt;
    return static_cast<int>(scaled);
}

bool LoadOptionsDiffer(const LImgSettings& a, const LImgSettings& b) { return !(a == b); }

AppliedOptions ApplyWorkingCopy(OptionsWorkingCopy& copy, Settings& settings, AcceleratorTable& keys,
                                IniFile& ini) {
    AppliedOptions applied;
    Settings next = copy.settings;
    // Values the dialog cannot set out of range are still kept to their rules.
    next.vwin.time = ClampSlideTime(next.vwin.time);
    next.vwin.sthMode = ClampSthMode(next.vwin.sthMode);
    next.awin.dClick = ClampClickAction(next.awin.dClick);
    next.awin.lrClick = ClampClickAction(next.awin.lrClick);
    next.awin.optTab = ClampOptTab(next.awin.optTab);
    next.limg.bgR = ClampByte(next.limg.bgR);
    next.limg.bgG = ClampByte(next.limg.bgG);
    next.limg.bgB = ClampByte(next.limg.bgB);
    // The window state the dialog does not show is the program's, which may have moved on.
    next.vwin.bgColor = settings.vwin.bgColor;
    next.vwin.capBar = settings.vwin.capBar;
    next.vwin.frame = settings.vwin.frame;
    next.vwin.vtBar = settings.vwin.vtBar;
    next.awin.top = settings.awin.top;
    next.swin.max = settings.swin.max;
    next.swin.x = settings.swin.x;
    next.swin.y = settings.swin.y;
    next.swin.w = settings.swin.w;
    next.swin.h = settings.swin.h;
    next.swin.rebarRow = settings.swin.rebarRow;
    next.swin.bgColor = settings.swin.bgColor;
    next.swin.scrlBar = settings.swin.scrlBar;
    next.simg = settings.simg;
    next.path.open = settings.path.open;
    next.path.spiDefault = settings.path.spiDefault;

    applied.loadOptionsChanged = LoadOptionsDiffer(settings.limg, next.limg);
    ini.WriteInt("Awin", "Start", next.awin.start);
    ini.WriteInt("Awin", "Dual", next.awin.dual & 1);
    settings = next;
    copy.settings = next;
    if (copy.keysChanged) {
        keys = copy.keys;
        applied.keysChanged = true;
        copy.keysChanged = false;
    }
    return applied;
}

}  // namespace lumra
