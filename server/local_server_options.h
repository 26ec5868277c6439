#pragma once

#include "settings/app_paths.h"

#include <QString>

// What a LocalServerManager talks to. The defaults are the production ones; tests give a
// port of their own and a clean-up pattern that cannot reach other people's servers.
struct LocalServerOptions {
    int port = LOCAL_SERVER_PORT;
    // pkill -f pattern of the servers that the clean-up before each start ends.
    QString orphanPattern = QStringLiteral("local_server.py");
    QString pkillPath = QStringLiteral("/usr/bin/pkill");
};
