#include "shell/options_rules.h"

#include <gtest/gtest.h>

#include <set>

#include "shell/ini_file.h"
#include "shell/menu_model.h"
#include "test_util.h"

namespace lumra {
namespace {

int Index(int id) { return AssignableIndex(id); }

TEST(KeyRules, ConflictsCompareKeyCtrlAndShiftOverAllEntries) {
    AcceleratorTable t = DefaultAccelerators();
    struct Case {
        int command;
        uint16_t key;
        bool ctrl, shift;
        KeyChange expect;
    } cases[] = {
        {kCmdOpen, 'O', true, false, KeyChange::AlreadyAssigned},   // its own key
        {kCmdPrint, 'O', true, false, KeyChange::AlreadyAssigned},  // Open keeps Ctrl+O
        {kCmdPrint, 'O', false, false, KeyChange::AlreadyAssigned}, // O is Options'
        {kCmdPrint, 'O', true, true, KeyChange::Done},
        {kCmdPrint, 'Z', true, true, KeyChange::AlreadyAssigned},   // Redo
        {kCmdPrint, 'P', false, true, KeyChange::Done},
        {-1, 'Q', false, false, KeyChange::NoCommand},
        {kCmdPrint, 0, false, false, KeyChange::NoKey},
    };
    for (const Case& c : cases) {
        const int index = c.command < 0 ? -1 : Index(c.command);
        const AcceleratorTable before = t;
        EXPECT_EQ(AssignKey(t, index, c.key, c.ctrl, c.shift), c.expect) << c.command << " " << c.key;
        if (c.expect != KeyChange::Done) {
            EXPECT_EQ(t, before);
        }
    }
    EXPECT_EQ(KeyText(t[Index(kCmdPrint)]), "Shift+P");
    EXPECT_EQ(t[Index(kCmdPrint)].flags, kFVirtKey | kFShift);
}

TEST(KeyRules, ClearedKeyCanBeGivenToAnotherCommand) {
    AcceleratorTable t = DefaultAccelerators();
    EXPECT_EQ(ClearKey(t, -1), KeyChange::NoCommand);
    ASSERT_EQ(ClearKey(t, Index(kCmdOptions)), KeyChange::Done);
    EXPECT_EQ(t[Index(kCmdOptions)], (AccelEntry{kFVirtKey, 0, kCmdOptions}));
    EXPECT_EQ(AssignKey(t, Index(kCmdOpen), 'O', false, false), KeyChange::Done);
    EXPECT_EQ(FindAccelerator(t, 'O', false, false, false), kCmdOpen);
    // Open's Ctrl+O went with the new key.
    EXPECT_EQ(FindAccelerator(t, 'O', false, true, false), std::nullopt);
}

TEST(KeyRules, SelectableKeysAreNinetyNamedKeys) {
    const auto& keys = SelectableKeys();
    std::set<uint16_t> seen(keys.begin(), keys.end());
    EXPECT_EQ(seen.size(), kSelectableKeyCount);
    for (uint16_t k : keys) EXPECT_FALSE(KeyName(k).empty()) << k;
    EXPECT_EQ(KeyName(keys.front()), "BackSpace");
    EXPECT_EQ(KeyName(keys[15]), ":");
    EXPECT_EQ(KeyName(keys.back()), "[Num] /");
}

TEST(ToolRows, NamesComeFromTheChosenPath) {
    PathSettings tools;
    SetToolFile(tools, 0, "/opt/app/viewer-2.10.bin");
    SetToolFile(tools, 1, "/usr/bin/.hidden");
    SetToolFolder(tools, 2, "/home/u/写真/");
    SetToolFolder(tools, 3, "/");
    SetToolFile(tools, 8, "/usr/bin/gimp");  // no ninth row
    EXPECT_EQ(tools.an[0], "viewer-2.10");
    EXPECT_EQ(tools.app[0], "/opt/app/viewer-2.10.bin");
    EXPECT_EQ(tools.an[1], ".hidden");
    EXPECT_EQ(tools.app[2], "/home/u/写真");
    EXPECT_EQ(tools.an[2], "写真");
    EXPECT_EQ(tools.app[3], "/");
    EXPECT_EQ(tools.an[3], "/");
    ClearTool(tools, 0);
    EXPECT_TRUE(tools.app[0].empty() && tools.an[0].empty());

    const std::vector<ToolItem> items = ToolMenuItems(tools);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].id, kCmdTool1 + 1);
}

TEST(ToolRows, FileDialogStartsInTheRowsFolderElseProgramFiles) {
    test::TempDir dir;
    PathSettings tools;
    tools.app[0] = dir.path();
    tools.app[1] = dir.File("missing");
    EXPECT_EQ(ToolDialogStart(tools, 0, "/usr/bin"), dir.path());
    EXPECT_EQ(ToolDialogStart(tools, 1, "/usr/bin"), "/usr/bin");
    EXPECT_EQ(ToolDialogStart(tools, 2, "/usr/bin"), "/usr/bin");
}

TEST(DisplayGamma, ShownWithThreeDecimalsAndReadTimesThousand) {
    EXPECT_EQ(DisplayGammaText(2200), "2.200");
    EXPECT_EQ(DisplayGammaText(1), "0.001");
    EXPECT_EQ(ParseDisplayGamma("2.2"), 2200);
    EXPECT_EQ(ParseDisplayGamma(" 1.8 "), 1800);
    EXPECT_EQ(ParseDisplayGamma("1.0005"), 1001);
    EXPECT_EQ(ParseDisplayGamma(""), std::nullopt);
    EXPECT_EQ(ParseDisplayGamma("2,2"), std::nullopt);
    EXPECT_EQ(ParseDisplayGamma("1e300"), std::nullopt);
}

TEST(ApplyOptions, WorkingCopyReachesSettingsAndTheFileAtExit) {
    IniFile ini;
    ini.Parse("[Awin]\nStart=2\nDual=1\n");
    Settings settings;
    AcceleratorTable keys = DefaultAccelerators();
    OptionsWorkingCopy copy = MakeWorkingCopy(settings, keys, ini);
    EXPECT_EQ(copy.settings.awin.start, 2);
    EXPECT_EQ(copy.settings.awin.dual, 1);

    copy.settings.awin.start = 1;
    copy.settings.awin.dual = 0;
    copy.settings.vwin.time = 30;
    copy.settings.swin.swAreaZm = 0;
    copy.settings.path.spi = "/plug";
    copy.settings.vwin.bgColor = 4;  // not the dialog's: the program's value stays
    ASSERT_EQ(AssignKey(copy.keys, Index(kCmdPrint), 'P', false, false), KeyChange::Done);
    copy.keysChanged = true;

    const AppliedOptions applied = ApplyWorkingCopy(copy, settings, keys, ini);
    EXPECT_TRUE(applied.keysChanged);
    EXPECT_FALSE(applied.loadOptionsChanged);
    EXPECT_FALSE(copy.keysChanged);
    EXPECT_EQ(settings.vwin.time, 30);
    EXPECT_EQ(settings.vwin.bgColor, 2);
    EXPECT_EQ(FindAccelerator(keys, 'P', false, false, false), kCmdPrint);
    EXPECT_EQ(StoredStart(ini), 1);
    EXPECT_FALSE(StoredDual(ini));

    // Exit and the next start.
    SaveSettings(ini, settings);
    SaveAccelerators(ini, keys);
    IniFile reread;
    reread.Parse(ini.Serialize());
    Settings loaded;
    LoadSettings(reread, ScreenFacts{}, loaded);
    EXPECT_EQ(loaded.vwin.time, 30);
    EXPECT_EQ(loaded.swin.swAreaZm, 0);
    EXPECT_EQ(loaded.path.spi, "/plug");
    EXPECT_EQ(LoadAccelerators(reread), keys);
    EXPECT_EQ(StoredStart(reread), 1);
}

TEST(ApplyOptions, KeysOnlyWhenChangedAndLoadOptionsReported) {
    IniFile ini;
    Settings settings;
    AcceleratorTable keys = DefaultAccelerators();
    OptionsWorkingCopy copy = MakeWorkingCopy(settings, keys, ini);
    ClearKey(copy.keys, Index(kCmdOpen));  // edited but not flagged
    copy.settings.limg.dispGam = 1800;
    const AppliedOptions applied = ApplyWorkingCopy(copy, settings, keys, ini);
    EXPECT_FALSE(applied.keysChanged);
    EXPECT_EQ(keys, DefaultAccelerators());
    EXPECT_TRUE(applied.loadOptionsChanged);
    EXPECT_FALSE(ApplyWorkingCopy(copy, settings, keys, ini).loadOptionsChanged);
}

}  // namespace
}  // namespace lumra
