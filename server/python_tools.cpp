#include "server/python_tools.h"

#include "settings/app_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringDecoder>
#include <memory>

std::optional<QString> findUv()
{
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("uv"));
    if (onPath.isEmpty())
        return std::nullopt;
    return onPath;
}

QString findSystemPython3()
{
    const QString chosen = qEnvironmentVariable("PARLIX_SYSTEM_PYTHON");
    if (!chosen.isEmpty())
        return chosen;
    // Debian's own interpreter first: a python3 that a version manager puts first on PATH
    // has neither Debian's venv support nor its packages (pocketsphinx).
    const QString system = QStringLiteral("/usr/bin/python3");
    if (QFileInfo(system).isExecutable())
        return system;
    return QStandardPaths::findExecutable(QStringLiteral("python3"));
}

QString findPython3()
{
    const QString python = APP_SUPPORT_PATH() + QStringLiteral("/venv/bin/python3");
    return QFileInfo::exists(python) ? python : QString();
}

void createPythonVenv(std::function<void(bool success, std::optional<QString> error)> completion)
{
    const QString support = APP_SUPPORT_PATH();
    const QString venv = support + QStringLiteral("/venv");
    if (QFileInfo::exists(venv + QStringLiteral("/bin/python3"))) {
        completion(true, std::nullopt);
        return;
    }
    QDir().mkpath(support);
    // What an unfinished attempt left behind.
    QDir(venv).removeRecursively();

    const QString python = findSystemPython3();
    if (python.isEmpty()) {
        completion(false, QStringLiteral("找不到 Python 3，请安装 python3 和 python3-venv"));
        return;
    }

    QStringList arguments {QStringLiteral("-m"), QStringLiteral("venv")};
    // The offline engine is Debian's python3-pocketsphinx, importable only through the
    // system's site-packages.
    if (qEnvironmentVariable("PARLIX_ASR_ENGINE") == QLatin1String("pocketsphinx"))
        arguments << QStringLiteral("--system-site-packages");
    arguments << venv;

    // Owned by the application, so that quitting meanwhile ends the tool instead of
    // leaving it running (and the process object leaking).
    auto* process = new QProcess(QCoreApplication::instance());
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, process, [process, venv] {
        process->disconnect();
        process->kill();
        process->waitForFinished(1000);
        // A venv cut short has its python3 but maybe no pip; it would pass for complete.
        QDir(venv).removeRecursively();
    });
    process->setProgram(python);
    process->setArguments(arguments);
    process->setWorkingDirectory(support);
    process->setProcessChannelMode(QProcess::MergedChannels);

    // Drained while the tool runs: a chatty run must not stall on a full pipe.
    auto output = std::make_shared<QByteArray>();
    QObject::connect(process, &QProcess::readyReadStandardOutput, process,
        [process, output] { output->append(process->readAll()); });
    QObject::connect(process, &QProcess::finished, process,
        [process, output, venv, completion](int exitCode, QProcess::ExitStatus exitStatus) {
            output->append(process->readAll());
            process->deleteLater();
            if (exitStatus == QProcess::NormalExit && exitCode == 0) {
                completion(true, std::nullopt);
                return;
            }
            // Without ensurepip (python3-venv missing) the tool fails after making
            // bin/python3: what it leaves must not count as an environment.
            QDir(venv).removeRecursively();
            QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
            const QString text = decoder(*output);
            completion(false, decoder.hasError() ? QStringLiteral("未知错误") : text);
        });

    process->start();
    if (!process->waitForStarted()) {
        const QString reason = process->errorString();
        process->disconnect();
        process->deleteLater();
        completion(false, reason);
    }
}
