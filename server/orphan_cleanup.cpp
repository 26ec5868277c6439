#include "server/orphan_cleanup.h"

#include <QLoggingCategory>
#include <QProcess>
#include <QTcpServer>

Q_DECLARE_LOGGING_CATEGORY(lcServer)

namespace {

constexpr int kTermGraceMs = 500;
constexpr int kPortPauseMs = 300;
// A tool that hangs must not hold the start up for ever.
constexpr int kToolLimitMs = 10000;

} // namespace

OrphanCleanup::OrphanCleanup(QString pkillPath, QString pattern, int port, QObject* parent)
    : QObject(parent)
    , m_pkillPath(std::move(pkillPath))
    , m_pattern(std::move(pattern))
    , m_port(port)
{
    m_pause.setSingleShot(true);
}

OrphanCleanup::~OrphanCleanup()
{
    if (m_tool) {
        m_tool->disconnect(this);
        m_tool->kill(); // a pkill: gone at once
        m_tool->waitForFinished(1000);
        delete m_tool;
    }
}

void OrphanCleanup::run(std::function<void()> done)
{
    m_done = std::move(done);
    runTool({QStringLiteral("-f"), m_pattern}, [this] {
        after(kTermGraceMs, [this] {
            runTool({QStringLiteral("-9"), QStringLiteral("-f"), m_pattern}, [this] { waitForPort(1); });
        });
    });
}

bool OrphanCleanup::portIsBusy(int port)
{
    // Binding succeeds exactly when our server could bind (both allow reusing an address
    // that only closing connections hold), and it needs no child process at all.
    QTcpServer probe;
    return !probe.listen(QHostAddress::LocalHost, quint16(port));
}

void OrphanCleanup::runTool(const QStringList& arguments, std::function<void()> next)
{
    auto* tool = new QProcess(this);
    m_tool = tool;
    // The tool's own messages go where ours go.
    tool->setProcessChannelMode(QProcess::ForwardedChannels);
    auto finish = [this, tool, next = std::move(next)] {
        tool->disconnect(this);
        tool->deleteLater();
        m_tool = nullptr;
        m_pause.disconnect(this);
        m_pause.stop();
        next();
    };
    connect(tool, &QProcess::finished, this, finish);
    connect(tool, &QProcess::errorOccurred, this, [this, tool, finish](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        qCWarning(lcServer) << "cannot run" << m_pkillPath << tool->errorString();
        finish();
    });
    after(kToolLimitMs, [this, tool] {
        qCWarning(lcServer) << m_pkillPath << "did not finish; going on without it";
        tool->kill(); // its finished() continues
    });
    tool->start(m_pkillPath, arguments);
}

void OrphanCleanup::waitForPort(int attempt)
{
    if (!portIsBusy(m_port) || attempt >= portAttempts) {
        if (attempt >= portAttempts)
            qCWarning(lcServer) << "port" << m_port << "still busy after the clean-up";
        if (const auto done = std::move(m_done))
            done();
        return;
    }
    after(kPortPauseMs, [this, attempt] { waitForPort(attempt + 1); });
}

void OrphanCleanup::after(int milliseconds, std::function<void()> next)
{
    m_pause.disconnect(this);
    connect(&m_pause, &QTimer::timeout, this, std::move(next));
    m_pause.start(milliseconds);
}
