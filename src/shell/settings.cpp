#include "shell/settings.h"

#include <string>
#include <vector>

#include "platform/file_io.h"
#include "shell/ini_file.h"
#include "shell/settings_keys.h"

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
int ClampClickAction(int v) { return (v >= 0 && v <= 3) ? v : 0; }
int ClampOptTab(int v) { return (v >= 0 && v <= 5) ? v : 0; }
int ClampByte(int v) { return v & 0xFF; }

namespace {

bool CentredByDefault(KeyRule rule) { return rule == KeyRule::CentreX || rule == KeyRule::CentreY; }

// Centred on the screen; wide arithmetic so that odd stored sizes cannot overflow.
int Centred(int screen, int size) { return static_cast<int>((static_cast<long long>(screen) - size) / 2); }

int ReadInt(const IniFile& ini, const SettingKey& k, int def) {
    const int v = ini.GetInt(k.section, k.key, def);
    if (k.kind == KeyKind::Bool) return v & 1;
    return k.clamp ? k.clamp(v) : v;
}

void ReadKey(const IniFile& ini, const SettingKey& k, const ScreenFacts& screen, Settings& out) {
    if (k.kind != KeyKind::Text) {
        int def = k.def;
        if (k.rule == KeyRule::CentreX) def = Centred(screen.width, out.swin.w);
        if (k.rule == KeyRule::CentreY) def = Centred(screen.height, out.swin.h);
        k.intField->ref(out) = ReadInt(ini, k, def);
        return;
    }
    std::string& value = k.textField->ref(out);
    if (k.rule == KeyRule::PluginFolder) {
        // Without a key of its own the user gets the plug-ins installed with the program;
        // a stored value, empty included, is the user's choice.
        out.path.spiDefault.reset();
        if (!ini.Find(k.section, k.key)) {
            value = screen.pluginFolder;
            out.path.spiDefault = value;
            return;
        }
    }
    value = ini.GetString(k.section, k.key, "");
    if (k.rule == KeyRule::ExistingFolder && !IsDirectory(value)) value = screen.documentsFolder;
}

int ReadKeyOf(const IniFile& ini, const IntField& field) {
    for (const SettingKey& k : SettingKeys())
        if (k.intField == &field) return ReadInt(ini, k, k.def);
    return 0;
}

}  // namespace

void LoadSettings(const IniFile& ini, const ScreenFacts& screen, Settings& out) {
    // Keys whose default depends on other keys come last.
    for (const SettingKey& k : SettingKeys())
        if (!CentredByDefault(k.rule)) ReadKey(ini, k, screen, out);
    for (const SettingKey& k : SettingKeys())
        if (CentredByDefault(k.rule)) ReadKey(ini, k, screen, out);
}

void SaveSettings(IniFile& ini, const Settings& settings) {
    const std::span<const SettingKey> keys = SettingKeys();
    // Start and Dual belong to the options dialog, which writes them itself.
    std::vector<int> kept(keys.size());
    for (size_t i = 0; i < keys.size(); ++i)
        if (keys[i].rule == KeyRule::KeptFromFile) kept[i] = ini.GetInt(keys[i].section, keys[i].key, keys[i].def);
    for (const SettingKey& k : keys) ini.DeleteSection(k.section);

    for (size_t i = 0; i < keys.size(); ++i) {
        const SettingKey& k = keys[i];
        if (k.kind != KeyKind::Text) {
            ini.WriteInt(k.section, k.key, k.rule == KeyRule::KeptFromFile ? kept[i] : k.intField->get(settings));
            continue;
        }
        const std::string& value = k.textField->get(settings);
        const std::optional<std::string>& untouched = settings.path.spiDefault;
        if (k.rule == KeyRule::PluginFolder && untouched && value == *untouched) continue;
        ini.WriteString(k.section, k.key, value);
    }
}

int StoredStart(const IniFile& ini) { return ReadKeyOf(ini, kIntField<&Settings::awin, &AwinSettings::start>); }

bool StoredDual(const IniFile& ini) { return ReadKeyOf(ini, kIntField<&Settings::awin, &AwinSettings::dual>) != 0; }

}  // namespace lumra
