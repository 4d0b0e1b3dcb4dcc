// The options dialog's rules without the dialog: its working copy, the key assignment
// rules of the key-customisation list, the registered-tool rows and what applying does
// to the settings.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "shell/command_catalogue.h"
#include "shell/messages.h"
#include "shell/settings.h"

namespace lumra {

class IniFile;

inline constexpr int kOptionPages = 6;
// The page labels in order.
extern const std::array<const char*, kOptionPages> kOptionPageLabels;

// What the dialog edits: every setting it shows (Start and Dual as the file holds them),
// the key table and whether it changed.
struct OptionsWorkingCopy {
    Settings settings;
    AcceleratorTable keys{};
    bool keysChanged = false;
};

OptionsWorkingCopy MakeWorkingCopy(const Settings& current, const AcceleratorTable& keys, const IniFile& ini);

// ---- Key customisation ----

// The keys of the "キー選択" list in order (90).
inline constexpr size_t kSelectableKeyCount = 90;
const std::array<uint16_t, kSelectableKeyCount>& SelectableKeys();

enum class KeyChange { NoCommand, NoKey, AlreadyAssigned, Done };

// Gives the command at index the key with FVIRTKEY, Ctrl and Shift as asked; refused when
// any entry (its own included) has the same key with the same Ctrl and Shift. index -1:
// no command selected; key 0: no key selected.
KeyChange AssignKey(AcceleratorTable& table, int index, uint16_t key, bool ctrl, bool shift);
// Takes the key of the command at index away.
KeyChange ClearKey(AcceleratorTable& table, int index);

BoxRequest NoCommandBox();        // "未選択"
BoxRequest AlreadyAssignedBox();  // "登録済み"
BoxRequest ResetKeysBox();        // "初期化", Yes/No

// ---- Registered tools ----

// A program chosen with "ファイル登録": its path, named after the file without extension.
void SetToolFile(PathSettings& tools, int slot, const std::string& path);
// A folder chosen with "フォルダ登録": its path, named after its last component.
void SetToolFolder(PathSettings& tools, int slot, const std::string& folder);
// "解除".
void ClearTool(PathSettings& tools, int slot);
// Where "ファイル登録" starts: the row's path when it is a folder, else programFiles.
std::string ToolDialogStart(const PathSettings& tools, int slot, const std::string& programFiles);

// ---- Values shown in edits ----

// DispGam as the edit shows it ("%.3f" of value / 1000).
std::string DisplayGammaText(int dispGam);
// The edit's decimal text × 1000, rounded; nullopt when it is no number.
std::optional<int> ParseDisplayGamma(const std::string& text);

// ---- Applying ----

// What applying changed, for the program to act on.
struct AppliedOptions {
    bool keysChanged = false;
    bool loadOptionsChanged = false;  // the LImg values a picture was decoded with
};

// Takes the working copy into settings and keys, writes Start and Dual into ini (the
// caller saves it) and clears the keys-changed flag of the copy.
AppliedOptions ApplyWorkingCopy(OptionsWorkingCopy& copy, Settings& settings, AcceleratorTable& keys,
                                IniFile& ini);

// The LImg values that change a decoded picture differ.
bool LoadOptionsDiffer(const LImgSettings& a, const LImgSettings& b);

}  // namespace lumra
