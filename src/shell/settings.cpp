#include "shell/settings.h"

#include <sys/stat.h>

#include <string>

#include "shell/ini_file.h"

namespace lumra {

int ClampBgColor(int v) { return (v >= 0 && v <= 4) ? v : 1; }
int ClampSthMode(int v) { return v == 4 ? 4 : 3; }
int ClampSlideTime(int v) { return (v >= 1 && v <= 60) ? v : 1; }
int ClampSaveFormat(int v) { return (v >= 0 && v <= 5) ? v : 0; }
int ClampDepth(int v) { return ((v >= 1 && v <= 8) || v == 24) ? v : 24; }
int ClampDither(int v) { return (v >= 0 && v <= 3) ? v : 0; }
int ClampLevel(int v) { return static_cast<unsigned>(v) > 9u ? 9 : v; }
int ClampFilter(int v) { return (v >= 0 && v <= 5) ? v : 0; }
int ClampQuality(int v) { return (v >= 1 && v <= 100) ? v : 75; }
int ClampSampling(int v) { return (v >= 0 && v <= 2) ? v : 0; }
int ClampJMarker(int v) { return static_cast<unsigned>(v) > 2u ? 2 : v; }
int ClampOptTab(int v) { return (v >= 0 && v <= 5) ? v : 0; }
int ClampByte(int v) { return v & 0xFF; }

namespace {

int ClampClickAction(int v) { return (v >= 0 && v <= 3) ? v : 0; }

bool IsFolder(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Reading one section: integers, booleans (lowest bit) and strings.
struct Reader {
    const IniFile& ini;
    const char* section;
    int Int(const char* key, int def) const { return ini.GetInt(section, key, def); }
    int Bool(const char* key, int def) const { return ini.GetInt(section, key, def) & 1; }
    std::string Str(const char* key) const { return ini.GetString(section, key, ""); }
};

struct Writer {
    IniFile& ini;
    const char* section;
    void Int(const char* key, int v) const { ini.WriteInt(section, key, v); }
    void Str(const char* key, const std::string& v) const { ini.WriteString(section, key, v); }
};

}  // namespace

void LoadSettings(const IniFile& ini, const ScreenFacts& screen, Settings& out) {
    const Reader awin{ini, "Awin"};
    AwinSettings& a = out.awin;
    a.start = awin.Int("Start", 0);
    a.dual = awin.Int("Dual", 0);
    a.dClick = ClampClickAction(awin.Int("DClick", 2));
    a.lrClick = ClampClickAction(awin.Int("LRClick", 1));
    a.top = awin.Bool("Top", 0);
    a.wheelRev = awin.Bool("WheelRev", 0);
    a.optTab = ClampOptTab(awin.Int("OptTab", 0));
    a.noRecycMsg = awin.Bool("NoRecycMsg", 0);
    a.xpOldReg = awin.Bool("XPOldReg", 0);
    a.mouseInfo = awin.Bool("MouseInfo", 1);

    const Reader path{ini, "Path"};
    PathSettings& p = out.path;
    p.open = path.Str("Open");
    if (!IsFolder(p.open)) p.open = screen.documentsFolder;
    // Without a key of its own the user gets the plug-ins installed with the program;
    // a stored value, empty included, is the user's choice.
    p.spiDefault.reset();
    if (ini.Find("Path", "SPI")) {
        p.spi = path.Str("SPI");
    } else {
        p.spi = screen.pluginFolder;
        p.spiDefault = p.spi;
    }
    for (int i = 0; i < 8; ++i) {
        p.app[i] = path.Str(("APP" + std::to_string(i)).c_str());
        p.an[i] = path.Str(("AN" + std::to_string(i)).c_str());
    }

    const Reader vwin{ini, "Vwin"};
    VwinSettings& v = out.vwin;
    v.sthMode = ClampSthMode(vwin.Int("SthMode", 4));
    v.bgColor = ClampBgColor(vwin.Int("BgColor", 2));
    v.capBar = vwin.Bool("CapBar", 1);
    v.frame = vwin.Bool("Frame", 1);
    v.vtBar = vwin.Bool("VTBar", 1);
    v.repeat = vwin.Bool("Repeat", 0);
    v.time = ClampSlideTime(vwin.Int("Time", 1));
    v.nmZoom = vwin.Bool("NMZoom", 0);
    v.vSmall = vwin.Bool("VSmall", 1);
    v.nvLarge = vwin.Bool("NVLarge", 0);
    v.flZoom = vwin.Bool("FLZoom", 0);
    v.fsDown = vwin.Bool("FSDown", 1);
    v.fsUp = vwin.Bool("FSUp", 0);
    v.wheel = vwin.Bool("Wheel", 0);
    v.fsWheel = vwin.Bool("FSWheel", 0);
    v.fsAreaZm = vwin.Bool("FSAreaZm", 1);
    v.posCtrl = vwin.Bool("PosCtrl", 0);
    v.posL = vwin.Int("PosL", 0);
    v.posT = vwin.Int("PosT", 0);
    v.posR = vwin.Int("PosR", 0);
    v.posB = vwin.Int("PosB", 0);

    const Reader swin{ini, "Swin"};
    SwinSettings& s = out.swin;
    s.max = swin.Bool("Max", 0);
    s.w = swin.Int("w", 800);
    s.h = swin.Int("h", 600);
    // Centred by default; wide arithmetic so that odd stored sizes cannot overflow.
    s.x = swin.Int("x", static_cast<int>((static_cast<long long>(screen.width) - s.w) / 2));
    s.y = swin.Int("y", static_cast<int>((static_cast<long long>(screen.height) - s.h) / 2));
    s.rebarRow = swin.Int("RebarRow", 2);
    s.bgColor = ClampBgColor(swin.Int("BgColor", 1));
    s.swZoom = swin.Bool("SWZoom", 0);
    s.swSmall = swin.Bool("SWSmall", 1);
    s.swLarge = swin.Bool("SWLarge", 0);
    s.swWheel = swin.Bool("SWWheel", 0);
    s.swAreaZm = swin.Bool("SWAreaZm", 1);
    s.scrlBar = swin.Bool("ScrlBar", 1);

    const Reader limg{ini, "LImg"};
    LImgSettings& l = out.limg;
    l.gamma = limg.Bool("Gamma", 1);
    l.dispGam = limg.Int("DispGam", 2200);
    l.alpha = limg.Bool("Alpha", 1);
    l.fbg = limg.Bool("FBG", 1);
    l.bgR = ClampByte(limg.Int("BGR", 255));
    l.bgG = ClampByte(limg.Int("BGG", 255));
    l.bgB = ClampByte(limg.Int("BGB", 255));

    const Reader simg{ini, "SImg"};
    SImgSettings& m = out.simg;
    m.format = ClampSaveFormat(simg.Int("Format", 0));
    m.depth = ClampDepth(simg.Int("Depth", 24));
    m.gray = simg.Bool("Gray", 0);
    m.dither = ClampDither(simg.Int("Dither", 16));
    m.level = ClampLevel(simg.Int("Level", 9));
    m.filter = ClampFilter(simg.Int("Filter", 0));
    m.interlace = simg.Bool("Interlace", 0);
    m.gamma = simg.Bool("Gamma", 0);
    m.saveGam = simg.Int("SaveGam", 2200);
    m.alphaR = ClampByte(simg.Int("AlphaR", 255));
    m.alphaG = ClampByte(simg.Int("AlphaG", 255));
    m.alphaB = ClampByte(simg.Int("AlphaB", 255));
    m.quality = ClampQuality(simg.Int("Quality", 75));
    m.sampling = ClampSampling(simg.Int("Sampling", 0));
    m.progressive = simg.Bool("Progressive", 0);
    m.jMarker = ClampJMarker(simg.Int("JMarker", 2));
    m.jpgTrim = simg.Bool("JpgTrim", 1);
    m.jpgLimit = simg.Bool("JpgLimit", 0);
    m.jpgLmtVal = simg.Int("JpgLmtVal", 100);
}

void SaveSettings(IniFile& ini, const Settings& settings) {
    // Start and Dual belong to the options dialog, which writes them itself.
    const int start = ini.GetInt("Awin", "Start", 0);
    const int dual = ini.GetInt("Awin", "Dual", 0);
    for (const char* name : {"Awin", "Vwin", "Swin", "LImg", "SImg", "Path"}) ini.DeleteSection(name);

    const Writer awin{ini, "Awin"};
    awin.Int("Start", start);
    awin.Int("Dual", dual);

    const LImgSettings& l = settings.limg;
    const Writer limg{ini, "LImg"};
    limg.Int("Gamma", l.gamma);
    limg.Int("DispGam", l.dispGam);
    limg.Int("Alpha", l.alpha);
    limg.Int("FBG", l.fbg);
    limg.Int("BGR", l.bgR);
    limg.Int("BGG", l.bgG);
    limg.Int("BGB", l.bgB);

    const SImgSettings& m = settings.simg;
    const Writer simg{ini, "SImg"};
    simg.Int("Format", m.format);
    simg.Int("Depth", m.depth);
    simg.Int("Gray", m.gray);
    simg.Int("Dither", m.dither);
    simg.Int("Level", m.level);
    simg.Int("Filter", m.filter);
    simg.Int("Interlace", m.interlace);
    simg.Int("Gamma", m.gamma);
    simg.Int("SaveGam", m.saveGam);
    simg.Int("AlphaR", m.alphaR);
    simg.Int("AlphaG", m.alphaG);
    simg.Int("AlphaB", m.alphaB);
    simg.Int("Quality", m.quality);
    simg.Int("Sampling", m.sampling);
    simg.Int("Progressive", m.progressive);
    simg.Int("JMarker", m.jMarker);
    simg.Int("JpgTrim", m.jpgTrim);
    simg.Int("JpgLimit", m.jpgLimit);
    simg.Int("JpgLmtVal", m.jpgLmtVal);

    const PathSettings& p = settings.path;
    const Writer path{ini, "Path"};
    if (!p.spiDefault || p.spi != *p.spiDefault) path.Str("SPI", p.spi);

    const SwinSettings& s = settings.swin;
    const Writer swin{ini, "Swin"};
    swin.Int("Max", s.max);
    swin.Int("x", s.x);
    swin.Int("y", s.y);
    swin.Int("w", s.w);
    swin.Int("h", s.h);
    swin.Int("RebarRow", s.rebarRow);
    swin.Int("BgColor", s.bgColor);
    swin.Int("SWZoom", s.swZoom);
    swin.Int("SWSmall", s.swSmall);
    swin.Int("SWLarge", s.swLarge);
    swin.Int("SWWheel", s.swWheel);
    swin.Int("SWAreaZm", s.swAreaZm);
    swin.Int("ScrlBar", s.scrlBar);

    const VwinSettings& v = settings.vwin;
    const Writer vwin{ini, "Vwin"};
    vwin.Int("BgColor", v.bgColor);
    vwin.Int("SthMode", v.sthMode);
    vwin.Int("CapBar", v.capBar);
    vwin.Int("Frame", v.frame);
    vwin.Int("VTBar", v.vtBar);
    vwin.Int("NMZoom", v.nmZoom);
    vwin.Int("FLZoom", v.flZoom);
    vwin.Int("VSmall", v.vSmall);
    vwin.Int("NVLarge", v.nvLarge);
    vwin.Int("FSDown", v.fsDown);
    vwin.Int("FSUp", v.fsUp);
    vwin.Int("Wheel", v.wheel);
    vwin.Int("FSWheel", v.fsWheel);
    vwin.Int("FSAreaZm", v.fsAreaZm);
    vwin.Int("Time", v.time);
    vwin.Int("Repeat", v.repeat);
    vwin.Int("PosCtrl", v.posCtrl);
    vwin.Int("PosL", v.posL);
    vwin.Int("PosT", v.posT);
    vwin.Int("PosR", v.posR);
    vwin.Int("PosB", v.posB);

    const AwinSettings& a = settings.awin;
    awin.Int("DClick", a.dClick);
    awin.Int("LRClick", a.lrClick);
    awin.Int("Top", a.top);
    awin.Int("WheelRev", a.wheelRev);
    awin.Int("OptTab", a.optTab);
    awin.Int("NoRecycMsg", a.noRecycMsg);
    awin.Int("XPOldReg", a.xpOldReg);
    awin.Int("MouseInfo", a.mouseInfo);

    path.Str("Open", p.open);
    for (int i = 0; i < 8; ++i) {
        path.Str(("APP" + std::to_string(i)).c_str(), p.app[i]);
        path.Str(("AN" + std::to_string(i)).c_str(), p.an[i]);
    }
}

}  // namespace lumra
