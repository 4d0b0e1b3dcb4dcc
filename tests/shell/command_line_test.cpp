#include "shell/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumra {
namespace {

using Args = std::vector<std::string>;

// Steps as compact text: "Name", "Name(show)", "Name[path]".
std::string Describe(const StepList& steps) {
    std::string out;
    for (const Step& s : steps) {
        if (!out.empty()) out += ' ';
        out += StepName(s.kind);
        if (s.kind == StepKind::ShowMainWindow || s.kind == StepKind::ShowEditWindow ||
            (s.kind == StepKind::StartInMode)) {
            out += '(';
            out += std::to_string(s.showCommand);
            out += ')';
        }
        if (s.path) {
            out += '[';
            out += *s.path;
            out += ']';
        }
    }
    return out;
}

TEST(DispatchCommandLine, SwitchRowsWithAndWithoutPath) {
    struct Row {
        Args args;
        const char* steps;
    };
    const Row rows[] = {
        {{"LumraEx", "/a", "p.jpg"},
         "CreateEditWindow EnterFullScreen OpenPath[p.jpg] StartSlideShowIfOpened FinalLayout"},
        {{"LumraEx", "/a"}, "CreateEditWindow EnterFullScreen FinalLayout"},
        {{"LumraEx", "/f", "p.jpg"}, "EnterFullScreen OpenPath[p.jpg] CreateEditWindow FinalLayout"},
        {{"LumraEx", "/f"}, "EnterFullScreen CreateEditWindow FinalLayout"},
        {{"LumraEx", "/o"}, "CreateEditWindow RunOptions CloseMain FinalLayout"},
        {{"LumraEx", "/o", "p.jpg"}, "CreateEditWindow RunOptions CloseMain FinalLayout"},
        {{"LumraEx", "/s", "p.jpg"}, "CreateEditWindow SwitchToEditWindow OpenPath[p.jpg]"},
        {{"LumraEx", "/s"}, "CreateEditWindow SwitchToEditWindow"},
        {{"LumraEx", "/v", "p.jpg"}, "ShowMainWindow(1) OpenPath[p.jpg] CreateEditWindow FinalLayout"},
        {{"LumraEx", "/v"}, "ShowMainWindow(1) CreateEditWindow FinalLayout"},
        // Arguments after the third are ignored.
        {{"LumraEx", "/f", "p.jpg", "q.jpg"}, "EnterFullScreen OpenPath[p.jpg] CreateEditWindow FinalLayout"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(Describe(DispatchCommandLine(row.args, kShowNormal)), row.steps) << row.args[1];
    }
}

TEST(DispatchCommandLine, UnknownSwitchesStartWithoutFile) {
    // Letters are case-sensitive; upper case, other letters and a bare slash are ignored.
    for (const char* sw : {"/A", "/F", "/V", "/x", "/", "//", "/\t"}) {
        EXPECT_EQ(Describe(DispatchCommandLine({"LumraEx", sw, "p.jpg"}, kShowNormal)), "StartInMode(1)")
            << sw;
    }
}

TEST(DispatchCommandLine, PlainArgumentsAndNone) {
    EXPECT_EQ(Describe(DispatchCommandLine({"LumraEx"}, kShowNormal)), "StartInMode(1)");
    EXPECT_EQ(Describe(DispatchCommandLine({}, kShowNormal)), "StartInMode(1)");
    EXPECT_EQ(Describe(DispatchCommandLine({"LumraEx", "p.jpg", "q.jpg"}, kShowMaximized)),
              "StartInMode(3)[p.jpg]");
    // A path merely containing a slash later on is a plain path.
    EXPECT_EQ(Describe(DispatchCommandLine({"LumraEx", "dir/a"}, kShowNormal)), "StartInMode(1)[dir/a]");
    // An absolute path is a path, not a switch; so is a longer switch-like word.
    EXPECT_EQ(Describe(DispatchCommandLine({"LumraEx", "/home/x.jpg"}, kShowNormal)),
              "StartInMode(1)[/home/x.jpg]");
    EXPECT_EQ(Describe(DispatchCommandLine({"LumraEx", "/view", "p.jpg"}, kShowNormal)),
              "StartInMode(1)[/view]");
    // An empty argument names nothing.
    EXPECT_EQ(Describe(DispatchCommandLine({"LumraEx", "/f", ""}, kShowNormal)),
              "EnterFullScreen CreateEditWindow FinalLayout");
}

TEST(StartInMode, Rows) {
    const std::optional<std::string> p = std::string("p.jpg");
    const std::optional<std::string> none;
    EXPECT_EQ(Describe(StartInMode(1, kShowNormal, p)),
              "CreateEditWindow ShowEditWindow(5) SwitchToEditWindow UpdateTitles OpenPath[p.jpg]");
    EXPECT_EQ(Describe(StartInMode(1, kShowMaximized, none)),
              "CreateEditWindow ShowEditWindow(3) SwitchToEditWindow UpdateTitles");
    EXPECT_EQ(Describe(StartInMode(2, kShowNormal, p)),
              "EnterFullScreen UpdateMainWindow OpenPath[p.jpg] CreateEditWindow FinalLayout");
    EXPECT_EQ(Describe(StartInMode(0, kShowMaximized, none)),
              "EnterFullScreen UpdateMainWindow CreateEditWindow FinalLayout");
    EXPECT_EQ(Describe(StartInMode(0, kShowNormal, p)),
              "ShowMainWindow(1) UpdateMainWindow OpenPath[p.jpg] CreateEditWindow FinalLayout");
    // A minimised start shows a file normally, but stays minimised without one.
    EXPECT_EQ(Describe(StartInMode(0, kShowMinNoActive, p)),
              "ShowMainWindow(1) UpdateMainWindow OpenPath[p.jpg] CreateEditWindow FinalLayout");
    EXPECT_EQ(Describe(StartInMode(0, kShowMinNoActive, none)),
              "ShowMainWindow(7) UpdateMainWindow CreateEditWindow FinalLayout");
    // Other values behave like 0 but without the full-screen check.
    EXPECT_EQ(Describe(StartInMode(3, kShowMaximized, none)),
              "ShowMainWindow(3) UpdateMainWindow CreateEditWindow FinalLayout");
    EXPECT_EQ(Describe(StartInMode(-1, kShowNormal, none)),
              "ShowMainWindow(1) UpdateMainWindow CreateEditWindow FinalLayout");
}

TEST(HandOver, BuiltFromArguments) {
    EXPECT_EQ(MakeHandOver({"LumraEx"}, "/w"), HandOver{});
    EXPECT_EQ(MakeHandOver({"LumraEx", "a.jpg"}, "/w"),
              (HandOver{HandOverKind::Path, 0, std::string("/w/a.jpg")}));
    EXPECT_EQ(MakeHandOver({"LumraEx", "../b/./a.jpg"}, "/w/x"),
              (HandOver{HandOverKind::Path, 0, std::string("/w/b/a.jpg")}));
    EXPECT_EQ(MakeHandOver({"LumraEx", "/v", "/abs/a.jpg", "extra"}, "/w"),
              (HandOver{HandOverKind::Switch, 'v', std::string("/abs/a.jpg")}));
    EXPECT_EQ(MakeHandOver({"LumraEx", "/abs/a.jpg"}, "/w"),
              (HandOver{HandOverKind::Path, 0, std::string("/abs/a.jpg")}));
    // "/f" alone carries no path.
    EXPECT_EQ(MakeHandOver({"LumraEx", "/f"}, "/w"), (HandOver{HandOverKind::Switch, 'f', std::nullopt}));
    EXPECT_EQ(MakeHandOver({"LumraEx", "/"}, "/w"), (HandOver{HandOverKind::Switch, 0, std::nullopt}));
}

TEST(HandOver, RoundTrip) {
    const HandOver messages[] = {
        {},
        {HandOverKind::Path, 0, std::string("/home/u/写真/a b.jpg")},
        {HandOverKind::Switch, 'f', std::nullopt},
        {HandOverKind::Switch, 'a', std::string("/x.png")},
        {HandOverKind::Switch, 'Z', std::string(kMaxHandOverPath, 'p')},
    };
    for (const HandOver& m : messages) {
        const std::vector<uint8_t> bytes = EncodeHandOver(m);
        HandOver out;
        size_t consumed = 0;
        ASSERT_EQ(DecodeHandOver(bytes.data(), bytes.size(), out, consumed), DecodeStatus::Complete);
        EXPECT_EQ(consumed, bytes.size());
        EXPECT_EQ(out, m);
        // Every proper prefix asks for more bytes.
        for (size_t n = 0; n < bytes.size(); n += (n < 64 ? 1 : 997)) {
            EXPECT_EQ(DecodeHandOver(bytes.data(), n, out, consumed), DecodeStatus::NeedMore) << n;
        }
    }
    // Two messages back to back: the first is decoded alone.
    std::vector<uint8_t> two = EncodeHandOver({HandOverKind::Switch, 'v', std::string("/a")});
    const std::vector<uint8_t> second = EncodeHandOver({});
    two.insert(two.end(), second.begin(), second.end());
    HandOver out;
    size_t consumed = 0;
    ASSERT_EQ(DecodeHandOver(two.data(), two.size(), out, consumed), DecodeStatus::Complete);
    EXPECT_EQ(consumed, two.size() - second.size());
    EXPECT_EQ(out.path, std::string("/a"));
}

TEST(HandOver, MalformedMessagesAreRejected) {
    const std::vector<uint8_t> good = EncodeHandOver({HandOverKind::Switch, 'v', std::string("/a.jpg")});
    auto decode = [](std::vector<uint8_t> bytes) {
        HandOver out;
        size_t consumed = 0;
        return DecodeHandOver(bytes.data(), bytes.size(), out, consumed);
    };
    auto with = [&](size_t index, uint8_t value) {
        std::vector<uint8_t> b = good;
        b[index] = value;
        return b;
    };
    EXPECT_EQ(decode(with(0, 'X')), DecodeStatus::Malformed);
    EXPECT_EQ(decode({'L', 'Y'}), DecodeStatus::Malformed);  // wrong prefix seen early
    EXPECT_EQ(decode(with(4, 3)), DecodeStatus::Malformed);  // unknown kind
    EXPECT_EQ(decode(with(6, 2)), DecodeStatus::Malformed);  // has-path not a boolean
    EXPECT_EQ(decode(with(6, 0)), DecodeStatus::Malformed);  // length without a path
    EXPECT_EQ(decode(with(kHandOverHeaderSize + 2, 0)), DecodeStatus::Malformed);  // NUL in path
    // A length beyond the limit is refused before any path bytes arrive.
    std::vector<uint8_t> huge(good.begin(), good.begin() + kHandOverHeaderSize);
    huge[7] = 0xFF;
    huge[8] = 0xFF;
    huge[9] = 0xFF;
    huge[10] = 0x7F;
    EXPECT_EQ(decode(huge), DecodeStatus::Malformed);
    // A path flag with length 0.
    std::vector<uint8_t> emptyPath = EncodeHandOver({HandOverKind::Switch, 'f', std::nullopt});
    emptyPath[6] = 1;
    EXPECT_EQ(decode(emptyPath), DecodeStatus::Malformed);
    // Activation carries neither letter nor path; a plain path needs one.
    std::vector<uint8_t> activate = EncodeHandOver({});
    activate[5] = 'v';
    EXPECT_EQ(decode(activate), DecodeStatus::Malformed);
    std::vector<uint8_t> pathless = EncodeHandOver({});
    pathless[4] = static_cast<uint8_t>(HandOverKind::Path);
    EXPECT_EQ(decode(pathless), DecodeStatus::Malformed);
}

TEST(OnCopyData, Rows) {
    const std::optional<std::string> p = std::string("/p.jpg");
    auto run = [](HandOver m) { return Describe(OnCopyData(m, false, false)); };
    EXPECT_EQ(run({HandOverKind::Path, 0, p}), "OpenPath[/p.jpg]");
    EXPECT_EQ(run({HandOverKind::Switch, 'a', p}), "EnterFullScreen OpenPath[/p.jpg] StartSlideShowIfOpened");
    EXPECT_EQ(run({HandOverKind::Switch, 'a', std::nullopt}), "EnterFullScreen");
    EXPECT_EQ(run({HandOverKind::Switch, 'f', p}), "EnterFullScreen OpenPath[/p.jpg]");
    EXPECT_EQ(run({HandOverKind::Switch, 'f', std::nullopt}), "EnterFullScreen");
    EXPECT_EQ(run({HandOverKind::Switch, 'o', p}), "RunOptions");
    EXPECT_EQ(run({HandOverKind::Switch, 's', p}), "SwitchToEditWindow OpenPath[/p.jpg]");
    EXPECT_EQ(run({HandOverKind::Switch, 'v', p}), "SwitchToMainWindow OpenPath[/p.jpg]");
    EXPECT_EQ(run({HandOverKind::Switch, 'v', std::nullopt}), "SwitchToMainWindow");
    EXPECT_EQ(run({HandOverKind::Switch, 'V', p}), "");
    EXPECT_EQ(run({HandOverKind::Switch, 0, p}), "");
    EXPECT_EQ(run({}), "");
    // Dropped while a dialog is up or an edit tool is active.
    EXPECT_TRUE(OnCopyData({HandOverKind::Path, 0, p}, true, false).empty());
    EXPECT_TRUE(OnCopyData({HandOverKind::Switch, 'f', p}, false, true).empty());
}

TEST(InstanceSocketName, PerUserAndSettingsFile) {
    const std::string a = InstanceSocketName(1000, "/home/u/.config/Lumra/LumraEx.ini");
    EXPECT_EQ(a.rfind("LumraEx-1000-", 0), 0u);
    EXPECT_EQ(a, InstanceSocketName(1000, "/home/u/.config/Lumra/LumraEx.ini"));
    EXPECT_NE(a, InstanceSocketName(1001, "/home/u/.config/Lumra/LumraEx.ini"));
    EXPECT_NE(a, InstanceSocketName(1000, "/opt/lumra/LumraEx.ini"));
    EXPECT_EQ(a.find('/'), std::string::npos);
}

}  // namespace
}  // namespace lumra
