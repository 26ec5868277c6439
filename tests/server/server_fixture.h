#pragma once

#include "server/local_server_manager.h"
#include "settings/app_paths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// A private installation: resources holding the given server script and a uv, and a venv
// whose python3 is the system's. The clean-up pattern is our script path, so that only
// our own stand-ins die.
struct FakeInstall {
    QTemporaryDir data, resources;

    bool setUp(const QString& scriptSource)
    {
        qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
        qputenv("PARLIX_RESOURCES_DIR", QFile::encodeName(resources.path()));
        QDir().mkpath(QDir::homePath()); // the child's working directory
        QFile uv(resources.path() + QStringLiteral("/uv"));
        return (scriptSource.isEmpty() || QFile::copy(scriptSource, scriptPath()))
            && uv.open(QIODevice::WriteOnly) && QDir().mkpath(QFileInfo(pythonPath()).path())
            && QFile::link(QStringLiteral("/usr/bin/python3"), pythonPath());
    }
    QString scriptPath() const { return resources.path() + QStringLiteral("/local_server.py"); }
    QString pythonPath() const { return APP_SUPPORT_PATH() + QStringLiteral("/venv/bin/python3"); }
};

// Everything a manager reports, as short texts in arrival order. Not to be copied: the
// observers point at this object.
struct ServerEventLog {
    QStringList events;
    std::function<void(const ServerStatus&)> status = [this](const ServerStatus& s) {
        static const char* const names[] = {"stopped", "checking", "installingDeps", "downloadingModel",
            "startingServer", "loadingModel", "ready", "error"};
        events << QStringLiteral("status:") + QLatin1String(names[int(s.kind)])
                + (s.kind == ServerStatus::Kind::error ? QStringLiteral(":") + s.message : QString());
    };
    std::function<void(int, int, const QString&)> progress = [this](int c, int t, const QString& stage) {
        events << QStringLiteral("progress:%1/%2:%3").arg(c).arg(t).arg(stage);
    };
    std::function<void(int)> download = [this](int p) { events << QStringLiteral("download:%1").arg(p); };
    std::function<void(const QString&)> log
        = [this](const QString& m) { events << QStringLiteral("log:") + m; };

    void attach(LocalServerManager& m)
    {
        m.onStatusChange = status;
        m.onProgress = progress;
        m.onDownloadProgress = download;
        m.onLog = log;
    }
};
