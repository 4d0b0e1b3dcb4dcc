#include "shell/program_info.h"

#include <cctype>
#include <filesystem>

#include "document/picture.h"
#include "platform/file_io.h"
#include "platform/file_query.h"
#include "shell/messages.h"
#include "shell/settings.h"

namespace lumra {

std::string VersionLine() { return std::string(kProgramName) + "  version " + kProgramVersion; }

std::string HelpFilePath(const std::string& executablePath) {
    std::string base = executablePath;
    const size_t slash = base.find_last_of('/');
    const size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
    if (base.size() >= nameAt + 4) {
        std::string tail = base.substr(base.size() - 4);
        for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (tail == ".exe") base.resize(base.size() - 4);
    }
    const std::string beside = base + ".html";
#ifdef LUMRA_DATA_FROM_BIN
    // An installed program keeps its help with its data.
    if (!FileExists(beside) && nameAt > 0) {
        const std::string installed = std::filesystem::path(base.substr(0, nameAt) + LUMRA_DATA_FROM_BIN + "/" +
                                                            base.substr(nameAt) + ".html")
                                          .lexically_normal()
                                          .string();
        if (FileExists(installed)) return installed;
    }
#endif
    return beside;
}

ToolLaunch PlanToolLaunch(const PathSettings& tools, int slot, const CurrentPicture& picture) {
    ToolLaunch launch;
    if (slot < 0 || slot >= static_cast<int>(tools.app.size()) || tools.app[slot].empty()) return launch;
    launch.target = tools.app[slot];
    const FileKind kind = KindOfFile(launch.target);
    if (kind == FileKind::Folder || (kind == FileKind::Regular && !IsExecutableByUs(launch.target))) {
        // Folders and documents go to the desktop, which has no use for the picture.
        launch.kind = LaunchKind::Open;
        return launch;
    }
    launch.kind = LaunchKind::Program;
    if (picture.HasPicture() && !picture.path.empty()) launch.arguments.push_back(picture.path);
    return launch;
}

}  // namespace lumra
