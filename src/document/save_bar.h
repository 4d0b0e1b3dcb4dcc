// The rules of the save-settings bar "保存設定": which formats and depths it offers, which
// entry the settings select, which controls each format shows, and what its tool bar
// commands do to the save settings.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "document/picture.h"
#include "edit/bar_controls.h"
#include "formats/codec_options.h"

namespace lumra {

class Document;

// What the bar needs to know of the program besides the settings.
struct SaveBarContext {
    bool hasPicture = false;
    uint32_t sourceFormat = 0;  // FormatCode of the current picture
    int bitCount = 0;           // of the current picture
    bool operationActive = false;
};
SaveBarContext SaveBarContextOf(const Document& doc);

// "BMP", "PNG", "JPEG", "TIFF", "GIF", "JPEG/TRANS".
const char* SaveFormatLabel(int format);
// 6 entries while no picture is loaded or the picture came from a JPEG file, else 5.
int SaveFormatEntryCount(const SaveBarContext& ctx);
// The format list's entry: Format itself, JPEG/TRANS becoming JPEG when it is not offered
// and an out-of-range value becoming BMP (the setting follows).
int SelectSaveFormat(SImgSettings& s, const SaveBarContext& ctx);
// Choosing an entry; false (nothing changed) for an entry the list does not offer.
bool ChooseSaveFormat(SImgSettings& s, int format, const SaveBarContext& ctx);

// The depth list "ビット深度".
struct DepthEntry {
    const char* label;
    int depth;
    bool grey;
};
std::span<const DepthEntry> DepthEntries(int format);
// The entry Depth and Gray select for the format; the rule may change them (GIF lifts 24 to
// 8 and clears Gray, JPEG without Gray sets 24, ...).
int SelectDepthEntry(SImgSettings& s, const SaveBarContext& ctx);
// Choosing an entry sets Depth and Gray from it; false for an index the list lacks.
bool ChooseDepthEntry(SImgSettings& s, int index);
// Only JPEG/TRANS with a picture loaded disables the list.
bool DepthListEnabled(const SImgSettings& s, const SaveBarContext& ctx);

// Tool bar commands 5800-5890: shown for the format, enabled now, checked.
bool SaveCommandShown(int id, const SImgSettings& s);
bool SaveCommandEnabled(int id, const SImgSettings& s, const SaveBarContext& ctx);
bool SaveCommandChecked(int id, const SImgSettings& s, const CurrentPicture& pic);

enum class SaveCommandEffect {
    kNone,            // not shown, not enabled, or not a bar command: nothing changed
    kChanged,         // a setting or a switch changed
    kPreview,         // 5810: the caller runs the trial save
    kPickTransparent, // 5830 turned on: the caller starts picking the colour
    kCreateComment,   // 5890 while off: the caller opens the comment creation dialog
};
SaveCommandEffect ApplySaveCommand(int id, SImgSettings& s, CurrentPicture& pic,
                                   const SaveBarContext& ctx);
// The end of the transparent-colour pick: a colour (0xRRGGBB) is stored, none turns the
// switch off again.
void FinishTransparentPick(SImgSettings& s, CurrentPicture& pic, std::optional<uint32_t> rgb);

// The value fields, each a small control table whose param is its field.
enum SaveField : int {
    kFieldQuality,   // "画質"
    kFieldJpgLimit,  // "サイズ指定"
    kFieldJpgLmtVal, // "KB 以下"
    kFieldLevel,     // "圧縮レベル"
    kFieldFilter,    // "フィルター"
    kFieldSaveGam,   // "ガンマ補正値", shown as SaveGam / 1000 with three decimals
    kSaveFieldCount,
};
// The controls of the fields that show together: quality, size (check, box, "KB 以下"),
// level, filter, gamma value; groups 0..4.
inline constexpr int kSaveFieldGroupCount = 5;
std::span<const BarControl> SaveFieldGroup(int group);
bool SaveFieldGroupShown(int group, const SImgSettings& s);
bool SaveFieldEnabled(int field, const SImgSettings& s);
int GetSaveField(const SImgSettings& s, int field);
void SetSaveField(SImgSettings& s, int field, int value);
// The transparent-colour swatch "透過色/選択": PNG and GIF.
bool TransparentSwatchShown(const SImgSettings& s);

// Whether the edit window's title shows the trial save's size: a preview is shown and no
// operation is active.
bool SavedSizeShown(const Document& doc);

}  // namespace lumra
