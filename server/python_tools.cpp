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
    const QString shipped = resourcePath(QStringLiteral("uv"));
    if (!shipped.isEmpty())
        return shipped;
    const QString cwd = QDir::currentPath();
    const QString candidates[] = {
        cwd + QStringLiteral("/Resources/uv"),
        cwd + QStringLiteral("/Parlix.app/Contents/Resources/uv"),
    };
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("uv"));
    if (!onPath.isEmpty())
        return onPath;
    return std::nullopt;
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

    const std::optional<QString> uv = findUv();
    if (!uv) {
        completion(false, QStringLiteral("找不到 uv 工具"));
        return;
    }

    // Owned by the application, so that quitting during the download ends uv instead of
    // leaving it running (and the process object leaking).
    auto* process = new QProcess(QCoreApplication::instance());
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, process, [process] {
        process->disconnect();
        process->kill();
        process->waitForFinished(1000);
    });
    process->setProgram(*uv);
    process->setArguments({QStringLiteral("venv"), venv, QStringLiteral("--python"), QStringLiteral("3.12")});
    process->setWorkingDirectory(support);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("UV_PYTHON_DOWNLOADS"), QStringLiteral("automatic"));
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::MergedChannels);

    // Drained while uv runs: a chatty download must not stall on a full pipe.
    auto output = std::make_shared<QByteArray>();
    QObject::connect(process, &QProcess::readyReadStandardOutput, process,
        [process, output] { output->append(process->readAll()); });
    QObject::connect(process, &QProcess::finished, process,
        [process, output, completion](int exitCode, QProcess::ExitStatus exitStatus) {
            output->append(process->readAll());
            process->deleteLater();
            if (exitStatus == QProcess::NormalExit && exitCode == 0) {
                completion(true, std::nullopt);
                return;
            }
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
