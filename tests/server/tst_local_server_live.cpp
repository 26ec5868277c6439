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
        QVERIFY(install.setUp(QString()));
        for (const QString name : {"local_server.py", "parlix_engines.py", "parlix_multipart.py"})
            QVERIFY(QFile::copy(PARLIX_SHIPPED_RESOURCES "/" + name, install.resources.path() + '/' + name));
        qputenv("PARLIX_ASR_ENGINE", "pocketsphinx");
        LocalServerOptions options;
        options.orphanPattern = install.scriptPath();
        LocalServerManager manager(options);
        QVERIFY(manager.modelExists()); // the engine's model is the system's
        manager.startServer();
        std::optional<bool> ready;
        manager.waitForServerReady(30, [&](bool r) { ready = r; });
        QTRY_VERIFY_WITH_TIMEOUT(ready.has_value(), 40000);
        QVERIFY(*ready);
        QElapsedTimer clock;
        clock.start();
        manager.stopServer();
        QVERIFY(clock.elapsed() < 1000);
    }
};

QTEST_GUILESS_MAIN(TestLocalServerLive)
#include "tst_local_server_live.moc"
