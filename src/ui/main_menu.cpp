#include "ui/main_menu.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOptionMenuItem>
#include <algorithm>

namespace lumra::ui {

namespace {

constexpr int kCheckBoxOffset = 4;
constexpr int kCheckBoxSize = 10;
// Room the system keeps for a check mark beside the measured text.
constexpr int kCheckColumn = 16;
constexpr int kSeparatorHeight = 9;

QStyle* BaseStyle() {
    QStyle* app = QApplication::style();
    QStyle* copy = app ? QStyleFactory::create(app->name()) : nullptr;
    return copy ? copy : QStyleFactory::create(QStringLiteral("Fusion"));
}

// The item text without "&" markers ("&&" stays one "&").
QString WithoutMnemonic(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size()) {
            ++i;
        }
        out += text[i];
    }
    return out;
}

// The widest key text of a menu, which the menu adds to its item column.
int MenuKeyColumn(const QWidget* widget) {
    const auto* menu = qobject_cast<const QMenu*>(widget);
    if (!menu) return 0;
    const QFontMetrics fm = menu->fontMetrics();
    int widest = 0;
    for (const QAction* action : menu->actions()) {
        const int tab = action->text().indexOf(QLatin1Char('\t'));
        if (tab >= 0) widest = std::max(widest, fm.horizontalAdvance(action->text().mid(tab + 1)));
    }
    return widest;
}

void FillMenu(QMenu& menu, const std::vector<MenuNode>& nodes, const AcceleratorTable& table) {
    for (const MenuNode& node : nodes) {
        if (node.IsSeparator()) {
            menu.addSeparator();
            continue;
        }
        if (node.IsSubMenu()) {
            auto* sub = new QMenu(QString::fromStdString(node.text), &menu);
            sub->setStyle(SharedMenuStyle());
            sub->menuAction()->setData(node.id);
            sub->menuAction()->setText(QString::fromStdString(node.text));
            FillMenu(*sub, node.children, table);
            menu.addMenu(sub);
            continue;
        }
        auto* action = new QAction(MenuItemText(MakeMenuRecord(node.text, node.id, table)), &menu);
        action->setData(node.id);
        if (node.radio) {
            action->setCheckable(true);
            action->setProperty("radio", true);
        }
        menu.addAction(action);
    }
}

}  // namespace

MenuStyle::MenuStyle() : QProxyStyle(BaseStyle()) {}

MenuStyle* SharedMenuStyle() {
    static MenuStyle* style = [] {
        auto* s = new MenuStyle;
        s->setParent(qApp);
        return s;
    }();
    return style;
}

int MenuStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const {
    switch (metric) {
        case PM_MenuPanelWidth: return 2;
        case PM_MenuHMargin: return 1;
        case PM_MenuVMargin: return 1;
        case PM_SubMenuOverlap: return 0;
        default: return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

int MenuStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                         QStyleHintReturn* returnData) const {
    switch (hint) {
        case SH_Menu_MouseTracking:
        case SH_Menu_AllowActiveAndDisabled:
            return 1;
        case SH_UnderlineShortcut:
            return 1;
        default: return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
}

void MenuStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                              const QWidget* widget) const {
    if (element == PE_FrameMenu || element == PE_PanelMenu) {
        const QRect r = option->rect;
        painter->save();
        painter->fillRect(r, option->palette.color(QPalette::Window));
        if (element == PE_FrameMenu || widget) {
            // A raised two-pixel edge.
            painter->setPen(option->palette.color(QPalette::Light));
            painter->drawLine(r.left(), r.top(), r.right() - 1, r.top());
            painter->drawLine(r.left(), r.top(), r.left(), r.bottom() - 1);
            painter->setPen(option->palette.color(QPalette::Shadow));
            painter->drawLine(r.left(), r.bottom(), r.right(), r.bottom());
            painter->drawLine(r.right(), r.top(), r.right(), r.bottom());
            painter->setPen(option->palette.color(QPalette::Mid));
            painter->drawLine(r.left() + 1, r.bottom() - 1, r.right() - 1, r.bottom() - 1);
            painter->drawLine(r.right() - 1, r.top() + 1, r.right() - 1, r.bottom() - 1);
        }
        painter->restore();
        return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

QSize MenuStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                                  const QWidget* widget) const {
    if (type != CT_MenuItem) return QProxyStyle::sizeFromContents(type, option, size, widget);
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (!item) return QProxyStyle::sizeFromContents(type, option, size, widget);
    if (item->menuItemType == QStyleOptionMenuItem::Separator) return QSize(10, kSeparatorHeight);
    const QFontMetrics fm(item->font);
    const QString text = item->text;
    const int tab = text.indexOf(QLatin1Char('\t'));
    const QString label = WithoutMnemonic(tab < 0 ? text : text.left(tab));
    const QString key = tab < 0 ? QString() : text.mid(tab + 1);
    // The extent of text, prefix and key name, plus 20, and the check column the system
    // adds. The menu widens its column by its widest key text afterwards: taken off here.
    const int width = fm.horizontalAdvance(label + key) + kMenuTextLeft + kCheckColumn - MenuKeyColumn(widget);
    return QSize(width, fm.height() + 6);
}

void MenuStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                            const QWidget* widget) const {
    if (element == CE_MenuEmptyArea) {
        painter->fillRect(option->rect, option->palette.color(QPalette::Window));
        return;
    }
    if (element != CE_MenuItem) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (!item) return;
    const QRect r = item->rect;
    painter->save();
    if (item->menuItemType == QStyleOptionMenuItem::Separator) {
        painter->fillRect(r, item->palette.color(QPalette::Window));
        const int y = r.top() + r.height() / 2 - 1;
        painter->setPen(item->palette.color(QPalette::Mid));
        painter->drawLine(r.left() + 1, y, r.right() - 1, y);
        painter->setPen(item->palette.color(QPalette::Light));
        painter->drawLine(r.left() + 1, y + 1, r.right() - 1, y + 1);
        painter->restore();
        return;
    }
    const bool enabled = item->state & State_Enabled;
    const bool selected = item->state & State_Selected;
    if (selected) {
        painter->setPen(QPen(QColor::fromRgb(kMenuSelectionOutline), 1));
        painter->setBrush(QColor::fromRgb(kMenuSelectionFill));
        painter->drawRect(r.adjusted(0, 0, -1, -1));
    } else {
        painter->fillRect(r, item->palette.color(QPalette::Window));
    }
    const QColor textColour = enabled ? item->palette.color(QPalette::Active, QPalette::WindowText)
                                      : item->palette.color(QPalette::Disabled, QPalette::WindowText);
    if (item->checkType != QStyleOptionMenuItem::NotCheckable && item->checked) {
        const QRect box(r.left() + kCheckBoxOffset, r.top() + kCheckBoxOffset, kCheckBoxSize, kCheckBoxSize);
        painter->setPen(QPen(QColor::fromRgb(kMenuCheckOutline), 1));
        painter->setBrush(Qt::white);
        painter->drawRect(box.adjusted(0, 0, -1, -1));
        painter->drawLine(r.left() + 5, r.top() + 5, r.left() + 12, r.top() + 12);
        painter->drawLine(r.left() + 5, r.top() + 12, r.left() + 12, r.top() + 5);
    }
    painter->setFont(item->font);
    painter->setPen(textColour);
    painter->setBrush(Qt::NoBrush);
    const QRect textRect(QPoint(r.left() + kMenuTextLeft, r.top()), QPoint(r.right() - kMenuTextRightMargin, r.bottom()));
    const int tab = item->text.indexOf(QLatin1Char('\t'));
    const QString label = tab < 0 ? item->text : item->text.left(tab);
    const QString key = tab < 0 ? QString() : item->text.mid(tab + 1);
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextShowMnemonic, label);
    if (!key.isEmpty()) {
        painter->drawText(textRect, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, key);
    }
    if (item->menuItemType == QStyleOptionMenuItem::SubMenu) {
        // The sub-menu arrow in the right margin.
        const int cx = r.right() - 7;
        const int cy = r.top() + r.height() / 2;
        QPolygon arrow;
        arrow << QPoint(cx - 2, cy - 4) << QPoint(cx + 2, cy) << QPoint(cx - 2, cy + 4);
        painter->setPen(Qt::NoPen);
        painter->setBrush(textColour);
        painter->drawPolygon(arrow);
    }
    painter->restore();
}

QString MenuItemText(const MenuRecord& record) {
    QString text = QString::fromStdString(record.text);
    const std::string key = record.prefix + record.keyName;
    if (!key.empty()) text += QLatin1Char('\t') + QString::fromStdString(key);
    return text;
}

QString KeyTextOf(const QAction& action) {
    const QString text = action.text();
    const int tab = text.indexOf(QLatin1Char('\t'));
    return tab < 0 ? QString() : text.mid(tab + 1);
}

QString ItemTextOf(const QAction& action) {
    const QString text = action.text();
    const int tab = text.indexOf(QLatin1Char('\t'));
    return tab < 0 ? text : text.left(tab);
}

std::unique_ptr<QMenu> BuildMenu(const std::vector<MenuNode>& nodes, const AcceleratorTable& table,
                                 QWidget* parent) {
    auto menu = std::make_unique<QMenu>(parent);
    menu->setStyle(SharedMenuStyle());
    FillMenu(*menu, nodes, table);
    ApplyMenuFont(*menu);
    return menu;
}

void RefreshKeyTexts(QMenu& menu, const AcceleratorTable& table) {
    for (QAction* action : menu.actions()) {
        if (QMenu* sub = action->menu()) {
            RefreshKeyTexts(*sub, table);
            continue;
        }
        if (action->isSeparator()) continue;
        const MenuRecord record = MakeMenuRecord(ItemTextOf(*action).toStdString(), action->data().toInt(), table);
        action->setText(MenuItemText(record));
    }
}

QAction* FindMenuAction(QMenu& menu, int id) {
    for (QAction* action : menu.actions()) {
        if (action->isSeparator()) continue;
        if (action->data().toInt() == id) return action;
        if (QMenu* sub = action->menu()) {
            if (QAction* found = FindMenuAction(*sub, id)) return found;
        }
    }
    return nullptr;
}

void ApplyMenuStates(QMenu& menu, const MenuFacts& facts) {
    for (QAction* action : menu.actions()) {
        if (action->isSeparator()) continue;
        const MenuItemState state = ItemState(action->data().toInt(), facts);
        action->setEnabled(state.enabled);
        if (QMenu* sub = action->menu()) {
            ApplyMenuStates(*sub, facts);
            continue;
        }
        action->setCheckable(state.checked || action->property("radio").toBool());
        action->setChecked(state.checked);
    }
}

void ApplyMenuFont(QMenu& menu) {
    const QFont font = QApplication::font("QMenu");
    menu.setFont(font);
    for (QMenu* sub : menu.findChildren<QMenu*>()) sub->setFont(font);
}

void SetMenuItemText(QMenu& menu, int id, const QString& text) {
    QAction* action = FindMenuAction(menu, id);
    if (!action) return;
    const QString key = KeyTextOf(*action);
    action->setText(key.isEmpty() ? text : text + QLatin1Char('\t') + key);
}

}  // namespace lumra::ui
