#include "platform/desktop_files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "test_util.h"

namespace lumra {
namespace {

namespace fs = std::filesystem;

TEST(DesktopEntry, ExecArgumentsReadBackAsWritten) {
    for (const std::string path : {"/usr/bin/LumraEx", "/home/u/my apps/LumraEx", "/p/100%/LumraEx",
                                   "/a\"b$c`d\\e'f/LumraEx", "/写真/LumraEx", "/x\ny/LumraEx"}) {
        const std::string quoted = QuoteExecArgument(path);
        EXPECT_EQ(quoted.find('\n'), std::string::npos) << path;
        EXPECT_EQ(ExecProgram(quoted + " %f"), path) << quoted;
    }
    EXPECT_EQ(QuoteExecArgument("/usr/bin/LumraEx"), "/usr/bin/LumraEx");
    EXPECT_EQ(QuoteExecArgument("/a b/LumraEx"), "\"/a b/LumraEx\"");
    EXPECT_EQ(ExecProgram("\"/unclosed"), "");
}

TEST(MimeApps, EditsKeepEverythingElse) {
    MimeAppsFile f;
    f.Parse("# mine\n[Added Associations]\nimage/png=a.desktop;\n\n[Default Applications]\n"
            "text/plain=ed.desktop;\nimage/png = b.desktop ; c.desktop\n");
    EXPECT_EQ(f.Get("Default Applications", "image/png"), (std::vector<std::string>{"b.desktop", "c.desktop"}));
    f.Set("Default Applications", "image/png", {"x.desktop"});
    f.Set("Default Applications", "image/gif", {"y.desktop"});
    f.Set("Removed Associations", "image/bmp", {"z.desktop"});
    f.Set("Default Applications", "text/plain", {});
    EXPECT_EQ(f.Serialize(),
              "# mine\n[Added Associations]\nimage/png=a.desktop;\n\n[Default Applications]\n"
              "image/png=x.desktop;\nimage/gif=y.desktop;\n\n[Removed Associations]\nimage/bmp=z.desktop;\n");
    EXPECT_TRUE(f.RemoveEverywhere("a.desktop"));
    EXPECT_FALSE(f.RemoveEverywhere("a.desktop"));
    EXPECT_TRUE(f.Get("Added Associations", "image/png").empty());
}

struct XdgHome {
    test::TempDir dir;
    XdgFolders xdg{dir.File("data"), dir.File("config")};
    std::string exe = dir.File("bin dir/LumraEx");
    std::string Entry(const std::string& name) const { return xdg.Applications() + "/" + name; }
};

TEST(Associations, WrittenForTheUserAndReadBack) {
    XdgHome h;
    fs::create_directories(h.xdg.configHome);
    test::WriteText(h.xdg.MimeAppsList(),
                    "[Default Applications]\nimage/png=other.desktop;\nimage/jpeg=viewer.desktop;\n");
    AssociationStates want{};
    want[1] = want[2] = true;  // PNG, JPEG
    ASSERT_TRUE(WriteAssociations(h.xdg, h.exe, want));
    EXPECT_EQ(ReadAssociations(h.xdg), want);
    const std::string entry = test::ReadText(h.Entry(kOpenEntryName));
    EXPECT_NE(entry.find("Exec=\"" + h.exe + "\" %f\n"), std::string::npos);
    EXPECT_NE(entry.find("NoDisplay=true"), std::string::npos);
    MimeAppsFile f;
    f.Parse(test::ReadText(h.xdg.MimeAppsList()));
    EXPECT_EQ(f.Get("Default Applications", "image/png"),
              (std::vector<std::string>{kOpenEntryName, "other.desktop"}));

    // Unchecking JPEG takes only the program's name away; GIF, never ours, is left alone.
    want[2] = false;
    ASSERT_TRUE(WriteAssociations(h.xdg, h.exe, want));
    f.Parse(test::ReadText(h.xdg.MimeAppsList()));
    EXPECT_EQ(f.Get("Default Applications", "image/jpeg"), std::vector<std::string>{"viewer.desktop"});
    EXPECT_TRUE(f.Get("Default Applications", "image/gif").empty());
    EXPECT_EQ(ReadAssociations(h.xdg), want);
}

TEST(Associations, InstalledEntryCountsAsOursAndMovedProgramRewritesTheEntry) {
    XdgHome h;
    fs::create_directories(h.xdg.configHome);
    test::WriteText(h.xdg.MimeAppsList(), "[Default Applications]\nimage/bmp=" + std::string(kDesktopId) +
                                              ".desktop;\n");
    AssociationStates want{};
    want[0] = true;
    EXPECT_EQ(ReadAssociations(h.xdg), want);
    ASSERT_TRUE(WriteAssociations(h.xdg, h.exe, want));
    EXPECT_FALSE(fs::exists(h.Entry(kOpenEntryName)));  // nothing newly associated

    want[4] = true;
    ASSERT_TRUE(WriteAssociations(h.xdg, "/old/LumraEx", want));
    ASSERT_TRUE(WriteAssociations(h.xdg, h.exe, want));  // TIFF is ours already
    EXPECT_NE(test::ReadText(h.Entry(kOpenEntryName)).find("Exec=/old/LumraEx %f"), std::string::npos);
    want[3] = true;
    ASSERT_TRUE(WriteAssociations(h.xdg, h.exe, want));
    EXPECT_NE(test::ReadText(h.Entry(kOpenEntryName)).find(h.exe), std::string::npos);
}

TEST(Associations, FailureLeavesTheStatesAsTheyWere) {
    XdgHome h;
    test::WriteText(h.dir.File("config"), "not a folder");
    AssociationStates want{};
    want.fill(true);
    EXPECT_FALSE(WriteAssociations(h.xdg, h.exe, want));
    EXPECT_EQ(ReadAssociations(h.xdg), AssociationStates{});
    EXPECT_EQ(test::ReadText(h.dir.File("config")), "not a folder");
}

TEST(SendTo, EntryOfferedAndTakenBack) {
    XdgHome h;
    EXPECT_FALSE(SendToRegistered(h.xdg));
    ASSERT_TRUE(SetSendTo(h.xdg, h.exe, true));
    EXPECT_TRUE(SendToRegistered(h.xdg));
    const std::string entry = test::ReadText(h.Entry(kSendToEntryName));
    EXPECT_EQ(entry.find("NoDisplay"), std::string::npos);
    EXPECT_NE(entry.find("MimeType=image/bmp;image/png;image/jpeg;image/gif;image/tiff;"), std::string::npos);
    ASSERT_TRUE(SetSendTo(h.xdg, h.exe, false));
    EXPECT_FALSE(SendToRegistered(h.xdg));
    EXPECT_TRUE(SetSendTo(h.xdg, h.exe, false));
}

TEST(OldEntries, FoundRemovedAndForgotten) {
    XdgHome h;
    EXPECT_TRUE(OldEntries(h.xdg).empty());
    fs::create_directories(h.xdg.Applications());
    fs::create_directories(h.xdg.configHome);
    test::WriteText(h.Entry("userapp-LumraEx-AB12.desktop"), "[Desktop Entry]\nExec=/old/LumraEx.exe %f\n");
    test::WriteText(h.Entry("lumra-1.40.desktop"), "[Desktop Entry]\nName=x\nExec=\"/opt/Lumra Ex/lumraex\"\n");
    test::WriteText(h.Entry("gimp.desktop"), "[Desktop Entry]\nExec=gimp %U\n");
    test::WriteText(h.Entry("other.desktop"), "[Other Group]\nExec=LumraEx\n");
    ASSERT_TRUE(SetSendTo(h.xdg, h.exe, true));
    AssociationStates want{};
    want[1] = true;
    ASSERT_TRUE(WriteAssociations(h.xdg, h.exe, want));
    test::WriteText(h.xdg.MimeAppsList(), test::ReadText(h.xdg.MimeAppsList()) +
                                              "[Added Associations]\nimage/gif=userapp-LumraEx-AB12.desktop;gimp.desktop;\n");

    const std::vector<std::string> old = OldEntries(h.xdg);
    ASSERT_EQ(old.size(), 2u);
    EXPECT_EQ(fs::path(old[0]).filename(), "lumra-1.40.desktop");
    ASSERT_TRUE(RemoveOldEntries(h.xdg));
    EXPECT_TRUE(OldEntries(h.xdg).empty());
    EXPECT_TRUE(fs::exists(h.Entry("gimp.desktop")));
    EXPECT_TRUE(SendToRegistered(h.xdg));
    MimeAppsFile f;
    f.Parse(test::ReadText(h.xdg.MimeAppsList()));
    EXPECT_EQ(f.Get("Added Associations", "image/gif"), std::vector<std::string>{"gimp.desktop"});
    EXPECT_EQ(ReadAssociations(h.xdg), want);
}

}  // namespace
}  // namespace lumra
