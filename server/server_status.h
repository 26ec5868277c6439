#pragma once

#include <QString>

// What the local recognition server is doing; reported as events, never stored.
struct ServerStatus {
    enum class Kind {
        stopped,
        checking,
        installingDeps,
        downloadingModel,
        startingServer,
        loadingModel,
        ready,
        error
    };

    Kind kind = Kind::stopped;
    QString message; // only for error: the user-facing text

    static ServerStatus make(Kind k) { return ServerStatus {k, {}}; }
    static ServerStatus error(const QString& m) { return ServerStatus {Kind::error, m}; }
    bool operator==(const ServerStatus&) const = default;
};
