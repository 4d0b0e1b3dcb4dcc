// The "主なマウス操作" dialog: its texts in order and what OK does with the check box.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include "ui/mouse_info_dialog.h"
#include "ui_test_support.h"

namespace lumra::test {
namespace {

TEST(MouseInfoDialog, LinesNoteCheckBoxAndOk) {
    ui::MouseInfoDialog dialog(nullptr, true);
    EXPECT_EQ(dialog.windowTitle().toStdString(), "主なマウス操作");
    std::vector<std::string> labels;
    for (QLabel* label : dialog.findChildren<QLabel*>()) labels.push_back(label->text().toStdString());
    const std::vector<std::string> expected = {
        "ウィンドウを右ボタンでクリック", "= メニュー表示",
        "ウィンドウ上端にポインタ移動",   "= ツールバー表示",
        "ホイールクリック/ホイール回転",  "= 表示倍率変更",
        "画像を右ボタンでドラッグ",       "= スクロール",
        "ウィンドウをダブルクリック",     "= 全画面表示切替",
        "ウィンドウを左右同時クリック",   "= 編集ウィンドウ切替",
        "※ダブルクリック等一部の動作は、変更可能です。",
    };
    EXPECT_EQ(labels, expected);
    const QList<QPushButton*> buttons = dialog.findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 1);
    EXPECT_EQ(buttons[0]->text().toStdString(), "OK");
    EXPECT_TRUE(buttons[0]->isDefault());
    EXPECT_EQ(dialog.dontShowBox()->text().toStdString(), "起動時に操作説明を表示しない");

    // The box is checked when the setting is off; OK gives the inverse of the box.
    EXPECT_FALSE(dialog.dontShowBox()->isChecked());
    EXPECT_EQ(dialog.MouseInfoAfterOk(), 1);
    dialog.dontShowBox()->setChecked(true);
    EXPECT_EQ(dialog.MouseInfoAfterOk(), 0);
    ui::MouseInfoDialog off(nullptr, false);
    EXPECT_TRUE(off.dontShowBox()->isChecked());
    EXPECT_EQ(off.MouseInfoAfterOk(), 0);

    // OK accepts; Escape rejects.
    dialog.show();
    buttons[0]->click();
    EXPECT_EQ(dialog.result(), int(QDialog::Accepted));
    off.show();
    off.reject();
    EXPECT_EQ(off.result(), int(QDialog::Rejected));
}

}  // namespace
}  // namespace lumra::test
