// The dialog "オプション": six pages over a working copy of the settings, the key
// customisation, the registered tools, the plug-in folder and the file associations.
#pragma once

#include <QColor>
#include <QDialog>
#include <QString>
#include <array>
#include <functional>
#include <optional>
#include <string>

#include "platform/desktop_files.h"
#include "shell/messages.h"
#include "shell/options_rules.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;
class QTabWidget;
class QTableWidget;
class QTreeWidget;

namespace lumra::ui {

class OptionsDialog;

// What the dialog needs from the program; tests script them.
struct OptionsHooks {
    std::function<BoxResult(QWidget* owner, const BoxRequest& request)> box;
    std::function<int(QDialog& dialog)> runDialog;
    // A folder browser and a program chooser with their titles; empty: cancelled.
    std::function<QString(QWidget* owner, const QString& title, const QString& start)> chooseFolder;
    std::function<QString(QWidget* owner, const QString& title, const QString& start)> chooseProgram;
    std::function<std::optional<QColor>(QWidget* owner, const QColor& initial)> chooseColour;
    // OK or "適用": the dialog's values are in copy() and associations().
    std::function<void(OptionsDialog& dialog)> apply;
    // "旧関連付け削除" and the wallpaper file's "削除".
    std::function<bool()> removeOldEntries;
    std::function<bool()> deleteWallpaperFile;  // true: the file is gone
};

// The "登録" page's choices.
struct AssociationChoice {
    AssociationStates types{};
    bool sendTo = false;
    bool oldEntries = false;      // "旧関連付け削除" is shown
    bool wallpaperFile = false;   // the wallpaper file exists
};

class OptionsDialog : public QDialog {
    Q_OBJECT
public:
    OptionsDialog(QWidget* owner, OptionsWorkingCopy copy, AssociationChoice associations, OptionsHooks hooks);

    OptionsWorkingCopy& copy() { return copy_; }
    // The apply hook puts back what the files hold after writing them.
    AssociationChoice& associations() { return associations_; }
    // Reads every page into the working copy (what applying does first).
    void ReadPages();
    int currentPage() const;
    QTabWidget* tabs() const { return tabs_; }
    QPushButton* applyButton() const { return applyButton_; }
    // The page's key-customisation button, and the list of the plug-in page.
    QPushButton* keyButton() const { return keyButton_; }
    QTreeWidget* pluginList() const { return pluginList_; }
    // Opens the configuration of the plug-in in row (a double click).
    void ConfigurePlugin(int row);

private:
    QWidget* StartPage();
    QWidget* ZoomPage();
    QWidget* MousePage();
    QWidget* ToolsPage();
    QWidget* PluginPage();
    QWidget* RegisterPage();
    void FillPages();
    void FillPluginList();
    void ShowColour();
    void Apply();
    void RunKeyDialog();

    OptionsWorkingCopy copy_;
    AssociationChoice associations_;
    OptionsHooks hooks_;
    QTabWidget* tabs_ = nullptr;
    QPushButton* applyButton_ = nullptr;
    QPushButton* keyButton_ = nullptr;

    // 起動・表示
    std::array<QRadioButton*, 3> start_{};
    QCheckBox* dual_ = nullptr;
    QCheckBox* posCtrl_ = nullptr;
    std::array<QSpinBox*, 4> pos_{};
    QCheckBox* gamma_ = nullptr;
    QCheckBox* alpha_ = nullptr;
    QCheckBox* fbg_ = nullptr;
    QLineEdit* dispGam_ = nullptr;
    QLabel* colourBox_ = nullptr;
    QColor colour_;
    QSlider* time_ = nullptr;
    QLabel* timeValue_ = nullptr;
    QCheckBox* repeat_ = nullptr;
    // ズーム
    std::array<QRadioButton*, 2> sthMode_{};
    std::array<std::array<QRadioButton*, 2>, 3> keepZoom_{};
    std::array<std::array<QCheckBox*, 2>, 3> fit_{};
    QCheckBox* wheelRev_ = nullptr;
    // マウス・キーボード
    std::array<std::array<QRadioButton*, 2>, 3> wheel_{};
    std::array<QCheckBox*, 2> areaZoom_{};
    QComboBox* dClick_ = nullptr;
    QComboBox* lrClick_ = nullptr;
    // ツール
    std::array<QLineEdit*, 8> toolNames_{};
    // プラグイン
    QLineEdit* pluginFolder_ = nullptr;
    QTreeWidget* pluginList_ = nullptr;
    // 登録
    std::array<QCheckBox*, kAssociationTypes> types_{};
    QPushButton* oldButton_ = nullptr;
    QLabel* oldNote_ = nullptr;
    QCheckBox* sendTo_ = nullptr;
    QPushButton* wallpaperButton_ = nullptr;
    QCheckBox* noRecycMsg_ = nullptr;
    QCheckBox* mouseInfo_ = nullptr;
};

// The key-customisation dialog "キーカスタマイズ" over the options' working copy.
class KeyDialog : public QDialog {
    Q_OBJECT
public:
    KeyDialog(QWidget* owner, OptionsWorkingCopy& copy,
              std::function<BoxResult(QWidget*, const BoxRequest&)> box);

    QTableWidget* commands() const { return commands_; }
    QListWidget* keyList() const { return keys_; }
    QCheckBox* ctrl() const { return ctrl_; }
    QCheckBox* shift() const { return shift_; }
    void Assign();
    void Clear();
    void Reset();

private:
    void FillRow(int index);
    int SelectedCommand() const;

    OptionsWorkingCopy& copy_;
    std::function<BoxResult(QWidget*, const BoxRequest&)> box_;
    QTableWidget* commands_ = nullptr;
    QListWidget* keys_ = nullptr;
    QCheckBox* ctrl_ = nullptr;
    QCheckBox* shift_ = nullptr;
};

}  // namespace lumra::ui
