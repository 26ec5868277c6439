#include "app_delegate.h"

#include "app/dictation/dictation_controller.h"
#include "app/dictation/text_injector.h"
#include "app/platform_notice.h"
#include "app/translation_notice.h"
#include "platform/platform_factory.h"
#include "server/local_server_manager.h"
#include "settings/notification_center.h"
#include "settings/settings.h"
#include "setup/setup_window_controller.h"
#include "support/standard_output.h"
#include "translation/libre_translate_engine.h"
#include "ui/message_box_width.h"
#include "ui/settings_window/settings_window_controller.h"
#include "ui/status_item.h"
#include "ui/status_window.h"
#include "ui/waveform_overlay.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QSystemTrayIcon>

namespace {

void checkLocalServerHealth(std::function<void(bool)> completion)
{
    LocalServerManager::shared().checkServerHealth(std::move(completion));
}

} // namespace

AppDelegate::AppDelegate()
    : m_session(sessionKind(SessionEnvironment::current()))
    , m_recorder(createRecorder())
    , m_pasteKeystroke(createPasteKeystroke(m_session))
    , m_translationEngine(std::make_unique<LibreTranslateEngine>())
{
    // X servers never deliver Fn: before any window names the trigger.
    setFnKeyVisible(m_session != SessionKind::X11);
    m_dictation = std::make_unique<DictationController>(
        *this, *m_recorder, *m_pasteKeystroke, *m_translationEngine, [this] { return m_serverReady; });
    connect(
        m_translationEngine.get(), &LibreTranslateEngine::failed, this, &AppDelegate::noteTranslationFailure);
    findSessionClipboard(m_session, this, [this](ClipboardChoice choice) {
        if (choice.clipboard)
            m_dictation->injector().useClipboard(std::move(choice.clipboard));
        if (choice.problem)
            m_clipboardProblem = choice.problem;
        if (choice.problem && m_keyMonitorTried)
            reportPlatformProblems({*choice.problem});
    });
}

void AppDelegate::noteTranslationFailure(
    LibreTranslateEngine::Failure failure, const QString& address, const QString& reason)
{
    // The overlay already says "翻译超时，输出原文" each time; why, and what to do, once.
    if (m_translationNoticeShown)
        return;
    m_translationNoticeShown = true;
    const QString message
        = translationUnavailableMessage(failure, Settings::shared().useLocalServer(), address, reason);
    printLine(QStringLiteral("翻译不可用: ") + message);
    QSystemTrayIcon* tray = m_statusItem ? m_statusItem->trayIcon() : nullptr;
    if (tray && QSystemTrayIcon::supportsMessages())
        tray->showMessage(QStringLiteral("翻译不可用"), message, QSystemTrayIcon::Warning, 10000);
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching()
{
    Settings::shared().loadDefaultHotwordsIfNeeded();
    setupStatusItem();
    // Hand-edited or damaged settings that went back to their defaults: said once, here.
    if (const QStringList& repaired = Settings::shared().repairedAtStart(); !repaired.isEmpty()) {
        showDesktopNotification(
            QStringLiteral("Parlix 已修复设置"), Settings::repairMessage(repaired), m_statusItem->trayIcon());
    }
    setupWindows();
    requestPermissions();
    if (Settings::shared().setupCompleted())
        startApp();
    else
        showSetupWizard();
}

void AppDelegate::applicationWillTerminate()
{
    LocalServerManager::shared().stopServer();
}

void AppDelegate::setupStatusItem()
{
    m_statusItem = std::make_unique<StatusItem>(&checkLocalServerHealth);
    connect(m_statusItem.get(), &StatusItem::openSettingsRequested, this, &AppDelegate::openSettings);
    connect(m_statusItem.get(), &StatusItem::quitRequested, this, &AppDelegate::quit);
    m_statusItem->setupStatusItem();
}

void AppDelegate::setupWindows()
{
    Recorder* recorder = m_recorder.get();
    m_waveform = std::make_unique<WaveformOverlay>([recorder] { return recorder->averagePowerDb(); });
    m_statusWindow = std::make_unique<StatusWindow>();
}

void AppDelegate::requestPermissions()
{
    // Like a permission answer, the microphone check comes after the launch has finished;
    // a stalled audio server does not hold the event loop.
    QMetaObject::invokeMethod(
        this,
        [this] {
            // The recorder's reason (no audio server, no input device, access refused): no
            // system setting grants a microphone here.
            m_recorder->checkInput([this](const QString& error) {
                if (!error.isEmpty())
                    showAlert(QStringLiteral("需要麦克风权限"), error);
            });
        },
        Qt::QueuedConnection);
}

void AppDelegate::showSetupWizard()
{
    // The wizard may be the one completing right now: let it unwind before it goes.
    if (m_setupWindowController)
        m_setupWindowController.release()->deleteLater();
    PasteKeystroke* paste = m_pasteKeystroke.get();
    m_setupWindowController
        = std::make_unique<SetupWindowController>([paste] { return paste && paste->canSend(); });
    QPointer<AppDelegate> self(this);
    m_setupWindowController->onComplete = [self] {
        if (self)
            self->startApp();
    };
    m_statusItem->addShortcutsTo(m_setupWindowController->window());
    m_setupWindowController->showWindow();
}

void AppDelegate::startApp()
{
    if (Settings::shared().useLocalServer()) {
        LocalServerManager& server = LocalServerManager::shared();
        if (!server.venvExists() || !server.modelExists()) {
            Settings::shared().setSetupCompleted(false);
            showSetupWizard();
            return;
        }
        startLocalServer();
    }
    // The tray menu itself observes "TriggerKeyChanged" (StatusItem).
    setupEventTap();
    printLine(QStringLiteral("Parlix 已启动"));
}

void AppDelegate::startLocalServer()
{
    LocalServerManager& server = LocalServerManager::shared();
    const bool alreadyRunning = server.isRunning();
    QPointer<AppDelegate> self(this);
    // The tray's service line follows the server's own preparation (a first install of its
    // packages takes minutes); the wizard's observers, if it ran, are replaced here.
    auto phase = [self](const QString& text) {
        if (self && self->m_statusItem)
            self->m_statusItem->setLocalServicePhase(text);
    };
    server.onProgress = [phase](int current, int total, const QString& stage) {
        phase(total >= 1 && current >= total ? QString() : stage);
    };
    server.onDownloadProgress
        = [phase](int percent) { phase(QStringLiteral("正在下载模型... %1%").arg(percent)); };
    server.onLog = nullptr;
    server.onStatusChange = [self, phase](const ServerStatus& status) {
        if (!self)
            return;
        using Kind = ServerStatus::Kind;
        switch (status.kind) {
        case Kind::installingDeps:
            phase(QStringLiteral("正在安装依赖..."));
            break;
        case Kind::downloadingModel:
            phase(QStringLiteral("正在下载模型..."));
            break;
        case Kind::loadingModel:
            phase(QStringLiteral("正在加载模型..."));
            break;
        case Kind::checking:
        case Kind::startingServer:
            break;
        case Kind::ready:
        case Kind::stopped:
        case Kind::error:
            phase(QString());
            break;
        }
        if (status.kind == ServerStatus::Kind::ready) {
            self->m_serverReady = true;
            printLine(QStringLiteral("本地服务器已就绪"));
        } else if (status.kind == ServerStatus::Kind::error) {
            self->showAlert(QStringLiteral("本地服务器错误"), status.message);
        }
    };
    if (!alreadyRunning)
        server.startServer();
    startServerHealthCheck();
}

void AppDelegate::startServerHealthCheck()
{
    if (m_readinessTimer)
        m_readinessTimer->deleteLater();
    auto* timer = new QTimer(this);
    timer->setInterval(2000);
    m_readinessTimer = timer;
    QPointer<QTimer> guard(timer);
    connect(timer, &QTimer::timeout, this, [this, guard] {
        LocalServerManager::shared().checkServerHealth([this, guard](bool healthy) {
            if (!healthy || !guard)
                return;
            m_serverReady = true;
            guard->stop();
            guard->deleteLater();
        });
    });
    timer->start();
}

void AppDelegate::setupEventTap()
{
    if (m_keyMonitor)
        return;
    QList<PlatformProblem> problems;
    KeyMonitorStart start = createKeyMonitor(m_session);
    m_keyMonitor = std::move(start.monitor);
    m_keyMonitorTried = true;
    if (m_keyMonitor) {
        connect(
            m_keyMonitor.get(), &KeyMonitor::keyEvent, m_dictation.get(), &DictationController::handleEvent);
        TextInjector* injector = &m_dictation->injector();
        connect(m_keyMonitor.get(), &KeyMonitor::keyEvent, injector,
            [injector](KeyEventType, quint64 flags, int) { injector->modifiersChanged(flags); });
        // Without a stored key the trigger is one this monitor can see: the menu says which.
        setFnKeyVisible(m_keyMonitor->seesFnKey());
        NotificationCenter::shared().post(kTriggerKeyChangedNotification);
    } else {
        printLine(QStringLiteral("无法创建事件监听"));
        problems << start.problem.value_or(PlatformProblem::KeyEventsUnavailable);
    }
    if (const auto paste = pasteProblem(*m_pasteKeystroke))
        problems << *paste;
    if (m_clipboardProblem)
        problems << *m_clipboardProblem;
    reportPlatformProblems(problems);
}

void AppDelegate::reportPlatformProblems(const QList<PlatformProblem>& problems)
{
    for (PlatformProblem problem : problems) {
        if (!m_platformProblems.contains(problem))
            m_platformProblems << problem;
    }
    if (m_platformProblems.isEmpty())
        return;
    const PlatformNotice notice = platformNotice(m_platformProblems, uinputRuleInstalled());
    printLine(notice.title + QStringLiteral(": ") + notice.body);
    m_statusItem->setPlatformStatus(notice.statusLines);
    if (m_platformNoticeShown)
        return;
    m_platformNoticeShown = true;
    showDesktopNotification(notice.title, notice.body, m_statusItem->trayIcon());
}

void AppDelegate::openSettings()
{
    if (!m_settingsWindowController) {
        m_settingsWindowController = std::make_unique<SettingsWindowController>(&checkLocalServerHealth);
        m_statusItem->addShortcutsTo(m_settingsWindowController->window());
    }
    m_settingsWindowController->showWindow();
}

void AppDelegate::quit()
{
    LocalServerManager::shared().stopServer();
    QCoreApplication::quit();
}

void AppDelegate::showAlert(const QString& title, const QString& message)
{
    QMessageBox alert(QMessageBox::Warning, QStringLiteral("Parlix"), title);
    alert.setInformativeText(message);
    giveTextRoom(alert);
    alert.addButton(QStringLiteral("好"), QMessageBox::AcceptRole);
    alert.exec();
}

void AppDelegate::showStatus(const QString& text, const QColor& color)
{
    m_statusWindow->showStatus(text, color);
}

void AppDelegate::hideStatusAfterDelay(double seconds)
{
    m_statusWindow->hideAfterDelay(seconds);
}

void AppDelegate::orderOutStatus()
{
    m_statusWindow->orderOut();
}

void AppDelegate::updateStatusIcon(bool recording, const QString& translation)
{
    m_statusItem->updateStatusIcon(recording, translation);
}

void AppDelegate::showWaveformWindow()
{
    m_waveform->showWaveformWindow();
}

void AppDelegate::hideWaveformWindow()
{
    m_waveform->hideWaveformWindow();
}
