#include "ui/font_window.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <algorithm>

#include "edit/bar_controls.h"
#include "edit/text/text_tool.h"
#include "ui/operation_bar.h"

namespace lumra::ui {
namespace {

enum Param { kSize, kSpacing, kBold, kItalic, kShadow, kShadowX, kShadowY, kShadowColour, kCharset, kParams };

using Kind = BarControlKind;
const BarControl kCharsetRow[] = {
    {2700, Kind::kRadio, "英文", 0, kCharsetJapanese, kCharsetJapanese, kCharset, kCharsetLatin},
    {2701, Kind::kRadio, "日文", 0, kCharsetJapanese, kCharsetJapanese, kCharset, kCharsetJapanese},
};
const BarControl kSizeRow[] = {
    {0, Kind::kLabel, "サイズ"},
    {2702, Kind::kEdit, nullptr, 6, 720, 36, kSize, 0, 10, 3},
    {2703, Kind::kUpDown, nullptr, 6, 720, 36, kSize},
    {0, Kind::kLabel, "間隔"},
    {2704, Kind::kEdit, nullptr, 0, 99, 0, kSpacing, 0, 10, 2},
    {2705, Kind::kUpDown, nullptr, 0, 99, 0, kSpacing},
};
const BarControl kStyleRow[] = {
    {2706, Kind::kCheck, "太字", 0, 1, 0, kBold},
    {2707, Kind::kCheck, "斜体", 0, 1, 0, kItalic},
    {2708, Kind::kCheck, "影", 0, 1, 1, kShadow},
};
const BarControl kShadowRow[] = {
    {0, Kind::kLabel, "X:"},
    {2709, Kind::kEdit, nullptr, 1, 99, 2, kShadowX, 0, 10, 2},
    {2710, Kind::kUpDown, nullptr, 1, 99, 2, kShadowX},
    {0, Kind::kLabel, "Y:"},
    {2711, Kind::kEdit, nullptr, 1, 99, 2, kShadowY, 0, 10, 2},
    {2712, Kind::kUpDown, nullptr, 1, 99, 2, kShadowY},
    {0, Kind::kLabel, "影の色"},
    {2713, Kind::kColourBox, nullptr, 0, 0xFFFFFF, 0, kShadowColour},
};

int Rgb(uint8_t r, uint8_t g, uint8_t b) { return (r << 16) | (g << 8) | b; }

}  // namespace

FontWindow::FontWindow(TextSettings& settings, const DialogRunner& run, QWidget* owner)
    : QWidget(owner, Qt::Tool), s_(settings) {
    setWindowTitle(QStringLiteral("フォント設定"));
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(4, 2, 4, 2);
    rows->setSpacing(1);
    auto* first = new QHBoxLayout;
    faces_ = new QComboBox(this);
    faces_->setMinimumWidth(120);
    first->addWidget(faces_, 1);
    rows->addLayout(first);
    for (std::span<const BarControl> table :
         {std::span<const BarControl>(kCharsetRow), std::span<const BarControl>(kSizeRow),
          std::span<const BarControl>(kStyleRow), std::span<const BarControl>(kShadowRow)}) {
        auto* strip = new ControlStrip(table, kParams, this);
        strip->SetDialogRunner(run);
        strips_.push_back(strip);
        if (table.data() == kCharsetRow) first->addWidget(strip);
        else rows->addWidget(strip);
        connect(strip, &ControlStrip::valueChanged, this, &FontWindow::OnValue);
        connect(strip, &ControlStrip::keysSuspendedChanged, this, &FontWindow::keysSuspendedChanged);
    }
    const int values[kParams] = {s_.size,          s_.spacing,
                                 s_.weight >= 700, s_.italic,
                                 s_.shadow,        s_.shadowX,
                                 s_.shadowY,       Rgb(s_.shadowRed, s_.shadowGreen, s_.shadowBlue),
                                 s_.charset};
    for (ControlStrip* strip : strips_)
        for (int p = 0; p < kParams; ++p)
            strip->SetValue(p, values[p]);
    FillFaces();
    connect(faces_, &QComboBox::activated, this, [this](int index) {
        if (index < 0) return;
        (s_.charset == kCharsetLatin ? s_.faceLatin : s_.faceJapanese) = faces_->itemText(index).toStdString();
        emit changed(true);
    });
    setFixedWidth(272);
    adjustSize();
}

FontWindow::~FontWindow() {
    // The rows go after this part of the window: nothing of theirs reaches it any more.
    for (ControlStrip* strip : strips_) disconnect(strip, nullptr, this, nullptr);
}

QWidget* FontWindow::control(int id) const {
    for (ControlStrip* strip : strips_)
        if (QWidget* w = strip->control(id)) return w;
    return nullptr;
}

void FontWindow::FillFaces() {
    const QSignalBlocker block(faces_);
    faces_->clear();
    for (const std::string& face : ListFontFaces(s_.charset)) faces_->addItem(QString::fromStdString(face));
    // A face that is not in the list leaves it without a selection and is still used.
    const std::string& face = s_.charset == kCharsetLatin ? s_.faceLatin : s_.faceJapanese;
    faces_->setCurrentIndex(faces_->findText(QString::fromStdString(face), Qt::MatchExactly));
}

void FontWindow::OnValue(int param, int v) {
    bool rebuild = false;
    switch (param) {
        case kSize: s_.size = v, rebuild = true; break;
        case kSpacing: s_.spacing = v; break;
        case kBold: s_.weight = v ? 700 : 400, rebuild = true; break;
        case kItalic: s_.italic = v != 0, rebuild = true; break;
        case kShadow: s_.shadow = v != 0, rebuild = true; break;
        case kShadowX: s_.shadowX = v; break;
        case kShadowY: s_.shadowY = v; break;
        case kShadowColour:
            s_.shadowRed = static_cast<uint8_t>(v >> 16);
            s_.shadowGreen = static_cast<uint8_t>(v >> 8);
            s_.shadowBlue = static_cast<uint8_t>(v);
            break;
        case kCharset:
            s_.charset = v;
            FillFaces();
            rebuild = true;
            break;
        default: return;
    }
    emit changed(rebuild);
}

}  // namespace lumra::ui
