#include "ui/tool_bar_strip.h"

#include <QAction>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QToolBar>
#include <QToolButton>

#include "shell/command_catalogue.h"
#include "shell/menu_model.h"
#include "ui/tool_icons.h"

namespace lumra::ui {

namespace {

constexpr int kFullScreenSpacerWidth = 8;

}  // namespace

InfoField::InfoField(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setFixedHeight(kInfoFieldHeight);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void InfoField::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit doubleClicked();
}

ToolBarStrip::ToolBarStrip(QWidget* parent, std::function<void(int)> runCommand, std::function<void()> focusBack)
    : QWidget(parent), runCommand_(std::move(runCommand)), focusBack_(std::move(focusBack)) {
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
    setContextMenuPolicy(Qt::PreventContextMenu);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 0);
    layout->setSpacing(0);
    toolBar_ = new QToolBar(this);
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    toolBar_->setIconSize(QSize(16, 16));
    toolBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolBar_->setContextMenuPolicy(Qt::PreventContextMenu);
    toolBar_->setStyleSheet(QStringLiteral("QToolBar { border: none; background: transparent; }"));
    toolBar_->installEventFilter(this);
    layout->addWidget(toolBar_);

    const MenuMode mode;
    for (int id : ToolBarLayout()) {
        QAction* action = nullptr;
        if (id == kIdSeparator) {
            action = toolBar_->addSeparator();
        } else if (id == kIdSpacerRight) {
            wideSpacer_ = new QWidget(toolBar_);
            wideSpacer_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
            auto* spacerLayout = new QHBoxLayout(wideSpacer_);
            spacerLayout->setContentsMargins(6, 0, 6, 0);
            info_ = new InfoField(wideSpacer_);
            spacerLayout->addWidget(info_, 1, Qt::AlignVCenter);
            connect(info_, &InfoField::doubleClicked, this, [this] { runCommand_(kCmdFullScreen); });
            action = toolBar_->addWidget(wideSpacer_);
        } else if (id == kIdSpacerFullScreen) {
            auto* spacer = new QWidget(toolBar_);
            spacer->setFixedWidth(kFullScreenSpacerWidth);
            action = toolBar_->addWidget(spacer);
        } else {
            action = toolBar_->addAction(ToolIcon(id), QString::fromStdString(ToolBarTip(id, mode)));
            action->setToolTip(QString::fromStdString(ToolBarTip(id, mode)));
            connect(action, &QAction::triggered, this, [this, id] { runCommand_(id); });
            if (QWidget* button = toolBar_->widgetForAction(action)) {
                button->setFocusPolicy(Qt::NoFocus);
                button->installEventFilter(this);
            }
        }
        action->setData(id);
        items_.emplace_back(id, action);
    }
    setFixedHeight(kToolBarStripHeight);
    SetFullScreenLayout(false);
}

QAction* ToolBarStrip::ActionFor(int id) const {
    for (const auto& [itemId, action] : items_) {
        if (itemId == id) return action;
    }
    return nullptr;
}

void ToolBarStrip::SetFullScreenLayout(bool fullScreen) {
    fullScreen_ = fullScreen;
    MenuMode mode;
    mode.fullScreen = fullScreen;
    for (const auto& [id, action] : items_) {
        if (ToolBarFullScreenOnly(id)) action->setVisible(fullScreen);
        // The full-screen button says which way it goes.
        if (id == kCmdFullScreen) action->setToolTip(QString::fromStdString(ToolBarTip(id, mode)));
    }
    info_->setVisible(fullScreen);
}

void ToolBarStrip::SetInfoText(const QString& text) { info_->setText(text); }

void ToolBarStrip::FitToClient(int clientWidth) { setGeometry(-2, -2, clientWidth + 4, kToolBarStripHeight); }

bool ToolBarStrip::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (focusBack_) focusBack_();
        // Right presses do nothing on the tool bar.
        if (mouse->button() == Qt::RightButton) return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace lumra::ui
