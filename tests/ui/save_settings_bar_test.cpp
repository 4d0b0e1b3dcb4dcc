// The save-settings bar "保存設定".
#include <QAction>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMouseEvent>
#include <filesystem>

#include "ui/operation_bar.h"
#include "ui/save_settings_bar.h"
#include "ui_test_support.h"
#include "view/info_text.h"

namespace lumra::test {
namespace {

void Click(QWidget* w) {
    const QPointF at(4, 4);
    QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &press);
}

class SaveBarTest : public AppFixture {
protected:
    std::vector<std::string> Items(QComboBox* list) {
        std::vector<std::string> v;
        for (int i = 0; i < list->count(); ++i) v.push_back(list->itemText(i).toStdString());
        return v;
    }
    std::vector<int> ShownCommands(ui::SaveSettingsBar& bar) {
        std::vector<int> ids;
        for (int id = 5800; id <= 5890; ++id)
            if (QAction* a = bar.action(id); a && a->isVisible()) ids.push_back(id);
        return ids;
    }
};

TEST_F(SaveBarTest, ListsFollowTheFormat) {
    ASSERT_TRUE(StartQuiet());
    Session& s = app_->session();
    s.settings.simg.format = kSaveGif;
    s.settings.simg.depth = 24;
    ui::SaveSettingsBar bar(s);
    // No picture: JPEG/TRANS is offered; GIF lifts 24 to 8.
    EXPECT_EQ(Items(bar.formatList()), (std::vector<std::string>{"BMP", "PNG", "JPEG", "TIFF", "GIF", "JPEG/TRANS"}));
    EXPECT_EQ(bar.depthList()->currentText().toStdString(), "8bit(256色)");
    EXPECT_EQ(s.settings.simg.depth, 8);
    EXPECT_EQ(ShownCommands(bar), (std::vector<int>{5800, 5810, 5820, 5830}));
    EXPECT_FALSE(bar.action(5810)->isEnabled());  // no picture
    EXPECT_TRUE(bar.transparentSwatch()->isVisibleTo(&bar));

    ASSERT_TRUE(app_->OpenPath(Picture("a.bmp", 4, 4, 0x808080)));
    bar.Refresh();
    EXPECT_EQ(bar.formatList()->count(), 5);
    emit bar.formatList()->activated(kSavePng);
    EXPECT_EQ(s.settings.simg.format, kSavePng);
    EXPECT_EQ(Items(bar.depthList()), (std::vector<std::string>{"24bit(ﾌﾙｶﾗｰ)", "8bit(256色)", "4bit(16色)",
                                                                 "2bit(4色)", "1bit(2色)", "8bit ｸﾞﾚｲｽｹｰﾙ"}));
    EXPECT_EQ(bar.depthList()->currentIndex(), 1);
    emit bar.depthList()->activated(5);
    EXPECT_EQ(s.settings.simg.gray, 1);
    EXPECT_FALSE(bar.fieldGroup(2)->isHidden());  // level
    EXPECT_TRUE(bar.fieldGroup(0)->isHidden());   // quality

    emit bar.formatList()->activated(kSaveJpeg);
    EXPECT_EQ(ShownCommands(bar), (std::vector<int>{5810, 5850, 5860, 5861, 5862, 5890}));
    EXPECT_FALSE(bar.action(5860)->isEnabled());  // greyed with Gray
    EXPECT_FALSE(bar.transparentSwatch()->isVisibleTo(&bar));
    // The size limit swaps the quality box for the size box.
    ui::ControlStrip* size = bar.fieldGroup(1);
    auto* quality = bar.fieldGroup(0)->editBox(kFieldQuality);
    EXPECT_TRUE(quality->isEnabled());
    qobject_cast<QCheckBox*>(size->control(1802))->click();
    EXPECT_EQ(s.settings.simg.jpgLimit, 1);
    EXPECT_FALSE(quality->isEnabled());
    EXPECT_TRUE(size->editBox(kFieldJpgLmtVal)->isEnabled());
    size->editBox(kFieldJpgLmtVal)->setText(QStringLiteral("0"));
    EXPECT_EQ(s.settings.simg.jpgLmtVal, 1);  // clamped to the box's range

    // Save As's type change drives the list.
    app_->SetSaveFormatListener([&bar] { bar.Refresh(); });
    onDialog_ = [](QDialog& d) {
        auto* combo = d.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        combo->setCurrentIndex(kSaveTiff);
        emit combo->activated(kSaveTiff);
        emit combo->textActivated(combo->itemText(kSaveTiff));
        return int(QDialog::Rejected);
    };
    app_->SavePictureAs();
    EXPECT_EQ(bar.formatList()->currentIndex(), kSaveTiff);
    EXPECT_EQ(bar.depthList()->currentText().toStdString(), "8bit ｸﾞﾚｲｽｹｰﾙ");
}

TEST_F(SaveBarTest, PreviewIsReusedAndItsSizeShown) {
    ASSERT_TRUE(StartQuiet());
    Session& s = app_->session();
    ASSERT_TRUE(app_->OpenPath(Picture("a.bmp", 30, 20, 0x336699)));
    s.settings.simg.format = kSavePng;
    ui::SaveSettingsBar bar(s);
    std::vector<bool> previews;
    QObject::connect(&bar, &ui::SaveSettingsBar::previewDone, [&](bool ok) { previews.push_back(ok); });
    ASSERT_TRUE(bar.RunCommand(5810));
    const TrialSaveRecord& t = s.picture.trial;
    ASSERT_TRUE(t.previewShown);
    const std::string temp = t.tempPath;
    EXPECT_EQ(t.size, static_cast<int64_t>(std::filesystem::file_size(temp)));
    EXPECT_TRUE(SavedSizeShown(s));
    const std::string title = EditWindowTitle(s.picture, s.history, SavedSizeShown(s), t.size);
    EXPECT_NE(title.find(" .... " + FormatKilobytes(t.size)), std::string::npos) << title;
    ASSERT_TRUE(bar.RunCommand(5810));  // settings unchanged: the same file
    EXPECT_EQ(t.tempPath, temp);
    bar.action(5820)->trigger();  // interlace: the next preview encodes again
    EXPECT_EQ(s.settings.simg.interlace, 1);
    ASSERT_TRUE(bar.RunCommand(5810));
    EXPECT_NE(t.tempPath, temp);
    EXPECT_FALSE(std::filesystem::exists(temp));
    EXPECT_EQ(previews, (std::vector<bool>{true, true, true}));
    DiscardTrialSave(s);
}

TEST_F(SaveBarTest, TransparentColourPickAndSwatch) {
    ASSERT_TRUE(StartQuiet());
    Session& s = app_->session();
    ASSERT_TRUE(app_->OpenPath(Picture("a.bmp", 4, 4, 0x112233)));
    s.settings.simg.format = kSaveGif;
    ui::SaveSettingsBar bar(s);
    int picks = 0;
    QObject::connect(&bar, &ui::SaveSettingsBar::transparentPickRequested, [&] { ++picks; });
    bar.action(5830)->trigger();
    EXPECT_EQ(picks, 1);
    EXPECT_TRUE(bar.action(5830)->isChecked());
    bar.FinishTransparentPick(std::nullopt);  // cancelled: off again
    EXPECT_FALSE(s.picture.saveTransparent);
    EXPECT_FALSE(bar.action(5830)->isChecked());
    bar.action(5830)->trigger();
    bar.FinishTransparentPick(0x112233);
    EXPECT_TRUE(s.picture.saveTransparent);
    EXPECT_EQ(bar.transparentSwatch()->colour(), 0x112233u);

    bar.SetDialogRunner([](QDialog& d) {
        dynamic_cast<QColorDialog&>(d).setCurrentColor(QColor(9, 8, 7));
        return int(QDialog::Accepted);
    });
    Click(bar.transparentSwatch());
    EXPECT_EQ(std::vector<int>({s.settings.simg.alphaR, s.settings.simg.alphaG, s.settings.simg.alphaB}),
              std::vector<int>({9, 8, 7}));

    // The comment switch off asks the host for the dialog.
    int comments = 0;
    QObject::connect(&bar, &ui::SaveSettingsBar::commentRequested, [&] { ++comments; });
    s.settings.simg.format = kSavePng;
    bar.Refresh();
    bar.action(5890)->trigger();
    EXPECT_EQ(comments, 1);
    EXPECT_FALSE(bar.action(5890)->isChecked());
}

}  // namespace
}  // namespace lumra::test
