// The operation bar built from a control table, and the colour box.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QFocusEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QToolButton>

#include "edit/edit_model.h"
#include "ui/operation_bar.h"

namespace lumra::test {
namespace {

using K = BarControlKind;

// A bar like the hue/saturation one: two radio groups, a trio, a check, a colour box, "Pic".
constexpr BarControl kDemo[] = {
    {.id = 10, .kind = K::kRadio, .caption = "色相", .max = 1, .param = 0, .value = 0},
    {.id = 11, .kind = K::kRadio, .caption = "輝度", .max = 1, .param = 0, .value = 1},
    {.id = 20, .kind = K::kTrackbar, .min = -180, .max = 180, .param = 1},
    {.id = 21, .kind = K::kEdit, .min = -180, .max = 180, .param = 1, .maxChars = 4},
    {.id = 22, .kind = K::kUpDown, .min = -180, .max = 180, .param = 1},
    {.id = 30, .kind = K::kCheck, .caption = "色域指定", .max = 1, .param = 2},
    {.id = 31, .kind = K::kColourBox, .max = 0xFFFFFF, .def = 0x00FF00, .param = 3},
    {.id = 32, .kind = K::kButton, .caption = "Pic"},
    {.id = 40, .kind = K::kRadio, .caption = "A", .max = 1, .param = 4, .value = 0},
    {.id = 41, .kind = K::kRadio, .caption = "B", .max = 1, .param = 4, .value = 1},
};

struct Recorder {
    std::vector<std::pair<int, int>> values;
    std::vector<int> commands;
    std::vector<int> buttons;
    std::vector<bool> keys;
    void Attach(ui::OperationBar& bar) {
        QObject::connect(&bar, &ui::OperationBar::valueChanged, [this](int p, int v) { values.push_back({p, v}); });
        QObject::connect(&bar, &ui::OperationBar::command, [this](int id) { commands.push_back(id); });
        QObject::connect(&bar, &ui::OperationBar::buttonClicked, [this](int id) { buttons.push_back(id); });
        QObject::connect(&bar, &ui::OperationBar::keysSuspendedChanged, [this](bool s) { keys.push_back(s); });
    }
};

template <typename T>
T* Control(ui::OperationBar& bar, int id) {
    return qobject_cast<T*>(bar.controls()->control(id));
}

void Focus(QWidget* w, bool in) {
    QFocusEvent e(in ? QEvent::FocusIn : QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(w, &e);
}

void Click(QWidget* w) {
    const QPointF at(4, 4);
    QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &press);
}

TEST(OperationBar, OkCancelAndCaption) {
    ui::OperationBar bar(QStringLiteral("色相/彩度"), kDemo);
    Recorder r;
    r.Attach(bar);
    EXPECT_EQ(bar.caption().toStdString(), "色相/彩度");
    bar.okButton()->click();
    bar.cancelButton()->click();
    Control<QPushButton>(bar, 32)->click();
    EXPECT_EQ(r.commands, (std::vector<int>{5900, 5901}));
    EXPECT_EQ(r.buttons, std::vector<int>{32});
    EXPECT_TRUE(r.values.empty());  // building the bar raised nothing
    EXPECT_TRUE(bar.controls()->controlsLive());
}

TEST(OperationBar, TrioSharesOneClampedValue) {
    ui::OperationBar bar(QStringLiteral("x"), kDemo);
    Recorder r;
    r.Attach(bar);
    auto* slider = Control<QSlider>(bar, 20);
    auto* edit = Control<QLineEdit>(bar, 21);
    auto* updown = Control<ui::UpDownControl>(bar, 22);
    ASSERT_TRUE(slider && edit && updown);
    EXPECT_EQ(edit->text().toStdString(), "0");
    EXPECT_EQ(edit->maxLength(), 4);

    slider->setValue(-40);  // the trackbar writes its box
    EXPECT_EQ(edit->text().toStdString(), "-40");
    edit->setText(QStringLiteral("999"));  // typed beyond the range: clamped
    EXPECT_EQ(slider->value(), 180);
    EXPECT_EQ(bar.controls()->value(1), 180);
    edit->setText(QStringLiteral("1x"));  // not a number: nothing
    updown->downButton()->click();
    EXPECT_EQ(edit->text().toStdString(), "179");
    EXPECT_EQ(slider->value(), 179);
    EXPECT_EQ(r.values, (std::vector<std::pair<int, int>>{{1, -40}, {1, 180}, {1, 179}}));

    // The program's own writes raise nothing; a mode change narrows the range.
    bar.controls()->SetValue(1, 50);
    EXPECT_EQ(edit->text().toStdString(), "50");
    EXPECT_EQ(slider->value(), 50);
    bar.controls()->SetRange(1, -10, 10);
    EXPECT_EQ(bar.controls()->value(1), 10);
    EXPECT_EQ(slider->maximum(), 10);
    EXPECT_EQ(edit->text().toStdString(), "10");
    EXPECT_EQ(r.values.size(), 3u);
    updown->upButton()->click();  // at the top already
    EXPECT_EQ(r.values.size(), 3u);
}

// An angle in tenths: the trackbar counts tenths, the box shows degrees.
TEST(OperationBar, DecimalBoxBesideATrackbar) {
    constexpr BarControl kAngle[] = {
        {.id = 1, .kind = K::kTrackbar, .min = -1800, .max = 1800, .param = 0},
        {.id = 2, .kind = K::kEdit, .min = -1800, .max = 1800, .param = 0, .maxChars = 6, .decimals = 1},
        {.id = 3, .kind = K::kUpDown, .min = -1800, .max = 1800, .param = 0},
    };
    ui::OperationBar bar(QStringLiteral("任意角度回転"), kAngle);
    auto* edit = Control<QLineEdit>(bar, 2);
    EXPECT_EQ(edit->text().toStdString(), "0.0");
    Control<QSlider>(bar, 1)->setValue(-405);
    EXPECT_EQ(edit->text().toStdString(), "-40.5");
    edit->setText(QStringLiteral("12.35"));
    EXPECT_EQ(Control<QSlider>(bar, 1)->value(), 124);
    Control<ui::UpDownControl>(bar, 3)->upButton()->click();
    EXPECT_EQ(edit->text().toStdString(), "12.5");
    EXPECT_EQ(bar.controls()->value(0), 125);
}

TEST(OperationBar, EditBoxesSuspendTheKeysWhileFocused) {
    ui::OperationBar bar(QStringLiteral("x"), kDemo);
    Recorder r;
    r.Attach(bar);
    auto* edit = Control<QLineEdit>(bar, 21);
    EXPECT_FALSE(edit->testAttribute(Qt::WA_InputMethodEnabled));
    Focus(edit, true);
    EXPECT_TRUE(bar.controls()->keysSuspended());
    edit->setText(QStringLiteral("500"));
    EXPECT_EQ(bar.controls()->value(1), 180);
    EXPECT_EQ(edit->text().toStdString(), "500");  // until the box is left
    Focus(edit, false);
    EXPECT_EQ(edit->text().toStdString(), "180");
    EXPECT_EQ(r.keys, (std::vector<bool>{true, false}));

    // A bar that goes while a box has the keys gives them back.
    auto bar2 = std::make_unique<ui::OperationBar>(QStringLiteral("y"), kDemo);
    Recorder r2;
    r2.Attach(*bar2);
    Focus(Control<QLineEdit>(*bar2, 21), true);
    bar2.reset();
    EXPECT_EQ(r2.keys, (std::vector<bool>{true, false}));
}

TEST(OperationBar, RadioGroupsChecksAndColours) {
    ui::OperationBar bar(QStringLiteral("x"), kDemo);
    Recorder r;
    r.Attach(bar);
    EXPECT_TRUE(Control<QRadioButton>(bar, 10)->isChecked());
    EXPECT_TRUE(Control<QRadioButton>(bar, 40)->isChecked());
    Control<QRadioButton>(bar, 41)->click();  // the other group is untouched
    EXPECT_TRUE(Control<QRadioButton>(bar, 10)->isChecked());
    Control<QRadioButton>(bar, 11)->click();
    Control<QCheckBox>(bar, 30)->click();

    auto* box = Control<ui::ColourBox>(bar, 31);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->colour(), 0x00FF00u);
    EXPECT_EQ(box->size(), QSize(18, 18));
    int dialogs = 0;
    bar.controls()->SetDialogRunner([&dialogs](QDialog& d) {
        ++dialogs;
        auto& chooser = dynamic_cast<QColorDialog&>(d);
        EXPECT_EQ(chooser.currentColor(), dialogs == 1 ? QColor(0, 255, 0) : QColor(1, 2, 3));
        chooser.setCurrentColor(QColor(1, 2, 3));
        return dialogs == 1 ? int(QDialog::Accepted) : int(QDialog::Rejected);
    });
    Click(box);
    Click(box);  // cancelled: nothing
    EXPECT_EQ(dialogs, 2);
    EXPECT_EQ(box->colour(), 0x010203u);
    EXPECT_EQ(r.values, (std::vector<std::pair<int, int>>{{4, 1}, {0, 1}, {2, 1}, {3, 0x010203}}));

    // While a pick is armed the box shows the live colour.
    box->SetLiveColour(0x445566);
    EXPECT_EQ(box->shownColour(), 0x445566u);
    box->SetLiveColour(std::nullopt);
    EXPECT_EQ(box->shownColour(), 0x010203u);
}

TEST(OperationBar, BuiltFromAnOperationRow) {
    OperationDef def{kOpHueSaturation, 5164, "色相/彩度"};
    def.controls = kDemo;
    def.controlCount = static_cast<int>(std::size(kDemo));
    ui::OperationBar bar(def);
    EXPECT_EQ(bar.caption().toStdString(), "色相/彩度");
    EXPECT_NE(Control<QSlider>(bar, 20), nullptr);
    ui::OperationBar bare(OperationDef{kOpPaint, 5190, "ペイント"});
    EXPECT_EQ(bare.controls()->control(20), nullptr);
}

}  // namespace
}  // namespace lumra::test
