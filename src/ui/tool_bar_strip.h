// The main window's tool bar strip: the buttons, the two spacers and the information
// field of full screen.
#pragma once

#include <QLabel>
#include <QWidget>
#include <functional>
#include <map>

class QAction;
class QToolBar;

namespace lumra::ui {

inline constexpr int kToolBarStripHeight = 28;
inline constexpr int kInfoFieldHeight = 15;

// The information field: double-clicking it runs the full-screen command.
class InfoField : public QLabel {
    Q_OBJECT
public:
    explicit InfoField(QWidget* parent);
signals:
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

class ToolBarStrip : public QWidget {
    Q_OBJECT
public:
    // runCommand: the main window's command router; focusBack: gives the keyboard focus
    // back to the main window.
    ToolBarStrip(QWidget* parent, std::function<void(int)> runCommand, std::function<void()> focusBack);

    // Normal display hides the spacers, the last three buttons and the field.
    void SetFullScreenLayout(bool fullScreen);
    bool fullScreenLayout() const { return fullScreen_; }
    void SetInfoText(const QString& text);
    // At (-2, -2), 4 pixels wider than the client and 28 high.
    void FitToClient(int clientWidth);

    QToolBar* toolBar() const { return toolBar_; }
    InfoField* infoField() const { return info_; }
    // The action of a button, spacer or separator, in order.
    const std::vector<std::pair<int, QAction*>>& items() const { return items_; }
    QAction* ActionFor(int id) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void(int)> runCommand_;
    std::function<void()> focusBack_;
    QToolBar* toolBar_ = nullptr;
    InfoField* info_ = nullptr;
    QWidget* wideSpacer_ = nullptr;
    std::vector<std::pair<int, QAction*>> items_;
    bool fullScreen_ = false;
};

}  // namespace lumra::ui
