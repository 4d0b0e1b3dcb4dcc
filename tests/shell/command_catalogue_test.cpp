#include "shell/command_catalogue.h"

#include <gtest/gtest.h>

#include <set>

#include "shell/ini_file.h"

namespace lumra {
namespace {

// The stored records, widened from a table, for editing by hand.
std::vector<uint8_t> Records(const AcceleratorTable& table) {
    const auto bytes = EncodeSaveKey(table);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

void SetRecord(std::vector<uint8_t>& records, size_t index, int32_t flags, int32_t key, uint32_t command) {
    uint8_t* r = records.data() + 12 * index;
    const uint32_t values[3] = {static_cast<uint32_t>(flags), static_cast<uint32_t>(key), command};
    for (int v = 0; v < 3; ++v) {
        for (int i = 0; i < 4; ++i) r[4 * v + i] = static_cast<uint8_t>(values[v] >> (8 * i));
    }
}

AccelEntry EntryOf(const AcceleratorTable& table, int id) { return table[static_cast<size_t>(AssignableIndex(id))]; }

TEST(CommandCatalogue, AssignableCommandsInTableOrder) {
    ASSERT_EQ(kAssignableCommands.size(), 97u);
    std::set<int> ids;
    for (const AssignableCommand& c : kAssignableCommands) {
        EXPECT_TRUE(ids.insert(c.id).second) << c.id;
        EXPECT_NE(CommandName(c.id), nullptr) << c.id;
    }
    // Places where the order is not the numbers' order.
    const std::pair<int, int> places[] = {{0, 5010},  {3, 5020},  {12, 5115}, {17, 5190}, {20, 5120}, {29, 5180},
                                          {30, 5161}, {34, 5181}, {35, 5165}, {40, 5111}, {41, 5110}, {59, 5410},
                                          {60, 5420}, {67, 5427}, {73, 5550}, {77, 5260}, {82, 5265}, {83, 5700},
                                          {84, 5702}, {85, 5703}, {86, 5701}, {91, 5710}, {92, 5810}, {96, 5730}};
    for (const auto& [index, id] : places) {
        EXPECT_EQ(kAssignableCommands[static_cast<size_t>(index)].id, id) << index;
        EXPECT_EQ(AssignableIndex(id), index);
    }
    EXPECT_STREQ(kAssignableCommands[3].label, "ファイル - 右回転保存(JEPGロスレス)");
    EXPECT_STREQ(kAssignableCommands[64].label, "ツール - 登録ツール5");
    EXPECT_STREQ(kAssignableCommands[74].label, "表示倍率切替(等倍⇔画面サイズ)");
    EXPECT_EQ(AssignableIndex(kCmdNoTool), -1);
    EXPECT_EQ(AssignableIndex(kMenuFile), -1);
    EXPECT_STREQ(CommandName(5703), "CmdNext");
    EXPECT_STREQ(CommandName(9912), "IdSpacerRight");
    EXPECT_EQ(CommandName(5999), nullptr);
}

TEST(CommandCatalogue, DefaultKeys) {
    const AcceleratorTable table = DefaultAccelerators();
    for (size_t i = 0; i < table.size(); ++i) EXPECT_EQ(table[i].command, kAssignableCommands[i].id);

    int keyed = 0;
    std::set<std::pair<uint16_t, uint8_t>> keys;
    for (const AccelEntry& e : table) {
        EXPECT_TRUE(e.flags & kFVirtKey);
        if (e.key == 0) continue;
        ++keyed;
        // No two commands share a key.
        EXPECT_TRUE(keys.insert({e.key, e.flags}).second) << e.command;
        EXPECT_FALSE(KeyText(e).empty()) << e.command;
    }
    EXPECT_EQ(keyed, 42);

    EXPECT_EQ(KeyText(EntryOf(table, kCmdOpen)), "Ctrl+O");
    EXPECT_EQ(KeyText(EntryOf(table, kCmdReopen)), "BackSpace");
    EXPECT_EQ(KeyText(EntryOf(table, kCmdRedo)), "Ctrl+Shift+Z");
    EXPECT_EQ(KeyText(EntryOf(table, kCmdRotate90)), "Ctrl+→");
    EXPECT_EQ(KeyText(EntryOf(table, kCmdRotate270)), "Ctrl+←");
    EXPECT_EQ(KeyText(EntryOf(table, kCmdOptions)), "O");
    EXPECT_EQ(KeyText(EntryOf(table, 5427)), "8");
    EXPECT_EQ(KeyText(EntryOf(table, kCmdFullScreen)), "Enter");
    EXPECT_EQ(KeyText(EntryOf(table, kCmdToggleFit)), "Space");
    EXPECT_EQ(KeyText(EntryOf(table, kCmdScrollDown)), "Shift+↓");
    EXPECT_EQ(KeyText(EntryOf(table, kCmdPreviewView)), "F");
    EXPECT_EQ(EntryOf(table, kCmdSaveRotateRight).key, 0);
    EXPECT_EQ(EntryOf(table, kCmdSelectionView).key, 0);

    // Copy is C alone; Ctrl+C is free.
    EXPECT_EQ(FindAccelerator(table, 'C', false, false, false), kCmdCopy);
    EXPECT_EQ(FindAccelerator(table, 'C', false, true, false), std::nullopt);
    // The arrows with and without modifiers.
    EXPECT_EQ(FindAccelerator(table, kVkLeft, false, false, false), kCmdFirst);
    EXPECT_EQ(FindAccelerator(table, kVkLeft, true, false, false), kCmdScrollLeft);
    EXPECT_EQ(FindAccelerator(table, kVkLeft, false, true, false), kCmdRotate270);
    EXPECT_EQ(FindAccelerator(table, kVkLeft, true, true, false), std::nullopt);
    EXPECT_EQ(FindAccelerator(table, kVkLeft, false, false, true), std::nullopt);
    EXPECT_EQ(FindAccelerator(table, 0, false, false, false), std::nullopt);
}

TEST(CommandCatalogue, KeyNames) {
    int named = 0;
    for (int key = 0; key < 256; ++key) {
        if (!KeyName(static_cast<uint16_t>(key)).empty()) ++named;
    }
    // The keys the key customisation offers.
    EXPECT_EQ(named, 90);
    EXPECT_EQ(KeyName(8), "BackSpace");
    EXPECT_EQ(KeyName(27), "Esc");
    EXPECT_EQ(KeyName(34), "PageDown");
    EXPECT_EQ(KeyName(40), "↓");
    EXPECT_EQ(KeyName(45), "Insert");
    EXPECT_EQ(KeyName(48), "0");
    EXPECT_EQ(KeyName(57), "9");
    EXPECT_EQ(KeyName(65), "A");
    EXPECT_EQ(KeyName(90), "Z");
    EXPECT_EQ(KeyName(96), "[Num] 0 ");  // with its trailing blank
    EXPECT_EQ(KeyName(97), "[Num] 1");
    EXPECT_EQ(KeyName(105), "[Num] 9");
    EXPECT_EQ(KeyName(106), "[Num] *");
    EXPECT_EQ(KeyName(108), "");
    EXPECT_EQ(KeyName(111), "[Num] /");
    EXPECT_EQ(KeyName(112), "F1");
    EXPECT_EQ(KeyName(123), "F12");
    EXPECT_EQ(KeyName(124), "");
    EXPECT_EQ(KeyName(186), ":");
    EXPECT_EQ(KeyName(187), ";");
    EXPECT_EQ(KeyName(192), "@");
    EXPECT_EQ(KeyName(220), "\\");
    EXPECT_EQ(KeyName(222), "^");
    EXPECT_EQ(KeyName(226), "_");
    for (int key : {0, 16, 17, 18, 47, 58, 64, 91, 193, 218, 223, 255, 256, 1000}) {
        EXPECT_EQ(KeyName(static_cast<uint16_t>(key)), "") << key;
    }
}

TEST(CommandCatalogue, ModifierPrefixes) {
    EXPECT_EQ(ModifierPrefix(kFVirtKey | kFControl), "Ctrl+");
    EXPECT_EQ(ModifierPrefix(kFVirtKey | kFShift), "Shift+");
    EXPECT_EQ(ModifierPrefix(kFVirtKey | kFControl | kFShift), "Ctrl+Shift+");
    // Alt is never shown, nor are flags without FVIRTKEY.
    for (int flags : {0, 1, 3, 8, 4, 12, 17, 25, 29, 11, 255}) {
        EXPECT_EQ(ModifierPrefix(static_cast<uint8_t>(flags)), "") << flags;
    }
    // A key without a name shows nothing, modifiers included; so does no key.
    EXPECT_EQ(KeyText(AccelEntry{kFVirtKey | kFControl, 47, kCmdOpen}), "");
    EXPECT_EQ(KeyText(AccelEntry{kFVirtKey | kFControl, 0, kCmdOpen}), "");
    EXPECT_EQ(KeyText(AccelEntry{kFVirtKey | kFShift, kVkF1 + 4, kCmdOpen}), "Shift+F5");
}

TEST(SaveKey, StoredForm) {
    const auto bytes = EncodeSaveKey(DefaultAccelerators());
    ASSERT_EQ(bytes.size(), 1164u);
    // Open: Ctrl+O (9, 0x4F, 5010 = 0x1392).
    const uint8_t open[12] = {9, 0, 0, 0, 0x4F, 0, 0, 0, 0x92, 0x13, 0, 0};
    EXPECT_TRUE(std::equal(open, open + 12, bytes.begin()));
    // The last record: 5730 without a key.
    const uint8_t last[12] = {1, 0, 0, 0, 0, 0, 0, 0, 0x62, 0x16, 0, 0};
    EXPECT_TRUE(std::equal(last, last + 12, bytes.end() - 12));

    IniFile ini;
    ini.Parse("[Akey]\nOld=1\n[Vwin]\nBgColor=3\n");
    SaveAccelerators(ini, DefaultAccelerators());
    const std::optional<std::string> value = ini.Find("Akey", "SaveKey");
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->size(), 2u * 1165u);
    EXPECT_EQ(value->substr(0, 24), "090000004F00000092130000");
    // The section is written afresh; other sections stay.
    EXPECT_FALSE(ini.Find("Akey", "Old").has_value());
    EXPECT_EQ(ini.GetInt("Vwin", "BgColor", 0), 3);
}

TEST(SaveKey, RoundTripThroughTheFile) {
    AcceleratorTable table = DefaultAccelerators();
    table[static_cast<size_t>(AssignableIndex(kCmdOpen))] = {kFVirtKey, kVkF1 + 1, kCmdOpen};
    table[static_cast<size_t>(AssignableIndex(kCmdCopy))] = {kFVirtKey | kFControl | kFShift, 'C', kCmdCopy};
    table[static_cast<size_t>(AssignableIndex(kCmdNext))] = {kFVirtKey, 0, kCmdNext};
    table[static_cast<size_t>(AssignableIndex(kCmdSelectionView))] = {kFVirtKey | kFShift, kVkOem102,
                                                                       kCmdSelectionView};
    IniFile written;
    SaveAccelerators(written, table);
    IniFile read;
    read.Parse(written.Serialize());
    EXPECT_EQ(LoadAccelerators(read), table);
}

TEST(SaveKey, UnreadableValuesKeepTheDefaults) {
    const AcceleratorTable defaults = DefaultAccelerators();
    AcceleratorTable changed = defaults;
    changed[0].key = kVkF1;
    std::vector<uint8_t> records = Records(changed);

    IniFile missing;
    EXPECT_EQ(LoadAccelerators(missing), defaults);

    // Wrong size: one record short, with a correct checksum.
    IniFile shortValue;
    shortValue.WriteStruct("Akey", "SaveKey", records.data(), records.size() - 12);
    EXPECT_EQ(LoadAccelerators(shortValue), defaults);
    IniFile longValue;
    records.push_back(0);
    longValue.WriteStruct("Akey", "SaveKey", records.data(), records.size());
    records.pop_back();
    EXPECT_EQ(LoadAccelerators(longValue), defaults);

    // A wrong checksum.
    IniFile good;
    good.WriteStruct("Akey", "SaveKey", records.data(), records.size());
    std::string text = *good.Find("Akey", "SaveKey");
    EXPECT_EQ(LoadAccelerators(good), changed);
    text.back() = text.back() == '0' ? '1' : '0';
    IniFile bad;
    bad.WriteString("Akey", "SaveKey", text);
    EXPECT_EQ(LoadAccelerators(bad), defaults);

    // Not hex at all.
    IniFile garbage;
    garbage.WriteString("Akey", "SaveKey", std::string(2330, 'x'));
    EXPECT_EQ(LoadAccelerators(garbage), defaults);
}

TEST(SaveKey, RecordRules) {
    const AcceleratorTable defaults = DefaultAccelerators();
    std::vector<uint8_t> records = Records(defaults);
    // Unknown commands are skipped: Open keeps its key.
    SetRecord(records, 0, kFVirtKey, kVkF1, 4242);
    // A command with high bits is not the command of its low bits.
    SetRecord(records, 1, kFVirtKey, kVkF1 + 1, 0x10000u + kCmdReopen);
    // The Alt flag (17): the plain key.
    SetRecord(records, 5, kFVirtKey | kFAlt, 'K', kCmdCopy);
    // Key 300: no key.
    SetRecord(records, 7, kFVirtKey | kFControl, 300, kCmdDelete);
    // Flags 15 stay; 16 and above become 1.
    SetRecord(records, 8, 15, 'E', kCmdComment);
    SetRecord(records, 9, 16, 'T', kCmdTextData);
    // Negative values pass the range test and keep their low bits.
    SetRecord(records, 10, -1, -2, kCmdWallpaper);
    // Records find their command wherever they stand; a later record wins.
    SetRecord(records, 11, kFVirtKey | kFShift, 'P', kCmdSaveAs);
    SetRecord(records, 12, kFVirtKey, kVkF1 + 2, kCmdSaveAs);
    // Key 255 is kept; the skipped record after it changes nothing.
    SetRecord(records, 13, kFVirtKey, 255, kCmdHistoryWindow);
    SetRecord(records, 14, kFVirtKey, 'H', 5999);

    const AcceleratorTable t = ApplySaveKey(defaults, records.data());
    EXPECT_EQ(EntryOf(t, kCmdOpen), (AccelEntry{kFVirtKey | kFControl, 'O', kCmdOpen}));
    EXPECT_EQ(EntryOf(t, kCmdReopen), (AccelEntry{kFVirtKey, kVkBack, kCmdReopen}));
    EXPECT_EQ(EntryOf(t, kCmdCopy), (AccelEntry{kFVirtKey, 'K', kCmdCopy}));
    EXPECT_EQ(EntryOf(t, kCmdDelete), (AccelEntry{kFVirtKey | kFControl, 0, kCmdDelete}));
    EXPECT_EQ(EntryOf(t, kCmdComment), (AccelEntry{15, 'E', kCmdComment}));
    EXPECT_EQ(EntryOf(t, kCmdTextData), (AccelEntry{kFVirtKey, 'T', kCmdTextData}));
    EXPECT_EQ(EntryOf(t, kCmdWallpaper), (AccelEntry{0xFF, 0xFFFE, kCmdWallpaper}));
    EXPECT_EQ(EntryOf(t, kCmdSaveAs), (AccelEntry{kFVirtKey, kVkF1 + 2, kCmdSaveAs}));
    EXPECT_EQ(EntryOf(t, kCmdHistoryWindow), (AccelEntry{kFVirtKey, 255, kCmdHistoryWindow}));
    // The Undo and Redo records (12 and 13) were overwritten: those entries keep their defaults.
    EXPECT_EQ(EntryOf(t, kCmdUndo), EntryOf(defaults, kCmdUndo));
    EXPECT_EQ(EntryOf(t, kCmdRedo), EntryOf(defaults, kCmdRedo));
    // The table keeps its order whatever the records' order.
    for (size_t i = 0; i < t.size(); ++i) EXPECT_EQ(t[i].command, kAssignableCommands[i].id);

    // Shown and matched as the rules left them.
    EXPECT_EQ(KeyText(EntryOf(t, kCmdCopy)), "K");
    EXPECT_EQ(KeyText(EntryOf(t, kCmdDelete)), "");
    EXPECT_EQ(FindAccelerator(t, 'K', false, false, false), kCmdCopy);
    EXPECT_EQ(FindAccelerator(t, 'K', false, false, true), std::nullopt);
}

}  // namespace
}  // namespace lumra
