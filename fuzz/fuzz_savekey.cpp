// Feeds arbitrary records to the key table's load rules, and arbitrary text as the Akey
// section.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "shell/command_catalogue.h"
#include "shell/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const lumra::AcceleratorTable defaults = lumra::DefaultAccelerators();
    if (size >= lumra::kSaveKeyBytes) {
        const lumra::AcceleratorTable table = lumra::ApplySaveKey(defaults, data);
        for (size_t i = 0; i < table.size(); ++i) {
            // The order never changes.
            if (table[i].command != defaults[i].command) std::abort();
            (void)lumra::KeyText(table[i]);
        }
        // Stored and loaded again, a table settles after one more round.
        const auto once = lumra::EncodeSaveKey(table);
        const lumra::AcceleratorTable again = lumra::ApplySaveKey(defaults, once.data());
        const auto twice = lumra::EncodeSaveKey(again);
        if (lumra::ApplySaveKey(defaults, twice.data()) != again) std::abort();
    }
    lumra::IniFile ini;
    ini.Parse(std::string_view(reinterpret_cast<const char*>(data), size));
    (void)lumra::LoadAccelerators(ini);
    return 0;
}
