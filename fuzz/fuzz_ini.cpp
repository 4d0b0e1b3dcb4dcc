// Settings file parser: arbitrary text, reads, struct reads, writes and serialisation.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "shell/ini_file.h"

using lumra::IniFile;

namespace {

void Check(bool ok) {
    if (!ok) abort();
}

// The value as it reads back: ends at a line break, cut to the length limit.
std::string Expected(std::string_view v) {
    v = v.substr(0, v.find_first_of("\r\n"));
    IniFile probe;
    probe.WriteString("S", "k", v);
    return probe.GetString("S", "k", "?");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    IniFile ini;
    ini.Parse(text);

    const char* sections[] = {"Awin", "Vwin", "Swin", "SImg", "Akey", "", "S"};
    const char* keys[] = {"DClick", "Time", "Open", "Key", "k", ""};
    for (const char* s : sections) {
        for (const char* k : keys) {
            ini.GetInt(s, k, -1);
            std::string v = ini.GetString(s, k, "default");
            size_t chars = 0;
            for (char c : v) chars += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
            Check(chars <= lumra::kMaxIniValueChars);
            ini.Find(s, k);
        }
        ini.HasSection(s);
    }
    const size_t structSize = size > 0 ? data[0] : 0;
    if (auto st = ini.GetStruct("Akey", "Key", structSize)) Check(st->size() == structSize);

    const std::string once = ini.Serialize();
    const std::vector<std::string> names = ini.SectionNames();
    if (once.rfind("\xEF\xBB\xBF", 0) != 0) {
        IniFile again;
        again.Parse(once);
        Check(again.SectionNames() == names);
        Check(again.GetString("Awin", "DClick", "-") == ini.GetString("Awin", "DClick", "-"));
    }

    // Writes read back, in existing sections and in new ones.
    const std::string_view value = text.substr(0, text.size() / 2);
    const std::string expected = Expected(value);
    for (const std::string& name : names) {
        ini.WriteString(name, "FuzzKey", value);
        Check(ini.GetString(name, "FuzzKey", "?") == expected);
    }
    ini.WriteString("Fresh", "FuzzKey", value);
    Check(ini.GetString("Fresh", "FuzzKey", "?") == expected);
    ini.WriteInt("Vwin", "Time", static_cast<int>(size));
    Check(ini.GetInt("Vwin", "Time", -1) == static_cast<int>(size));
    ini.WriteStruct("Akey", "Key", data, size);
    Check(ini.GetStruct("Akey", "Key", size).value() == std::vector<uint8_t>(data, data + size));

    if (once.rfind("\xEF\xBB\xBF", 0) != 0) {
        IniFile written;
        written.Parse(ini.Serialize());
        Check(written.GetString("Fresh", "FuzzKey", "?") == expected);
    }

    ini.DeleteKey("Vwin", "Time");
    Check(ini.GetInt("Vwin", "Time", -1) == -1);
    ini.DeleteSection("Awin");
    Check(!ini.HasSection("Awin"));
    ini.Serialize();
    return 0;
}
