#include "server_fixture.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <csignal>
#include <cstdio>

namespace {

// A zombie nobody has reaped yet counts as dead.
bool processAlive(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    const QByteArray text = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
    return !text.isEmpty() && text.mid(text.lastIndexOf(')') + 2, 1) != "Z";
}

QJsonObject fromJson(const QString& text)
{
    return QJsonDocument::fromJson(text.toUtf8()).object();
}

} // namespace

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

    void childRunsAsLaunchedAndIsKilledWhenItIgnoresSigterm()
    {
        start("stubborn");
        QCOMPARE(log_.events, QStringList {"status:checking"});
        QTRY_COMPARE(log_.events.size(), 3);
        QCOMPARE(log_.events[2], "status:ready");
        manager_->startServer(); // already running: nothing happens
        QCOMPARE(log_.events.size(), 3);

        QJsonObject env = fromJson(log_.events[1].mid(4));
        const qint64 pid = env.take(QStringLiteral("pid")).toInteger();
        const QString venv = APP_SUPPORT_PATH() + QStringLiteral("/venv");
        const QString path = venv
            + "/bin:/opt/homebrew/bin:/opt/homebrew/sbin:/usr/local/bin:" + qEnvironmentVariable("PATH");
        const QString uv = install_.resources.path() + "/uv";
        QCOMPARE(env,
            (QJsonObject {{"PATH", path}, {"PYTHONUNBUFFERED", "1"}, {"VIRTUAL_ENV", venv}, {"UV_PATH", uv},
                {"cwd", QDir::homePath()}, {"argv", QJsonArray {install_.scriptPath()}}}));

        log_.events.clear();
        QElapsedTimer clock;
        clock.start();
        manager_->stopServer();
        QVERIFY2(
            clock.elapsed() >= 950 && clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(log_.events, QStringList {"status:stopped"});
        QVERIFY(!processAlive(pid));
        QTRY_COMPARE(log_.events.size(), 2); // the exit itself, reported a moment later
    }

    void launchFailureThenEarlyExitThenRestart()
    {
        const QString python = install_.pythonPath();
        QVERIFY(QFile::rename(python, python + ".hidden"));
        QVERIFY(QFile(python).open(QIODevice::WriteOnly)); // not executable
        start("exit_early");
        QVERIFY(QFile::remove(python) && QFile::rename(python + ".hidden", python));
        QCOMPARE(log_.events.size(), 1);
        QVERIFY2(log_.events[0].startsWith(QStringLiteral("status:error:启动服务器失败: ")),
            qPrintable(log_.events[0]));

        start("exit_early");
        QTRY_COMPARE(log_.events.size(), 4);
        QCOMPARE(log_.events.mid(1),
            (QStringList {"status:checking", QStringLiteral("status:error:端口被占用"), "status:stopped"}));
        QVERIFY(!manager_->isRunning());
        start("");
        QTRY_VERIFY(log_.events.contains("status:ready"));
        QCOMPARE(log_.events.count("status:stopped"), 1);
    }

    void orphanHoldingThePortIsKilledQuickly()
    {
        // It ignores SIGTERM, and our own connection to it must not count as a listener.
        qputenv("FAKE_SERVER_PORT", QByteArray::number(options_.port));
        qputenv("FAKE_SERVER_MODE", "stubborn");
        QProcess orphan;
        orphan.start(install_.pythonPath(), {install_.scriptPath()});
        QVERIFY(orphan.waitForReadyRead(5000));
        qunsetenv("FAKE_SERVER_PORT");
        QTcpSocket connection;
        connection.connectToHost(QHostAddress::LocalHost, options_.port);
        QVERIFY(connection.waitForConnected(2000));

        QElapsedTimer clock;
        clock.start();
        start("");
        QVERIFY2(clock.elapsed() < 2500, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(orphan.waitForFinished(1000));
        QCOMPARE(orphan.exitStatus(), QProcess::CrashExit);
        QCOMPARE(log_.events, QStringList {"status:checking"});
    }

    void childDiesWithACrashedParent()
    {
        QProcess parent; // this binary as a plain program running a manager; see main()
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PARENT_DEATH_PORT"), QString::number(options_.port));
        env.insert(QStringLiteral("PARENT_DEATH_PATTERN"), install_.scriptPath());
        parent.setProcessEnvironment(env);
        parent.start(QCoreApplication::applicationFilePath());
        QByteArray out;
        QTRY_VERIFY_WITH_TIMEOUT((out += parent.readAll()).contains('\n'), 10000);
        const qint64 child = fromJson(QString::fromUtf8(out))[QStringLiteral("pid")].toInteger();
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
        // The pattern comes through the environment: on our command line the clean-up would kill us.
        LocalServerOptions options;
        options.port = qEnvironmentVariableIntValue("PARENT_DEATH_PORT");
        options.orphanPattern = qEnvironmentVariable("PARENT_DEATH_PATTERN");
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
