// The tool bar strip, the version window, registered tools and the help page.
#include <sys/stat.h>

#include <QAction>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPushButton>
#include <QToolBar>
#include <QUrl>

#include "shell/menu_model.h"
#include "shell/program_info.h"
#include "ui/file_list_window.h"
#include "ui/tool_bar_strip.h"
#include "ui/version_dialog.h"
#include "ui_test_support.h"

namespace lumra::test {
namespace {

class ToolBarTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        app_->SetUrlFunction([this](const QUrl& url) {
            urls_.push_back(url);
            return urlResult_;
        });
    }
    ui::ToolBarStrip& Strip() { return *View().toolBarStrip(); }

    std::vector<QUrl> urls_;
    bool urlResult_ = true;
};

TEST_F(ToolBarTest, ButtonsInOrder) {
    ASSERT_TRUE(StartQuiet());
    ui::ToolBarStrip& strip = Strip();
    EXPECT_FALSE(strip.isVisible());
    std::vector<int> ids;
    for (const auto& [id, action] : strip.items()) {
        ids.push_back(id);
        EXPECT_EQ(action->data().toInt(), id);
        EXPECT_EQ(action->isSeparator(), id == kIdSeparator);
    }
    EXPECT_EQ(ids, ToolBarLayout());
    EXPECT_EQ(strip.ActionFor(kCmdOpen)->toolTip().toStdString(), "開く");
    // Every button shows its command's label as its tool tip.
    for (int id : ToolBarLayout()) {
        if (id == kIdSeparator || id == kIdSpacerRight || id == kIdSpacerFullScreen) continue;
        const QWidget* button = strip.toolBar()->widgetForAction(strip.ActionFor(id));
        ASSERT_NE(button, nullptr) << id;
        EXPECT_FALSE(button->toolTip().isEmpty()) << id;
        EXPECT_EQ(button->toolTip().toStdString(), ToolBarTip(id, MenuMode{})) << id;
    }
    EXPECT_EQ(strip.ActionFor(kCmdNext)->toolTip().toStdString(), "進む(ファイル閲覧)");
    EXPECT_EQ(strip.toolBar()->iconSize(), QSize(16, 16));
    for (int id : ToolBarLayout()) {
        if (id == kIdSeparator || id == kIdSpacerRight || id == kIdSpacerFullScreen) continue;
        EXPECT_FALSE(strip.ActionFor(id)->icon().isNull()) << id;
    }

    // Normal display: no spacers, no last three buttons, no field.
    View().ShowToolBarStrip(true);
    ASSERT_TRUE(strip.isVisible());
    EXPECT_EQ(strip.geometry(), QRect(-2, -2, View().width() + 4, 28));
    for (int id : {kIdSpacerRight, kIdSpacerFullScreen, kCmdMinimize, kCmdFullScreen, kCmdExit}) {
        EXPECT_FALSE(strip.ActionFor(id)->isVisible()) << id;
    }
    EXPECT_TRUE(strip.ActionFor(kCmdEditWindow)->isVisible());
    EXPECT_FALSE(strip.infoField()->isVisible());
    strip.grab().save(QStringLiteral("/tmp/lumra_toolbar.png"));

    // A button runs its command through the main window.
    ASSERT_TRUE(app_->OpenPath(Picture("a.bmp", 3, 3, 0x808080)));
    strip.ActionFor(kCmdFileList)->trigger();
    EXPECT_TRUE(app_->fileListWindow()->isVisible());

    // Full screen: the three buttons at the right edge and the information field.
    app_->EnterFullScreen();
    View().ShowToolBarStrip(true);
    QCoreApplication::processEvents();
    for (int id : {kIdSpacerRight, kIdSpacerFullScreen, kCmdMinimize, kCmdFullScreen, kCmdExit}) {
        EXPECT_TRUE(strip.ActionFor(id)->isVisible()) << id;
    }
    EXPECT_EQ(strip.ActionFor(kCmdFullScreen)->toolTip().toStdString(), "通常表示");
    ASSERT_TRUE(strip.infoField()->isVisible());
    EXPECT_EQ(strip.infoField()->height(), 15);
    EXPECT_EQ(strip.infoField()->text(), View().windowTitle());
    EXPECT_EQ(strip.infoField()->text().toStdString(), "a.bmp  ( 3x3  24bit  0.0KB )  100%");
    QWidget* exitButton = strip.toolBar()->widgetForAction(strip.ActionFor(kCmdExit));
    ASSERT_NE(exitButton, nullptr);
    EXPECT_GE(exitButton->mapTo(&strip, QPoint(exitButton->width(), 0)).x(), strip.width() - 40);
    strip.grab().save(QStringLiteral("/tmp/lumra_toolbar_full.png"));

    // Double-clicking the field leaves full screen.
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(3, 3), QPointF(3, 3), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
    QCoreApplication::sendEvent(strip.infoField(), &dbl);
    EXPECT_EQ(app_->session().displayMode, kMainWindow);
    EXPECT_FALSE(strip.ActionFor(kCmdExit)->isVisible());
}

TEST_F(ToolBarTest, VersionWindow) {
    ASSERT_TRUE(StartQuiet());
    bool suspendedWhileOpen = false;
    onDialog_ = [&](QDialog& dialog) {
        auto* version = qobject_cast<ui::VersionDialog*>(&dialog);
        EXPECT_NE(version, nullptr);
        if (!version) return int(QDialog::Rejected);
        suspendedWhileOpen = app_->acceleratorsSuspended();
        EXPECT_EQ(dialog.windowTitle().toStdString(), "バージョン情報");
        EXPECT_EQ(dialog.size(), QSize(235, 104));
        EXPECT_EQ(version->versionLabel()->text().toStdString(), "Lumra Ex  version 1.52");
        EXPECT_EQ(version->versionLabel()->pos(), QPoint(10, 10));
        EXPECT_EQ(version->noticeLabel()->pos(), QPoint(28, 30));
        EXPECT_EQ(version->link()->pos(), QPoint(45, 51));
        EXPECT_EQ(version->okButton()->geometry(), QRect(139, 75, 88, 21));
        EXPECT_EQ(version->link()->cursor().shape(), Qt::PointingHandCursor);
        EXPECT_LE(version->noticeLabel()->geometry().right(), 235);
        EXPECT_LE(version->link()->geometry().right(), 235);
        dialog.grab().save(QStringLiteral("/tmp/lumra_version.png"));
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QCoreApplication::sendEvent(version->link(), &release);
        version->okButton()->click();
        return dialog.result();
    };
    View().Command(kCmdVersion);
    ASSERT_EQ(dialogs_.size(), 1u);
    EXPECT_TRUE(suspendedWhileOpen);
    EXPECT_FALSE(app_->acceleratorsSuspended());
    ASSERT_EQ(urls_.size(), 1u);
    EXPECT_EQ(urls_[0], QUrl(QString::fromUtf8(kWebAddress)));
}

TEST_F(ToolBarTest, RegisteredToolGetsThePicturePath) {
    const std::string out = dir_.File("tool_out.txt");
    const std::string script = dir_.File("tool.sh");
    WriteText(script, "#!/bin/sh\nprintf '%s|%s' \"$#\" \"$1\" > '" + out + ".tmp'\nmv '" + out + ".tmp' '" + out +
                          "'\n");
    ::chmod(script.c_str(), 0755);
    std::filesystem::create_directories(dir_.File("my pics"));
    const std::string picture = Picture("my pics/a b.bmp", 2, 2, 0);
    WriteIni("[Awin]\nMouseInfo=0\nTop=1\n[Path]\nAPP0=" + script + "\nAN0=Tool\nAPP2=" + dir_.path() +
             "\nAPP3=" + dir_.File("missing") + "\n");
    ASSERT_TRUE(Start());
    ASSERT_TRUE(app_->OpenPath(picture));
    app_->EnterFullScreen();

    View().Command(kCmdTool1);
    // Full screen was left and always-on-top cleared first.
    EXPECT_EQ(app_->session().displayMode, kMainWindow);
    EXPECT_EQ(app_->session().settings.awin.top, 0);
    EXPECT_FALSE(View().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QElapsedTimer timer;
    timer.start();
    while (!std::filesystem::exists(out) && timer.elapsed() < 5000) QCoreApplication::processEvents();
    EXPECT_EQ(ReadText(out), "1|" + app_->session().picture.path);
    EXPECT_TRUE(boxes_.empty());

    // A folder is opened on the desktop.
    View().Command(5422);
    ASSERT_EQ(urls_.size(), 1u);
    EXPECT_EQ(urls_[0], QUrl::fromLocalFile(QString::fromStdString(dir_.path())));
    // An empty slot does nothing; a missing program shows the error.
    View().Command(5421);
    EXPECT_TRUE(boxes_.empty());
    View().Command(5423);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].request, ErrorBox(kErrFileExec));
    urlResult_ = false;
    View().Command(5422);
    EXPECT_EQ(boxes_.size(), 2u);
}

TEST_F(ToolBarTest, HelpPageBesideTheExecutable) {
    ASSERT_TRUE(StartQuiet());
    app_->EnterFullScreen();
    View().Command(kCmdHelp);
    EXPECT_EQ(app_->session().displayMode, kMainWindow);
    ASSERT_EQ(urls_.size(), 1u);
    const std::string help = HelpFilePath(LUMRA_EXE_PATH);
    EXPECT_EQ(urls_[0], QUrl::fromLocalFile(QString::fromStdString(help)));
    EXPECT_TRUE(std::filesystem::exists(help));
    EXPECT_NE(ReadText(help).find("<html"), std::string::npos);
    EXPECT_TRUE(boxes_.empty());
}

}  // namespace
}  // namespace lumra::test
