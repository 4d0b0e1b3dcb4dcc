#include "shell/command_catalogue.h"

#include <algorithm>

#include "shell/ini_file.h"

namespace lumra {

namespace {

struct NamedCommand {
    int id;
    const char* name;
};

constexpr NamedCommand kCommandNames[] = {
    {kMenuFile, "MenuFile"},
    {kCmdOpen, "CmdOpen"},
    {kCmdReopen, "CmdReopen"},
    {kCmdSaveAs, "CmdSaveAs"},
    {kCmdSaveRotateRight, "CmdSaveRotateRight"},
    {kCmdSaveRotateLeft, "CmdSaveRotateLeft"},
    {kCmdCopy, "CmdCopy"},
    {kCmdPaste, "CmdPaste"},
    {kCmdDelete, "CmdDelete"},
    {kCmdComment, "CmdComment"},
    {kCmdTextData, "CmdTextData"},
    {kCmdWallpaper, "CmdWallpaper"},
    {kCmdPrint, "CmdPrint"},
    {kMenuImage, "MenuImage"},
    {kMenuEdit, "MenuEdit"},
    {kMenuTransform, "MenuTransform"},
    {kMenuQuality, "MenuQuality"},
    {kCmdColorCount, "CmdColorCount"},
    {kCmdHistogram, "CmdHistogram"},
    {kCmdUndo, "CmdUndo"},
    {kCmdRedo, "CmdRedo"},
    {kCmdHistoryWindow, "CmdHistoryWindow"},
    {kCmdTrim, "CmdTrim"},
    {kCmdResize, "CmdResize"},
    {kCmdSelectArea, "CmdSelectArea"},
    {kCmdDeselect, "CmdDeselect"},
    {kCmdRotateFree, "CmdRotateFree"},
    {kCmdRotate90, "CmdRotate90"},
    {kCmdRotate180, "CmdRotate180"},
    {kCmdRotate270, "CmdRotate270"},
    {kCmdFlipHorizontal, "CmdFlipHorizontal"},
    {kCmdFlipVertical, "CmdFlipVertical"},
    {kCmdHistogramCorrection, "CmdHistogramCorrection"},
    {kCmdGamma, "CmdGamma"},
    {kCmdBrightness, "CmdBrightness"},
    {kCmdContrast, "CmdContrast"},
    {kCmdHueSaturation, "CmdHueSaturation"},
    {kCmdInvert, "CmdInvert"},
    {kCmdUnsharpMask, "CmdUnsharpMask"},
    {kCmdBlur, "CmdBlur"},
    {kCmdSoftFocus, "CmdSoftFocus"},
    {kCmdEqualize, "CmdEqualize"},
    {kCmdReplaceColor, "CmdReplaceColor"},
    {kCmdNoiseRemoval, "CmdNoiseRemoval"},
    {kCmdPaint, "CmdPaint"},
    {kCmdPartialCorrection, "CmdPartialCorrection"},
    {kCmdInsertText, "CmdInsertText"},
    {kMenuView, "MenuView"},
    {kCmdFit, "CmdFit"},
    {kCmdActualSize, "CmdActualSize"},
    {kCmdZoomIn, "CmdZoomIn"},
    {kCmdZoomOut, "CmdZoomOut"},
    {kCmdSlideShow, "CmdSlideShow"},
    {kCmdZoom1000, "CmdZoom1000"},
    {kCmdZoom400, "CmdZoom400"},
    {kCmdZoom200, "CmdZoom200"},
    {kCmdZoom50, "CmdZoom50"},
    {kCmdZoom25, "CmdZoom25"},
    {kCmdZoom10, "CmdZoom10"},
    {kMenuWindow, "MenuWindow"},
    {kCmdEditWindow, "CmdEditWindow"},
    {kCmdFileList, "CmdFileList"},
    {kCmdAlwaysOnTop, "CmdAlwaysOnTop"},
    {kCmdCenter, "CmdCenter"},
    {kCmdTitleBar, "CmdTitleBar"},
    {kCmdWindowFrame, "CmdWindowFrame"},
    {kCmdToolBar, "CmdToolBar"},
    {kMenuBackground, "MenuBackground"},
    {kCmdBgWhite, "CmdBgWhite"},
    {kCmdBgLightGray, "CmdBgLightGray"},
    {kCmdBgGray, "CmdBgGray"},
    {kCmdBgDarkGray, "CmdBgDarkGray"},
    {kCmdBgBlack, "CmdBgBlack"},
    {kMenuTools, "MenuTools"},
    {kCmdOptions, "CmdOptions"},
    {5420, "CmdTool1"},
    {5421, "CmdTool2"},
    {5422, "CmdTool3"},
    {5423, "CmdTool4"},
    {5424, "CmdTool5"},
    {5425, "CmdTool6"},
    {5426, "CmdTool7"},
    {5427, "CmdTool8"},
    {kCmdNoTool, "CmdNoTool"},
    {kMenuHelp, "MenuHelp"},
    {kCmdHelp, "CmdHelp"},
    {kCmdMouseHelp, "CmdMouseHelp"},
    {kCmdVersion, "CmdVersion"},
    {kCmdFullScreen, "CmdFullScreen"},
    {kCmdMinimize, "CmdMinimize"},
    {kCmdExit, "CmdExit"},
    {kCmdToggleFit, "CmdToggleFit"},
    {kCmdZoomStepIn, "CmdZoomStepIn"},
    {kCmdZoomStepOut, "CmdZoomStepOut"},
    {kCmdScrollLeft, "CmdScrollLeft"},
    {kCmdScrollRight, "CmdScrollRight"},
    {kCmdScrollUp, "CmdScrollUp"},
    {kCmdScrollDown, "CmdScrollDown"},
    {kCmdFirst, "CmdFirst"},
    {kCmdLast, "CmdLast"},
    {kCmdPrevious, "CmdPrevious"},
    {kCmdNext, "CmdNext"},
    {kCmdScrollBars, "CmdScrollBars"},
    {kCmdSideBySide, "CmdSideBySide"},
    {kCmdSourceView, "CmdSourceView"},
    {kCmdPreviewView, "CmdPreviewView"},
    {kCmdSelectionView, "CmdSelectionView"},
    {kCmdDither, "CmdDither"},
    {kCmdPreview, "CmdPreview"},
    {kCmdInterlace, "CmdInterlace"},
    {kCmdSaveTransparent, "CmdSaveTransparent"},
    {kCmdSaveGamma, "CmdSaveGamma"},
    {kCmdProgressive, "CmdProgressive"},
    {kCmdSampling41, "CmdSampling41"},
    {kCmdSampling21, "CmdSampling21"},
    {kCmdSampling11, "CmdSampling11"},
    {kCmdMarkersNone, "CmdMarkersNone"},
    {kCmdMarkersComment, "CmdMarkersComment"},
    {kCmdMarkersAll, "CmdMarkersAll"},
    {kCmdJpegTrim, "CmdJpegTrim"},
    {kCmdWriteComment, "CmdWriteComment"},
    {kCmdOperationOk, "CmdOperationOk"},
    {kCmdOperationCancel, "CmdOperationCancel"},
    {kIdSeparator, "IdSeparator"},
    {kIdSpacerFullScreen, "IdSpacerFullScreen"},
    {kIdSpacerRight, "IdSpacerRight"},
};

struct DefaultKey {
    int id;
    uint8_t flags;
    uint16_t key;
};

constexpr uint8_t kPlain = kFVirtKey;
constexpr uint8_t kCtrl = kFVirtKey | kFControl;
constexpr uint8_t kShift = kFVirtKey | kFShift;
constexpr uint8_t kCtrlShift = kFVirtKey | kFControl | kFShift;

constexpr DefaultKey kDefaultKeys[] = {
    {kCmdOpen, kCtrl, 'O'},
    {kCmdReopen, kPlain, kVkBack},
    {kCmdSaveAs, kCtrl, 'S'},
    {kCmdCopy, kPlain, 'C'},
    {kCmdPaste, kPlain, 'V'},
    {kCmdDelete, kPlain, kVkDelete},
    {kCmdUndo, kCtrl, 'Z'},
    {kCmdRedo, kCtrlShift, 'Z'},
    {kCmdRotate90, kCtrl, kVkRight},
    {kCmdRotate270, kCtrl, kVkLeft},
    {kCmdZoomIn, kPlain, kVkPrior},
    {kCmdZoomOut, kPlain, kVkNext},
    {kCmdEditWindow, kPlain, kVkTab},
    {kCmdAlwaysOnTop, kPlain, 'T'},
    {kCmdCenter, kPlain, kVkHome},
    {kCmdOptions, kPlain, 'O'},
    {5420, kPlain, '1'},
    {5421, kPlain, '2'},
    {5422, kPlain, '3'},
    {5423, kPlain, '4'},
    {5424, kPlain, '5'},
    {5425, kPlain, '6'},
    {5426, kPlain, '7'},
    {5427, kPlain, '8'},
    {kCmdFullScreen, kPlain, kVkReturn},
    {kCmdMinimize, kPlain, kVkEnd},
    {kCmdExit, kPlain, kVkEscape},
    {kCmdToggleFit, kPlain, kVkSpace},
    {kCmdZoomStepIn, kCtrl, kVkUp},
    {kCmdZoomStepOut, kCtrl, kVkDown},
    {kCmdFirst, kPlain, kVkLeft},
    {kCmdPrevious, kPlain, kVkUp},
    {kCmdNext, kPlain, kVkDown},
    {kCmdLast, kPlain, kVkRight},
    {kCmdScrollLeft, kShift, kVkLeft},
    {kCmdScrollRight, kShift, kVkRight},
    {kCmdScrollUp, kShift, kVkUp},
    {kCmdScrollDown, kShift, kVkDown},
    {kCmdPreview, kPlain, 'A'},
    {kCmdSideBySide, kPlain, 'S'},
    {kCmdSourceView, kPlain, 'D'},
    {kCmdPreviewView, kPlain, 'F'},
};

uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

const std::array<AssignableCommand, kAssignableCount> kAssignableCommands = {{
    {kCmdOpen, "ファイル - 開く"},
    {kCmdReopen, "ファイル - 開き直す"},
    {kCmdSaveAs, "ファイル - 名前を付けて保存"},
    {kCmdSaveRotateRight, "ファイル - 右回転保存(JEPGロスレス)"},
    {kCmdSaveRotateLeft, "ファイル - 左回転保存(JEPGロスレス)"},
    {kCmdCopy, "ファイル - コピー"},
    {kCmdPaste, "ファイル - 貼り付け"},
    {kCmdDelete, "ファイル - 削除"},
    {kCmdComment, "ファイル - コメント表示/編集"},
    {kCmdTextData, "ファイル - テキストデータ表示"},
    {kCmdWallpaper, "ファイル - 壁紙に設定"},
    {kCmdPrint, "ファイル - 印刷(プレビュー)"},
    {kCmdUndo, "イメージ - 編集 - 元に戻す"},
    {kCmdRedo, "イメージ - 編集 - やり直し"},
    {kCmdHistoryWindow, "イメージ - 編集 - 変更履歴表示"},
    {kCmdSelectArea, "イメージ - 編集 - 領域選択"},
    {kCmdDeselect, "イメージ - 編集 - 選択解除"},
    {kCmdPaint, "イメージ - 編集 - ペイント"},
    {kCmdPartialCorrection, "イメージ - 編集 - 部分補正"},
    {kCmdInsertText, "イメージ - 編集 - テキスト挿入"},
    {kCmdTrim, "イメージ - 変形 - トリミング"},
    {kCmdResize, "イメージ - 変形 - リサイズ"},
    {kCmdRotateFree, "イメージ - 変形 - 任意角度回転"},
    {kCmdRotate90, "イメージ - 変形 - 90度回転"},
    {kCmdRotate180, "イメージ - 変形 - 180度回転"},
    {kCmdRotate270, "イメージ - 変形 - 270度回転"},
    {kCmdFlipHorizontal, "イメージ - 変形 - 左右反転"},
    {kCmdFlipVertical, "イメージ - 変形 - 上下反転"},
    {kCmdHistogramCorrection, "イメージ - 画質補正 - ヒストグラム補正"},
    {kCmdEqualize, "イメージ - 画質補正 - イコライズ(平均化)"},
    {kCmdGamma, "イメージ - 画質補正 - ガンマ補正"},
    {kCmdBrightness, "イメージ - 画質補正 - 明るさ補正"},
    {kCmdContrast, "イメージ - 画質補正 - コントラスト"},
    {kCmdHueSaturation, "イメージ - 画質補正 - 色相/彩度"},
    {kCmdReplaceColor, "イメージ - 画質補正 - 色の置き換え"},
    {kCmdInvert, "イメージ - 画質補正 - 階調反転"},
    {kCmdUnsharpMask, "イメージ - 画質補正 - アンシャープマスク"},
    {kCmdBlur, "イメージ - 画質補正 - ぼかし"},
    {kCmdSoftFocus, "イメージ - 画質補正 - ソフトフォーカス"},
    {kCmdNoiseRemoval, "イメージ - 画質補正 - ノイズ除去"},
    {kCmdHistogram, "イメージ - ヒストグラム表示"},
    {kCmdColorCount, "イメージ - 使用色数確認"},
    {kCmdFit, "ビュー - 画面に合わせて表示"},
    {kCmdActualSize, "ビュー - 等倍表示<100%>"},
    {kCmdZoomIn, "ビュー - 拡大表示"},
    {kCmdZoomOut, "ビュー - 縮小表示"},
    {kCmdSlideShow, "ビュー - スライドショー"},
    {kCmdEditWindow, "ウィンドウ - ウィンドウ切替"},
    {kCmdFileList, "ウィンドウ - ファイルリスト表示"},
    {kCmdAlwaysOnTop, "ウィンドウ - 常に手前に表示"},
    {kCmdCenter, "ウィンドウ - 中央に移動"},
    {kCmdTitleBar, "ウィンドウ - タイトルバー"},
    {kCmdWindowFrame, "ウィンドウ - ウィンドウ枠"},
    {kCmdToolBar, "ウィンドウ - ツールバー"},
    {kCmdBgWhite, "ウィンドウ - 背景色 - 白"},
    {kCmdBgLightGray, "ウィンドウ - 背景色 - ライトグレイ"},
    {kCmdBgGray, "ウィンドウ - 背景色 - グレイ"},
    {kCmdBgDarkGray, "ウィンドウ - 背景色 - ダークグレイ"},
    {kCmdBgBlack, "ウィンドウ - 背景色 - 黒"},
    {kCmdOptions, "ツール - オプション"},
    {5420, "ツール - 登録ツール1"},
    {5421, "ツール - 登録ツール2"},
    {5422, "ツール - 登録ツール3"},
    {5423, "ツール - 登録ツール4"},
    {5424, "ツール - 登録ツール5"},
    {5425, "ツール - 登録ツール6"},
    {5426, "ツール - 登録ツール7"},
    {5427, "ツール - 登録ツール8"},
    {kCmdHelp, "ヘルプ - ヘルプ表示"},
    {kCmdMouseHelp, "ヘルプ - 主なマウス操作"},
    {kCmdVersion, "ヘルプ - バージョン情報"},
    {kCmdFullScreen, "全画面表示切替"},
    {kCmdMinimize, "最小化"},
    {kCmdExit, "終了(メインウィンドウのみ)"},
    {kCmdToggleFit, "表示倍率切替(等倍⇔画面サイズ)"},
    {kCmdZoomStepIn, "拡大表示(10%)"},
    {kCmdZoomStepOut, "縮小表示(10%)"},
    {kCmdZoom1000, "1000%表示"},
    {kCmdZoom400, "400%表示"},
    {kCmdZoom200, "200%表示"},
    {kCmdZoom50, "50%表示"},
    {kCmdZoom25, "25%表示"},
    {kCmdZoom10, "10%表示"},
    {kCmdFirst, "先頭へ(ファイル閲覧)"},
    {kCmdPrevious, "戻る(ファイル閲覧)"},
    {kCmdNext, "進む(ファイル閲覧)"},
    {kCmdLast, "末尾へ(ファイル閲覧)"},
    {kCmdScrollLeft, "スクロール(左へ)"},
    {kCmdScrollRight, "スクロール(右へ)"},
    {kCmdScrollUp, "スクロール(上へ)"},
    {kCmdScrollDown, "スクロール(下へ)"},
    {kCmdScrollBars, "スクロールバー表示"},
    {kCmdPreview, "プレビュー"},
    {kCmdSideBySide, "並べて表示"},
    {kCmdSourceView, "元の画像(ウィンドウ1)"},
    {kCmdPreviewView, "プレビュー画像(ウィンドウ2)"},
    {kCmdSelectionView, "選択領域表示"},
}};

const char* CommandName(int id) {
    for (const NamedCommand& c : kCommandNames) {
        if (c.id == id) return c.name;
    }
    return nullptr;
}

int AssignableIndex(int id) {
    for (size_t i = 0; i < kAssignableCommands.size(); ++i) {
        if (kAssignableCommands[i].id == id) return static_cast<int>(i);
    }
    return -1;
}

AcceleratorTable DefaultAccelerators() {
    AcceleratorTable table;
    for (size_t i = 0; i < table.size(); ++i) {
        table[i] = AccelEntry{kFVirtKey, 0, static_cast<uint16_t>(kAssignableCommands[i].id)};
    }
    for (const DefaultKey& d : kDefaultKeys) {
        const int index = AssignableIndex(d.id);
        if (index >= 0) {
            table[index].flags = d.flags;
            table[index].key = d.key;
        }
    }
    return table;
}

std::array<uint8_t, kSaveKeyBytes> EncodeSaveKey(const AcceleratorTable& table) {
    std::array<uint8_t, kSaveKeyBytes> bytes{};
    for (size_t i = 0; i < table.size(); ++i) {
        uint8_t* record = bytes.data() + 12 * i;
        Put32(record, table[i].flags);
        Put32(record + 4, table[i].key);
        Put32(record + 8, table[i].command);
    }
    return bytes;
}

AcceleratorTable ApplySaveKey(const AcceleratorTable& defaults, const uint8_t* records) {
    AcceleratorTable table = defaults;
    for (size_t i = 0; i < kAssignableCount; ++i) {
        const uint8_t* record = records + 12 * i;
        // The flags and the key are signed in the stored form; the command is compared as a
        // 32-bit number, so a record with high bits set never matches.
        const int32_t flags = static_cast<int32_t>(Get32(record));
        const int32_t key = static_cast<int32_t>(Get32(record + 4));
        const uint32_t command = Get32(record + 8);
        auto it = std::find_if(table.begin(), table.end(),
                               [command](const AccelEntry& e) { return e.command == command; });
        if (it == table.end()) continue;
        // Signed comparisons: negative values pass and keep their low bits.
        it->flags = static_cast<uint8_t>(flags > 15 ? kFVirtKey : flags);
        it->key = static_cast<uint16_t>(key > 255 ? 0 : key);
    }
    return table;
}

AcceleratorTable LoadAccelerators(const IniFile& ini) {
    const AcceleratorTable defaults = DefaultAccelerators();
    const std::optional<std::vector<uint8_t>> stored = ini.GetStruct("Akey", "SaveKey", kSaveKeyBytes);
    if (!stored || stored->size() != kSaveKeyBytes) return defaults;
    return ApplySaveKey(defaults, stored->data());
}

void SaveAccelerators(IniFile& ini, const AcceleratorTable& table) {
    const std::array<uint8_t, kSaveKeyBytes> bytes = EncodeSaveKey(table);
    ini.DeleteSection("Akey");
    ini.WriteStruct("Akey", "SaveKey", bytes.data(), bytes.size());
}

std::string ModifierPrefix(uint8_t flags) {
    switch (flags) {
        case kFVirtKey | kFControl: return "Ctrl+";
        case kFVirtKey | kFShift: return "Shift+";
        case kFVirtKey | kFControl | kFShift: return "Ctrl+Shift+";
        default: return std::string();
    }
}

std::string KeyName(uint16_t key) {
    switch (key) {
        case kVkBack: return "BackSpace";
        case kVkTab: return "Tab";
        case kVkReturn: return "Enter";
        case kVkEscape: return "Esc";
        case kVkSpace: return "Space";
        case kVkPrior: return "PageUp";
        case kVkNext: return "PageDown";
        case kVkEnd: return "End";
        case kVkHome: return "Home";
        case kVkLeft: return "←";
        case kVkUp: return "↑";
        case kVkRight: return "→";
        case kVkDown: return "↓";
        case kVkInsert: return "Insert";
        case kVkDelete: return "Delete";
        case kVkNumpad0: return "[Num] 0 ";
        case kVkMultiply: return "[Num] *";
        case kVkAdd: return "[Num] +";
        case kVkSubtract: return "[Num] -";
        case kVkDecimal: return "[Num] .";
        case kVkDivide: return "[Num] /";
        case kVkOem1: return ":";
        case kVkOemPlus: return ";";
        case kVkOemComma: return ",";
        case kVkOemMinus: return "-";
        case kVkOemPeriod: return ".";
        case kVkOem2: return "/";
        case kVkOem3: return "@";
        case kVkOem4: return "[";
        case kVkOem5: return "\\";
        case kVkOem6: return "]";
        case kVkOem7: return "^";
        case kVkOem102: return "_";
        default: break;
    }
    if (key >= '0' && key <= '9') return std::string(1, static_cast<char>(key));
    if (key >= 'A' && key <= 'Z') return std::string(1, static_cast<char>(key));
    // Appended piece by piece: GCC 12 warns wrongly about literal + string here.
    std::string name;
    if (key > kVkNumpad0 && key <= kVkNumpad0 + 9) {
        name = "[Num] ";
        name += static_cast<char>('0' + (key - kVkNumpad0));
    } else if (key >= kVkF1 && key <= kVkF12) {
        name = "F";
        name += std::to_string(key - kVkF1 + 1);
    }
    return name;
}

std::string KeyText(const AccelEntry& entry) {
    if (entry.key == 0) return std::string();
    const std::string name = KeyName(entry.key);
    if (name.empty()) return std::string();
    return ModifierPrefix(entry.flags) + name;
}

std::optional<int> FindAccelerator(const AcceleratorTable& table, uint16_t key, bool shift, bool ctrl,
                                   bool alt) {
    if (key == 0) return std::nullopt;
    for (const AccelEntry& e : table) {
        if (e.key != key) continue;
        if (((e.flags & kFShift) != 0) != shift) continue;
        if (((e.flags & kFControl) != 0) != ctrl) continue;
        if (((e.flags & kFAlt) != 0) != alt) continue;
        return e.command;
    }
    return std::nullopt;
}

}  // namespace lumra
