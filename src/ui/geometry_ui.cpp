#include "ui/geometry_ui.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QEvent>
#include <QGridLayout>
#include <QLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "edit/edit_model.h"
#include "edit/geometry/geometry_ops.h"
#include "shell/geometry_settings_file.h"
#include "shell/session.h"
#include "ui/app.h"
#include "ui/edit_window.h"

namespace lumra::ui {
namespace {

constexpr int kClippedBarHint = 200;

GeometrySettings g_prefs;
std::function<void()> g_cleanup;

}  // namespace

PaneOverlay::PaneOverlay(QWidget* canvas, PaintFn paint) : QWidget(canvas), paint_(std::move(paint)) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setGeometry(canvas->rect());
    canvas->installEventFilter(this);
    show();
}

void PaneOverlay::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (paint_) paint_(p);
}

bool PaneOverlay::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parent() && event->type() == QEvent::Resize) setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

ClippedOperationBar::ClippedOperationBar(const OperationDef& def) : OperationBar(def) {
    SetCaption(QString());  // the band shows the operation's name
    layout()->setSizeConstraint(QLayout::SetNoConstraint);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

QSize ClippedOperationBar::sizeHint() const {
    QSize s = OperationBar::sizeHint();
    s.setWidth(std::min(s.width(), kClippedBarHint));
    return s;
}

QSize ClippedOperationBar::minimumSizeHint() const { return sizeHint(); }

GeometrySettings& GeometryPrefs() { return g_prefs; }

void SeedGeometry(Session& session, EditModel& model) {
    g_prefs = LoadGeometrySettings(session.settingsPath);
    if (model.active) ApplyGeometrySettings(*model.active, g_prefs);
}

void StoreGeometry(Session&, const EditModel& model) {
    if (model.active) SaveGeometrySettings(*model.active, g_prefs);
}

void SetGeometryCleanup(std::function<void()> cleanup) { g_cleanup = std::move(cleanup); }

void EndGeometry(EditWindow& window) {
    if (g_cleanup) {
        auto cleanup = std::move(g_cleanup);
        g_cleanup = nullptr;
        cleanup();
    }
    window.SetPaneMouseHandler(nullptr);
    window.SetLayoutLock(nullptr);
    window.SetViewMovedHook(nullptr);
    for (EditPane* pane : {window.sourcePane(), window.previewPane()}) {
        pane->horizontalBar()->setEnabled(true);
        pane->verticalBar()->setEnabled(true);
    }
    // Written whether the operation was committed or not.
    StoreGeometrySettings(window.app().settingsPath(), g_prefs);
}

bool RunRegistration(EditWindow& window, QWidget* below, const char* title, std::array<std::pair<int, int>, 9>& rows,
                     bool ratios) {
    QDialog dialog(&window);
    dialog.setWindowTitle(QString::fromUtf8(title));
    auto* layout = new QVBoxLayout(&dialog);
    auto* grid = new QGridLayout;
    layout->addLayout(grid);
    std::vector<std::pair<QLineEdit*, QLineEdit*>> edits;
    for (int i = 1; i <= 8; ++i) {
        grid->addWidget(new QLabel(QString::number(i), &dialog), i - 1, 0);
        auto make = [&dialog](int v) {
            auto* e = new QLineEdit(QString::number(v), &dialog);
            e->setMaxLength(4);
            e->setAttribute(Qt::WA_InputMethodEnabled, false);
            e->setFixedWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 8);
            return e;
        };
        const auto& [w, h] = rows[static_cast<size_t>(i)];
        QLineEdit* first = make(w);  // in this order, for the tab order
        edits.emplace_back(first, make(h));
        grid->addWidget(edits.back().first, i - 1, 1);
        grid->addWidget(new QLabel(ratios ? QStringLiteral(":") : QStringLiteral("x"), &dialog), i - 1, 2);
        grid->addWidget(edits.back().second, i - 1, 3);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (below) dialog.move(below->mapToGlobal(QPoint(0, below->height())));
    window.app().SetAcceleratorsSuspended(true);
    const int result = window.app().RunDialog(dialog);
    window.app().SetAcceleratorsSuspended(false);
    if (result != QDialog::Accepted) return false;
    for (size_t i = 1; i <= 8; ++i) {
        const std::string w = edits[i - 1].first->text().toStdString();
        const std::string h = edits[i - 1].second->text().toStdString();
        if (ratios) {
            const RatioEntry r = RegisteredRatio(w, h);
            rows[i] = {r.w, r.h};
        } else {
            const SizePreset p = RegisteredSize(w, h);
            rows[i] = {p.w, p.h};
        }
    }
    return true;
}

}  // namespace lumra::ui
