#include "shell/command_line.h"

#include <cstdio>
#include <filesystem>

namespace lumra {

const char* StepName(StepKind kind) {
    switch (kind) {
        case StepKind::CreateEditWindow: return "CreateEditWindow";
        case StepKind::ShowEditWindow: return "ShowEditWindow";
        case StepKind::SwitchToEditWindow: return "SwitchToEditWindow";
        case StepKind::SwitchToMainWindow: return "SwitchToMainWindow";
        case StepKind::EnterFullScreen: return "EnterFullScreen";
        case StepKind::ShowMainWindow: return "ShowMainWindow";
        case StepKind::UpdateMainWindow: return "UpdateMainWindow";
        case StepKind::UpdateTitles: return "UpdateTitles";
        case StepKind::OpenPath: return "OpenPath";
        case StepKind::StartSlideShowIfOpened: return "StartSlideShowIfOpened";
        case StepKind::FinalLayout: return "FinalLayout";
        case StepKind::RunOptions: return "RunOptions";
        case StepKind::CloseMain: return "CloseMain";
        case StepKind::StartInMode: return "StartInMode";
    }
    return "?";
}

namespace {

Step Plain(StepKind kind) { return Step{kind, 0, std::nullopt}; }
Step Show(StepKind kind, int showCommand) { return Step{kind, showCommand, std::nullopt}; }
Step Open(const std::string& path) { return Step{StepKind::OpenPath, 0, path}; }

// An empty argument names nothing; it counts as no path.
std::optional<std::string> PathArgument(const std::vector<std::string>& args, size_t index) {
    if (args.size() <= index || args[index].empty()) return std::nullopt;
    return args[index];
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    ParsedCommandLine parsed;
    if (args.size() < 2) return parsed;
    parsed.hasArgument = true;
    const std::string& first = args[1];
    // Absolute paths begin with '/' here, so a switch is '/' and at most one character.
    if (!first.empty() && first[0] == '/' && first.size() <= 2) {
        parsed.isSwitch = true;
        parsed.letter = first.size() > 1 ? first[1] : 0;
        parsed.path = PathArgument(args, 2);
    } else {
        parsed.path = PathArgument(args, 1);
    }
    return parsed;
}

StepList DispatchCommandLine(const std::vector<std::string>& args, int showCommand) {
    const ParsedCommandLine cl = ParseCommandLine(args);
    if (!cl.hasArgument) return {Step{StepKind::StartInMode, showCommand, std::nullopt}};
    if (!cl.isSwitch) return {Step{StepKind::StartInMode, showCommand, cl.path}};

    StepList steps;
    switch (cl.letter) {
        case 'a':
            steps.push_back(Plain(StepKind::CreateEditWindow));
            steps.push_back(Plain(StepKind::EnterFullScreen));
            if (cl.path) {
                steps.push_back(Open(*cl.path));
                steps.push_back(Plain(StepKind::StartSlideShowIfOpened));
            }
            steps.push_back(Plain(StepKind::FinalLayout));
            break;
        case 'f':
            steps.push_back(Plain(StepKind::EnterFullScreen));
            if (cl.path) steps.push_back(Open(*cl.path));
            steps.push_back(Plain(StepKind::CreateEditWindow));
            steps.push_back(Plain(StepKind::FinalLayout));
            break;
        case 'o':
            steps.push_back(Plain(StepKind::CreateEditWindow));
            steps.push_back(Plain(StepKind::RunOptions));
            steps.push_back(Plain(StepKind::CloseMain));
            steps.push_back(Plain(StepKind::FinalLayout));
            break;
        case 's':
            steps.push_back(Plain(StepKind::CreateEditWindow));
            steps.push_back(Plain(StepKind::SwitchToEditWindow));
            if (cl.path) steps.push_back(Open(*cl.path));
            break;
        case 'v':
            steps.push_back(Show(StepKind::ShowMainWindow, kShowNormal));
            if (cl.path) steps.push_back(Open(*cl.path));
            steps.push_back(Plain(StepKind::CreateEditWindow));
            steps.push_back(Plain(StepKind::FinalLayout));
            break;
        default:
            // An unknown switch is ignored: start as without arguments.
            steps.push_back(Step{StepKind::StartInMode, showCommand, std::nullopt});
            break;
    }
    return steps;
}

StepList StartInMode(int start, int showCommand, const std::optional<std::string>& path) {
    StepList steps;
    if (start == 1) {
        steps.push_back(Plain(StepKind::CreateEditWindow));
        steps.push_back(Show(StepKind::ShowEditWindow, showCommand == kShowNormal ? kShow : showCommand));
        steps.push_back(Plain(StepKind::SwitchToEditWindow));
        steps.push_back(Plain(StepKind::UpdateTitles));
        if (path) steps.push_back(Open(*path));
        return steps;
    }
    if (start == 2 || (start == 0 && showCommand == kShowMaximized)) {
        steps.push_back(Plain(StepKind::EnterFullScreen));
    } else {
        int show = showCommand;
        if (show == kShowMinNoActive && path) show = kShowNormal;
        steps.push_back(Show(StepKind::ShowMainWindow, show));
    }
    steps.push_back(Plain(StepKind::UpdateMainWindow));
    if (path) steps.push_back(Open(*path));
    steps.push_back(Plain(StepKind::CreateEditWindow));
    steps.push_back(Plain(StepKind::FinalLayout));
    return steps;
}

HandOver MakeHandOver(const std::vector<std::string>& args, const std::string& currentFolder) {
    HandOver message;
    const ParsedCommandLine cl = ParseCommandLine(args);
    if (!cl.hasArgument) return message;
    if (cl.isSwitch) {
        message.kind = HandOverKind::Switch;
        message.letter = cl.letter;
    } else {
        message.kind = HandOverKind::Path;
    }
    if (cl.path) {
        namespace fs = std::filesystem;
        fs::path p(*cl.path);
        if (p.is_relative() && !currentFolder.empty()) p = fs::path(currentFolder) / p;
        message.path = p.lexically_normal().string();
    }
    if (message.kind == HandOverKind::Path && !message.path) message.kind = HandOverKind::Activate;
    return message;
}

namespace {

constexpr uint8_t kMagic[4] = {'L', 'X', 'H', '1'};

void PutLe32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint32_t GetLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

std::vector<uint8_t> EncodeHandOver(const HandOver& message) {
    std::vector<uint8_t> out(kMagic, kMagic + 4);
    out.push_back(static_cast<uint8_t>(message.kind));
    out.push_back(static_cast<uint8_t>(message.letter));
    const std::string path = message.path.value_or(std::string());
    out.push_back(message.path ? 1 : 0);
    PutLe32(out, static_cast<uint32_t>(path.size()));
    out.insert(out.end(), path.begin(), path.end());
    return out;
}

DecodeStatus DecodeHandOver(const uint8_t* data, size_t size, HandOver& out, size_t& consumed) {
    consumed = 0;
    // Reject a wrong prefix as soon as it shows, without waiting for more bytes.
    for (size_t i = 0; i < 4 && i < size; ++i) {
        if (data[i] != kMagic[i]) return DecodeStatus::Malformed;
    }
    if (size >= 5 && data[4] > static_cast<uint8_t>(HandOverKind::Switch)) return DecodeStatus::Malformed;
    if (size >= 7 && data[6] > 1) return DecodeStatus::Malformed;
    if (size < kHandOverHeaderSize) return DecodeStatus::NeedMore;

    const auto kind = static_cast<HandOverKind>(data[4]);
    const uint8_t letter = data[5];
    const bool hasPath = data[6] == 1;
    const uint32_t length = GetLe32(data + 7);
    if (length > kMaxHandOverPath) return DecodeStatus::Malformed;
    if (hasPath != (length > 0)) return DecodeStatus::Malformed;
    switch (kind) {
        case HandOverKind::Activate:
            if (letter != 0 || hasPath) return DecodeStatus::Malformed;
            break;
        case HandOverKind::Path:
            if (letter != 0 || !hasPath) return DecodeStatus::Malformed;
            break;
        case HandOverKind::Switch:
            break;
    }
    if (size - kHandOverHeaderSize < length) return DecodeStatus::NeedMore;
    const uint8_t* body = data + kHandOverHeaderSize;
    for (uint32_t i = 0; i < length; ++i) {
        if (body[i] == 0) return DecodeStatus::Malformed;
    }
    out.kind = kind;
    out.letter = static_cast<char>(letter);
    if (hasPath) {
        out.path = std::string(reinterpret_cast<const char*>(body), length);
    } else {
        out.path.reset();
    }
    consumed = kHandOverHeaderSize + length;
    return DecodeStatus::Complete;
}

StepList OnCopyData(const HandOver& message, bool modalDialogUp, bool operationActive) {
    StepList steps;
    if (modalDialogUp || operationActive) return steps;
    const std::optional<std::string>& path = message.path;
    switch (message.kind) {
        case HandOverKind::Activate:
            break;
        case HandOverKind::Path:
            if (path) steps.push_back(Open(*path));
            break;
        case HandOverKind::Switch:
            switch (message.letter) {
                case 'a':
                    steps.push_back(Plain(StepKind::EnterFullScreen));
                    if (path) {
                        steps.push_back(Open(*path));
                        steps.push_back(Plain(StepKind::StartSlideShowIfOpened));
                    }
                    break;
                case 'f':
                    steps.push_back(Plain(StepKind::EnterFullScreen));
                    if (path) steps.push_back(Open(*path));
                    break;
                case 'o':
                    steps.push_back(Plain(StepKind::RunOptions));
                    break;
                case 's':
                    steps.push_back(Plain(StepKind::SwitchToEditWindow));
                    if (path) steps.push_back(Open(*path));
                    break;
                case 'v':
                    steps.push_back(Plain(StepKind::SwitchToMainWindow));
                    if (path) steps.push_back(Open(*path));
                    break;
                default:
                    break;
            }
            break;
    }
    return steps;
}

std::string InstanceSocketName(unsigned uid, const std::string& settingsPath) {
    // FNV-1a over the settings path keeps a portable copy apart from the installed one.
    uint32_t hash = 2166136261u;
    for (unsigned char c : settingsPath) {
        hash ^= c;
        hash *= 16777619u;
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "LumraEx-%u-%08x", uid, hash);
    return buf;
}

}  // namespace lumra
