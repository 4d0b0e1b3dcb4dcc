// The program's settings as held in memory, with the defaults and range rules of
// the sections the program owns (Awin, Vwin, Swin, LImg, SImg, Path).
#pragma once

#include <array>
#include <optional>
#include <string>

#include "formats/codec_options.h"

namespace lumra {

class IniFile;

struct AwinSettings {
    int start = 0;  // read from the file where used, not held across the session
    int dual = 0;
    int dClick = 2;
    int lrClick = 1;
    int top = 0;
    int wheelRev = 0;
    int optTab = 0;
    int noRecycMsg = 0;
    int xpOldReg = 0;
    int mouseInfo = 1;
};

struct VwinSettings {
    int sthMode = 4;
    int bgColor = 2;
    int capBar = 1;
    int frame = 1;
    int vtBar = 1;
    int repeat = 0;
    int time = 1;
    int nmZoom = 0;
    int vSmall = 1;
    int nvLarge = 0;
    int flZoom = 0;
    int fsDown = 1;
    int fsUp = 0;
    int wheel = 0;
    int fsWheel = 0;
    int fsAreaZm = 1;
    int posCtrl = 0;
    int posL = 0;
    int posT = 0;
    int posR = 0;
    int posB = 0;
};

struct SwinSettings {
    int max = 0;
    int x = 0;  // default: centred on the screen
    int y = 0;
    int w = 800;
    int h = 600;
    int rebarRow = 2;
    int bgColor = 1;
    int swZoom = 0;
    int swSmall = 1;
    int swLarge = 0;
    int swWheel = 0;
    int swAreaZm = 1;
    int scrlBar = 1;
};

struct PathSettings {
    std::string open;  // folder the open dialog starts in
    std::string spi;   // plug-in folder
    // Set when the file had no SPI key and spi took the installed plug-in folder; the
    // key is then written back only when spi was changed.
    std::optional<std::string> spiDefault;
    std::array<std::string, 8> app;  // registered tools
    std::array<std::string, 8> an;   // their display names
};

struct Settings {
    AwinSettings awin;
    VwinSettings vwin;
    SwinSettings swin;
    LImgSettings limg;
    SImgSettings simg;
    PathSettings path;
};

// Screen facts that some defaults depend on.
struct ScreenFacts {
    int width = 1024;
    int height = 768;
    std::string documentsFolder;  // fallback for Path/Open
    std::string pluginFolder;     // Path/SPI when the file has no such key
};

// Reads Awin (without Start and Dual), Path, Vwin, Swin, LImg and SImg, applying the
// defaults and range rules.
void LoadSettings(const IniFile& ini, const ScreenFacts& screen, Settings& out);

// The exit-time write: Start and Dual are read back from the file, the owned sections
// are deleted and written again in their fixed order; other sections stay as they are.
void SaveSettings(IniFile& ini, const Settings& settings);

// Start and Dual as the options dialog stored them, read where they are used.
int StoredStart(const IniFile& ini);
bool StoredDual(const IniFile& ini);

// Individual range rules, shared with the command-line tool and the dialogs.
int ClampBgColor(int v);      // 0-4, else 1
int ClampSthMode(int v);      // 4, else 3
int ClampSlideTime(int v);    // 1-60, else 1
int ClampSaveFormat(int v);   // 0-5, else 0
int ClampDepth(int v);        // 1-8 or 24, else 24
int ClampDither(int v);       // 0-3, else 0
int ClampLevel(int v);        // above 9 becomes 9
int ClampFilter(int v);       // 0-5, else 0
int ClampQuality(int v);      // 1-100, else 75
int ClampSampling(int v);     // 0-2, else 0
int ClampJMarker(int v);      // above 2 becomes 2
int ClampClickAction(int v);  // 0-3, else 0
int ClampOptTab(int v);       // 0-5, else 0
int ClampByte(int v);         // stored as a byte

}  // namespace lumra
