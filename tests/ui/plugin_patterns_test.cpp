// The plug-ins in the program: the folder setting, the open dialog's patterns, opening.
#include <QFileDialog>

#include "shell/ini_file.h"
#include "ui_test_support.h"

namespace lumra::test {
namespace {

using PluginUiTest = AppFixture;

// The installed plug-ins sit beside the executable the tests start as.
std::string InstalledFolder() {
    std::string exe = LUMRA_EXE_PATH;
    return exe.substr(0, exe.rfind('/')) + "/plugins";
}

// The name filters of the open dialog, as Qt holds them.
std::vector<std::string> OpenDialogFilters(ui::Application& app, std::function<int(QDialog&)>& onDialog) {
    std::vector<std::string> filters;
    onDialog = [&filters](QDialog& dialog) {
        if (auto* files = qobject_cast<QFileDialog*>(&dialog))
            for (const QString& f : files->nameFilters()) filters.push_back(f.toStdString());
        return int(QDialog::Rejected);
    };
    app.OpenPictureDialog();
    onDialog = nullptr;
    return filters;
}

TEST_F(PluginUiTest, InstalledPluginsByDefault) {
    if (!std::filesystem::is_directory(InstalledFolder())) GTEST_SKIP() << "built without the plug-ins";
    ASSERT_TRUE(StartQuiet());
    EXPECT_EQ(app_->session().settings.path.spi, InstalledFolder());
    const std::string patterns = app_->PluginPatterns();
    for (const char* p : {"*.webp", "*.heic", "*.avif", "*.jxl", "*.ppm", "*.pam"})
        EXPECT_NE(patterns.find(p), std::string::npos) << p;
    EXPECT_EQ(patterns.find("*.tif"), std::string::npos);  // read by the program itself

    const std::vector<std::string> filters = OpenDialogFilters(*app_, onDialog_);
    ASSERT_GE(filters.size(), 2u);
    // The plug-ins' patterns follow the program's own, in the plug-ins' name order.
    EXPECT_NE(filters[0].find("*.gif *.heic *.heif *.hif *.avif *.jxl *.pnm"), std::string::npos) << filters[0];
    EXPECT_NE(filters[0].find(" *.webp)"), std::string::npos) << filters[0];
    EXPECT_EQ(filters[1].rfind("プラグイン対応 ファイル (*.", 0), 0u) << filters[1];

    // A picture only a plug-in reads opens like any other.
    const std::string ppm = dir_.File("小さな絵.ppm");
    WriteText(ppm, std::string("P6 2 1 255\n") + std::string("\xff\x00\x00\x00\x00\xff", 6));
    ASSERT_TRUE(app_->OpenPath(ppm));
    EXPECT_EQ(Title(), "小さな絵.ppm  ( 2x1  24bit  0.0KB )  100%");
    EXPECT_TRUE(boxes_.empty());

    // Closing does not store the installed folder, so a moved program still finds its own.
    ASSERT_TRUE(View().close());
    IniFile ini;
    ASSERT_TRUE(ini.Load(IniPath()));
    EXPECT_FALSE(ini.Find("Path", "SPI"));
}

TEST_F(PluginUiTest, UsersOwnFolderOrNone) {
    // No plug-ins: the dialog has no plug-in entry and the file does not open.
    WriteIni("[Awin]\nMouseInfo=0\n[Path]\nSPI=\n");
    ASSERT_TRUE(Start());
    EXPECT_EQ(app_->PluginPatterns(), "");
    std::vector<std::string> filters = OpenDialogFilters(*app_, onDialog_);
    ASSERT_FALSE(filters.empty());
    EXPECT_EQ(filters[1].rfind("ビットマップ ファイル", 0), 0u) << filters[1];
    const std::string ppm = dir_.File("a.ppm");
    WriteText(ppm, "P5 1 1 255\n\x80");
    EXPECT_FALSE(app_->OpenPath(ppm));
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].request.text, "画像の表示に失敗しました。");
    ASSERT_TRUE(View().close());
    IniFile ini;
    ASSERT_TRUE(ini.Load(IniPath()));
    EXPECT_EQ(ini.Find("Path", "SPI").value_or("?"), "");

    // A folder of the user's own.
    if (!std::filesystem::is_directory(InstalledFolder())) GTEST_SKIP() << "built without the plug-ins";
    const std::string mine = dir_.File("my plug-ins");
    std::filesystem::create_directories(mine);
    std::filesystem::copy_file(InstalledFolder() + "/ifpnm.spi", mine + "/ifpnm.spi");
    MakeApp();
    WriteIni("[Awin]\nMouseInfo=0\n[Path]\nSPI=" + mine + "\n");
    ASSERT_TRUE(Start());
    EXPECT_EQ(app_->PluginPatterns(), "*.pnm;*.pbm;*.pgm;*.ppm;*.pam");
    filters = OpenDialogFilters(*app_, onDialog_);
    ASSERT_GE(filters.size(), 2u);
    EXPECT_EQ(filters[1], "プラグイン対応 ファイル (*.pnm;*.pbm;*.pgm;*.ppm;*.pam) (*.pnm *.pbm *.pgm *.ppm *.pam)");
    EXPECT_TRUE(app_->OpenPath(ppm));
    ASSERT_TRUE(View().close());
    ASSERT_TRUE(ini.Load(IniPath()));
    EXPECT_EQ(ini.Find("Path", "SPI").value_or("?"), mine);
}

}  // namespace
}  // namespace lumra::test
