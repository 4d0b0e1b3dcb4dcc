#include "shell/ini_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <filesystem>

#include "test_util.h"

namespace lumra {
namespace {

IniFile FromText(std::string_view text) {
    IniFile ini;
    ini.Parse(text);
    return ini;
}

TEST(IniFile, NamesIgnoreCaseAndSpacesAndFirstDuplicateWins) {
    IniFile ini = FromText(
        "; comment = not a key\n"
        "[ awin ]\n"
        "  dclick = 3  \n"
        "DClick=1\n"
        "flag\n"
        "[Other]\n"
        "x=1\n"
        "[AWIN]\n"
        "Top=1\n");
    EXPECT_EQ(ini.GetInt("Awin", "DClick", 9), 3);
    EXPECT_EQ(ini.GetInt("AWIN", "dCLICK", 9), 3);
    // Only the first section of a name is read.
    EXPECT_EQ(ini.GetInt("Awin", "Top", 7), 7);
    // A line without '=' is not a key, nor is a comment.
    EXPECT_EQ(ini.GetString("Awin", "flag", "def"), "def");
    EXPECT_FALSE(ini.Find("", "; comment").has_value());
    EXPECT_EQ(ini.SectionNames(), (std::vector<std::string>{"awin", "Other"}));
}

TEST(IniFile, QuotesBomAndLineEndings) {
    IniFile ini = FromText(
        "\xEF\xBB\xBF[S]\r\n"
        "a=\"  spaced  \"\r\n"
        "b=\"open\r\n"
        "c=\"\"\r\n"
        "d=\"in\"side\"\n"
        "e=plain\r\n");
    EXPECT_TRUE(ini.HasSection("s"));
    EXPECT_EQ(ini.GetString("S", "a", ""), "  spaced  ");
    EXPECT_EQ(ini.GetString("S", "b", ""), "\"open");
    EXPECT_EQ(ini.GetString("S", "c", "x"), "");
    EXPECT_EQ(ini.GetString("S", "d", ""), "in\"side");
    EXPECT_EQ(ini.GetString("S", "e", ""), "plain");
    // The BOM is not written back; lines end in \n.
    EXPECT_EQ(ini.Serialize().substr(0, 5), "[S]\na");
}

TEST(IniFile, ValuesAreCutTo260Characters) {
    std::string longJp;
    for (int i = 0; i < 300; ++i) longJp += "あ";
    IniFile ini = FromText("[P]\nOpen=" + longJp + "\nShort=日本語\n");
    std::string v = ini.GetString("P", "Open", "");
    EXPECT_EQ(v.size(), 260u * 3);  // 260 whole characters, no split sequence
    EXPECT_EQ(v, longJp.substr(0, 260 * 3));
    EXPECT_EQ(ini.GetString("P", "Short", ""), "日本語");
    EXPECT_EQ(ini.GetString("P", "Missing", longJp).size(), 260u * 3);
    // Find gives the whole value (struct values may be longer).
    EXPECT_EQ(ini.Find("P", "Open")->size(), 300u * 3);
}

TEST(IniFile, IntegerParsing) {
    IniFile ini = FromText(
        "[N]\n"
        "a=12abc\nb=-5\nc=+7\nd=abc\ne=\nf=  42  \ng=-\nh=-2147483648\ni=0x10\nj=\"8\"\n");
    EXPECT_EQ(ini.GetInt("N", "a", 99), 12);
    EXPECT_EQ(ini.GetInt("N", "b", 99), -5);
    EXPECT_EQ(ini.GetInt("N", "c", 99), 7);
    EXPECT_EQ(ini.GetInt("N", "d", 99), 0);
    EXPECT_EQ(ini.GetInt("N", "e", 99), 0);
    EXPECT_EQ(ini.GetInt("N", "f", 99), 42);
    EXPECT_EQ(ini.GetInt("N", "g", 99), 0);
    EXPECT_EQ(ini.GetInt("N", "h", 99), INT_MIN);
    EXPECT_EQ(ini.GetInt("N", "i", 99), 0);
    EXPECT_EQ(ini.GetInt("N", "j", 99), 8);
    EXPECT_EQ(ini.GetInt("N", "missing", 99), 99);
    EXPECT_EQ(ini.GetInt("Missing", "a", -3), -3);
}

TEST(IniFile, StructEncoding) {
    const uint8_t bytes[] = {0x01, 0x02, 0xFF};
    EXPECT_EQ(EncodeStruct(bytes, 3), "0102FF02");
    EXPECT_EQ(EncodeStruct(nullptr, 0), "00");
    const uint8_t ab[] = {0xAB, 0xCD};
    EXPECT_EQ(EncodeStruct(ab, 2), "ABCD78");

    EXPECT_EQ(DecodeStruct("0102ff02", 3), (std::vector<uint8_t>{1, 2, 255}));
    EXPECT_EQ(DecodeStruct("00", 0), std::vector<uint8_t>{});
    EXPECT_FALSE(DecodeStruct("0102FF03", 3));   // checksum
    EXPECT_FALSE(DecodeStruct("0102FF02", 2));   // length
    EXPECT_FALSE(DecodeStruct("0102FF0", 3));
    EXPECT_FALSE(DecodeStruct("0102FG02", 3));   // not hex
    EXPECT_FALSE(DecodeStruct("", SIZE_MAX));

    IniFile ini;
    ini.WriteStruct("Akey", "Key", bytes, 3);
    EXPECT_EQ(ini.Serialize(), "[Akey]\nKey=0102FF02\n");
    EXPECT_EQ(ini.GetStruct("akey", "KEY", 3), (std::vector<uint8_t>{1, 2, 255}));
    EXPECT_FALSE(ini.GetStruct("Akey", "Key", 4));
    EXPECT_FALSE(ini.GetStruct("Akey", "Other", 3));

    // Longer than a string value may be.
    std::vector<uint8_t> big(400);
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7);
    ini.WriteStruct("Akey", "Big", big.data(), big.size());
    EXPECT_EQ(ini.GetStruct("Akey", "Big", big.size()), big);
}

TEST(IniFile, WritesKeepEverythingElse) {
    IniFile ini = FromText(
        "; top comment\n"
        "[Vwin]\n"
        "Time = 5\n"
        "Time=6\n"
        "; keep me\n"
        "\n"
        "\n"
        "[ImgF]\n"
        "  Odd  =  spacing  \n"
        "[vwin]\n"
        "Time=7\n");
    ini.WriteInt("VWIN", "time", 9);
    ini.WriteString("Vwin", "New", "x");
    ini.WriteString("Path", "Open", "");
    EXPECT_EQ(ini.Serialize(),
              "; top comment\n"
              "[Vwin]\n"
              "Time=9\n"
              "Time=6\n"
              "; keep me\n"
              "New=x\n"
              "\n"
              "\n"
              "[ImgF]\n"
              "  Odd  =  spacing  \n"
              "[vwin]\n"
              "Time=7\n"
              "[Path]\n"
              "Open=\n");
    EXPECT_EQ(ini.GetInt("Vwin", "Time", 0), 9);

    ini.DeleteKey("vwin", "TIME");
    EXPECT_EQ(ini.GetInt("Vwin", "Time", -1), -1);  // no older duplicate shows through
    ini.DeleteSection("VWIN");
    EXPECT_FALSE(ini.HasSection("Vwin"));
    EXPECT_EQ(ini.Serialize(),
              "; top comment\n"
              "[ImgF]\n"
              "  Odd  =  spacing  \n"
              "[Path]\n"
              "Open=\n");
}

TEST(IniFile, WrittenStringsReadBack) {
    IniFile ini;
    for (std::string v : {" lead", "trail\t", "\"quoted\"", "a\"b", "日本語", "", "x=y;z"}) {
        ini.WriteString("S", "k", v);
        EXPECT_EQ(ini.GetString("S", "k", "?"), v) << v;
        IniFile again = FromText(ini.Serialize());
        EXPECT_EQ(again.GetString("S", "k", "?"), v) << v;
    }
    // A line break cannot be stored: the value ends there and no stray line appears.
    ini.WriteString("S", "k", "one\ntwo=2");
    EXPECT_EQ(ini.Serialize(), "[S]\nk=one\n");
}

class IniSave : public ::testing::Test {
protected:
    test::TempDir dir;
    static IniFile Sample() { return FromText("[A]\nk=new\n"); }
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir.path())) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(IniSave, ReplacesFileAndKeepsPermissions) {
    const std::string path = dir.File("LumraEx.ini");
    test::WriteText(path, "[A]\nk=old\n");
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(Sample().Save(path));
    EXPECT_EQ(test::ReadText(path), "[A]\nk=new\n");
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(Entries(), std::vector<std::string>{"LumraEx.ini"});  // no temporary left behind

    IniFile back;
    EXPECT_TRUE(back.Load(path));
    EXPECT_EQ(back.GetString("a", "K", ""), "new");
}

TEST_F(IniSave, SymbolicLinkStaysALink) {
    std::filesystem::create_directory(dir.File("real"));
    const std::string target = dir.File("real/settings.ini");
    test::WriteText(target, "old\n");
    const std::string link = dir.File("LumraEx.ini");
    ASSERT_EQ(symlink("real/settings.ini", link.c_str()), 0);
    ASSERT_TRUE(Sample().Save(link));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(test::ReadText(target), "[A]\nk=new\n");
}

TEST_F(IniSave, FailureLeavesTheOldFile) {
    EXPECT_FALSE(Sample().Save(dir.File("missing/LumraEx.ini")));

    if (geteuid() == 0) GTEST_SKIP() << "root ignores folder permissions";
    const std::string path = dir.File("LumraEx.ini");
    test::WriteText(path, "[A]\nk=old\n");
    ASSERT_EQ(chmod(dir.path().c_str(), 0500), 0);
    EXPECT_FALSE(Sample().Save(path));
    chmod(dir.path().c_str(), 0700);
    EXPECT_EQ(test::ReadText(path), "[A]\nk=old\n");
    EXPECT_EQ(Entries(), std::vector<std::string>{"LumraEx.ini"});
}

// A full disk, simulated with a file-size limit: the write fails half way.
TEST_F(IniSave, FullDiskLeavesTheOldFile) {
    const std::string path = dir.File("LumraEx.ini");
    test::WriteText(path, "[A]\nk=old\n");
    IniFile big;
    big.WriteString("A", "k", std::string(200, 'v'));
    for (int i = 0; i < 2000; ++i) big.WriteInt("Fill", ("Key" + std::to_string(i)).c_str(), i);

    struct rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool saved = big.Save(path);
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    EXPECT_EQ(test::ReadText(path), "[A]\nk=old\n");
    EXPECT_EQ(Entries(), std::vector<std::string>{"LumraEx.ini"});
}

TEST_F(IniSave, LoadOfMissingFileIsEmpty) {
    IniFile ini = Sample();
    EXPECT_FALSE(ini.Load(dir.File("none.ini")));
    EXPECT_EQ(ini.Serialize(), "");
    EXPECT_TRUE(ini.SectionNames().empty());
    ini = Sample();
    EXPECT_FALSE(ini.Load(dir.path()));  // a folder is not a settings file
    EXPECT_EQ(ini.Serialize(), "");
}

}  // namespace
}  // namespace lumra
