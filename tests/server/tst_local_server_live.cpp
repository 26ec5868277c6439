#include "server_fixture.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTest>

// The shipped script under the manager, as Parlix runs it, with the offline engine.
class TestLocalServerLive : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void startReadyAndStop()
    {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, LOCAL_SERVER_PORT);
        if (probe.waitForConnected(500))
            QSKIP("port 19000 is taken by another program");
        FakeInstall install;
        QVERIFY(install.setUp(QStringLiteral(PARLIX_SHIPPED_RESOURCES "/local_server.py")));
        qputenv("PARLIX_ASR_ENGINE", "pocketsphinx");
        qputenv("PYTHONDONTWRITEBYTECODE", "1"); // the modules are the source tree's
        LocalServerOptions options;
        options.orphanPattern = install.scriptPath();
        LocalServerManager manager(options);
        ServerEventLog log;
        log.attach(manager);
        QVERIFY(manager.modelExists()); // the engine's model is the system's
        manager.startServer();
        QList<bool> ready;
        manager.waitForServerReady(30, [&](bool r) { ready << r; });
        QTRY_COMPARE_WITH_TIMEOUT(ready, QList<bool> {true}, 40000);
        QTRY_COMPARE(log.events.filter("status:"),
            (QStringList {"status:checking", "status:checking", "status:startingServer",
                "status:loadingModel", "status:ready"}));
        QElapsedTimer clock;
        clock.start();
        manager.stopServer();
        QVERIFY(clock.elapsed() < 1000);
    }
};

QTEST_GUILESS_MAIN(TestLocalServerLive)
#include "tst_local_server_live.moc"
