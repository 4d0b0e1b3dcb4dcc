#include "ui/options_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "formats/plugin_host.h"
#include "platform/paths.h"
#include "ui/message_box.h"

namespace lumra::ui {

namespace {

QString Q(const char* text) { return QString::fromUtf8(text); }
QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QString& text) { return text.toStdString(); }
std::string PathOf(const QString& text) { return QFile::encodeName(text).toStdString(); }
QString FromPath(const std::string& path) { return QFile::decodeName(path.c_str()); }

bool On(int value) { return (value & 1) != 0; }

QCheckBox* Check(const char* text, QWidget* parent) { return new QCheckBox(Q(text), parent); }

// A row of two radio buttons in a group of their own.
std::array<QRadioButton*, 2> RadioPair(QGridLayout* grid, int row, const char* label, const char* first,
                                       const char* second, QWidget* parent) {
    auto* box = new QWidget(parent);
    auto* h = new QHBoxLayout(box);
    h->setContentsMargins(0, 0, 0, 0);
    std::array<QRadioButton*, 2> pair{new QRadioButton(Q(first), box), new QRadioButton(Q(second), box)};
    h->addWidget(pair[0]);
    h->addWidget(pair[1]);
    h->addStretch();
    grid->addWidget(new QLabel(Q(label), parent), row, 0);
    grid->addWidget(box, row, 1);
    return pair;
}

void SetPair(const std::array<QRadioButton*, 2>& pair, int index) { pair[index ? 1 : 0]->setChecked(true); }
int PairIndex(const std::array<QRadioButton*, 2>& pair) { return pair[1]->isChecked() ? 1 : 0; }

constexpr const char* kWindowRows[3] = {"メインウィンドウ(通常)", "メインウィンドウ(全画面)", "編集ウィンドウ"};
constexpr const char* kClickActions[4] = {"閉じる", "ウィンドウ切替", "全画面切替", "最小化"};
constexpr const char* kTypeLabels[kAssociationTypes] = {
    "BMPファイル ( .bmp )", "PNGファイル ( .png )", "JPEGファイル ( .jpg .jpe .jpeg )", "GIFファイル ( .gif )",
    "TIFFファイル ( .tif .tiff )"};

}  // namespace

OptionsDialog::OptionsDialog(QWidget* owner, OptionsWorkingCopy copy, AssociationChoice associations,
                             OptionsHooks hooks)
    : QDialog(owner), copy_(std::move(copy)), associations_(associations), hooks_(std::move(hooks)) {
    setWindowTitle(Q("オプション"));
    UseDialogFrame(*this);
    auto* layout = new QVBoxLayout(this);
    tabs_ = new QTabWidget(this);
    QWidget* pages[kOptionPages] = {StartPage(), ZoomPage(), MousePage(), ToolsPage(), PluginPage(), RegisterPage()};
    for (int i = 0; i < kOptionPages; ++i) tabs_->addTab(pages[i], Q(kOptionPageLabels[i]));
    layout->addWidget(tabs_);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(Q(kOkText), QDialogButtonBox::AcceptRole);
    QPushButton* cancel = buttons->addButton(Q("キャンセル"), QDialogButtonBox::RejectRole);
    applyButton_ = buttons->addButton(Q("適用"), QDialogButtonBox::ApplyRole);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] {
        Apply();
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(applyButton_, &QPushButton::clicked, this, &OptionsDialog::Apply);
    layout->addWidget(buttons);

    FillPages();
    tabs_->setCurrentIndex(ClampOptTab(copy_.settings.awin.optTab));
}

int OptionsDialog::currentPage() const { return tabs_->currentIndex(); }

QWidget* OptionsDialog::StartPage() {
    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);

    auto* startBox = new QGroupBox(Q("起動時の表示"), page);
    auto* sh = new QHBoxLayout(startBox);
    const char* startLabels[3] = {"メインウィンドウ", "編集ウィンドウ", "全画面"};
    for (int i = 0; i < 3; ++i) sh->addWidget(start_[i] = new QRadioButton(Q(startLabels[i]), startBox));
    sh->addStretch();
    v->addWidget(startBox);
    v->addWidget(dual_ = Check("多重起動禁止", page));

    auto* posBox = new QGroupBox(Q("ウィンドウ位置"), page);
    auto* ph = new QHBoxLayout(posBox);
    ph->addWidget(posCtrl_ = Check("制限する", posBox));
    const char* posLabels[4] = {"左", "上", "右", "下"};
    for (int i = 0; i < 4; ++i) {
        ph->addWidget(new QLabel(Q(posLabels[i]), posBox));
        pos_[i] = new QSpinBox(posBox);
        pos_[i]->setRange(-32768, 32767);
        ph->addWidget(pos_[i]);
    }
    v->addWidget(posBox);

    auto* imgBox = new QGroupBox(Q("画像読み込み"), page);
    auto* ig = new QGridLayout(imgBox);
    ig->addWidget(gamma_ = Check("ガンマ補正値有効(PNG)", imgBox), 0, 0);
    ig->addWidget(alpha_ = Check("透明度情報反映", imgBox), 1, 0);
    ig->addWidget(fbg_ = Check("背景色情報使用", imgBox), 2, 0);
    ig->addWidget(new QLabel(Q("ディスプレイガンマ(PNG)"), imgBox), 0, 1);
    ig->addWidget(dispGam_ = new QLineEdit(imgBox), 0, 2);
    ig->addWidget(new QLabel(Q("背景色"), imgBox), 1, 1);
    auto* colourRow = new QHBoxLayout;
    colourBox_ = new QLabel(imgBox);
    colourBox_->setFixedSize(32, 18);
    colourBox_->setFrameShape(QFrame::Box);
    colourBox_->setAutoFillBackground(true);
    auto* colourButton = new QPushButton(Q("設定"), imgBox);
    connect(colourButton, &QPushButton::clicked, this, [this] {
        if (!hooks_.chooseColour) return;
        if (const std::optional<QColor> c = hooks_.chooseColour(this, colour_)) {
            colour_ = *c;
            ShowColour();
        }
    });
    colourRow->addWidget(colourBox_);
    colourRow->addWidget(colourButton);
    ig->addLayout(colourRow, 1, 2);
    v->addWidget(imgBox);

    auto* slideBox = new QGroupBox(Q("スライドショー"), page);
    auto* slh = new QHBoxLayout(slideBox);
    time_ = new QSlider(Qt::Horizontal, slideBox);
    time_->setRange(1, 60);
    timeValue_ = new QLabel(slideBox);
    timeValue_->setMinimumWidth(24);
    timeValue_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(time_, &QSlider::valueChanged, this, [this](int value) { timeValue_->setNum(value); });
    slh->addWidget(time_, 1);
    slh->addWidget(timeValue_);
    slh->addWidget(new QLabel(Q("秒"), slideBox));
    slh->addWidget(repeat_ = Check("リピート", slideBox));
    v->addWidget(slideBox);
    v->addStretch();
    return page;
}

QWidget* OptionsDialog::ZoomPage() {
    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    auto* modeBox = new QGroupBox(Q("伸縮モード"), page);
    auto* mh = new QHBoxLayout(modeBox);
    mh->addWidget(sthMode_[0] = new QRadioButton(Q("通常(高速)"), modeBox));
    mh->addWidget(sthMode_[1] = new QRadioButton(Q("画質優先"), modeBox));
    mh->addStretch();
    v->addWidget(modeBox);

    auto* keepBox = new QGroupBox(Q("画像更新時の表示倍率"), page);
    auto* kg = new QGridLayout(keepBox);
    for (int r = 0; r < 3; ++r) keepZoom_[r] = RadioPair(kg, r, kWindowRows[r], "等倍", "継承", keepBox);
    v->addWidget(keepBox);

    auto* fitBox = new QGroupBox(Q("表示倍率の制御"), page);
    auto* fg = new QGridLayout(fitBox);
    fg->addWidget(new QLabel(Q("画面サイズに"), fitBox), 0, 1, 1, 2);
    for (int r = 0; r < 3; ++r) {
        fg->addWidget(new QLabel(Q(kWindowRows[r]), fitBox), r + 1, 0);
        fg->addWidget(fit_[r][0] = Check("縮小", fitBox), r + 1, 1);
        fg->addWidget(fit_[r][1] = Check("拡大", fitBox), r + 1, 2);
    }
    fg->setColumnStretch(3, 1);
    v->addWidget(fitBox);
    v->addWidget(wheelRev_ = Check("ズーム時のホイール動作反転", page));
    v->addStretch();
    return page;
}

QWidget* OptionsDialog::MousePage() {
    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    auto* wheelBox = new QGroupBox(Q("マウスホイール回転時の動作"), page);
    auto* wg = new QGridLayout(wheelBox);
    for (int r = 0; r < 3; ++r) wheel_[r] = RadioPair(wg, r, kWindowRows[r], "拡大/縮小表示", "ファイル閲覧", wheelBox);
    v->addWidget(wheelBox);

    auto* areaBox = new QGroupBox(Q("左ドラッグで範囲ズーム"), page);
    auto* ah = new QHBoxLayout(areaBox);
    ah->addWidget(areaZoom_[0] = Check("メインウィンドウ(全画面)", areaBox));
    ah->addWidget(areaZoom_[1] = Check("編集ウィンドウ(元画像)", areaBox));
    ah->addStretch();
    v->addWidget(areaBox);

    auto* clickBox = new QGroupBox(Q("マウスクリック"), page);
    auto* cg = new QGridLayout(clickBox);
    dClick_ = new QComboBox(clickBox);
    lrClick_ = new QComboBox(clickBox);
    for (const char* action : kClickActions) {
        dClick_->addItem(Q(action));
        lrClick_->addItem(Q(action));
    }
    cg->addWidget(new QLabel(Q("ダブルクリック"), clickBox), 0, 0);
    cg->addWidget(dClick_, 0, 1);
    cg->addWidget(new QLabel(Q("左右同時クリック"), clickBox), 1, 0);
    cg->addWidget(lrClick_, 1, 1);
    v->addWidget(clickBox);

    keyButton_ = new QPushButton(Q("キーカスタマイズ"), page);
    connect(keyButton_, &QPushButton::clicked, this, &OptionsDialog::RunKeyDialog);
    auto* kh = new QHBoxLayout;
    kh->addWidget(keyButton_);
    kh->addStretch();
    v->addLayout(kh);
    v->addStretch();
    return page;
}

QWidget* OptionsDialog::ToolsPage() {
    auto* page = new QWidget;
    auto* g = new QGridLayout(page);
    PathSettings& tools = copy_.settings.path;
    for (int i = 0; i < 8; ++i) {
        g->addWidget(new QLabel(QString::number(i + 1), page), i, 0);
        toolNames_[i] = new QLineEdit(page);
        g->addWidget(toolNames_[i], i, 1);
        auto* file = new QPushButton(Q("ファイル登録"), page);
        auto* folder = new QPushButton(Q("フォルダ登録"), page);
        auto* clear = new QPushButton(Q("解除"), page);
        g->addWidget(file, i, 2);
        g->addWidget(folder, i, 3);
        g->addWidget(clear, i, 4);
        auto show = [this, i, &tools] {
            toolNames_[i]->setText(Q(tools.an[i]));
            toolNames_[i]->setToolTip(FromPath(tools.app[i]));
        };
        connect(file, &QPushButton::clicked, this, [this, i, &tools, show] {
            if (!hooks_.chooseProgram) return;
            tools.an[i] = S(toolNames_[i]->text());
            const QString start = FromPath(ToolDialogStart(tools, i, "/usr/bin"));
            const QString chosen = hooks_.chooseProgram(this, Q("ファイル設定"), start);
            if (chosen.isEmpty()) return;
            SetToolFile(tools, i, PathOf(chosen));
            show();
        });
        connect(folder, &QPushButton::clicked, this, [this, i, &tools, show] {
            if (!hooks_.chooseFolder) return;
            tools.an[i] = S(toolNames_[i]->text());
            const QString chosen = hooks_.chooseFolder(this, Q("フォルダ設定"), FromPath(tools.app[i]));
            if (chosen.isEmpty()) return;
            SetToolFolder(tools, i, PathOf(chosen));
            show();
        });
        connect(clear, &QPushButton::clicked, this, [i, &tools, show] {
            ClearTool(tools, i);
            show();
        });
    }
    g->setRowStretch(8, 1);
    return page;
}

QWidget* OptionsDialog::PluginPage() {
    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(Q("フォルダ"), page));
    pluginFolder_ = new QLineEdit(page);
    pluginFolder_->setReadOnly(true);
    row->addWidget(pluginFolder_, 1);
    auto* choose = new QPushButton(Q("フォルダ設定"), page);
    auto* clear = new QPushButton(Q("設定解除"), page);
    row->addWidget(choose);
    row->addWidget(clear);
    v->addLayout(row);
    connect(choose, &QPushButton::clicked, this, [this] {
        if (!hooks_.chooseFolder) return;
        const QString chosen =
            hooks_.chooseFolder(this, Q("プラグインフォルダ設定"), FromPath(copy_.settings.path.spi));
        if (chosen.isEmpty()) return;
        copy_.settings.path.spi = PathOf(chosen);
        FillPluginList();
    });
    connect(clear, &QPushButton::clicked, this, [this] {
        copy_.settings.path.spi.clear();
        FillPluginList();
    });

    v->addWidget(new QLabel(Q("検出ファイル"), page));
    pluginList_ = new QTreeWidget(page);
    pluginList_->setRootIsDecorated(false);
    pluginList_->setColumnCount(3);
    pluginList_->setHeaderLabels({Q("ファイル名"), Q("対応拡張子"), Q("対応形式")});
    connect(pluginList_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { ConfigurePlugin(pluginList_->indexOfTopLevelItem(item)); });
    v->addWidget(pluginList_, 1);
    v->addWidget(new QLabel(Q("個別設定可能な場合は、プラグイン名ダブルクリックでダイアログが表示されます。"), page));
    return page;
}

QWidget* OptionsDialog::RegisterPage() {
    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    auto* typeBox = new QGroupBox(Q("関連付け"), page);
    auto* tv = new QVBoxLayout(typeBox);
    for (int t = 0; t < kAssociationTypes; ++t) tv->addWidget(types_[t] = Check(kTypeLabels[t], typeBox));
    auto* oldRow = new QHBoxLayout;
    oldButton_ = new QPushButton(Q("旧関連付け削除"), typeBox);
    oldNote_ = new QLabel(Q("※削除してください"), typeBox);
    oldRow->addWidget(oldButton_);
    oldRow->addWidget(oldNote_);
    oldRow->addStretch();
    tv->addLayout(oldRow);
    connect(oldButton_, &QPushButton::clicked, this, [this] {
        if (hooks_.removeOldEntries && !hooks_.removeOldEntries()) return;
        copy_.settings.awin.xpOldReg = 1;
        associations_.oldEntries = false;
        oldButton_->hide();
        oldNote_->hide();
    });
    v->addWidget(typeBox);
    v->addWidget(sendTo_ = Check("「送る」メニューに登録", page));

    auto* wpRow = new QHBoxLayout;
    wpRow->addWidget(new QLabel(Q("壁紙設定用ファイル"), page));
    wallpaperButton_ = new QPushButton(Q("削除"), page);
    connect(wallpaperButton_, &QPushButton::clicked, this, [this] {
        if (hooks_.deleteWallpaperFile && hooks_.deleteWallpaperFile()) {
            associations_.wallpaperFile = false;
            wallpaperButton_->setEnabled(false);
        }
    });
    wpRow->addWidget(wallpaperButton_);
    wpRow->addStretch();
    v->addLayout(wpRow);
    v->addWidget(noRecycMsg_ = Check("削除確認メッセージ非表示", page));
    v->addWidget(mouseInfo_ = Check("起動時に操作説明ダイアログを表示", page));
    v->addStretch();
    return page;
}

void OptionsDialog::FillPages() {
    const Settings& s = copy_.settings;
    const int start = s.awin.start >= 0 && s.awin.start <= 2 ? s.awin.start : 0;
    start_[start]->setChecked(true);
    dual_->setChecked(On(s.awin.dual));
    posCtrl_->setChecked(On(s.vwin.posCtrl));
    const int pos[4] = {s.vwin.posL, s.vwin.posT, s.vwin.posR, s.vwin.posB};
    for (int i = 0; i < 4; ++i) pos_[i]->setValue(pos[i]);
    gamma_->setChecked(On(s.limg.gamma));
    alpha_->setChecked(On(s.limg.alpha));
    fbg_->setChecked(On(s.limg.fbg));
    dispGam_->setText(Q(DisplayGammaText(s.limg.dispGam)));
    colour_ = QColor(s.limg.bgR & 0xFF, s.limg.bgG & 0xFF, s.limg.bgB & 0xFF);
    ShowColour();
    time_->setValue(ClampSlideTime(s.vwin.time));
    timeValue_->setNum(time_->value());
    repeat_->setChecked(On(s.vwin.repeat));

    SetPair(sthMode_, ClampSthMode(s.vwin.sthMode) == 4 ? 1 : 0);
    SetPair(keepZoom_[0], On(s.vwin.nmZoom));
    SetPair(keepZoom_[1], On(s.vwin.flZoom));
    SetPair(keepZoom_[2], On(s.swin.swZoom));
    const int fit[3][2] = {{s.vwin.vSmall, s.vwin.nvLarge}, {s.vwin.fsDown, s.vwin.fsUp}, {s.swin.swSmall, s.swin.swLarge}};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 2; ++c) fit_[r][c]->setChecked(On(fit[r][c]));
    wheelRev_->setChecked(On(s.awin.wheelRev));

    SetPair(wheel_[0], On(s.vwin.wheel));
    SetPair(wheel_[1], On(s.vwin.fsWheel));
    SetPair(wheel_[2], On(s.swin.swWheel));
    areaZoom_[0]->setChecked(On(s.vwin.fsAreaZm));
    areaZoom_[1]->setChecked(On(s.swin.swAreaZm));
    dClick_->setCurrentIndex(ClampClickAction(s.awin.dClick));
    lrClick_->setCurrentIndex(ClampClickAction(s.awin.lrClick));

    for (int i = 0; i < 8; ++i) {
        toolNames_[i]->setText(Q(s.path.an[i]));
        toolNames_[i]->setToolTip(FromPath(s.path.app[i]));
    }
    FillPluginList();

    for (int t = 0; t < kAssociationTypes; ++t) types_[t]->setChecked(associations_.types[t]);
    oldButton_->setVisible(associations_.oldEntries);
    oldNote_->setVisible(associations_.oldEntries);
    sendTo_->setChecked(associations_.sendTo);
    wallpaperButton_->setEnabled(associations_.wallpaperFile);
    noRecycMsg_->setChecked(On(s.awin.noRecycMsg));
    mouseInfo_->setChecked(On(s.awin.mouseInfo));
}

void OptionsDialog::ShowColour() {
    QPalette palette = colourBox_->palette();
    palette.setColor(QPalette::Window, colour_);
    colourBox_->setPalette(palette);
}

void OptionsDialog::FillPluginList() {
    const std::string& folder = copy_.settings.path.spi;
    pluginFolder_->setText(FromPath(folder));
    pluginList_->clear();
    if (folder.empty()) return;
    for (const std::string& name : ListPlugins(folder, false)) {
        std::string patterns, formats;
        DescribePlugin(folder + "/" + name, patterns, formats);
        auto* item = new QTreeWidgetItem({FromPath(name), Q(patterns), Q(formats)});
        item->setData(0, Qt::UserRole, FromPath(folder + "/" + name));
        pluginList_->addTopLevelItem(item);
    }
}

void OptionsDialog::ConfigurePlugin(int row) {
    QTreeWidgetItem* item = pluginList_->topLevelItem(row);
    if (!item) return;
    RunPluginConfiguration(PathOf(item->data(0, Qt::UserRole).toString()), static_cast<intptr_t>(winId()));
}

void OptionsDialog::ReadPages() {
    Settings& s = copy_.settings;
    for (int i = 0; i < 3; ++i)
        if (start_[i]->isChecked()) s.awin.start = i;
    s.awin.dual = dual_->isChecked();
    s.vwin.posCtrl = posCtrl_->isChecked();
    int* pos[4] = {&s.vwin.posL, &s.vwin.posT, &s.vwin.posR, &s.vwin.posB};
    for (int i = 0; i < 4; ++i) *pos[i] = pos_[i]->value();
    s.limg.gamma = gamma_->isChecked();
    s.limg.alpha = alpha_->isChecked();
    s.limg.fbg = fbg_->isChecked();
    // Text that is no number leaves the value as it was.
    if (const std::optional<int> g = ParseDisplayGamma(S(dispGam_->text()))) s.limg.dispGam = *g;
    dispGam_->setText(Q(DisplayGammaText(s.limg.dispGam)));
    s.limg.bgR = colour_.red();
    s.limg.bgG = colour_.green();
    s.limg.bgB = colour_.blue();
    s.vwin.time = time_->value();
    s.vwin.repeat = repeat_->isChecked();

    s.vwin.sthMode = PairIndex(sthMode_) ? 4 : 3;
    s.vwin.nmZoom = PairIndex(keepZoom_[0]);
    s.vwin.flZoom = PairIndex(keepZoom_[1]);
    s.swin.swZoom = PairIndex(keepZoom_[2]);
    int* fit[3][2] = {{&s.vwin.vSmall, &s.vwin.nvLarge}, {&s.vwin.fsDown, &s.vwin.fsUp}, {&s.swin.swSmall, &s.swin.swLarge}};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 2; ++c) *fit[r][c] = fit_[r][c]->isChecked();
    s.awin.wheelRev = wheelRev_->isChecked();

    s.vwin.wheel = PairIndex(wheel_[0]);
    s.vwin.fsWheel = PairIndex(wheel_[1]);
    s.swin.swWheel = PairIndex(wheel_[2]);
    s.vwin.fsAreaZm = areaZoom_[0]->isChecked();
    s.swin.swAreaZm = areaZoom_[1]->isChecked();
    s.awin.dClick = dClick_->currentIndex();
    s.awin.lrClick = lrClick_->currentIndex();

    for (int i = 0; i < 8; ++i) s.path.an[i] = s.path.app[i].empty() ? std::string() : S(toolNames_[i]->text());

    for (int t = 0; t < kAssociationTypes; ++t) associations_.types[t] = types_[t]->isChecked();
    associations_.sendTo = sendTo_->isChecked();
    s.awin.noRecycMsg = noRecycMsg_->isChecked();
    s.awin.mouseInfo = mouseInfo_->isChecked();
    s.awin.optTab = currentPage();
}

void OptionsDialog::Apply() {
    ReadPages();
    if (hooks_.apply) hooks_.apply(*this);
    FillPages();
}

void OptionsDialog::RunKeyDialog() {
    KeyDialog dialog(this, copy_, hooks_.box);
    if (hooks_.runDialog) hooks_.runDialog(dialog);
    else dialog.exec();
}

// ---- キーカスタマイズ ----

KeyDialog::KeyDialog(QWidget* owner, OptionsWorkingCopy& copy,
                     std::function<BoxResult(QWidget*, const BoxRequest&)> box)
    : QDialog(owner), copy_(copy), box_(std::move(box)) {
    setWindowTitle(Q("キーカスタマイズ"));
    UseDialogFrame(*this);
    auto* h = new QHBoxLayout(this);

    commands_ = new QTableWidget(static_cast<int>(kAssignableCount), 2, this);
    commands_->setHorizontalHeaderLabels({Q("コマンド"), Q("設定キー")});
    commands_->setColumnWidth(0, 211);
    commands_->setColumnWidth(1, 80);
    commands_->verticalHeader()->hide();
    commands_->setShowGrid(true);
    commands_->setWordWrap(false);
    commands_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    commands_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    commands_->setSelectionBehavior(QAbstractItemView::SelectRows);
    commands_->setSelectionMode(QAbstractItemView::SingleSelection);
    commands_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (size_t i = 0; i < kAssignableCount; ++i) {
        commands_->setItem(static_cast<int>(i), 0, new QTableWidgetItem(Q(kAssignableCommands[i].label)));
        commands_->setItem(static_cast<int>(i), 1, new QTableWidgetItem);
        FillRow(static_cast<int>(i));
    }
    commands_->setMinimumWidth(211 + 80 + 24);
    h->addWidget(commands_, 1);

    auto* side = new QVBoxLayout;
    side->addWidget(new QLabel(Q("キー選択"), this));
    keys_ = new QListWidget(this);
    for (uint16_t key : SelectableKeys()) {
        auto* item = new QListWidgetItem(Q(KeyName(key)), keys_);
        item->setData(Qt::UserRole, key);
    }
    side->addWidget(keys_, 1);
    side->addWidget(ctrl_ = new QCheckBox(Q("Ctrl"), this));
    side->addWidget(shift_ = new QCheckBox(Q("Shift"), this));
    auto* assign = new QPushButton(Q("登録"), this);
    auto* clear = new QPushButton(Q("解除"), this);
    auto* reset = new QPushButton(Q("初期化"), this);
    auto* close = new QPushButton(Q("閉じる"), this);
    connect(assign, &QPushButton::clicked, this, &KeyDialog::Assign);
    connect(clear, &QPushButton::clicked, this, &KeyDialog::Clear);
    connect(reset, &QPushButton::clicked, this, &KeyDialog::Reset);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    for (QPushButton* b : {assign, clear, reset, close}) side->addWidget(b);
    h->addLayout(side);
    resize(520, 440);
}

void KeyDialog::FillRow(int index) {
    commands_->item(index, 1)->setText(Q(KeyText(copy_.keys[static_cast<size_t>(index)])));
}

int KeyDialog::SelectedCommand() const {
    const QList<QTableWidgetItem*> selected = commands_->selectedItems();
    return selected.isEmpty() ? -1 : selected.first()->row();
}

void KeyDialog::Assign() {
    const int index = SelectedCommand();
    QListWidgetItem* keyItem = keys_->currentItem();
    const uint16_t key = keyItem && keyItem->isSelected() ? static_cast<uint16_t>(keyItem->data(Qt::UserRole).toUInt()) : 0;
    switch (AssignKey(copy_.keys, index, key, ctrl_->isChecked(), shift_->isChecked())) {
        case KeyChange::NoCommand:
            if (box_) box_(this, NoCommandBox());
            return;
        case KeyChange::AlreadyAssigned:
            if (box_) box_(this, AlreadyAssignedBox());
            return;
        case KeyChange::NoKey:
            return;
        case KeyChange::Done:
            FillRow(index);
            copy_.keysChanged = true;
            return;
    }
}

void KeyDialog::Clear() {
    const int index = SelectedCommand();
    if (ClearKey(copy_.keys, index) == KeyChange::NoCommand) {
        if (box_) box_(this, NoCommandBox());
        return;
    }
    FillRow(index);
    copy_.keysChanged = true;
}

void KeyDialog::Reset() {
    if (!box_ || box_(this, ResetKeysBox()) != BoxResult::Yes) return;
    copy_.keys = DefaultAccelerators();
    for (int i = 0; i < static_cast<int>(kAssignableCount); ++i) FillRow(i);
    copy_.keysChanged = true;
}

}  // namespace lumra::ui
