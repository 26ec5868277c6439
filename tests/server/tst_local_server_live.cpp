#include "fake_install.h"
#include "server/local_server_manager.h"
#include "server_event_log.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTest>

// The shipped script under the manager, as Parlix runs it, with the offline engine.
class TestLocalServerLive : public QObject {
    Q_OBJECT

    FakeInstall install_;
    LocalServerOptions options_;

private Q_SLOTS:
    void initTestCase()
    {
        if (!QFileInfo::exists(QStringLiteral("/usr/share/pocketsphinx/model/en-us/en-us")))
            QSKIP("pocketsphinx-en-us is not installed");
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, LOCAL_SERVER_PORT);
        if (probe.waitForConnected(500))
            QSKIP("port 19000 is taken by another program");
        QVERIFY(install_.setUp(QString()));
        for (const char* name : { "local_server.py", "parlix_engines.py", "parlix_multipart.py" }) {
            const QString file = QString::fromLatin1(name);
            QVERIFY(QFile::copy(QStringLiteral(PARLIX_SHIPPED_RESOURCES "/") + file, install_.resources.path() + '/' + file));
        }
        qputenv("PARLIX_ASR_ENGINE", "pocketsphinx");
        options_.orphanPattern = install_.scriptPath();
    }

    void startReadyAndStop()
    {
        LocalServerManager manager(options_);
        QVERIFY(manager.venvExists());
        QVERIFY(manager.modelExists()); // the engine's model is the system's
        ServerEventLog log;
        log.attach(manager);

        QElapsedTimer clock;
        clock.start();
        manager.startServer();
        const qint64 launched = clock.elapsed();
        std::optional<bool> ready;
        qint64 healthyAt = 0;
        manager.waitForServerReady(30, [&](bool r) {
            ready = r;
            healthyAt = clock.elapsed();
        });
        QTRY_VERIFY_WITH_TIMEOUT(ready.has_value(), 40000);
        QVERIFY(*ready);
        QTRY_VERIFY(log.events.contains("status:ready"));
        log.events.removeIf([](const QString& e) { return e.startsWith("log:"); });
        QCOMPARE(log.events, (QStringList { "status:checking", "status:checking", "status:startingServer", "status:loadingModel", "status:ready" }));
        qInfo("startServer() took %lld ms (clean-up included); first healthy probe %lld ms after the call",
            launched, healthyAt);

        clock.restart();
        manager.stopServer();
        qInfo("stopServer(): SIGTERM to child exit %lld ms", clock.elapsed());
        QVERIFY(clock.elapsed() < 1000);
        bool healthy = true;
        bool done = false;
        manager.checkServerHealth([&](bool h) {
            healthy = h;
            done = true;
        });
        QTRY_VERIFY(done);
        QVERIFY(!healthy);
    }
};

QTEST_GUILESS_MAIN(TestLocalServerLive)
#include "tst_local_server_live.moc"
