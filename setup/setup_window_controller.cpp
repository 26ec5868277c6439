#include "setup/setup_window_controller.h"

#include "server/python_tools.h"
#include "settings/settings.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>

static constexpr int kHealthCheckIntervalMs = 3000;

SetupWindowController::SetupWindowController(
    std::function<bool()> isAccessibilityTrusted, LocalServerManager& server, QObject* parent)
    : QObject(parent)
    , m_isAccessibilityTrusted(std::move(isAccessibilityTrusted))
    , m_server(server)
{
    healthCheckTimer.setInterval(kHealthCheckIntervalMs);
    connect(&healthCheckTimer, &QTimer::timeout, this, [this] {
        m_server.checkServerHealth([self = QPointer(this)](bool healthy) {
            if (!self || !healthy)
                return;
            self->healthCheckTimer.stop();
            QTimer::singleShot(0, self, [self] {
                if (self)
                    self->handleStatusChange(ServerStatus::make(ServerStatus::Kind::ready));
            });
        });
    });
    connect(view.modeSelector, &QComboBox::activated, this, &SetupWindowController::modeChanged);
    connect(view.actionButton, &QPushButton::clicked, this, &SetupWindowController::onActionTriggered);
    connect(view.skipButton, &QPushButton::clicked, this, &SetupWindowController::skipSetup);
    modeChanged();
}

SetupWindowController::~SetupWindowController() = default;

QWidget* SetupWindowController::window() const
{
    return view.window();
}

void SetupWindowController::showWindow()
{
    view.window()->show();
    view.window()->raise();
    view.window()->activateWindow();
}

void SetupWindowController::onActionTriggered()
{
    if (m_actionFinishes)
        finishSetup();
    else
        actionButtonClicked();
}

void SetupWindowController::modeChanged()
{
    currentMode = view.modeSelector->currentIndex() == 0 ? QStringLiteral("local") : QStringLiteral("remote");
    if (currentMode == QLatin1String("remote")) {
        view.statusLabel->setText(QStringLiteral("请确保远程服务器已启动"));
        view.actionButton->setText(QStringLiteral("完成设置"));
    } else if (m_server.modelExists()) {
        view.statusLabel->setText(QStringLiteral("✅ 模型已下载，可以直接使用"));
        view.actionButton->setText(QStringLiteral("开始使用"));
    } else {
        view.statusLabel->setText(QStringLiteral("首次使用需要下载模型（约 2GB）"));
        view.actionButton->setText(QStringLiteral("下载并安装"));
    }
}

void SetupWindowController::actionButtonClicked()
{
    if (currentMode == QLatin1String("local")) {
        startLocalSetup();
        return;
    }
    Settings::shared().setUseLocalServer(false);
    Settings::shared().setSetupCompleted(true);
    // The callback may drop this controller (the delegate replaces its wizard).
    const QPointer self(this);
    if (const auto complete = onComplete)
        complete();
    if (self)
        view.window()->close();
}

void SetupWindowController::skipSetup()
{
    healthCheckTimer.stop();
    view.window()->close();
}

void SetupWindowController::startLocalSetup()
{
    Settings::shared().setUseLocalServer(true);
    view.actionButton->setEnabled(false);
    view.modeSelector->setEnabled(false);
    view.progressBar->show();
    view.statusLabel->setText(QStringLiteral("正在检查环境..."));
    view.detailLabel->setToolTip(QString());

    view.detailLabel->setText(QStringLiteral("使用系统 Python 环境"));
    subscribeToServer();

    if (m_server.venvExists()) {
        continueWithServerStart();
        return;
    }
    view.statusLabel->setText(QStringLiteral("正在创建 Python 环境..."));
    // The system's python3 makes it: nothing is downloaded in this step.
    view.detailLabel->setText(QStringLiteral("使用系统 Python 创建虚拟环境，无需下载"));
    createPythonVenv([self = QPointer(this)](bool success, std::optional<QString> error) {
        if (!self)
            return;
        if (success)
            self->continueWithServerStart();
        else
            self->showError(QStringLiteral("创建 Python 环境失败\n") + error.value_or(QString()));
    });
}

void SetupWindowController::subscribeToServer()
{
    const QPointer self(this);
    m_server.onStatusChange = [self](const ServerStatus& status) {
        if (self)
            self->handleStatusChange(status);
    };
    m_server.onProgress = [self](int current, int total, const QString& stage) {
        if (!self)
            return;
        self->view.detailLabel->setText(stage);
        if (total >= 1)
            self->view.setBarDeterminate(double(current) / double(total) * 100.0);
    };
    m_server.onLog = [self](const QString& message) {
        if (self)
            self->view.detailLabel->setText(message);
    };
    m_server.onDownloadProgress = [self](int percent) {
        if (!self)
            return;
        self->view.setBarDeterminate(percent);
        self->view.statusLabel->setText(QStringLiteral("正在下载模型... %1%").arg(percent));
        self->view.detailLabel->setText(QString());
    };
}

void SetupWindowController::continueWithServerStart()
{
    view.statusLabel->setText(QStringLiteral("正在启动服务..."));
    const QPointer self(this);
    m_server.startServer();
    // The start reports through onStatusChange, and an observer might drop us meanwhile.
    if (self)
        startHealthCheckLoop();
}

void SetupWindowController::startHealthCheckLoop()
{
    // Restarting replaces any earlier loop; the first probe comes one interval later.
    healthCheckTimer.start();
}

void SetupWindowController::handleStatusChange(const ServerStatus& status)
{
    using Kind = ServerStatus::Kind;
    switch (status.kind) {
    case Kind::stopped:
        return;
    case Kind::checking:
        view.statusLabel->setText(QStringLiteral("正在检查环境..."));
        return;
    case Kind::installingDeps:
        view.statusLabel->setText(QStringLiteral("正在安装依赖..."));
        return;
    case Kind::downloadingModel:
        view.statusLabel->setText(QStringLiteral("正在下载模型..."));
        view.setBarIndeterminate();
        return;
    case Kind::startingServer:
        view.statusLabel->setText(QStringLiteral("正在启动服务..."));
        view.detailLabel->setText(QStringLiteral("首次启动可能需要 1-2 分钟"));
        return;
    case Kind::loadingModel:
        view.statusLabel->setText(QStringLiteral("正在加载模型..."));
        view.detailLabel->setText(QStringLiteral("首次加载模型可能需要较长时间，请耐心等待"));
        return;
    case Kind::ready:
        break;
    case Kind::error:
        showError(status.message);
        return;
    }

    if (accessibilityTrusted()) {
        view.statusLabel->setText(QStringLiteral("✅ 设置完成！"));
        view.actionButton->setText(QStringLiteral("开始使用"));
        view.detailLabel->setText(QStringLiteral("本地 ASR 服务已就绪"));
    } else {
        view.statusLabel->setText(QStringLiteral("⚠️ 需要重启 App"));
        view.actionButton->setText(QStringLiteral("退出并重新打开"));
        view.detailLabel->setText(
            QStringLiteral("请先在「系统设置 → 辅助功能」中授权 Parlix，然后重新打开 App"));
    }
    view.progressBar->hide();
    view.actionButton->setEnabled(true);
    m_actionFinishes = true;
}

void SetupWindowController::finishSetup()
{
    healthCheckTimer.stop();
    Settings::shared().setSetupCompleted(true);
    if (accessibilityTrusted()) {
        const QPointer self(this);
        if (const auto complete = onComplete)
            complete();
        if (self)
            view.window()->close();
        return;
    }
    // Without the permission nothing can be typed; the user reopens Parlix after granting it.
    view.window()->close();
    QCoreApplication::quit();
}

void SetupWindowController::showError(const QString& message)
{
    view.statusLabel->setText(QStringLiteral("❌ 出错了"));
    view.detailLabel->setText(message);
    // The label shows one line; the tool's output that follows stays readable here.
    view.detailLabel->setToolTip(message);
    view.progressBar->hide();
    view.actionButton->setText(QStringLiteral("重试"));
    view.actionButton->setEnabled(true);
    // "重试" must retry (or complete remotely), even when the error follows a ready.
    m_actionFinishes = false;
    view.modeSelector->setEnabled(true);
}

bool SetupWindowController::accessibilityTrusted() const
{
    return !m_isAccessibilityTrusted || m_isAccessibilityTrusted();
}
