#include "settings_window_controller.h"

#include "settings/notification_center.h"
#include "settings/settings.h"
#include "ui/settings_window/add_hotword_dialog.h"
#include "ui/settings_window/hotword_list_model.h"
#include "ui/settings_window/status_colors.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTableView>
#include <algorithm>
#include <array>

static constexpr int kWindowWidth = 520;
static constexpr int kWindowHeight = 460;
static constexpr int kPageWidth = 480;
static constexpr int kPageHeight = 340;
static constexpr int kHotwordCountTag = 200;

// Language pop-up positions and the codes they store.
static const std::array<QString, 4> kLanguageCodes
    = {QStringLiteral("auto"), QStringLiteral("zh"), QStringLiteral("en"), QStringLiteral("ja")};
static const std::array<QString, 4> kLanguageTitles = {
    QStringLiteral("自动检测"), QStringLiteral("中文"), QStringLiteral("English"), QStringLiteral("日本語")};

// The layout is drawn with the origin at the bottom left; Qt's is at the top left.
static void place(QWidget* widget, int x, int y, int width, int height, int parentHeight = kPageHeight)
{
    widget->setGeometry(x, parentHeight - y - height, width, height);
}

static QFont pixelFont(const QFont& base, int pixelSize, bool bold = false)
{
    QFont font = base;
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

static void setTextColor(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

static QLabel* makeLabel(QWidget* page, const QString& text, int x, int y, int width, int height)
{
    auto* label = new QLabel(text, page);
    place(label, x, y, width, height);
    return label;
}

static QPushButton* makeButton(QWidget* page, const QString& text, int x, int y, int width, int height)
{
    auto* button = new QPushButton(text, page);
    // Only "保存" may answer Return; a focused side button must not take it over.
    button->setAutoDefault(false);
    place(button, x, y, width, height);
    return button;
}

SettingsWindowController::SettingsWindowController(HealthCheck checkHealth, QObject* parent)
    : QObject(parent)
    , checkServerHealth(std::move(checkHealth))
    , settingsWindow(std::make_unique<QDialog>())
    , connectionTester(new ConnectionTester(this))
    , hotwordModel(new HotwordListModel(this))
{
    settingsWindow->setWindowTitle(QStringLiteral("Parlix 设置"));
    settingsWindow->setWindowFlags(
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    settingsWindow->setFixedSize(kWindowWidth, kWindowHeight);
    // The controls are sized for a 13-pixel control font.
    settingsWindow->setFont(pixelFont(settingsWindow->font(), 13));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        settingsWindow->move(available.center() - QPoint(kWindowWidth / 2, kWindowHeight / 2));
    }
    connect(connectionTester, &ConnectionTester::finished, this,
        &SettingsWindowController::showConnectionOutcome);

    setupUI();
    loadSettings();
}

SettingsWindowController::~SettingsWindowController()
{
    // The window outlives this object's members by a moment; keep its children's last
    // signals (focus, selection) from reaching a controller that is half gone.
    for (QObject* child : settingsWindow->findChildren<QObject*>())
        child->disconnect(this);
    settingsWindow->disconnect(this);
}

void SettingsWindowController::showWindow()
{
    settingsWindow->show();
    settingsWindow->raise();
    settingsWindow->activateWindow();
}

QWidget* SettingsWindowController::window() const
{
    return settingsWindow.get();
}

void SettingsWindowController::setupUI()
{
    // Created first, so it is the window's first child: the count label is found through it.
    auto* tabs = new QTabWidget(settingsWindow.get());
    tabs->setObjectName(QStringLiteral("tabView"));
    place(tabs, 10, 50, 500, 400, kWindowHeight);

    auto* general = new QWidget;
    general->setObjectName(QStringLiteral("general"));
    general->setFixedSize(kPageWidth, kPageHeight);
    tabs->addTab(general, QStringLiteral("通用"));
    auto* textProcessing = new QWidget;
    textProcessing->setObjectName(QStringLiteral("textProcessing"));
    textProcessing->setFixedSize(kPageWidth, kPageHeight);
    tabs->addTab(textProcessing, QStringLiteral("文本处理"));

    setupGeneralTab(general);
    setupTextProcessingTab(textProcessing);

    auto* save = new QPushButton(QStringLiteral("保存"), settingsWindow.get());
    save->setObjectName(QStringLiteral("saveButton"));
    save->setDefault(true);
    place(save, 420, 12, 80, 32, kWindowHeight);
    connect(save, &QPushButton::clicked, this, &SettingsWindowController::saveSettings);
}

void SettingsWindowController::setupGeneralTab(QWidget* page)
{
    const QFont small = pixelFont(page->font(), 11);

    localModeCheckbox = new QCheckBox(QStringLiteral("使用本地 ASR（推荐，完全离线）"), page);
    localModeCheckbox->setObjectName(QStringLiteral("localModeCheckbox"));
    place(localModeCheckbox, 15, 310, 300, 20);
    connect(localModeCheckbox, &QCheckBox::toggled, this, &SettingsWindowController::toggleLocalMode);

    serverStatusLabel = makeLabel(page, QString(), 310, 310, 150, 20);
    serverStatusLabel->setObjectName(QStringLiteral("serverStatusLabel"));
    serverStatusLabel->setFont(small);
    serverStatusLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    makeLabel(page, QStringLiteral("远程服务器:"), 15, 272, 85, 20);
    serverTextField = new QLineEdit(page);
    serverTextField->setObjectName(QStringLiteral("serverTextField"));
    serverTextField->setPlaceholderText(Settings::defaultRemoteServerURL());
    place(serverTextField, 105, 272, 275, 24);

    testButton = makeButton(page, QStringLiteral("测试"), 385, 272, 75, 24);
    testButton->setObjectName(QStringLiteral("testButton"));
    connect(testButton, &QPushButton::clicked, this, &SettingsWindowController::testConnection);

    makeLabel(page, QStringLiteral("识别语言:"), 15, 234, 85, 20);
    languagePopup = new QComboBox(page);
    languagePopup->setObjectName(QStringLiteral("languagePopup"));
    for (const QString& title : kLanguageTitles)
        languagePopup->addItem(title);
    place(languagePopup, 105, 232, 150, 26);

    makeLabel(page, QStringLiteral("触发按键:"), 15, 196, 85, 20);
    triggerKeyPopup = new QComboBox(page);
    triggerKeyPopup->setObjectName(QStringLiteral("triggerKeyPopup"));
    for (const TriggerKey key : allTriggerKeys)
        triggerKeyPopup->addItem(displayName(key));
    place(triggerKeyPopup, 105, 194, 150, 26);
    connect(
        triggerKeyPopup, &QComboBox::currentIndexChanged, this, &SettingsWindowController::triggerKeyChanged);

    launchAtLoginCheckbox = new QCheckBox(QStringLiteral("开机时自动启动"), page);
    launchAtLoginCheckbox->setObjectName(QStringLiteral("launchAtLoginCheckbox"));
    place(launchAtLoginCheckbox, 15, 158, 200, 20);

    makeLabel(page, QStringLiteral("翻译服务:"), 15, 120, 85, 20);
    translationServerTextField = new QLineEdit(page);
    translationServerTextField->setObjectName(QStringLiteral("translationServerTextField"));
    translationServerTextField->setPlaceholderText(Settings::defaultTranslationServerURL());
    place(translationServerTextField, 105, 120, 275, 24);

    hintLabel = makeLabel(page, QString(), 15, 10, 400, 16);
    hintLabel->setObjectName(QStringLiteral("hintLabel"));
    hintLabel->setFont(small);
    setTextColor(hintLabel, StatusColors::tertiary());
}

void SettingsWindowController::setupTextProcessingTab(QWidget* page)
{
    const QFont heading = pixelFont(page->font(), 13, true);
    const QFont tiny = pixelFont(page->font(), 10);

    makeLabel(page, QStringLiteral("后处理选项"), 15, 310, 200, 20)->setFont(heading);

    fillerRemovalCheckbox = new QCheckBox(QStringLiteral("去除语气词和口头禅（由 ASR 模型智能过滤）"), page);
    fillerRemovalCheckbox->setObjectName(QStringLiteral("fillerRemovalCheckbox"));
    place(fillerRemovalCheckbox, 15, 282, 400, 20);
    cjkSpacingCheckbox = new QCheckBox(QStringLiteral("中英文/中数字间自动加空格"), page);
    cjkSpacingCheckbox->setObjectName(QStringLiteral("cjkSpacingCheckbox"));
    place(cjkSpacingCheckbox, 15, 256, 400, 20);
    hotwordCheckbox = new QCheckBox(QStringLiteral("发送热词列表给 ASR 模型"), page);
    hotwordCheckbox->setObjectName(QStringLiteral("hotwordCheckbox"));
    place(hotwordCheckbox, 15, 230, 400, 20);

    auto* separator = new QFrame(page);
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);
    place(separator, 15, 200, 440, 1);

    makeLabel(page, QStringLiteral("热词列表"), 15, 175, 200, 20)->setFont(heading);
    // Ends where the buttons begin: at its full width (to 460) "添加" would cover the text.
    QLabel* purpose = makeLabel(page, QStringLiteral("提高特定词汇的识别准确率"), 200, 177, 190, 16);
    purpose->setFont(tiny);
    purpose->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setTextColor(purpose, StatusColors::tertiary());

    hotwordTableView = new QTableView(page);
    hotwordTableView->setObjectName(QStringLiteral("hotwordTableView"));
    hotwordTableView->setModel(hotwordModel);
    hotwordTableView->setAlternatingRowColors(true);
    hotwordTableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    hotwordTableView->setSelectionMode(QAbstractItemView::SingleSelection);
    hotwordTableView->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    hotwordTableView->setShowGrid(false);
    hotwordTableView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    hotwordTableView->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    hotwordTableView->verticalHeader()->hide();
    hotwordTableView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    hotwordTableView->verticalHeader()->setDefaultSectionSize(22);
    hotwordTableView->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    hotwordTableView->horizontalHeader()->setStretchLastSection(false);
    hotwordTableView->setColumnWidth(0, 330);
    place(hotwordTableView, 15, 45, 370, 120);

    QPushButton* add = makeButton(page, QStringLiteral("添加"), 395, 165, 70, 24);
    add->setObjectName(QStringLiteral("addButton"));
    connect(add, &QPushButton::clicked, this, &SettingsWindowController::addHotword);
    QPushButton* remove = makeButton(page, QStringLiteral("删除"), 395, 135, 70, 24);
    remove->setObjectName(QStringLiteral("deleteButton"));
    connect(remove, &QPushButton::clicked, this, &SettingsWindowController::deleteHotword);
    QPushButton* reset = makeButton(page, QStringLiteral("恢复默认"), 395, 95, 70, 24);
    reset->setObjectName(QStringLiteral("resetButton"));
    reset->setFont(pixelFont(page->font(), 11));
    connect(reset, &QPushButton::clicked, this, &SettingsWindowController::resetToDefaultHotwords);

    QLabel* count = makeLabel(page, QString(), 15, 25, 200, 14);
    count->setObjectName(QStringLiteral("hotwordCountLabel"));
    count->setProperty("tag", kHotwordCountTag);
    count->setFont(tiny);
    setTextColor(count, StatusColors::tertiary());
}

void SettingsWindowController::loadSettings()
{
    const Settings& settings = Settings::shared();
    serverTextField->setText(settings.remoteServerURL());
    launchAtLoginCheckbox->setChecked(settings.launchAtLogin());
    localModeCheckbox->setChecked(settings.useLocalServer());

    const auto language = std::find(kLanguageCodes.begin(), kLanguageCodes.end(), settings.language());
    languagePopup->setCurrentIndex(
        language == kLanguageCodes.end() ? 0 : int(language - kLanguageCodes.begin()));
    const auto key = std::find(allTriggerKeys.begin(), allTriggerKeys.end(), settings.triggerKey());
    triggerKeyPopup->setCurrentIndex(key == allTriggerKeys.end() ? 0 : int(key - allTriggerKeys.begin()));
    translationServerTextField->setText(settings.translationServerURL());

    fillerRemovalCheckbox->setChecked(settings.enableFillerRemoval());
    cjkSpacingCheckbox->setChecked(settings.enableCJKSpacing());
    hotwordCheckbox->setChecked(settings.enableHotwords());
    hotwordModel->setEntries(settings.hotwords());

    updateHotwordCount();
    updateUIForLocalMode();
    updateServerStatus();
    updateHintLabel();
}

void SettingsWindowController::saveSettings()
{
    Settings& settings = Settings::shared();
    settings.setUseLocalServer(localModeCheckbox->isChecked());
    settings.setRemoteServerURL(serverTextField->text());
    settings.setLaunchAtLogin(launchAtLoginCheckbox->isChecked());
    const int language = languagePopup->currentIndex();
    settings.setLanguage(language >= 0 && language < int(kLanguageCodes.size())
            ? kLanguageCodes[size_t(language)]
            : kLanguageCodes[0]);
    const int key = triggerKeyPopup->currentIndex();
    settings.setTriggerKey(
        key >= 0 && key < int(allTriggerKeys.size()) ? allTriggerKeys[size_t(key)] : TriggerKey::fn);
    settings.setEnableFillerRemoval(fillerRemovalCheckbox->isChecked());
    settings.setEnableCJKSpacing(cjkSpacingCheckbox->isChecked());
    settings.setEnableHotwords(hotwordCheckbox->isChecked());
    settings.setTranslationServerURL(translationServerTextField->text());

    NotificationCenter::shared().post(kTriggerKeyChangedNotification);
    settingsWindow->close();
}

void SettingsWindowController::triggerKeyChanged()
{
    updateHintLabel();
}

void SettingsWindowController::updateHintLabel()
{
    const int index = triggerKeyPopup->currentIndex();
    const TriggerKey key
        = index >= 0 && index < int(allTriggerKeys.size()) ? allTriggerKeys[size_t(index)] : TriggerKey::fn;
    hintLabel->setText(
        QStringLiteral("按住 ") + shortName(key) + QStringLiteral(" 键说话，松开自动识别输入"));
}

void SettingsWindowController::toggleLocalMode()
{
    updateUIForLocalMode();
}

void SettingsWindowController::updateUIForLocalMode()
{
    const bool remote = !localModeCheckbox->isChecked();
    serverTextField->setEnabled(remote);
    testButton->setEnabled(remote);
}

void SettingsWindowController::updateServerStatus()
{
    if (!Settings::shared().useLocalServer() || !checkServerHealth)
        return;
    checkServerHealth([self = QPointer<SettingsWindowController>(this)](bool running) {
        if (!self)
            return;
        if (running)
            self->setServerStatus(QStringLiteral("✅ 本地服务运行中"), StatusColors::green());
        else
            self->setServerStatus(QStringLiteral("⚠️ 本地服务未启动"), StatusColors::orange());
    });
}

void SettingsWindowController::testConnection()
{
    const QUrl probe = ConnectionTester::probeUrl(serverTextField->text());
    if (!probe.isValid()) {
        setServerStatus(QStringLiteral("❌ 无效 URL"), StatusColors::red());
        return;
    }
    setServerStatus(QStringLiteral("测试中..."), StatusColors::secondary());
    connectionTester->start(probe);
}

void SettingsWindowController::showConnectionOutcome(ConnectionTester::Outcome outcome)
{
    switch (outcome) {
    case ConnectionTester::Outcome::Success:
        setServerStatus(QStringLiteral("✅ 连接成功"), StatusColors::green());
        break;
    case ConnectionTester::Outcome::ServerError:
        setServerStatus(QStringLiteral("❌ 服务器异常"), StatusColors::red());
        break;
    case ConnectionTester::Outcome::ConnectionFailed:
        setServerStatus(QStringLiteral("❌ 连接失败"), StatusColors::red());
        break;
    }
}

void SettingsWindowController::setServerStatus(const QString& text, const QColor& color)
{
    serverStatusLabel->setText(text);
    setTextColor(serverStatusLabel, color);
}

void SettingsWindowController::addHotword()
{
    AddHotwordDialog dialog(settingsWindow.get());
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (hotwordModel->add(dialog.text()))
        updateHotwordCount();
}

void SettingsWindowController::deleteHotword()
{
    const QModelIndexList selected = hotwordTableView->selectionModel()->selectedRows();
    if (selected.isEmpty())
        return;
    if (hotwordModel->removeAt(selected.first().row()))
        updateHotwordCount();
}

void SettingsWindowController::resetToDefaultHotwords()
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Parlix"), QStringLiteral("恢复默认热词列表？"),
        QMessageBox::NoButton, settingsWindow.get());
    box.setInformativeText(QStringLiteral("这将清除所有自定义热词，恢复为内置的默认列表。"));
    QPushButton* restore = box.addButton(QStringLiteral("恢复"), QMessageBox::AcceptRole);
    box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
    box.setDefaultButton(restore);
    box.exec();
    if (box.clickedButton() != restore)
        return;
    hotwordModel->resetToDefaults();
    updateHotwordCount();
}

void SettingsWindowController::updateHotwordCount()
{
    // Found through the window, as the layout promises: first child the tabs, second tab
    // the text-processing page, in it the label tagged 200.
    const QList<QWidget*> children = settingsWindow->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    auto* tabs = children.isEmpty() ? nullptr : qobject_cast<QTabWidget*>(children.first());
    QWidget* page = tabs ? tabs->widget(1) : nullptr;
    if (!page)
        return;
    for (QWidget* view : page->findChildren<QWidget*>()) {
        if (view->property("tag").toInt() != kHotwordCountTag)
            continue;
        if (auto* label = qobject_cast<QLabel*>(view))
            label->setText(QStringLiteral("共 %1 个热词").arg(hotwordModel->rowCount()));
        return;
    }
}
