#include "ui/save_settings_bar.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QToolBar>

#include "shell/session.h"
#include "ui/operation_bar.h"

namespace lumra::ui {

namespace {

struct CommandButton {
    int id;
    const char* text;
    bool checkable;
};

constexpr CommandButton kButtons[] = {
    {5800, "誤差拡散(減色用)", true},
    {5810, "プレビュー", false},
    {5820, "インターレース", true},
    {5830, "透過色選択/保存", true},
    {5840, "ガンマ補正値保存", true},
    {5850, "プログレッシブ", true},
    {5860, "サンプル比 4:1", true},
    {5861, "サンプル比 2:1", true},
    {5862, "サンプル比 1:1", true},
    {5870, "すべてのマーカーを破棄", true},
    {5871, "コメントマーカーのみ保存", true},
    {5872, "すべてのマーカーを保存", true},
    {5880, "変換不能領域削除", true},
    {5890, "コメント作成/保存", true},
};

uint32_t AlphaColour(const SImgSettings& s) {
    return (static_cast<uint32_t>(s.alphaR & 0xFF) << 16) | (static_cast<uint32_t>(s.alphaG & 0xFF) << 8) |
           static_cast<uint32_t>(s.alphaB & 0xFF);
}

}  // namespace

SaveSettingsBar::SaveSettingsBar(Session& session, QWidget* parent) : QWidget(parent), session_(session) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 1, 2, 1);
    layout->setSpacing(4);
    caption_ = new QLabel(QStringLiteral("保存設定"), this);
    layout->addWidget(caption_);

    formats_ = new QComboBox(this);
    formats_->setToolTip(QStringLiteral("保存ファイル形式"));
    formats_->setAccessibleName(formats_->toolTip());
    depths_ = new QComboBox(this);
    depths_->setToolTip(QStringLiteral("ビット深度"));
    depths_->setAccessibleName(depths_->toolTip());
    layout->addWidget(formats_);
    layout->addWidget(depths_);
    connect(formats_, &QComboBox::activated, this, [this](int index) {
        if (ChooseSaveFormat(session_.settings.simg, index, SaveBarContextOf(session_))) {
            Refresh();
            emit settingsChanged();
        }
    });
    connect(depths_, &QComboBox::activated, this, [this](int index) {
        if (ChooseDepthEntry(session_.settings.simg, index)) {
            Refresh();
            emit settingsChanged();
        }
    });
    for (QComboBox* list : {formats_, depths_}) list->setFocusPolicy(Qt::NoFocus);

    toolBar_ = new QToolBar(this);
    toolBar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    toolBar_->setIconSize(QSize(16, 16));
    for (const CommandButton& b : kButtons) {
        QAction* a = toolBar_->addAction(QString::fromUtf8(b.text));
        a->setData(b.id);
        a->setCheckable(b.checkable);
        a->setToolTip(a->text());
        connect(a, &QAction::triggered, this, [this, id = b.id] {
            RunCommand(id);
            Refresh();  // a refused command puts its button back
        });
    }
    layout->addWidget(toolBar_);

    for (int g = 0; g < kSaveFieldGroupCount; ++g) {
        auto* strip = new ControlStrip(SaveFieldGroup(g), kSaveFieldCount, this);
        groups_[static_cast<size_t>(g)] = strip;
        layout->addWidget(strip);
        connect(strip, &ControlStrip::valueChanged, this, [this](int field, int value) {
            SetSaveField(session_.settings.simg, field, value);
            if (field == kFieldJpgLimit) Refresh();
            emit settingsChanged();
        });
        connect(strip, &ControlStrip::keysSuspendedChanged, this, &SaveSettingsBar::keysSuspendedChanged);
    }

    swatchField_ = new QWidget(this);
    auto* swatchLayout = new QHBoxLayout(swatchField_);
    swatchLayout->setContentsMargins(0, 0, 0, 0);
    swatch_ = new ColourBox(swatchField_);
    swatch_->setToolTip(QStringLiteral("透過色/選択"));
    swatchLayout->addWidget(swatch_);
    layout->addWidget(swatchField_);
    connect(swatch_, &ColourBox::colourChosen, this, [this](int, uint32_t rgb) {
        SImgSettings& s = session_.settings.simg;
        s.alphaR = static_cast<int>((rgb >> 16) & 0xFF);
        s.alphaG = static_cast<int>((rgb >> 8) & 0xFF);
        s.alphaB = static_cast<int>(rgb & 0xFF);
        emit settingsChanged();
    });
    layout->addStretch(1);
    Refresh();
}

QAction* SaveSettingsBar::action(int id) const {
    for (QAction* a : toolBar_->actions())
        if (a->data().toInt() == id) return a;
    return nullptr;
}

void SaveSettingsBar::SetDialogRunner(const DialogRunner& run) { swatch_->SetDialogRunner(run); }

void SaveSettingsBar::Refresh() {
    if (refreshing_) return;
    refreshing_ = true;
    SImgSettings& s = session_.settings.simg;
    const SaveBarContext ctx = SaveBarContextOf(session_);

    const int format = SelectSaveFormat(s, ctx);
    {
        const QSignalBlocker block(formats_);
        formats_->clear();
        for (int f = 0; f < SaveFormatEntryCount(ctx); ++f)
            formats_->addItem(QString::fromUtf8(SaveFormatLabel(f)));
        formats_->setCurrentIndex(format);
    }
    {
        const QSignalBlocker block(depths_);
        const int entry = SelectDepthEntry(s, ctx);
        depths_->clear();
        for (const DepthEntry& d : DepthEntries(format)) depths_->addItem(QString::fromUtf8(d.label));
        depths_->setCurrentIndex(entry);
        depths_->setEnabled(DepthListEnabled(s, ctx));
    }
    for (QAction* a : toolBar_->actions()) {
        const int id = a->data().toInt();
        a->setVisible(SaveCommandShown(id, s));
        a->setEnabled(SaveCommandEnabled(id, s, ctx));
        if (a->isCheckable()) a->setChecked(SaveCommandChecked(id, s, session_.picture));
    }
    for (int g = 0; g < kSaveFieldGroupCount; ++g) {
        ControlStrip* strip = groups_[static_cast<size_t>(g)];
        strip->setVisible(SaveFieldGroupShown(g, s));
        for (int field = 0; field < kSaveFieldCount; ++field) {
            strip->SetValue(field, GetSaveField(s, field));
            strip->SetParamEnabled(field, SaveFieldEnabled(field, s));
        }
    }
    swatchField_->setVisible(TransparentSwatchShown(s));
    swatch_->SetColour(AlphaColour(s));
    refreshing_ = false;
}

bool SaveSettingsBar::RunCommand(int id) {
    const SaveBarContext ctx = SaveBarContextOf(session_);
    const SaveCommandEffect effect = ApplySaveCommand(id, session_.settings.simg, session_.picture, ctx);
    switch (effect) {
        case SaveCommandEffect::kNone: return false;
        case SaveCommandEffect::kChanged:
            Refresh();
            emit settingsChanged();
            return true;
        case SaveCommandEffect::kPreview: {
            const bool ok = TrialSave(session_);
            emit previewDone(ok);
            return true;
        }
        case SaveCommandEffect::kPickTransparent:
            Refresh();
            emit transparentPickRequested();
            return true;
        case SaveCommandEffect::kCreateComment: emit commentRequested(); return true;
    }
    return false;
}

void SaveSettingsBar::FinishTransparentPick(std::optional<uint32_t> rgb) {
    lumra::FinishTransparentPick(session_.settings.simg, session_.picture, rgb);
    Refresh();
    emit settingsChanged();
}

}  // namespace lumra::ui
