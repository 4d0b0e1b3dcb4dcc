// The user's mimeapps.list and desktop entries: arbitrary text read, edited and written
// back; Exec arguments quoted and read back.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/desktop_files.h"

using lumra::MimeAppsFile;

namespace {

void Check(bool ok) {
    if (!ok) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    // An argument without NUL reads back as written.
    const std::string argument(text.substr(0, text.find('\0')));
    Check(lumra::ExecProgram(lumra::QuoteExecArgument(argument) + " %f") == argument);
    lumra::ExecProgram(text);

    MimeAppsFile file;
    file.Parse(text);
    const char* sections[] = {"Default Applications", "Added Associations", "Fresh"};
    const std::vector<std::string> ids = {"lumraex-open.desktop", "other.desktop"};
    for (const char* section : sections) {
        file.Get(section, "image/png");
        file.Set(section, "image/png", ids);
        Check(file.Get(section, "image/png") == ids);
    }
    MimeAppsFile again;
    again.Parse(file.Serialize());
    for (const char* section : sections) Check(again.Get(section, "image/png") == ids);
    again.RemoveEverywhere("other.desktop");
    for (const char* section : sections)
        Check(again.Get(section, "image/png") == std::vector<std::string>{"lumraex-open.desktop"});
    again.Set("Fresh", "image/png", {});
    Check(again.Get("Fresh", "image/png").empty());
    return 0;
}
