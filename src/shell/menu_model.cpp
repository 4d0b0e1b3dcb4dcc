#include "shell/menu_model.h"

#include "formats/image_buffer.h"
#include "shell/settings.h"

namespace lumra {

namespace {

MenuNode Item(int id, const char* text) { return MenuNode{id, text, false, {}}; }
MenuNode Radio(int id, const char* text) { return MenuNode{id, text, true, {}}; }
MenuNode Separator() { return MenuNode{}; }
MenuNode Sub(int id, const char* text, std::vector<MenuNode> children) {
    return MenuNode{id, text, false, std::move(children)};
}

// Length in bytes of the UTF-8 sequence that starts with byte c (1 for stray bytes).
size_t SequenceLength(unsigned char c) {
    if (c >= 0xF0 && c < 0xF8) return 4;
    if (c >= 0xE0) return c < 0xF0 ? 3 : 1;
    if (c >= 0xC0) return 2;
    return 1;
}

}  // namespace

std::string FullScreenItemText(bool fullScreen) { return fullScreen ? "通常表示(&M)" : "全画面表示(&M)"; }

std::string EditWindowItemText(bool editMode) { return editMode ? "メインウィンドウ(&W)" : "編集ウィンドウ(&W)"; }

std::string CutToolName(const std::string& name) {
    size_t at = 0;
    for (int chars = 0; chars < 27 && at < name.size(); ++chars) {
        at += SequenceLength(static_cast<unsigned char>(name[at]));
    }
    return name.substr(0, std::min(at, name.size()));
}

std::vector<ToolItem> ToolMenuItems(const PathSettings& tools) {
    std::vector<ToolItem> items;
    for (int n = 0; n < 8; ++n) {
        if (tools.app[n].empty()) continue;
        items.push_back({kCmdTool1 + n, CutToolName(tools.an[n]) + "(&" + std::to_string(n + 1) + ")"});
    }
    if (items.empty()) items.push_back({kCmdNoTool, "<未登録>"});
    return items;
}

std::vector<MenuNode> BuildMainMenu(const PathSettings& tools, const MenuMode& mode) {
    std::vector<MenuNode> menu;
    menu.push_back(Sub(kMenuFile, "ファイル(&F)",
                       {Item(kCmdOpen, "開く(&O)..."), Item(kCmdReopen, "開き直す(&B)"),
                        Item(kCmdSaveAs, "名前を付けて保存(&S)..."), Separator(),
                        Item(kCmdSaveRotateRight, "右回転保存(JEPGロスレス)(&R)"),
                        Item(kCmdSaveRotateLeft, "左回転保存(JEPGロスレス)(&L)"), Separator(),
                        Item(kCmdCopy, "コピー(&C)"), Item(kCmdPaste, "貼り付け(&V)"), Item(kCmdDelete, "削除(&D)"),
                        Separator(), Item(kCmdComment, "コメント表示/編集(&E)..."),
                        Item(kCmdTextData, "テキストデータ表示(&T)"), Separator(),
                        Item(kCmdWallpaper, "壁紙に設定(&W)..."), Separator(),
                        Item(kCmdPrint, "印刷(プレビュー)(&P)...")}));
    menu.push_back(Sub(
        kMenuImage, "イメージ(&I)",
        {Sub(kMenuEdit, "編集(&E)",
             {Item(kCmdUndo, "元に戻す(&U)"), Item(kCmdRedo, "やり直し(&R)"), Item(kCmdHistoryWindow, "変更履歴表示(&W)"),
              Separator(), Item(kCmdSelectArea, "領域選択(&S)..."), Item(kCmdDeselect, "選択解除(&D)"), Separator(),
              Item(kCmdPaint, "ペイント(&P)..."), Item(kCmdPartialCorrection, "部分補正(&C)..."), Separator(),
              Item(kCmdInsertText, "テキスト挿入(&T)...")}),
         Sub(kMenuTransform, "変形(&S)",
             {Item(kCmdTrim, "トリミング(&T)..."), Item(kCmdResize, "リサイズ(&Z)..."), Separator(),
              Item(kCmdRotateFree, "任意角度回転(&O)..."), Separator(), Item(kCmdRotate90, "90度回転(&R)"),
              Item(kCmdRotate180, "180度回転(&B)"), Item(kCmdRotate270, "270度回転(&L)"), Separator(),
              Item(kCmdFlipHorizontal, "左右反転(&M)"), Item(kCmdFlipVertical, "上下反転(&F)")}),
         Sub(kMenuQuality, "画質補正(&R)",
             {Item(kCmdHistogramCorrection, "ヒストグラム補正(&H)..."), Item(kCmdEqualize, "イコライズ(平均化)(&E)"),
              Separator(), Item(kCmdGamma, "ガンマ補正(&G)..."), Item(kCmdBrightness, "明るさ補正(&B)..."),
              Item(kCmdContrast, "コントラスト(&C)..."), Separator(), Item(kCmdHueSaturation, "色相/彩度(&V)..."),
              Item(kCmdReplaceColor, "色の置き換え(&P)..."), Item(kCmdInvert, "階調反転(&N)"), Separator(),
              Item(kCmdUnsharpMask, "アンシャープマスク(&U)..."), Item(kCmdBlur, "ぼかし(&S)..."),
              Item(kCmdSoftFocus, "ソフトフォーカス(&F)..."), Item(kCmdNoiseRemoval, "ノイズ除去(&D)...")}),
         Separator(), Item(kCmdHistogram, "ヒストグラム表示(&H)"), Item(kCmdColorCount, "使用色数確認(&C)")}));
    menu.push_back(Sub(kMenuView, "ビュー(&V)",
                       {Item(kCmdFit, "画面に合わせて表示(&A)"), Item(kCmdActualSize, "等倍表示<100%>(&E)"), Separator(),
                        Item(kCmdZoomIn, "拡大表示(&U)"), Item(kCmdZoomOut, "縮小表示(&D)"), Separator(),
                        Item(kCmdSlideShow, "スライドショー(&S)")}));
    menu.push_back(Sub(kMenuWindow, "ウィンドウ(&W)",
                       {MenuNode{kCmdEditWindow, EditWindowItemText(mode.editMode), false, {}},
                        Item(kCmdFileList, "ファイルリスト表示(&F)"), Separator(),
                        Item(kCmdAlwaysOnTop, "常に手前に表示(&T)"), Item(kCmdCenter, "中央に移動(&C)"), Separator(),
                        Item(kCmdTitleBar, "タイトルバー(&H)"), Item(kCmdWindowFrame, "ウィンドウ枠(&F)"),
                        Item(kCmdToolBar, "ツールバー(&V)"), Separator(),
                        Sub(kMenuBackground, "背景色(&B)",
                            {Radio(kCmdBgWhite, "白(&W)"), Radio(kCmdBgLightGray, "ライトグレイ(&L)"),
                             Radio(kCmdBgGray, "グレイ(&G)"), Radio(kCmdBgDarkGray, "ダークグレイ(&D)"),
                             Radio(kCmdBgBlack, "黒(&B)")})}));
    std::vector<MenuNode> toolItems;
    for (const ToolItem& t : ToolMenuItems(tools)) toolItems.push_back(MenuNode{t.id, t.text, false, {}});
    toolItems.push_back(Separator());
    toolItems.push_back(Item(kCmdOptions, "オプション(&O)..."));
    menu.push_back(Sub(kMenuTools, "ツール(&T)", std::move(toolItems)));
    menu.push_back(Sub(kMenuHelp, "ヘルプ(&H)",
                       {Item(kCmdHelp, "ヘルプ表示(&H)"), Separator(), Item(kCmdMouseHelp, "主なマウス操作(&M)"),
                        Separator(), Item(kCmdVersion, "バージョン情報(&V)")}));
    menu.push_back(Separator());
    menu.push_back(MenuNode{kCmdFullScreen, FullScreenItemText(mode.fullScreen), false, {}});
    menu.push_back(Item(kCmdMinimize, "最小化(&N)"));
    menu.push_back(Item(kCmdExit, "終了(&X)"));
    return menu;
}

std::vector<MenuNode> BuildZoomMenu() {
    return {Item(kCmdZoom1000, "1000%(&B)"), Item(kCmdZoom400, "400%(&F)"), Item(kCmdZoom200, "200%(&D)"),
            Separator(),
            Item(kCmdZoom50, "50%(&H)"), Item(kCmdZoom25, "25%(&Q)"), Item(kCmdZoom10, "10%(&S)")};
}

MenuRecord MakeMenuRecord(const std::string& text, int id, const AcceleratorTable& table) {
    MenuRecord record{text, {}, {}};
    for (const AccelEntry& e : table) {
        if (e.command != id) continue;
        if (e.key != 0) {
            record.prefix = ModifierPrefix(e.flags);
            record.keyName = KeyName(e.key);
            // A key without a name cannot be shown.
            if (record.keyName.empty()) record.prefix.clear();
        }
        break;
    }
    return record;
}

MenuItemState ItemState(int id, const MenuFacts& f) {
    MenuItemState s;
    switch (id) {
        // The two top-level sub-menus that need a picture.
        case kMenuImage:
        case kMenuView:
            s.enabled = f.hasPicture;
            break;

        // File
        case kCmdReopen:
        case kCmdDelete:
            s.enabled = f.hasPicture && f.hasPath;
            break;
        case kCmdSaveRotateRight:
        case kCmdSaveRotateLeft:
            s.enabled = f.hasPicture && f.sourceFormat == kFormatJpeg && !f.toolActive;
            break;
        case kCmdComment:
            s.enabled = f.hasPicture && (f.sourceFormat == kFormatPng || f.sourceFormat == kFormatJpeg);
            s.checked = s.enabled && f.hasComment;
            break;
        case kCmdTextData:
            s.enabled = f.hasPicture && f.hasTextOrExif;
            break;
        case kCmdSaveAs:
        case kCmdCopy:
        case kCmdWallpaper:
        case kCmdPrint:
            s.enabled = f.hasPicture;
            break;
        case kCmdPaste:
            s.enabled = f.clipboardHasDib;
            break;

        // Image / Edit
        case kCmdUndo:
            s.enabled = f.historyPosition != 0;
            break;
        case kCmdRedo:
            s.enabled = f.historyPosition < f.historyCount - 1;
            break;
        case kCmdHistoryWindow:
            s.enabled = f.historyCount != 0;
            break;
        case kCmdSelectArea:
            s.checked = f.hasSelection;
            break;
        case kCmdDeselect:
            s.enabled = f.hasSelection;
            break;

        // Window
        case kCmdCenter:
            s.enabled = f.editWindowVariant || !f.fullScreen;
            break;
        case kCmdTitleBar:
            if (f.editWindowVariant || f.fullScreen) {
                s.enabled = false;
            } else {
                s.checked = f.titleBar;
            }
            break;
        case kCmdWindowFrame:
            if (f.editWindowVariant || f.fullScreen || f.titleBar) {
                s.enabled = false;
            } else {
                s.checked = f.frame;
            }
            break;
        case kCmdToolBar:
            if (f.editWindowVariant) {
                s.enabled = false;
            } else {
                s.checked = f.toolBar;
            }
            break;
        case kCmdAlwaysOnTop:
            s.checked = f.alwaysOnTop;
            break;
        case kCmdFileList:
            s.enabled = f.editWindowVariant || f.hasPicture;
            break;
        case kCmdBgWhite:
        case kCmdBgLightGray:
        case kCmdBgGray:
        case kCmdBgDarkGray:
        case kCmdBgBlack:
            s.checked = f.bgColor == id - kCmdBgWhite;
            break;

        // Tools
        case kCmdNoTool:
            s.enabled = false;
            break;
        default:
            break;
    }
    return s;
}

namespace {

// The sub-menus above a command in the main pop-up (tool items are under Tools alone).
const std::vector<int>& MenusAbove(int id) {
    static const std::vector<std::pair<int, std::vector<int>>> paths = [] {
        std::vector<std::pair<int, std::vector<int>>> out;
        std::vector<int> above;
        auto walk = [&](auto&& self, const std::vector<MenuNode>& nodes) -> void {
            for (const MenuNode& n : nodes) {
                if (n.IsSeparator()) continue;
                if (n.IsSubMenu()) {
                    above.push_back(n.id);
                    self(self, n.children);
                    above.pop_back();
                } else {
                    out.emplace_back(n.id, above);
                }
            }
        };
        walk(walk, BuildMainMenu(PathSettings{}, MenuMode{}));
        return out;
    }();
    static const std::vector<int> none;
    for (const auto& [item, menus] : paths) {
        if (item == id) return menus;
    }
    return none;
}

}  // namespace

bool CommandEnabled(int id, const MenuFacts& facts) {
    if (!ItemState(id, facts).enabled) return false;
    for (int menu : MenusAbove(id)) {
        if (!ItemState(menu, facts).enabled) return false;
    }
    return true;
}

}  // namespace lumra

namespace lumra {

const std::vector<int>& ToolBarLayout() {
    static const std::vector<int> layout = {
        kCmdOpen,     kIdSeparator,   kCmdFileList,     kIdSeparator,   kCmdRotate270,       kCmdRotate90,
        kIdSeparator, kCmdFit,        kCmdActualSize,   kCmdZoomIn,     kCmdZoomOut,         kIdSeparator,
        kCmdFirst,    kCmdPrevious,   kCmdNext,         kCmdLast,       kIdSeparator,        kCmdSlideShow,
        kIdSeparator, kCmdEditWindow, kIdSpacerRight,   kIdSpacerFullScreen, kCmdMinimize,   kCmdFullScreen,
        kCmdExit,
    };
    return layout;
}

bool ToolBarFullScreenOnly(int id) {
    return id == kIdSpacerRight || id == kIdSpacerFullScreen || id == kCmdMinimize || id == kCmdFullScreen ||
           id == kCmdExit;
}

std::string PlainMenuText(const std::string& text) {
    std::string out = text;
    if (out.size() >= 3 && out.compare(out.size() - 3, 3, "...") == 0) out.resize(out.size() - 3);
    // "(&X)" at the end.
    if (out.size() >= 4 && out[out.size() - 4] == '(' && out[out.size() - 3] == '&' && out.back() == ')') {
        out.resize(out.size() - 4);
    }
    return out;
}

std::string ToolBarTip(int id, const MenuMode& mode) {
    PathSettings none;
    std::vector<const MenuNode*> stack;
    const std::vector<MenuNode> menu = BuildMainMenu(none, mode);
    for (const MenuNode& n : menu) stack.push_back(&n);
    while (!stack.empty()) {
        const MenuNode* n = stack.back();
        stack.pop_back();
        if (n->id == id && !n->IsSubMenu()) return PlainMenuText(n->text);
        for (const MenuNode& c : n->children) stack.push_back(&c);
    }
    // Commands outside the menu: their key-customisation label.
    const int index = AssignableIndex(id);
    return index >= 0 ? kAssignableCommands[static_cast<size_t>(index)].label : std::string();
}

}  // namespace lumra
