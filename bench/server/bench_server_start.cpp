// How long a server start holds the GUI thread, and when "checking" arrives. The start
// runs in a private data folder against a stand-in script that only says "checking";
// a 5 ms timer on the GUI thread measures the longest stall of the event loop.
//
//   parlix_bench_server_start [runs]
#include "server/local_server_manager.h"
#include "settings/app_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    QTemporaryDir data, resources;
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    qputenv("PARLIX_RESOURCES_DIR", QFile::encodeName(resources.path()));
    const QString script = resources.filePath(QStringLiteral("local_server.py"));
    QFile file(script);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write("import signal\nprint('{\"type\":\"status\",\"state\":\"checking\"}', flush=True)\n"
               "signal.pause()\n");
    file.close();
    QDir().mkpath(APP_SUPPORT_PATH() + QStringLiteral("/venv/bin"));
    QFile::link(QStringLiteral("/usr/bin/python3"), APP_SUPPORT_PATH() + QStringLiteral("/venv/bin/python3"));

    QTcpServer free;
    free.listen(QHostAddress::LocalHost, 0);
    LocalServerOptions options;
    options.port = free.serverPort();
    free.close();
    options.orphanPattern = script; // reaches only this bench's own servers
    LocalServerManager manager(options);

    QElapsedTimer clock, tick;
    qint64 stall = 0, returned = 0;
    int run = 0;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] { stall = std::max(stall, tick.restart()); });
    std::function<void()> next = [&] {
        stall = 0;
        clock.start();
        tick.start();
        manager.startServer();
        returned = clock.elapsed();
    };
    manager.onStatusChange = [&](const ServerStatus& status) {
        if (status.kind != ServerStatus::Kind::checking)
            return;
        std::printf("start %d: startServer() returned after %lld ms, \"checking\" after %lld ms, "
                    "longest GUI stall %lld ms\n",
            run + 1, static_cast<long long>(returned), static_cast<long long>(clock.elapsed()),
            static_cast<long long>(stall));
        std::fflush(stdout);
        QTimer::singleShot(0, &manager, [&] {
            manager.stopServer();
            if (++run == runs)
                QCoreApplication::quit();
            else
                next();
        });
    };
    ticker.start();
    QTimer::singleShot(0, &manager, next);
    return app.exec();
}
