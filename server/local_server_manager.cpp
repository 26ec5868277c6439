#include "server/local_server_manager.h"

#include "server/orphan_cleanup.h"
#include "server/python_tools.h"
#include "settings/app_paths.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QPointer>
#include <QProcess>
#include <QTimer>
#include <csignal>
#include <memory>
#include <sys/prctl.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcServer, "parlix.server", QtInfoMsg)

namespace {

constexpr int kStopGraceMs = 1000;
constexpr int kStopPollMs = 50;

// With the pocketsphinx engine the model is Debian's package: there is nothing to download,
// and its presence is what "the model exists" means.
bool usesPocketsphinx()
{
    return qEnvironmentVariable("PARLIX_ASR_ENGINE") == QLatin1String("pocketsphinx");
}

} // namespace

LocalServerManager& LocalServerManager::shared()
{
    static LocalServerManager* instance = new LocalServerManager(LocalServerOptions {});
    return *instance;
}

LocalServerManager::LocalServerManager(QObject* parent)
    : LocalServerManager(LocalServerOptions {}, parent)
{ }

LocalServerManager::LocalServerManager(const LocalServerOptions& options, QObject* parent)
    : QObject(parent)
    , options_(options)
    , network_(new QNetworkAccessManager(this))
{
    // The probe targets the loopback interface; a configured proxy must not see it.
    network_->setProxy(QNetworkProxy::NoProxy);
}

LocalServerManager::~LocalServerManager()
{
    delete cleanup_;
    if (serverProcess_) {
        serverProcess_->disconnect(this);
        endChild(serverProcess_);
        serverProcess_ = nullptr;
    }
}

bool LocalServerManager::isRunning() const
{
    return cleanup_ || (serverProcess_ && serverProcess_->state() != QProcess::NotRunning);
}

bool LocalServerManager::venvExists() const
{
    return QFileInfo::exists(APP_SUPPORT_PATH() + QStringLiteral("/venv/bin/python3"));
}

bool LocalServerManager::modelExists() const
{
    if (usesPocketsphinx())
        return QFileInfo(QStringLiteral("/usr/share/pocketsphinx/model/en-us/en-us")).isDir();
    return QFileInfo::exists(APP_SUPPORT_PATH() + QStringLiteral("/Fun-ASR-Nano-2512/model.pt"));
}

bool LocalServerManager::checkUvAvailable() const
{
    return findUv().has_value();
}

void LocalServerManager::killOrphanServers(std::function<void()> then)
{
    auto* cleanup = new OrphanCleanup(options_.pkillPath, options_.orphanPattern, options_.port, this);
    cleanup_ = cleanup;
    cleanup->run([this, cleanup, then = std::move(then)] {
        // Deleted later: this runs inside one of the clean-up's own signals.
        cleanup->deleteLater();
        if (cleanup_ != cleanup)
            return; // cancelled by a stop
        cleanup_ = nullptr;
        then();
    });
}

QString LocalServerManager::findServerScript() const
{
    const QString shipped = resourcePath(QStringLiteral("local_server.py"));
    if (!shipped.isEmpty())
        return shipped;
    const QString cwd = QDir::currentPath();
    const QString candidates[] = {
        cwd + QStringLiteral("/Resources/local_server.py"),
        cwd + QStringLiteral("/Parlix/Resources/local_server.py"),
        QStringLiteral(PARLIX_MAIN_SOURCE_DIR "/Resources/local_server.py"),
    };
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return {};
}

void LocalServerManager::report(const ServerStatus& status)
{
    if (onStatusChange)
        onStatusChange(status);
}

void LocalServerManager::startServer()
{
    if (isRunning())
        return;
    killOrphanServers([this] { launchServer(); });
}

void LocalServerManager::launchServer()
{
    const QString script = findServerScript();
    if (script.isEmpty()) {
        report(ServerStatus::error(QStringLiteral("找不到服务器脚本")));
        return;
    }
    const QString python = findPython3();
    if (python.isEmpty()) {
        report(ServerStatus::error(QStringLiteral("找不到 Python 环境，请重新设置")));
        return;
    }

    const QString venv = APP_SUPPORT_PATH() + QStringLiteral("/venv");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString inheritedPath = environment.contains(QStringLiteral("PATH"))
        ? environment.value(QStringLiteral("PATH"))
        : QStringLiteral("/usr/bin:/bin");
    environment.insert(QStringLiteral("PATH"),
        venv + QStringLiteral("/bin:/opt/homebrew/bin:/opt/homebrew/sbin:/usr/local/bin:") + inheritedPath);
    environment.insert(QStringLiteral("PYTHONUNBUFFERED"), QStringLiteral("1"));
    environment.insert(QStringLiteral("VIRTUAL_ENV"), venv);
    // A uv around speeds the script's installs up; without one it uses the venv's pip.
    environment.remove(QStringLiteral("UV_PATH"));
    if (const std::optional<QString> uv = findUv())
        environment.insert(QStringLiteral("UV_PATH"), *uv);

    auto* process = new QProcess(this);
    process->setProgram(python);
    process->setArguments({script});
    process->setWorkingDirectory(QDir::homePath());
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::SeparateChannels);
    // A Parlix that crashes or is killed must not leave the server holding the port and
    // gigabytes of model memory; the kernel ends the child with us.
    const pid_t parentPid = ::getpid();
    process->setChildProcessModifier([parentPid] {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parentPid)
            ::raise(SIGTERM);
    });
    connect(process, &QProcess::readyReadStandardOutput, this,
        [this, process] { readServerOutput(process, stdoutParser_, process->readAllStandardOutput()); });
    connect(process, &QProcess::readyReadStandardError, this,
        [this, process] { readServerOutput(process, stderrParser_, process->readAllStandardError()); });
    connect(process, &QProcess::finished, this, [this] {
        QMetaObject::invokeMethod(
            this, [this] { report(ServerStatus::make(ServerStatus::Kind::stopped)); }, Qt::QueuedConnection);
    });

    // Waits only for the exec, not for anything the child does.
    process->start();
    if (!process->waitForStarted(30000)) {
        const QString reason = process->errorString();
        process->disconnect(this);
        process->deleteLater();
        report(ServerStatus::error(QStringLiteral("启动服务器失败: ") + reason));
        return;
    }
    if (serverProcess_) {
        // An exited child, replaced: its exit was already reported.
        serverProcess_->disconnect(this);
        serverProcess_->deleteLater();
    }
    serverProcess_ = process;
    // A half line of the old child must not prefix the new child's first.
    stdoutParser_.clear();
    stderrParser_.clear();
    report(ServerStatus::make(ServerStatus::Kind::checking));
}

void LocalServerManager::readServerOutput(QProcess* process, ServerOutputParser& parser, QByteArray chunk)
{
    if (process != serverProcess_)
        return;
    const QList<QJsonObject> messages = parser.feed(chunk);
    if (messages.isEmpty())
        return;
    // Callbacks run from the event loop, never inside the reader, so an observer may stop
    // the server; one task per chunk keeps them in line order.
    QMetaObject::invokeMethod(
        this,
        [this, messages] {
            for (const QJsonObject& message : messages)
                ServerOutputParser::dispatch(message, onStatusChange, onProgress, onDownloadProgress, onLog);
        },
        Qt::QueuedConnection);
}

void LocalServerManager::endChild(QProcess* process)
{
    if (process->state() != QProcess::NotRunning) {
        process->terminate();
        const QDeadlineTimer deadline(kStopGraceMs);
        while (process->state() != QProcess::NotRunning && !deadline.hasExpired())
            process->waitForFinished(
                int(qMin<qint64>(kStopPollMs, qMax<qint64>(1, deadline.remainingTime()))));
        if (process->state() != QProcess::NotRunning) {
            qCWarning(lcServer) << "server ignored SIGTERM; killing it";
            process->kill();
            process->waitForFinished(5000);
        }
    }
    process->deleteLater();
}

void LocalServerManager::stopServer()
{
    if (cleanup_) {
        // A start still clearing away old servers: it launches nothing now.
        cleanup_->deleteLater();
        cleanup_ = nullptr;
    }
    if (!serverProcess_)
        return;
    QProcess* process = serverProcess_;
    disconnect(process, &QProcess::readyReadStandardOutput, this, nullptr);
    disconnect(process, &QProcess::readyReadStandardError, this, nullptr);
    endChild(process);
    serverProcess_ = nullptr;
    stdoutParser_.clear();
    stderrParser_.clear();
    report(ServerStatus::make(ServerStatus::Kind::stopped));
}

void LocalServerManager::checkServerHealth(std::function<void(bool healthy)> completion)
{
    const QUrl url(QStringLiteral("http://127.0.0.1:%1/health").arg(options_.port));
    if (!url.isValid()) {
        completion(false);
        return;
    }
    QNetworkRequest request(url);
    request.setTransferTimeout(2000);
    QNetworkReply* reply = network_->get(request);
    connect(reply, &QNetworkReply::finished, this, [reply, completion = std::move(completion)] {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const bool healthy = reply->error() == QNetworkReply::NoError && status == 200;
        reply->deleteLater();
        completion(healthy);
    });
}

void LocalServerManager::waitForServerReady(double timeout, std::function<void(bool ready)> completion)
{
    struct Wait {
        QElapsedTimer clock;
        bool done = false;
        std::function<void(bool)> completion;
        QPointer<QTimer> timer;
    };
    auto wait = std::make_shared<Wait>();
    wait->clock.start();
    wait->completion = std::move(completion);
    auto* timer = new QTimer(this);
    wait->timer = timer;
    timer->setInterval(1000);

    // Probes overlap when one outlasts the interval; only the first conclusion counts.
    auto finish = [wait](bool ready) {
        wait->done = true;
        if (wait->timer) {
            wait->timer->stop();
            wait->timer->deleteLater();
        }
        wait->completion(ready);
    };
    auto tick = [this, wait, timeout, finish] {
        checkServerHealth([wait, timeout, finish](bool healthy) {
            if (wait->done)
                return;
            if (healthy)
                finish(true);
            else if (double(wait->clock.elapsed()) / 1000.0 > timeout)
                finish(false);
        });
    };
    connect(timer, &QTimer::timeout, this, tick);
    timer->start();
    tick();
}
