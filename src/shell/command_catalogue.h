// The command numbers, the key-assignable commands with their default keys, the key
// names and the stored key table (SaveKey in section Akey).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace lumra {

class IniFile;

enum CommandId : int {
    // File
    kMenuFile = 5000,
    kCmdOpen = 5010,
    kCmdReopen = 5011,
    kCmdSaveAs = 5012,
    kCmdSaveRotateRight = 5020,
    kCmdSaveRotateLeft = 5021,
    kCmdCopy = 5030,
    kCmdPaste = 5031,
    kCmdDelete = 5032,
    kCmdComment = 5040,
    kCmdTextData = 5041,
    kCmdWallpaper = 5050,
    kCmdPrint = 5060,
    // Image
    kMenuImage = 5100,
    kMenuEdit = 5105,
    kMenuTransform = 5106,
    kMenuQuality = 5107,
    kCmdColorCount = 5110,
    kCmdHistogram = 5111,
    kCmdUndo = 5115,
    kCmdRedo = 5116,
    kCmdHistoryWindow = 5117,
    kCmdTrim = 5120,
    kCmdResize = 5121,
    kCmdSelectArea = 5130,
    kCmdDeselect = 5131,
    kCmdRotateFree = 5140,
    kCmdRotate90 = 5150,
    kCmdRotate180 = 5151,
    kCmdRotate270 = 5152,
    kCmdFlipHorizontal = 5153,
    kCmdFlipVertical = 5154,
    kCmdHistogramCorrection = 5160,
    kCmdGamma = 5161,
    kCmdBrightness = 5162,
    kCmdContrast = 5163,
    kCmdHueSaturation = 5164,
    kCmdInvert = 5165,
    kCmdUnsharpMask = 5170,
    kCmdBlur = 5171,
    kCmdSoftFocus = 5172,
    kCmdEqualize = 5180,
    kCmdReplaceColor = 5181,
    kCmdNoiseRemoval = 5182,
    kCmdPaint = 5190,
    kCmdPartialCorrection = 5191,
    kCmdInsertText = 5192,
    // View
    kMenuView = 5200,
    kCmdFit = 5210,
    kCmdActualSize = 5220,
    kCmdZoomIn = 5230,
    kCmdZoomOut = 5240,
    kCmdSlideShow = 5250,
    kCmdZoom1000 = 5260,
    kCmdZoom400 = 5261,
    kCmdZoom200 = 5262,
    kCmdZoom50 = 5263,
    kCmdZoom25 = 5264,
    kCmdZoom10 = 5265,
    // Window
    kMenuWindow = 5300,
    kCmdEditWindow = 5310,
    kCmdFileList = 5311,
    kCmdAlwaysOnTop = 5320,
    kCmdCenter = 5321,
    kCmdTitleBar = 5330,
    kCmdWindowFrame = 5331,
    kCmdToolBar = 5332,
    kMenuBackground = 5340,
    kCmdBgWhite = 5341,
    kCmdBgLightGray = 5342,
    kCmdBgGray = 5343,
    kCmdBgDarkGray = 5344,
    kCmdBgBlack = 5345,
    // Tools
    kMenuTools = 5400,
    kCmdOptions = 5410,
    kCmdTool1 = 5420,
    kCmdTool8 = 5427,
    kCmdNoTool = 5430,
    // Help and the main pop-up
    kMenuHelp = 5500,
    kCmdHelp = 5510,
    kCmdMouseHelp = 5515,
    kCmdVersion = 5520,
    kCmdFullScreen = 5530,
    kCmdMinimize = 5540,
    kCmdExit = 5550,
    // Further view commands
    kCmdToggleFit = 5600,
    kCmdZoomStepIn = 5610,
    kCmdZoomStepOut = 5611,
    kCmdScrollLeft = 5650,
    kCmdScrollRight = 5651,
    kCmdScrollUp = 5652,
    kCmdScrollDown = 5653,
    // Browsing and the edit window's views
    kCmdFirst = 5700,
    kCmdLast = 5701,
    kCmdPrevious = 5702,
    kCmdNext = 5703,
    kCmdScrollBars = 5710,
    kCmdSideBySide = 5720,
    kCmdSourceView = 5721,
    kCmdPreviewView = 5722,
    kCmdSelectionView = 5730,
    // Save-settings bar
    kCmdDither = 5800,
    kCmdPreview = 5810,
    kCmdInterlace = 5820,
    kCmdSaveTransparent = 5830,
    kCmdSaveGamma = 5840,
    kCmdProgressive = 5850,
    kCmdSampling41 = 5860,
    kCmdSampling21 = 5861,
    kCmdSampling11 = 5862,
    kCmdMarkersNone = 5870,
    kCmdMarkersComment = 5871,
    kCmdMarkersAll = 5872,
    kCmdJpegTrim = 5880,
    kCmdWriteComment = 5890,
    // Editing operations
    kCmdOperationOk = 5900,
    kCmdOperationCancel = 5901,
    // Menu separator and tool bar spacers
    kIdSeparator = 9900,
    kIdSpacerFullScreen = 9911,
    kIdSpacerRight = 9912,
};

// The name of a command number ("CmdOpen", "MenuFile", ...); nullptr for unknown numbers.
const char* CommandName(int id);

// Accelerator modifier flags.
enum AccelFlags : uint8_t {
    kFVirtKey = 1,
    kFNoInvert = 2,
    kFShift = 4,
    kFControl = 8,
    kFAlt = 16,
};

// Virtual-key codes of the keys that have names.
enum VirtualKey : uint16_t {
    kVkBack = 8,
    kVkTab = 9,
    kVkReturn = 13,
    kVkEscape = 27,
    kVkSpace = 32,
    kVkPrior = 33,
    kVkNext = 34,
    kVkEnd = 35,
    kVkHome = 36,
    kVkLeft = 37,
    kVkUp = 38,
    kVkRight = 39,
    kVkDown = 40,
    kVkInsert = 45,
    kVkDelete = 46,
    kVk0 = 48,
    kVkA = 65,
    kVkNumpad0 = 96,
    kVkMultiply = 106,
    kVkAdd = 107,
    kVkSubtract = 109,
    kVkDecimal = 110,
    kVkDivide = 111,
    kVkF1 = 112,
    kVkF12 = 123,
    kVkOem1 = 186,       // ":"
    kVkOemPlus = 187,    // ";"
    kVkOemComma = 188,   // ","
    kVkOemMinus = 189,   // "-"
    kVkOemPeriod = 190,  // "."
    kVkOem2 = 191,       // "/"
    kVkOem3 = 192,       // "@"
    kVkOem4 = 219,       // "["
    kVkOem5 = 220,       // "\"
    kVkOem6 = 221,       // "]"
    kVkOem7 = 222,       // "^"
    kVkOem102 = 226,     // "_"
};

struct AccelEntry {
    uint8_t flags = kFVirtKey;
    uint16_t key = 0;  // 0: no key
    uint16_t command = 0;
    friend bool operator==(const AccelEntry&, const AccelEntry&) = default;
};

inline constexpr size_t kAssignableCount = 97;
using AcceleratorTable = std::array<AccelEntry, kAssignableCount>;

struct AssignableCommand {
    int id;
    const char* label;  // as the key-customisation list shows it
};
// The key-assignable commands in table order.
extern const std::array<AssignableCommand, kAssignableCount> kAssignableCommands;

// Index of a command in the table order; -1 when it cannot take a key.
int AssignableIndex(int id);

// The default keys.
AcceleratorTable DefaultAccelerators();

// The stored form: 97 records of 12 bytes (flags, key, command as 32-bit little-endian).
inline constexpr size_t kSaveKeyBytes = kAssignableCount * 12;
std::array<uint8_t, kSaveKeyBytes> EncodeSaveKey(const AcceleratorTable& table);
// The load rules applied to the defaults: unknown commands are skipped, flags above 15
// become FVIRTKEY, keys above 255 become 0.
AcceleratorTable ApplySaveKey(const AcceleratorTable& defaults, const uint8_t* records);

// Defaults, then SaveKey of section Akey when it can be read.
AcceleratorTable LoadAccelerators(const IniFile& ini);
// Deletes section Akey and writes SaveKey.
void SaveAccelerators(IniFile& ini, const AcceleratorTable& table);

// "Ctrl+", "Shift+", "Ctrl+Shift+", or empty for any other flag value.
std::string ModifierPrefix(uint8_t flags);
// The key's name; empty for keys without one.
std::string KeyName(uint16_t key);
// Prefix and name of an entry, empty when it has no key or the key has no name.
std::string KeyText(const AccelEntry& entry);

// The command of a key press: the first entry whose key and Shift/Ctrl/Alt match exactly.
std::optional<int> FindAccelerator(const AcceleratorTable& table, uint16_t key, bool shift, bool ctrl,
                                   bool alt);

}  // namespace lumra
