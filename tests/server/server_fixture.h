#pragma once

#include "server/local_server_manager.h"
#include "settings/app_paths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// A private installation with a venv whose python3 is the system's. The script is linked so that
// Python finds its modules beside the original; its path is the clean-up pattern, sparing others.
struct FakeInstall {
    QTemporaryDir data, resources;

    bool setUp(const QString& script = {})
    {
        qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
        qputenv("PARLIX_RESOURCES_DIR", QFile::encodeName(resources.path()));
        QDir().mkpath(QDir::homePath()); // the child's working directory
        return (script.isEmpty() || QFile::link(script, scriptPath()))
            && QDir().mkpath(QFileInfo(pythonPath()).path())
            && QFile::link(QStringLiteral("/usr/bin/python3"), pythonPath());
    }
    QString scriptPath() const { return resources.path() + QStringLiteral("/local_server.py"); }
    QString pythonPath() const { return APP_SUPPORT_PATH() + QStringLiteral("/venv/bin/python3"); }
};

// Everything a manager reports, in arrival order. Not to be copied: the observers capture `this`.
struct ServerEventLog {
    QStringList events;
    std::function<void(const ServerStatus&)> status = [this](const ServerStatus& s) {
        static const char* const names[] = {"stopped", "checking", "installingDeps", "downloadingModel",
            "startingServer", "loadingModel", "ready", "error"};
        events << QStringLiteral("status:") + QLatin1String(names[int(s.kind)])
                + (s.message.isEmpty() ? QString() : QStringLiteral(":") + s.message);
    };
    std::function<void(int, int, const QString&)> progress = [this](int c, int t, const QString& stage) {
        events << QStringLiteral("progress:%1/%2:%3").arg(c).arg(t).arg(stage);
    };
    std::function<void(int)> download = [this](int p) { events << QStringLiteral("download:%1").arg(p); };
    std::function<void(const QString&)> log
        = [this](const QString& m) { events << QStringLiteral("log:") + m; };

    void attach(LocalServerManager& m)
    {
        m.onStatusChange = status, m.onProgress = progress, m.onDownloadProgress = download, m.onLog = log;
    }
};
