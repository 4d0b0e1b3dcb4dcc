#include "shell/menu_model.h"

#include <gtest/gtest.h>

#include "formats/image_buffer.h"
#include "shell/settings.h"

namespace lumra {
namespace {

const MenuNode* Find(const std::vector<MenuNode>& nodes, int id) {
    for (const MenuNode& n : nodes) {
        if (n.id == id) return &n;
        if (const MenuNode* inner = Find(n.children, id)) return inner;
    }
    return nullptr;
}

// The ids of a menu level with 0 for separators.
std::vector<int> Ids(const std::vector<MenuNode>& nodes) {
    std::vector<int> ids;
    for (const MenuNode& n : nodes) ids.push_back(n.IsSeparator() ? 0 : n.id);
    return ids;
}

MenuFacts WithPicture(uint32_t format) {
    MenuFacts f;
    f.hasPicture = true;
    f.hasPath = true;
    f.sourceFormat = format;
    return f;
}

bool Enabled(int id, const MenuFacts& f) { return ItemState(id, f).enabled; }
bool Checked(int id, const MenuFacts& f) { return ItemState(id, f).checked; }

TEST(MainMenu, Tree) {
    const std::vector<MenuNode> menu = BuildMainMenu(PathSettings{}, MenuMode{});
    EXPECT_EQ(Ids(menu), (std::vector<int>{5000, 5100, 5200, 5300, 5400, 5500, 0, 5530, 5540, 5550}));
    const char* top[] = {"ファイル(&F)", "イメージ(&I)", "ビュー(&V)", "ウィンドウ(&W)", "ツール(&T)", "ヘルプ(&H)"};
    for (size_t i = 0; i < 6; ++i) EXPECT_EQ(menu[i].text, top[i]);
    EXPECT_EQ(menu[7].text, "全画面表示(&M)");
    EXPECT_EQ(menu[8].text, "最小化(&N)");
    EXPECT_EQ(menu[9].text, "終了(&X)");

    EXPECT_EQ(Ids(menu[0].children), (std::vector<int>{5010, 5011, 5012, 0, 5020, 5021, 0, 5030, 5031, 5032, 0, 5040,
                                                       5041, 0, 5050, 0, 5060}));
    EXPECT_EQ(Find(menu, 5010)->text, "開く(&O)...");
    EXPECT_EQ(Find(menu, 5020)->text, "右回転保存(JEPGロスレス)(&R)");
    EXPECT_EQ(Find(menu, 5060)->text, "印刷(プレビュー)(&P)...");

    const MenuNode& image = menu[1];
    EXPECT_EQ(Ids(image.children), (std::vector<int>{5105, 5106, 5107, 0, 5111, 5110}));
    EXPECT_EQ(Ids(image.children[0].children),
              (std::vector<int>{5115, 5116, 5117, 0, 5130, 5131, 0, 5190, 5191, 0, 5192}));
    EXPECT_EQ(Ids(image.children[1].children),
              (std::vector<int>{5120, 5121, 0, 5140, 0, 5150, 5151, 5152, 0, 5153, 5154}));
    EXPECT_EQ(Ids(image.children[2].children), (std::vector<int>{5160, 5180, 0, 5161, 5162, 5163, 0, 5164, 5181,
                                                                  5165, 0, 5170, 5171, 5172, 5182}));
    EXPECT_EQ(image.children[2].text, "画質補正(&R)");
    EXPECT_EQ(Find(menu, 5180)->text, "イコライズ(平均化)(&E)");
    EXPECT_EQ(Ids(menu[2].children), (std::vector<int>{5210, 5220, 0, 5230, 5240, 0, 5250}));
    EXPECT_EQ(Find(menu, 5220)->text, "等倍表示<100%>(&E)");
    EXPECT_EQ(Ids(menu[3].children), (std::vector<int>{5310, 5311, 0, 5320, 5321, 0, 5330, 5331, 5332, 0, 5340}));
    const MenuNode* background = Find(menu, 5340);
    EXPECT_EQ(Ids(background->children), (std::vector<int>{5341, 5342, 5343, 5344, 5345}));
    for (const MenuNode& n : background->children) EXPECT_TRUE(n.radio);
    EXPECT_FALSE(Find(menu, 5320)->radio);
    EXPECT_EQ(Find(menu, 5344)->text, "ダークグレイ(&D)");
    EXPECT_EQ(Ids(menu[4].children), (std::vector<int>{5430, 0, 5410}));
    EXPECT_EQ(Ids(menu[5].children), (std::vector<int>{5510, 0, 5515, 0, 5520}));
    EXPECT_EQ(Find(menu, 5520)->text, "バージョン情報(&V)");

    EXPECT_EQ(Ids(BuildZoomMenu()), (std::vector<int>{5260, 5261, 5262, 0, 5263, 5264, 5265}));
    EXPECT_EQ(BuildZoomMenu()[5].text, "25%(&Q)");
}

TEST(MainMenu, ModeTexts) {
    const auto normal = BuildMainMenu(PathSettings{}, MenuMode{false, false});
    EXPECT_EQ(Find(normal, 5530)->text, "全画面表示(&M)");
    EXPECT_EQ(Find(normal, 5310)->text, "編集ウィンドウ(&W)");
    const auto full = BuildMainMenu(PathSettings{}, MenuMode{true, false});
    EXPECT_EQ(Find(full, 5530)->text, "通常表示(&M)");
    const auto edit = BuildMainMenu(PathSettings{}, MenuMode{false, true});
    EXPECT_EQ(Find(edit, 5310)->text, "メインウィンドウ(&W)");
    EXPECT_EQ(Find(edit, 5530)->text, "全画面表示(&M)");
}

TEST(MainMenu, RegisteredTools) {
    PathSettings tools;
    // No tool: the grey placeholder above the separator and Options.
    std::vector<ToolItem> items = ToolMenuItems(tools);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].id, kCmdNoTool);
    EXPECT_EQ(items[0].text, "<未登録>");
    EXPECT_FALSE(Enabled(kCmdNoTool, WithPicture(kFormatBmp)));

    // A name without a path is not a tool; a path without a name is.
    tools.an[0] = "Ghost";
    tools.app[1] = "/usr/bin/gimp";
    tools.an[1] = "GIMP";
    tools.app[3] = "/opt/tool";
    tools.app[7] = "/opt/long";
    tools.an[7] = "あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほ";  // 30 characters
    items = ToolMenuItems(tools);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].id, 5421);
    EXPECT_EQ(items[0].text, "GIMP(&2)");
    EXPECT_EQ(items[1].id, 5423);
    EXPECT_EQ(items[1].text, "(&4)");
    EXPECT_EQ(items[2].id, 5427);
    EXPECT_EQ(items[2].text, "あいうえおかきくけこさしすせそたちつてとなにぬねのはひ(&8)");
    const auto menu = BuildMainMenu(tools, MenuMode{});
    EXPECT_EQ(Ids(menu[4].children), (std::vector<int>{5421, 5423, 5427, 0, 5410}));

    EXPECT_EQ(CutToolName(std::string(27, 'a')), std::string(27, 'a'));
    EXPECT_EQ(CutToolName(std::string(28, 'a')), std::string(27, 'a'));
    EXPECT_EQ(CutToolName(""), "");
    // A stray byte counts as one character and is never split.
    EXPECT_EQ(CutToolName(std::string(26, 'a') + "\xE3\x81"), std::string(26, 'a') + "\xE3\x81");
}

TEST(MainMenu, RecordsCarryTheCurrentKeys) {
    AcceleratorTable table = DefaultAccelerators();
    MenuRecord r = MakeMenuRecord("開く(&O)...", kCmdOpen, table);
    EXPECT_EQ(r.text, "開く(&O)...");
    EXPECT_EQ(r.prefix, "Ctrl+");
    EXPECT_EQ(r.keyName, "O");
    r = MakeMenuRecord("右回転保存(JEPGロスレス)(&R)", kCmdSaveRotateRight, table);
    EXPECT_EQ(r.prefix + r.keyName, "");
    // Sub-menus and commands that cannot take a key.
    EXPECT_EQ(MakeMenuRecord("x", kMenuFile, table).keyName, "");
    EXPECT_EQ(MakeMenuRecord("x", kCmdNoTool, table).keyName, "");

    table[static_cast<size_t>(AssignableIndex(kCmdOpen))] = {kFVirtKey | kFShift, kVkF1 + 2, kCmdOpen};
    table[static_cast<size_t>(AssignableIndex(kCmdExit))] = {kFVirtKey | kFControl, 47, kCmdExit};
    r = MakeMenuRecord("開く(&O)...", kCmdOpen, table);
    EXPECT_EQ(r.prefix + r.keyName, "Shift+F3");
    // A key without a name shows nothing.
    r = MakeMenuRecord("終了(&X)", kCmdExit, table);
    EXPECT_EQ(r.prefix + r.keyName, "");
}

TEST(MenuStates, WithoutPicture) {
    const MenuFacts f;
    EXPECT_FALSE(Enabled(kMenuImage, f));
    EXPECT_FALSE(Enabled(kMenuView, f));
    for (int id : {5011, 5020, 5021, 5032, 5040, 5041, 5012, 5030, 5050, 5060, 5311}) {
        EXPECT_FALSE(Enabled(id, f)) << id;
    }
    for (int id : {5000, 5010, 5300, 5310, 5320, 5321, 5400, 5410, 5500, 5510, 5520, 5530, 5540, 5550}) {
        EXPECT_TRUE(Enabled(id, f)) << id;
    }
    EXPECT_FALSE(Enabled(kCmdPaste, f));
    MenuFacts clip = f;
    clip.clipboardHasDib = true;
    EXPECT_TRUE(Enabled(kCmdPaste, clip));
}

TEST(MenuStates, FileItemsByPicture) {
    // A pasted picture: no path.
    MenuFacts pasted = WithPicture(kFormatBmp);
    pasted.hasPath = false;
    EXPECT_FALSE(Enabled(kCmdReopen, pasted));
    EXPECT_FALSE(Enabled(kCmdDelete, pasted));
    for (int id : {5012, 5030, 5050, 5060, 5100, 5200, 5311}) EXPECT_TRUE(Enabled(id, pasted)) << id;

    // Lossless rotation: JPEG files only, and not while a tool is active.
    MenuFacts jpeg = WithPicture(kFormatJpeg);
    EXPECT_TRUE(Enabled(kCmdSaveRotateRight, jpeg));
    EXPECT_TRUE(Enabled(kCmdSaveRotateLeft, jpeg));
    jpeg.toolActive = true;
    EXPECT_FALSE(Enabled(kCmdSaveRotateRight, jpeg));
    EXPECT_FALSE(Enabled(kCmdSaveRotateLeft, WithPicture(kFormatPng)));
    EXPECT_FALSE(Enabled(kCmdSaveRotateLeft, WithPicture(kFormatUnknown)));

    // Comments: PNG and JPEG, checked when there is one.
    MenuFacts png = WithPicture(kFormatPng);
    EXPECT_EQ(ItemState(kCmdComment, png), (MenuItemState{true, false}));
    png.hasComment = true;
    EXPECT_EQ(ItemState(kCmdComment, png), (MenuItemState{true, true}));
    MenuFacts gif = WithPicture(kFormatGif);
    gif.hasComment = true;
    EXPECT_EQ(ItemState(kCmdComment, gif), (MenuItemState{false, false}));

    // Text data: text chunks or Exif.
    EXPECT_FALSE(Enabled(kCmdTextData, WithPicture(kFormatJpeg)));
    MenuFacts exif = WithPicture(kFormatJpeg);
    exif.hasTextOrExif = true;
    EXPECT_TRUE(Enabled(kCmdTextData, exif));
}

TEST(MenuStates, HistoryAndSelection) {
    MenuFacts f = WithPicture(kFormatBmp);
    EXPECT_FALSE(Enabled(kCmdUndo, f));
    EXPECT_FALSE(Enabled(kCmdRedo, f));
    EXPECT_FALSE(Enabled(kCmdHistoryWindow, f));
    f.historyCount = 3;
    f.historyPosition = 1;
    EXPECT_TRUE(Enabled(kCmdUndo, f));
    EXPECT_TRUE(Enabled(kCmdRedo, f));
    EXPECT_TRUE(Enabled(kCmdHistoryWindow, f));
    f.historyPosition = 2;
    EXPECT_FALSE(Enabled(kCmdRedo, f));
    f.historyPosition = 0;
    EXPECT_FALSE(Enabled(kCmdUndo, f));
    EXPECT_TRUE(Enabled(kCmdRedo, f));

    EXPECT_EQ(ItemState(kCmdSelectArea, f), (MenuItemState{true, false}));
    EXPECT_FALSE(Enabled(kCmdDeselect, f));
    f.hasSelection = true;
    EXPECT_EQ(ItemState(kCmdSelectArea, f), (MenuItemState{true, true}));
    EXPECT_TRUE(Enabled(kCmdDeselect, f));
}

TEST(MenuStates, WindowItems) {
    MenuFacts f = WithPicture(kFormatBmp);
    // Normal display with the title bar.
    EXPECT_EQ(ItemState(kCmdCenter, f), (MenuItemState{true, false}));
    EXPECT_EQ(ItemState(kCmdTitleBar, f), (MenuItemState{true, true}));
    EXPECT_EQ(ItemState(kCmdWindowFrame, f), (MenuItemState{false, false}));
    EXPECT_EQ(ItemState(kCmdToolBar, f), (MenuItemState{true, true}));
    EXPECT_EQ(ItemState(kCmdAlwaysOnTop, f), (MenuItemState{true, false}));
    // Without the title bar the frame item works and shows the frame setting.
    f.titleBar = false;
    EXPECT_EQ(ItemState(kCmdTitleBar, f), (MenuItemState{true, false}));
    EXPECT_EQ(ItemState(kCmdWindowFrame, f), (MenuItemState{true, true}));
    f.frame = false;
    EXPECT_EQ(ItemState(kCmdWindowFrame, f), (MenuItemState{true, false}));
    f.alwaysOnTop = true;
    f.toolBar = false;
    EXPECT_EQ(ItemState(kCmdAlwaysOnTop, f), (MenuItemState{true, true}));
    EXPECT_EQ(ItemState(kCmdToolBar, f), (MenuItemState{true, false}));
    // Full screen.
    f.fullScreen = true;
    f.frame = true;
    for (int id : {kCmdCenter, kCmdTitleBar, kCmdWindowFrame}) EXPECT_FALSE(Enabled(id, f)) << id;
    EXPECT_TRUE(Enabled(kCmdToolBar, f));
    EXPECT_TRUE(Checked(kCmdAlwaysOnTop, f));

    // The edit window's variant.
    MenuFacts e = WithPicture(kFormatBmp);
    e.editWindowVariant = true;
    e.fullScreen = true;
    e.alwaysOnTop = true;
    EXPECT_TRUE(Enabled(kCmdCenter, e));
    EXPECT_TRUE(Checked(kCmdAlwaysOnTop, e));
    for (int id : {kCmdTitleBar, kCmdWindowFrame, kCmdToolBar}) {
        EXPECT_EQ(ItemState(id, e), (MenuItemState{false, false})) << id;
    }

    // File list needs a picture in the main window's menu.
    MenuFacts none;
    EXPECT_FALSE(Enabled(kCmdFileList, none));
    none.editWindowVariant = true;
    EXPECT_TRUE(Enabled(kCmdFileList, none));

    // Exactly one background colour carries the check.
    for (int bg = 0; bg < 5; ++bg) {
        f.bgColor = bg;
        int checked = 0;
        for (int id = kCmdBgWhite; id <= kCmdBgBlack; ++id) {
            if (Checked(id, f)) {
                ++checked;
                EXPECT_EQ(id, kCmdBgWhite + bg);
            }
            EXPECT_TRUE(Enabled(id, f));
        }
        EXPECT_EQ(checked, 1);
    }
}

TEST(MenuStates, CommandEnabledFromAnyRoute) {
    const MenuFacts none;
    const MenuFacts bmp = WithPicture(kFormatBmp);
    struct Case {
        int id;
        bool withoutPicture, withBmp;
    };
    const Case cases[] = {
        {kCmdOpen, true, true},       {kCmdFit, false, true},   // under View
        {kCmdRotate90, false, true},  {kCmdSlideShow, false, true},
        {kCmdComment, false, false},  // PNG and JPEG only, from a key too
        {kCmdZoom25, true, true},     {kCmdNext, true, true},   // not in the menu
        {kCmdTool1, true, true},      {kCmdFileList, false, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CommandEnabled(c.id, none), c.withoutPicture) << c.id;
        EXPECT_EQ(CommandEnabled(c.id, bmp), c.withBmp) << c.id;
    }
}

TEST(ToolBar, LayoutAndTips) {
    const std::vector<int> expected = {5010, 9900, 5311, 9900, 5152, 5150, 9900, 5210, 5220, 5230, 5240, 9900, 5700,
                                       5702, 5703, 5701, 9900, 5250, 9900, 5310, 9912, 9911, 5540, 5530, 5550};
    EXPECT_EQ(ToolBarLayout(), expected);
    int fullScreenOnly = 0;
    for (int id : ToolBarLayout()) fullScreenOnly += ToolBarFullScreenOnly(id) ? 1 : 0;
    EXPECT_EQ(fullScreenOnly, 5);
    EXPECT_FALSE(ToolBarFullScreenOnly(kCmdEditWindow));

    EXPECT_EQ(PlainMenuText("開く(&O)..."), "開く");
    EXPECT_EQ(PlainMenuText("等倍表示<100%>(&E)"), "等倍表示<100%>");
    EXPECT_EQ(PlainMenuText("A & B"), "A & B");
    EXPECT_EQ(ToolBarTip(kCmdFileList, MenuMode{}), "ファイルリスト表示");
    EXPECT_EQ(ToolBarTip(kCmdFullScreen, MenuMode{}), "全画面表示");
    EXPECT_EQ(ToolBarTip(kCmdFullScreen, MenuMode{true, false}), "通常表示");
    EXPECT_EQ(ToolBarTip(kCmdFirst, MenuMode{}), "先頭へ(ファイル閲覧)");
    EXPECT_EQ(ToolBarTip(kIdSpacerRight, MenuMode{}), "");
}

}  // namespace
}  // namespace lumra
