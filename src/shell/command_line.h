// The command line: the first display after start-up, the hand-over to a running
// instance and what the running instance does with it. Every decision is a list of
// steps that the user interface carries out in order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lumra {

// Show commands, numbered as the platform's window show states.
enum ShowCommand : int {
    kShowHide = 0,
    kShowNormal = 1,
    kShowMinimized = 2,
    kShowMaximized = 3,
    kShowNoActivate = 4,
    kShow = 5,
    kShowMinNoActive = 7,
    kShowRestore = 9,
};

enum class StepKind {
    CreateEditWindow,        // create the edit window hidden
    ShowEditWindow,          // show it with showCommand
    SwitchToEditWindow,      // DisplayMode becomes EditWindow
    SwitchToMainWindow,      // DisplayMode becomes MainWindow
    EnterFullScreen,         // DisplayMode becomes FullScreen
    ShowMainWindow,          // show the view window with showCommand
    UpdateMainWindow,        // paint the view window now
    UpdateTitles,            // title and information texts
    OpenPath,                // OpenPath(path); its result is kept for the next step
    StartSlideShowIfOpened,  // start the slide show when the last OpenPath succeeded
    FinalLayout,             // the view window's layout-and-paint step
    RunOptions,              // the options command (5410)
    CloseMain,               // close the view window (the program ends through it)
    StartInMode,             // expand with StartInMode(Start, showCommand, path)
};

struct Step {
    StepKind kind;
    int showCommand = 0;
    std::optional<std::string> path;
    friend bool operator==(const Step&, const Step&) = default;
};

using StepList = std::vector<Step>;

const char* StepName(StepKind kind);

// The switch of a command line: the second character of the first argument when that is
// '/' and one character ("/v"); a longer argument beginning with '/' is an absolute path.
// args[0] is the program; arguments after the third are ignored.
struct ParsedCommandLine {
    bool hasArgument = false;  // more than the program name
    bool isSwitch = false;
    char letter = 0;           // the switch letter (0 for a bare "/")
    std::optional<std::string> path;  // the third argument of a switch, or the first argument
};
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

// The first instance's start-up display. Letters are compared case-sensitively.
StepList DispatchCommandLine(const std::vector<std::string>& args, int showCommand);

// The display at start by the setting Start (0 main window, 1 edit window, 2 full screen).
StepList StartInMode(int start, int showCommand, const std::optional<std::string>& path);

// What a second process hands to the running one.
enum class HandOverKind : uint8_t {
    Activate = 0,  // restore and raise only (started without arguments)
    Path = 1,      // a plain path
    Switch = 2,    // a switch letter with an optional path
};

struct HandOver {
    HandOverKind kind = HandOverKind::Activate;
    char letter = 0;
    std::optional<std::string> path;
    friend bool operator==(const HandOver&, const HandOver&) = default;
};

// Builds the hand-over from the argument vector; relative paths are made absolute
// against currentFolder, since the running instance works elsewhere.
HandOver MakeHandOver(const std::vector<std::string>& args, const std::string& currentFolder);

// Wire form on the local socket: "LXH1", kind, letter, has-path, path length
// (32-bit little-endian), path bytes.
inline constexpr size_t kHandOverHeaderSize = 11;
inline constexpr size_t kMaxHandOverPath = 16384;
std::vector<uint8_t> EncodeHandOver(const HandOver& message);

enum class DecodeStatus { Complete, NeedMore, Malformed };
// Decodes one message from the start of data; consumed receives its size when complete.
DecodeStatus DecodeHandOver(const uint8_t* data, size_t size, HandOver& out, size_t& consumed);

// The byte the running instance answers with once it has acted.
inline constexpr uint8_t kHandOverReply = 0x06;

// The running instance's handling. Ignored (empty) while a modal dialog is up or an
// edit operation is active, and for letters it does not know.
StepList OnCopyData(const HandOver& message, bool modalDialogUp, bool operationActive);

// The local socket's name: one per user and settings file.
std::string InstanceSocketName(unsigned uid, const std::string& settingsPath);

}  // namespace lumra
