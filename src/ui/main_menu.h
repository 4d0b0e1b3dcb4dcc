// The context menu as Qt menus, drawn in the program's own look.
#pragma once

#include <QProxyStyle>
#include <memory>
#include <vector>

#include "shell/command_catalogue.h"
#include "shell/menu_model.h"

class QAction;
class QMenu;
class QWidget;

namespace lumra::ui {

inline constexpr QRgb kMenuSelectionFill = 0xFFE8FFFF;
inline constexpr QRgb kMenuSelectionOutline = 0xFF489090;
inline constexpr QRgb kMenuCheckOutline = 0xFFC060C0;
inline constexpr int kMenuTextLeft = 20;
inline constexpr int kMenuTextRightMargin = 12;

// The items' look: the light selection with its outline, the check box with a cross,
// the text from 20 pixels in and the key text right-aligned.
class MenuStyle : public QProxyStyle {
    Q_OBJECT
public:
    MenuStyle();

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override;
};

// The style all menus share (made on first use).
MenuStyle* SharedMenuStyle();

// An item's text with its key text after a tab, as the menus carry it.
QString MenuItemText(const MenuRecord& record);
// The key text of an item ("" without one), and the item text without it.
QString KeyTextOf(const QAction& action);
QString ItemTextOf(const QAction& action);

// Builds a menu from the model; every action and sub-menu action carries its command
// number as data. Texts show the keys of table.
std::unique_ptr<QMenu> BuildMenu(const std::vector<MenuNode>& nodes, const AcceleratorTable& table,
                                 QWidget* parent = nullptr);
// Refills the key texts of every item from table.
void RefreshKeyTexts(QMenu& menu, const AcceleratorTable& table);
// The action of a command, searched through the sub-menus.
QAction* FindMenuAction(QMenu& menu, int id);
// Applies the states of facts to every item and sub-menu.
void ApplyMenuStates(QMenu& menu, const MenuFacts& facts);
// The desktop's menu font for the menu and its sub-menus (again when it changes).
void ApplyMenuFont(QMenu& menu);
// Sets an item's text (its key text stays).
void SetMenuItemText(QMenu& menu, int id, const QString& text);

}  // namespace lumra::ui
