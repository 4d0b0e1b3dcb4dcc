#include "ui/operation_bar.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include "edit/edit_model.h"
#include "shell/command_catalogue.h"

namespace lumra::ui {

namespace {

QString Text(const char* utf8) { return utf8 ? QString::fromUtf8(utf8) : QString(); }

// Clears the controls-live flag while the program writes into the controls.
class Quiet {
public:
    explicit Quiet(bool& live) : live_(live), was_(live) { live_ = false; }
    ~Quiet() { live_ = was_; }
    Quiet(const Quiet&) = delete;
    Quiet& operator=(const Quiet&) = delete;

private:
    bool& live_;
    bool was_;
};

}  // namespace

UpDownControl::UpDownControl(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto make = [this, layout](Qt::ArrowType arrow, int steps) {
        auto* b = new QToolButton(this);
        b->setArrowType(arrow);
        b->setAutoRepeat(true);
        b->setFixedSize(16, 11);
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QToolButton::clicked, this, [this, steps] { emit stepped(steps); });
        layout->addWidget(b);
        return b;
    };
    up_ = make(Qt::UpArrow, 1);
    down_ = make(Qt::DownArrow, -1);
}

ControlStrip::ControlStrip(std::span<const BarControl> controls, int paramCount, QWidget* parent)
    : QWidget(parent), values_(static_cast<size_t>(std::max(paramCount, 0)), 0),
      ranges_(values_.size(), {0, 0}) {
    for (const BarControl& c : controls) {
        if (c.param < 0 || c.param >= paramCount || !HoldsValue(c.kind)) continue;
        values_[static_cast<size_t>(c.param)] = c.def;
        ranges_[static_cast<size_t>(c.param)] = {c.min, c.max};
    }
    Build(controls);
    live_ = true;
}

ControlStrip::~ControlStrip() {
    for (Entry& e : entries_)
        if (qobject_cast<QLineEdit*>(e.widget)) e.widget->removeEventFilter(this);
    if (suspended_) emit keysSuspendedChanged(false);
}

void ControlStrip::Build(std::span<const BarControl> controls) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    entries_.reserve(controls.size());
    std::map<int, QButtonGroup*> radioGroups;
    for (const BarControl& c : controls) {
        const bool valued = HoldsValue(c.kind) && c.param >= 0 &&
                            c.param < static_cast<int>(values_.size());
        if (HoldsValue(c.kind) && !valued) continue;  // a value with nowhere to go
        const int v = valued ? values_[static_cast<size_t>(c.param)] : 0;
        entries_.push_back({c, nullptr});
        const size_t index = entries_.size() - 1;
        auto entry = [this, index]() -> const Entry& { return entries_[index]; };
        QWidget* w = nullptr;
        switch (c.kind) {
            case BarControlKind::kLabel: w = new QLabel(Text(c.caption), this); break;
            case BarControlKind::kTrackbar: {
                auto* s = new QSlider(Qt::Horizontal, this);
                s->setRange(c.min, c.max);
                s->setPageStep(c.pageSize);
                s->setTickPosition(QSlider::NoTicks);
                s->setValue(v);
                s->setFixedWidth(120);
                connect(s, &QSlider::valueChanged, this, [this, entry](int p) { OnTrackbar(entry(), p); });
                w = s;
                break;
            }
            case BarControlKind::kEdit:
            case BarControlKind::kTextEdit: {
                auto* e = new QLineEdit(this);
                if (c.maxChars > 0) e->setMaxLength(c.maxChars);
                if (c.kind == BarControlKind::kEdit) {
                    e->setText(QString::fromStdString(FormatControlValue(c, v)));
                    e->setAttribute(Qt::WA_InputMethodEnabled, false);
                    const int chars = c.maxChars > 0 ? c.maxChars : 6;
                    e->setFixedWidth(e->fontMetrics().horizontalAdvance(QLatin1Char('0')) * (chars + 1) + 8);
                    connect(e, &QLineEdit::textChanged, this,
                            [this, entry](const QString& t) { OnEditText(entry(), t); });
                } else {
                    e->setMinimumWidth(120);
                }
                e->installEventFilter(this);
                w = e;
                break;
            }
            case BarControlKind::kUpDown: {
                auto* u = new UpDownControl(this);
                connect(u, &UpDownControl::stepped, this, [this, entry](int n) { OnUpDown(entry(), n); });
                w = u;
                break;
            }
            case BarControlKind::kCheck: {
                auto* b = new QCheckBox(Text(c.caption), this);
                b->setChecked(v != 0);
                connect(b, &QCheckBox::toggled, this, [this, entry, b](bool on) {
                    if (live_) Store(entry().control.param, on ? 1 : 0, b);
                });
                w = b;
                break;
            }
            case BarControlKind::kRadio: {
                auto* b = new QRadioButton(Text(c.caption), this);
                QButtonGroup*& group = radioGroups[c.param];
                if (!group) group = new QButtonGroup(this);
                group->addButton(b);
                b->setChecked(v == c.value);
                connect(b, &QRadioButton::toggled, this, [this, entry, b](bool on) {
                    if (live_ && on) Store(entry().control.param, entry().control.value, b);
                });
                w = b;
                break;
            }
            case BarControlKind::kButton: {
                auto* b = new QPushButton(Text(c.caption), this);
                b->setFocusPolicy(Qt::NoFocus);
                connect(b, &QPushButton::clicked, this, [this, entry] { emit buttonClicked(entry().control.id); });
                w = b;
                break;
            }
            case BarControlKind::kColourBox: {
                auto* box = new ColourBox(this, c.id);
                box->SetColour(static_cast<uint32_t>(v));
                connect(box, &ColourBox::colourChosen, this, [this, entry, box](int, uint32_t rgb) {
                    if (live_) Store(entry().control.param, static_cast<int>(rgb), box);
                });
                w = box;
                break;
            }
            case BarControlKind::kCombo: {
                auto* combo = new QComboBox(this);
                for (int i = 0; i < ComboItemCount(c); ++i)
                    combo->addItem(QString::fromStdString(ComboItem(c, i)));
                combo->setCurrentIndex(v);
                connect(combo, &QComboBox::currentIndexChanged, this, [this, entry, combo](int i) {
                    if (live_ && i >= 0) Store(entry().control.param, i, combo);
                });
                combo->installEventFilter(this);
                w = combo;
                break;
            }
        }
        entries_.back().widget = w;
        layout->addWidget(w);
    }
    layout->addStretch(1);
}

BarControl ControlStrip::Ranged(const BarControl& c) const {
    BarControl r = c;
    if (c.param >= 0 && c.param < static_cast<int>(ranges_.size())) {
        r.min = ranges_[static_cast<size_t>(c.param)].first;
        r.max = ranges_[static_cast<size_t>(c.param)].second;
    }
    return r;
}

int ControlStrip::value(int param) const {
    if (param < 0 || param >= static_cast<int>(values_.size())) return 0;
    return values_[static_cast<size_t>(param)];
}

void ControlStrip::SetValue(int param, int value) {
    if (param < 0 || param >= static_cast<int>(values_.size())) return;
    const auto [min, max] = ranges_[static_cast<size_t>(param)];
    values_[static_cast<size_t>(param)] = min <= max ? std::clamp(value, min, max) : value;
    Show(param, nullptr);
}

void ControlStrip::SetRange(int param, int min, int max) {
    if (param < 0 || param >= static_cast<int>(values_.size()) || min > max) return;
    Quiet quiet(live_);
    ranges_[static_cast<size_t>(param)] = {min, max};
    for (Entry& e : entries_)
        if (e.control.param == param)
            if (auto* s = qobject_cast<QSlider*>(e.widget)) s->setRange(min, max);
    SetValue(param, values_[static_cast<size_t>(param)]);
}

void ControlStrip::SetParamEnabled(int param, bool enabled) {
    for (Entry& e : entries_)
        if (e.control.param == param && HoldsValue(e.control.kind)) e.widget->setEnabled(enabled);
}

QWidget* ControlStrip::control(int id) const {
    for (const Entry& e : entries_)
        if (e.control.id == id && id != 0) return e.widget;
    return nullptr;
}

const ControlStrip::Entry* ControlStrip::EditEntry(int param) const {
    for (const Entry& e : entries_)
        if (e.control.param == param && e.control.kind == BarControlKind::kEdit) return &e;
    return nullptr;
}

QLineEdit* ControlStrip::editBox(int param) const {
    const Entry* e = EditEntry(param);
    return e ? static_cast<QLineEdit*>(e->widget) : nullptr;
}

void ControlStrip::SetDialogRunner(const DialogRunner& run) {
    for (Entry& e : entries_)
        if (auto* box = qobject_cast<ColourBox*>(e.widget)) box->SetDialogRunner(run);
}

void ControlStrip::Store(int param, int v, QWidget* source) {
    values_[static_cast<size_t>(param)] = v;
    Show(param, source);
    emit valueChanged(param, v);
}

void ControlStrip::Show(int param, QWidget* except) {
    Quiet quiet(live_);
    const int v = values_[static_cast<size_t>(param)];
    for (Entry& e : entries_) {
        if (e.control.param != param || e.widget == except || !HoldsValue(e.control.kind)) continue;
        switch (e.control.kind) {
            case BarControlKind::kTrackbar: static_cast<QSlider*>(e.widget)->setValue(v); break;
            case BarControlKind::kEdit: {
                auto* edit = static_cast<QLineEdit*>(e.widget);
                if (ParseControlText(Ranged(e.control), edit->text().toStdString()) != v)
                    edit->setText(QString::fromStdString(FormatControlValue(e.control, v)));
                break;
            }
            case BarControlKind::kCheck: static_cast<QCheckBox*>(e.widget)->setChecked(v != 0); break;
            case BarControlKind::kRadio:
                static_cast<QRadioButton*>(e.widget)->setChecked(v == e.control.value);
                break;
            case BarControlKind::kColourBox:
                static_cast<ColourBox*>(e.widget)->SetColour(static_cast<uint32_t>(v));
                break;
            case BarControlKind::kCombo: static_cast<QComboBox*>(e.widget)->setCurrentIndex(v); break;
            default: break;
        }
    }
}

void ControlStrip::OnTrackbar(const Entry& e, int position) {
    if (!live_) return;
    // The trackbar writes its companion box, whose change does the rest.
    if (const Entry* box = EditEntry(e.control.param)) {
        static_cast<QLineEdit*>(box->widget)->setText(QString::fromStdString(FormatControlValue(box->control, position)));
        return;
    }
    const int v = ClampToControl(Ranged(e.control), position);
    if (v != value(e.control.param)) Store(e.control.param, v, e.widget);
}

void ControlStrip::OnEditText(const Entry& e, const QString& text) {
    if (!live_) return;
    const std::optional<int> v = EditBoxChange(Ranged(e.control), value(e.control.param), text.toStdString());
    if (v) Store(e.control.param, *v, e.widget);
}

void ControlStrip::OnUpDown(const Entry& e, int steps) {
    if (!live_) return;
    const int v = UpDownStep(Ranged(e.control), value(e.control.param), steps);
    if (v == value(e.control.param)) return;
    if (const Entry* box = EditEntry(e.control.param)) {
        static_cast<QLineEdit*>(box->widget)->setText(QString::fromStdString(FormatControlValue(box->control, v)));
        return;
    }
    Store(e.control.param, v, e.widget);
}

bool ControlStrip::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::FocusIn && event->type() != QEvent::FocusOut)
        return QWidget::eventFilter(watched, event);
    const bool in = event->type() == QEvent::FocusIn;
    if (suspended_ != in) {
        suspended_ = in;
        emit keysSuspendedChanged(in);
    }
    // Leaving a number box shows the stored value again.
    if (!in)
        for (Entry& e : entries_)
            if (e.widget == watched && e.control.kind == BarControlKind::kEdit) {
                Quiet quiet(live_);
                static_cast<QLineEdit*>(e.widget)->setText(
                    QString::fromStdString(FormatControlValue(e.control, value(e.control.param))));
            }
    return QWidget::eventFilter(watched, event);
}

OperationBar::OperationBar(const QString& caption, std::span<const BarControl> controls, QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 1, 2, 1);
    layout->setSpacing(4);
    caption_ = new QLabel(caption, this);
    layout->addWidget(caption_);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    for (QPushButton* b : {ok, cancel}) {
        b->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(b);
    }
    ok_ = ok;
    cancel_ = cancel;
    connect(ok, &QPushButton::clicked, this, [this] { emit command(kCmdOperationOk); });
    connect(cancel, &QPushButton::clicked, this, [this] { emit command(kCmdOperationCancel); });
    strip_ = new ControlStrip(controls, kMaxOperationParams, this);
    layout->addWidget(strip_, 1);
    connect(strip_, &ControlStrip::valueChanged, this, &OperationBar::valueChanged);
    connect(strip_, &ControlStrip::buttonClicked, this, &OperationBar::buttonClicked);
    connect(strip_, &ControlStrip::keysSuspendedChanged, this, &OperationBar::keysSuspendedChanged);
}

OperationBar::OperationBar(const OperationDef& def, QWidget* parent)
    : OperationBar(Text(def.historyName),
                   def.controls ? std::span<const BarControl>(def.controls, static_cast<size_t>(def.controlCount))
                                : std::span<const BarControl>(),
                   parent) {}

OperationBar::~OperationBar() {
    // The keys come back even when the bar goes while one of its boxes has them.
    disconnect(strip_, nullptr, this, nullptr);
    if (strip_->keysSuspended()) emit keysSuspendedChanged(false);
}

}  // namespace lumra::ui
