#include "platform/wayland/wl_clipboard.h"

#include "platform/platform_log.h"

#include <QProcess>

namespace {
const QString kTextType = QStringLiteral("text/plain;charset=utf-8");
} // namespace

WlClipboard::WlClipboard(const QString& copyProgram, const QString& pasteProgram, QObject* parent)
    : QObject(parent)
    , m_copy(copyProgram)
    , m_paste(pasteProgram)
{
    m_timeout.setSingleShot(true);
    m_timeout.setInterval(toolTimeoutMs);
    // An owner that never answers a paste must not hold up everything behind it.
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        qCWarning(lcPlatform) << "wl-clipboard: no answer from" << m_running->program();
        m_running->kill();
    });
}

WlClipboard::~WlClipboard()
{
    if (m_running) {
        m_running->disconnect(this);
        m_running->kill();
        m_running->waitForFinished(100);
    }
}

void WlClipboard::read(QClipboard::Mode, std::function<void(ClipboardContent)> done)
{
    run({m_paste, {QStringLiteral("--list-types")}, {}, [this, done](bool ok, const QByteArray& output) {
             // Nothing offered: wl-paste says so on stderr and fails.
             const QString type = ok
                 ? keptClipboardType(QString::fromUtf8(output).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
                 : QString();
             if (type.isEmpty()) {
                 done({});
                 return;
             }
             run({m_paste, {QStringLiteral("--no-newline"), QStringLiteral("--type"), type}, {},
                     [done, type](bool got, const QByteArray& data) {
                         done(got ? ClipboardContent {type, data} : ClipboardContent {});
                     }},
                 true);
         }});
}

void WlClipboard::offerText(QClipboard::Mode, const QString& text, std::function<void(bool)> done)
{
    // wl-copy leaves once its selection is set, and a child of its own serves it.
    const QByteArray data = text.toUtf8();
    run({m_copy, {QStringLiteral("--type"), kTextType}, data, [this, data, done](bool ok, const QByteArray&) {
             if (ok)
                 m_offered = data;
             done(ok);
         }});
}

void WlClipboard::restore(QClipboard::Mode, const ClipboardContent& content, std::function<void()> done)
{
    if (content.isEmpty()) {
        done();
        return;
    }
    // Only over our own text: what the person copied since stays.
    run({m_paste, {QStringLiteral("--no-newline"), QStringLiteral("--type"), kTextType}, {},
        [this, content, done](bool ok, const QByteArray& now) {
            if (!ok || now != m_offered) {
                done();
                return;
            }
            run({m_copy, {QStringLiteral("--type"), content.type}, content.data,
                    [done](bool, const QByteArray&) { done(); }},
                true);
        }});
}

void WlClipboard::run(Run run, bool next)
{
    if (next)
        m_runs.prepend(std::move(run));
    else
        m_runs.append(std::move(run));
    if (!m_running && !m_inStep)
        startNext();
}

void WlClipboard::startNext()
{
    if (m_running || m_inStep || m_runs.isEmpty())
        return;
    Run next = m_runs.takeFirst();
    auto* process = new QProcess(this);
    m_running = process;
    m_runningDone = std::move(next.done);
    if (next.program == m_copy) // its background child would keep the pipe open
        process->setStandardOutputFile(QProcess::nullDevice());
    connect(process, &QProcess::finished, this, [this, process](int code, QProcess::ExitStatus status) {
        finish(process, status == QProcess::NormalExit && code == 0);
    });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finish(process, false);
    });
    process->start(next.program, next.arguments);
    process->write(next.input);
    process->closeWriteChannel();
    m_timeout.start();
}

void WlClipboard::finish(QProcess* process, bool ok)
{
    if (process != m_running)
        return;
    m_timeout.stop();
    m_running = nullptr;
    const QByteArray output = process->readAllStandardOutput();
    if (!ok) // also an empty clipboard
        qCDebug(lcPlatform) << "wl-clipboard:" << process->program() << process->arguments()
                            << process->readAllStandardError().trimmed();
    process->deleteLater();
    // The step may queue its follow-up ahead of the rest before the next one starts.
    auto done = std::move(m_runningDone);
    m_inStep = true;
    done(ok, output);
    m_inStep = false;
    startNext();
}
