#include "ui/settings_window/settings_window_controller.h"

#include "settings/notification_center.h"
#include "settings/settings.h"
#include "ui/settings_window/general_tab.h"
#include "ui/settings_window/settings_layout.h"
#include "ui/settings_window/text_processing_tab.h"

#include <QDialog>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>

using namespace SettingsLayout;

SettingsWindowController::SettingsWindowController(HealthCheck checkServerHealth, QObject* parent)
    : QObject(parent)
    , settingsWindow(std::make_unique<QDialog>())
{
    settingsWindow->setWindowTitle(QStringLiteral("Parlix 设置"));
    settingsWindow->setWindowFlags(
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    settingsWindow->setFixedSize(windowWidth, windowHeight);
    // The controls are sized for a 13-pixel control font.
    settingsWindow->setFont(pixelFont(settingsWindow->font(), 13));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        settingsWindow->move(available.center() - QPoint(windowWidth / 2, windowHeight / 2));
    }

    setupUI(std::move(checkServerHealth));
    loadSettings();
}

SettingsWindowController::~SettingsWindowController()
{
    // The window outlives this object's members by a moment; keep its children's last
    // signals (focus, selection) from reaching the tabs of a controller that is half gone.
    QObjectList receivers = findChildren<QObject*>();
    receivers.append(this);
    for (QObject* child : settingsWindow->findChildren<QObject*>()) {
        for (QObject* receiver : receivers)
            child->disconnect(receiver);
    }
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

void SettingsWindowController::setupUI(HealthCheck checkServerHealth)
{
    // Created first, so it is the window's first child: the count label is found through it.
    auto* tabs = new QTabWidget(settingsWindow.get());
    tabs->setObjectName(QStringLiteral("tabView"));
    place(tabs, 10, 50, 500, 400, windowHeight);

    auto* general = new QWidget;
    general->setObjectName(QStringLiteral("general"));
    general->setFixedSize(pageWidth, pageHeight);
    tabs->addTab(general, QStringLiteral("通用"));
    auto* textProcessing = new QWidget;
    textProcessing->setObjectName(QStringLiteral("textProcessing"));
    textProcessing->setFixedSize(pageWidth, pageHeight);
    tabs->addTab(textProcessing, QStringLiteral("文本处理"));

    generalTab = new GeneralTab(general, std::move(checkServerHealth), this);
    textProcessingTab = new TextProcessingTab(textProcessing, this);

    auto* save = new QPushButton(QStringLiteral("保存"), settingsWindow.get());
    save->setObjectName(QStringLiteral("saveButton"));
    save->setDefault(true);
    place(save, 420, 12, 80, 32, windowHeight);
    connect(save, &QPushButton::clicked, this, &SettingsWindowController::saveSettings);
}

void SettingsWindowController::loadSettings()
{
    const Settings& settings = Settings::shared();
    generalTab->loadSettings(settings);
    textProcessingTab->loadSettings(settings);
}

void SettingsWindowController::saveSettings()
{
    Settings& settings = Settings::shared();
    generalTab->saveSettings(settings);
    textProcessingTab->saveSettings(settings);
    NotificationCenter::shared().post(kTriggerKeyChangedNotification);
    settingsWindow->close();
}
