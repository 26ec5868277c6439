#pragma once

#include "server/local_server_manager.h"

#include <QStringList>

// Everything a manager reports, as short texts in arrival order.
class ServerEventLog {
public:
    QStringList events;

    static QString kindName(ServerStatus::Kind kind)
    {
        using K = ServerStatus::Kind;
        switch (kind) {
        case K::stopped: return QStringLiteral("stopped");
        case K::checking: return QStringLiteral("checking");
        case K::installingDeps: return QStringLiteral("installingDeps");
        case K::downloadingModel: return QStringLiteral("downloadingModel");
        case K::startingServer: return QStringLiteral("startingServer");
        case K::loadingModel: return QStringLiteral("loadingModel");
        case K::ready: return QStringLiteral("ready");
        case K::error: return QStringLiteral("error");
        }
        return {};
    }

    void onStatus(const ServerStatus& s)
    {
        events << QStringLiteral("status:") + kindName(s.kind)
                + (s.kind == ServerStatus::Kind::error ? QStringLiteral(":") + s.message : QString());
    }
    void onProgress(int current, int total, const QString& stage)
    {
        events << QStringLiteral("progress:%1/%2:%3").arg(current).arg(total).arg(stage);
    }
    void onDownload(int percent) { events << QStringLiteral("download:%1").arg(percent); }
    void onLog(const QString& message) { events << QStringLiteral("log:") + message; }

    void attach(LocalServerManager& m)
    {
        m.onStatusChange = [this](const ServerStatus& s) { onStatus(s); };
        m.onProgress = [this](int c, int t, const QString& st) { onProgress(c, t, st); };
        m.onDownloadProgress = [this](int p) { onDownload(p); };
        m.onLog = [this](const QString& msg) { onLog(msg); };
    }

    qsizetype count(const QString& event) const { return events.count(event); }
};
