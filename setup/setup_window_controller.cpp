#include "setup/setup_window_controller.h"

#include "server/python_tools.h"
#include "settings/settings.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QWidget>
#include <algorithm>
#include <cmath>

static constexpr int kWidth = 500;
static constexpr int kHeight = 320;
static constexpr int kHealthCheckIntervalMs = 3000;

// The layout is given with the origin at the bottom left; Qt's is at the top left.
static QRect frame(int x, int y, int width, int height)
{
    return QRect(x, kHeight - y - height, width, height);
}

static QLabel* makeLabel(QWidget* parent, const QString& text, const QRect& geometry)
{
    auto* label = new QLabel(text, parent);
    label->setGeometry(geometry);
    // Text fields draw from the top of their frame; a second line is clipped, not centred.
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    return label;
}

static void setFont(QWidget* widget, int pixelSize, QFont::Weight weight)
{
    QFont font = widget->font();
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    widget->setFont(font);
}

// Secondary and tertiary label colours: the text colour, faded.
static void fadeText(QLabel* label, double alpha)
{
    QPalette palette = label->palette();
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(alpha);
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

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
    setupUI();
    modeChanged();
}

SetupWindowController::~SetupWindowController() = default;

QWidget* SetupWindowController::window() const
{
    return m_window.get();
}

void SetupWindowController::showWindow()
{
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void SetupWindowController::setupUI()
{
    m_window = std::make_unique<QWidget>(
        nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    QWidget* w = m_window.get();
    w->setObjectName(QStringLiteral("setupWindow"));
    w->setWindowTitle(QStringLiteral("Parlix 设置"));
    w->setFixedSize(kWidth, kHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        w->move(available.center() - QPoint(kWidth / 2, kHeight / 2));
    }

    auto* title = makeLabel(w, QStringLiteral("欢迎使用 Parlix"), frame(30, 260, 440, 30));
    setFont(title, 20, QFont::Bold);

    const QString hint = QStringLiteral("按住 ") + shortName(Settings::shared().triggerKey())
        + QStringLiteral(" 键说话，松开自动识别并输入文字");
    auto* hintLabel = makeLabel(w, hint, frame(30, 225, 440, 20));
    setFont(hintLabel, 13, QFont::Normal);
    fadeText(hintLabel, 0.55);

    makeLabel(w, QStringLiteral("识别模式:"), frame(30, 180, 80, 20));

    modeSelector = new QComboBox(w);
    modeSelector->setObjectName(QStringLiteral("modeSelector"));
    modeSelector->setGeometry(frame(115, 178, 350, 26));
    modeSelector->addItem(QStringLiteral("本地模式（推荐）- 首次需下载 ~2GB 模型"));
    modeSelector->addItem(QStringLiteral("远程模式 - 连接已部署的服务器"));
    modeSelector->setCurrentIndex(0);
    connect(modeSelector, &QComboBox::activated, this, &SetupWindowController::modeChanged);

    statusLabel = makeLabel(w, QStringLiteral("选择模式后点击开始"), frame(30, 130, 440, 22));
    statusLabel->setObjectName(QStringLiteral("statusLabel"));
    setFont(statusLabel, 14, QFont::Medium);

    progressBar = new QProgressBar(w);
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->setGeometry(frame(30, 100, 440, 20));
    progressBar->setTextVisible(false);
    progressBar->setRange(0, 0); // indeterminate until a percentage arrives
    progressBar->hide();

    detailLabel = makeLabel(w, QString(), frame(30, 75, 440, 18));
    detailLabel->setObjectName(QStringLiteral("detailLabel"));
    setFont(detailLabel, 11, QFont::Normal);
    fadeText(detailLabel, 0.35);

    actionButton = new QPushButton(QStringLiteral("开始设置"), w);
    actionButton->setObjectName(QStringLiteral("actionButton"));
    actionButton->setGeometry(frame(380, 20, 100, 32));
    actionButton->setDefault(true);
    connect(actionButton, &QPushButton::clicked, this, &SetupWindowController::onActionTriggered);

    auto* skipButton = new QPushButton(QStringLiteral("稍后设置"), w);
    skipButton->setObjectName(QStringLiteral("skipButton"));
    skipButton->setGeometry(frame(280, 20, 90, 32));
    connect(skipButton, &QPushButton::clicked, this, &SetupWindowController::skipSetup);

    // A plain window has no default button; Return must reach the main button wherever
    // the focus is, as the pop-up ignores it.
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(key), w);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, &SetupWindowController::onReturnPressed);
    }
}

void SetupWindowController::onReturnPressed()
{
    if (actionButton->isEnabled() && actionButton->isVisible())
        actionButton->click();
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
    currentMode = modeSelector->currentIndex() == 0 ? QStringLiteral("local") : QStringLiteral("remote");
    if (currentMode == QLatin1String("remote")) {
        statusLabel->setText(QStringLiteral("请确保远程服务器已启动"));
        actionButton->setText(QStringLiteral("完成设置"));
    } else if (m_server.modelExists()) {
        statusLabel->setText(QStringLiteral("✅ 模型已下载，可以直接使用"));
        actionButton->setText(QStringLiteral("开始使用"));
    } else {
        statusLabel->setText(QStringLiteral("首次使用需要下载模型（约 2GB）"));
        actionButton->setText(QStringLiteral("下载并安装"));
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
        m_window->close();
}

void SetupWindowController::skipSetup()
{
    healthCheckTimer.stop();
    m_window->close();
}

void SetupWindowController::startLocalSetup()
{
    Settings::shared().setUseLocalServer(true);
    actionButton->setEnabled(false);
    modeSelector->setEnabled(false);
    progressBar->show();
    statusLabel->setText(QStringLiteral("正在检查环境..."));
    detailLabel->setToolTip(QString());

    if (!findUv()) {
        showError(QStringLiteral("找不到 uv 工具，请重新安装应用"));
        return;
    }
    detailLabel->setText(QStringLiteral("使用 uv 管理 Python 环境"));
    subscribeToServer();

    if (m_server.venvExists()) {
        continueWithServerStart();
        return;
    }
    statusLabel->setText(QStringLiteral("正在创建 Python 环境..."));
    detailLabel->setText(QStringLiteral("首次运行需要下载 Python（约 60MB）"));
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
        self->detailLabel->setText(stage);
        if (total >= 1)
            self->setBarDeterminate(double(current) / double(total) * 100.0);
    };
    m_server.onLog = [self](const QString& message) {
        if (self)
            self->detailLabel->setText(message);
    };
    m_server.onDownloadProgress = [self](int percent) {
        if (!self)
            return;
        self->setBarDeterminate(percent);
        self->statusLabel->setText(QStringLiteral("正在下载模型... %1%").arg(percent));
        self->detailLabel->setText(QString());
    };
}

void SetupWindowController::continueWithServerStart()
{
    statusLabel->setText(QStringLiteral("正在启动服务..."));
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
        statusLabel->setText(QStringLiteral("正在检查环境..."));
        return;
    case Kind::installingDeps:
        statusLabel->setText(QStringLiteral("正在安装依赖..."));
        return;
    case Kind::downloadingModel:
        statusLabel->setText(QStringLiteral("正在下载模型..."));
        setBarIndeterminate();
        return;
    case Kind::startingServer:
        statusLabel->setText(QStringLiteral("正在启动服务..."));
        detailLabel->setText(QStringLiteral("首次启动可能需要 1-2 分钟"));
        return;
    case Kind::loadingModel:
        statusLabel->setText(QStringLiteral("正在加载模型..."));
        detailLabel->setText(QStringLiteral("首次加载模型可能需要较长时间，请耐心等待"));
        return;
    case Kind::ready:
        break;
    case Kind::error:
        showError(status.message);
        return;
    }

    if (accessibilityTrusted()) {
        statusLabel->setText(QStringLiteral("✅ 设置完成！"));
        actionButton->setText(QStringLiteral("开始使用"));
        detailLabel->setText(QStringLiteral("本地 ASR 服务已就绪"));
    } else {
        statusLabel->setText(QStringLiteral("⚠️ 需要重启 App"));
        actionButton->setText(QStringLiteral("退出并重新打开"));
        detailLabel->setText(QStringLiteral("请先在「系统设置 → 辅助功能」中授权 Parlix，然后重新打开 App"));
    }
    progressBar->hide();
    actionButton->setEnabled(true);
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
            m_window->close();
        return;
    }
    // Without the permission nothing can be typed; the user reopens Parlix after granting it.
    m_window->close();
    QCoreApplication::quit();
}

void SetupWindowController::showError(const QString& message)
{
    statusLabel->setText(QStringLiteral("❌ 出错了"));
    detailLabel->setText(message);
    // The label shows one line; the tool's output that follows stays readable here.
    detailLabel->setToolTip(message);
    progressBar->hide();
    actionButton->setText(QStringLiteral("重试"));
    actionButton->setEnabled(true);
    // "重试" must retry (or complete remotely), even when the error follows a ready.
    m_actionFinishes = false;
    modeSelector->setEnabled(true);
}

void SetupWindowController::setBarDeterminate(double value)
{
    progressBar->setRange(0, 100);
    progressBar->setValue(int(std::lround(std::clamp(value, 0.0, 100.0))));
}

void SetupWindowController::setBarIndeterminate()
{
    progressBar->setRange(0, 0);
}

bool SetupWindowController::accessibilityTrusted() const
{
    return !m_isAccessibilityTrusted || m_isAccessibilityTrusted();
}
