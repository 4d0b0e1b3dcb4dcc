// "バージョン情報": the program's name and version, a notice and the web address.
#pragma once

#include <QDialog>
#include <QLabel>
#include <functional>

class QPushButton;

namespace lumra::ui {

// The web address: blue, with a hand cursor; a click opens it.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(const QString& address, QWidget* parent);
signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

class VersionDialog : public QDialog {
    Q_OBJECT
public:
    // openLink opens the web address (the desktop's browser).
    VersionDialog(QWidget* owner, std::function<void()> openLink);

    QLabel* versionLabel() const { return version_; }
    QLabel* noticeLabel() const { return notice_; }
    LinkLabel* link() const { return link_; }
    QPushButton* okButton() const { return ok_; }

private:
    QLabel* version_ = nullptr;
    QLabel* notice_ = nullptr;
    LinkLabel* link_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace lumra::ui
