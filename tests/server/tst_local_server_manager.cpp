#include "server/python_tools.h"
#include "server_fixture.h"
#include "stub_http_server.h"

#include <QtNetwork>
#include <QtTest>
#include <csignal>
#include <cstdio>

// A zombie nobody has reaped yet counts as dead.
static bool processAlive(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    return stat.open(QIODevice::ReadOnly) && !stat.readAll().contains(") Z ");
}

#define VERIFY_ELAPSED(clock, fromMs, slackMs)                                                               \
    QVERIFY2((clock).elapsed() >= (fromMs) && (clock).elapsed() < (fromMs) + (slackMs),                      \
        qPrintable(QString::number((clock).elapsed())))

class TestLocalServerManager : public QObject {
    Q_OBJECT

    FakeInstall install_;
    LocalServerOptions options_;
    std::optional<LocalServerManager> manager_;
    ServerEventLog log_;

    void start(const char* mode)
    {
        qputenv("FAKE_SERVER_MODE", mode);
        manager_->startServer();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(install_.setUp(QStringLiteral(PARLIX_TEST_SOURCE_DIR "/server/fake_server.py")));
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        options_.port = probe.serverPort();
        options_.orphanPattern = install_.scriptPath();
    }

    void init()
    {
        log_.events.clear();
        log_.attach(manager_.emplace(options_));
    }

    void cleanup() { manager_.reset(); }

    void orphanClearedThenChildRunsAsLaunchedAndIsKilledWhenItIgnoresSigterm()
    {
        // The orphan ignores SIGTERM too, and our own connection to it must not count as a listener.
        qputenv("FAKE_SERVER_PORT", QByteArray::number(options_.port));
        qputenv("FAKE_SERVER_MODE", "stubborn");
        QProcess orphan;
        orphan.start(install_.pythonPath(), {install_.scriptPath()});
        QVERIFY(orphan.waitForReadyRead(5000));
        qunsetenv("FAKE_SERVER_PORT");
        QTcpSocket connection;
        connection.connectToHost(QHostAddress::LocalHost, options_.port);
        QVERIFY(connection.waitForConnected(2000));

        // The start returns before the clean-up, which runs from the event loop; meanwhile the
        // start counts as running, so a second one does nothing.
        start("stubborn");
        QVERIFY(log_.events.isEmpty() && manager_->isRunning());
        manager_->startServer();
        // The child may report more before this looks; its first word is the launch.
        QTRY_VERIFY(!log_.events.isEmpty());
        QCOMPARE(log_.events.first(), QStringLiteral("status:checking"));
        // SIGKILLed, as it ignored SIGTERM
        QTRY_COMPARE(orphan.state(), QProcess::NotRunning);
        QCOMPARE(orphan.exitStatus(), QProcess::CrashExit);
        QTRY_COMPARE(log_.events.size(), 3);
        QCOMPARE(log_.events[2], "status:ready");
        manager_->startServer(); // already running: nothing happens
        QCOMPARE(log_.events.size(), 3);

        QJsonObject env = QJsonDocument::fromJson(log_.events[1].mid(4).toUtf8()).object();
        const qint64 pid = env.take(QStringLiteral("pid")).toInteger();
        const QString venv = APP_SUPPORT_PATH() + QStringLiteral("/venv");
        const QString path = venv
            + "/bin:/opt/homebrew/bin:/opt/homebrew/sbin:/usr/local/bin:" + qEnvironmentVariable("PATH");
        const std::optional<QString> uv = findUv(); // handed over only when there is one
        QCOMPARE(env,
            (QJsonObject {{"PATH", path}, {"PYTHONUNBUFFERED", "1"}, {"VIRTUAL_ENV", venv},
                {"UV_PATH", uv ? QJsonValue(*uv) : QJsonValue()}, {"cwd", QDir::homePath()},
                {"argv", QJsonArray {install_.scriptPath()}}}));

        log_.events.clear();
        QElapsedTimer clock;
        clock.start();
        manager_->stopServer();
        VERIFY_ELAPSED(clock, 950, 1050);
        QCOMPARE(log_.events, QStringList {"status:stopped"});
        QVERIFY(!processAlive(pid));
        QTRY_COMPARE(log_.events.size(), 2); // the exit itself, reported a moment later
    }

    void earlyExitThenRestart()
    {
        start("exit_early");
        manager_->stopServer(); // during the clean-up: that start launches nothing, reports nothing
        QVERIFY(!manager_->isRunning() && log_.events.isEmpty());
        start("exit_early");
        QTRY_COMPARE(log_.events.size(), 3);
        QCOMPARE(log_.events,
            (QStringList {"status:checking", QStringLiteral("status:error:端口被占用"), "status:stopped"}));
        QVERIFY(!manager_->isRunning());
        start("");
        QTRY_VERIFY(log_.events.contains("status:ready"));
        QCOMPARE(log_.events.count("status:stopped"), 1);
    }

    // Each row: one probe (2 s limit), then a 3 s readiness wait, for which the 503 server turns healthy.
    void probeThenReadyWait_data()
    {
        QTest::addColumn<int>("status"); // -1: nobody listens; 0: never answers
        QTest::addColumn<int>("readyMs"); // the wait's end, at least; -1: not ready, after 3 s
        QTest::newRow("200") << 200 << 0;
        QTest::newRow("500") << 500 << -1;
        QTest::newRow("refused") << -1 << -1;
        QTest::newRow("never answers") << 0 << -1; // probes overlap; the late ones must stay silent
        QTest::newRow("503, healthy after 1.5 s") << 503 << 1500;
    }

    void probeThenReadyWait()
    {
        QFETCH(int, status);
        QFETCH(int, readyMs);
        StubHttpServer server(status, options_.port);
        if (status < 0)
            server.close();
        QList<bool> results;
        QElapsedTimer clock;
        clock.start();
        manager_->checkServerHealth([&](bool healthy) { results << healthy; });
        QTRY_COMPARE_WITH_TIMEOUT(results.size(), 1, 5000);
        VERIFY_ELAPSED(clock, status == 0 ? 1900 : 0, 1500);
        QCOMPARE(results[0], status == 200);

        if (readyMs > 0)
            QTimer::singleShot(readyMs, &server, [&] { server.status = 200; });
        clock.restart();
        manager_->waitForServerReady(3, [&](bool ready) { results << ready; });
        QTRY_COMPARE_WITH_TIMEOUT(results.size(), 2, 8000);
        QCOMPARE(results[1], readyMs >= 0);
        VERIFY_ELAPSED(clock, readyMs >= 0 ? readyMs : 3000, 2500);
        QTRY_COMPARE_WITH_TIMEOUT(server.openConnections, 0, 5000);
        QCOMPARE(results.size(), 2);
    }

    void childDiesWithACrashedParent()
    {
        QProcess parent; // this binary running a manager on our installation; see main()
        qputenv("PARENT_DEATH_PORT", QByteArray::number(options_.port));
        parent.start(QCoreApplication::applicationFilePath());
        qunsetenv("PARENT_DEATH_PORT");
        QByteArray out;
        QTRY_VERIFY_WITH_TIMEOUT((out += parent.readAll()).contains('\n'), 10000);
        const qint64 child = QJsonDocument::fromJson(out).object()[QStringLiteral("pid")].toInteger();
        QVERIFY(processAlive(child));
        ::kill(qint64(parent.processId()), SIGKILL);
        QVERIFY(parent.waitForFinished(5000));
        QTRY_VERIFY_WITH_TIMEOUT(!processAlive(child), 5000);
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("PARENT_DEATH_PORT")) {
        LocalServerOptions options;
        options.port = qEnvironmentVariableIntValue("PARENT_DEATH_PORT");
        options.orphanPattern
            = qEnvironmentVariable("PARLIX_RESOURCES_DIR") + QStringLiteral("/local_server.py");
        LocalServerManager manager(options);
        manager.onLog
            = [](const QString& line) { std::printf("%s\n", qPrintable(line)), std::fflush(stdout); };
        manager.startServer();
        return app.exec();
    }
    TestLocalServerManager test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_local_server_manager.moc"
