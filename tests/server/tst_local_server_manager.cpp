#include "fake_install.h"
#include "server/local_server_manager.h"
#include "server_event_log.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <csignal>

namespace {

const QString kFakeServer = QStringLiteral(PARLIX_TEST_SOURCE_DIR "/server/fake_server.py");

int freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Dead includes a zombie that nobody reaps yet.
bool processAlive(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close > 0 && text.mid(close + 2, 1) != "Z";
}

} // namespace

class TestLocalServerManager : public QObject {
    Q_OBJECT

    FakeInstall install_;
    LocalServerOptions options_;

    void setMode(const char* mode) { qputenv("FAKE_SERVER_MODE", mode); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(install_.setUp(kFakeServer));
        options_.port = freePort();
        options_.orphanPattern = install_.scriptPath();
    }

    void init() { qunsetenv("FAKE_SERVER_PORT"); }

    void outputAndEnvironmentOfTheChild_data()
    {
        QTest::addColumn<QByteArray>("inheritedPath");
        QTest::addColumn<QString>("expectedTail");
        QTest::newRow("inherited") << QByteArray("/usr/bin") << QStringLiteral("/usr/bin");
        QTest::newRow("none") << QByteArray() << QStringLiteral("/usr/bin:/bin");
    }

    void outputAndEnvironmentOfTheChild()
    {
        QFETCH(QByteArray, inheritedPath);
        QFETCH(QString, expectedTail);
        setMode("status");
        LocalServerManager manager(options_);
        ServerEventLog log;
        log.attach(manager);

        const QByteArray savedPath = qgetenv("PATH");
        if (inheritedPath.isNull())
            qunsetenv("PATH");
        else
            qputenv("PATH", inheritedPath);
        manager.startServer();
        qputenv("PATH", savedPath);
        QCOMPARE(log.events, QStringList { "status:checking" });
        QVERIFY(manager.isRunning());

        QTRY_VERIFY(log.events.contains("status:ready"));
        QCOMPARE(log.events.size(), 7);
        const QStringList tail = log.events.mid(2);
        QCOMPARE(tail, (QStringList { QStringLiteral("log:café"), "status:installingDeps", "progress:1/4:x", "download:42", "status:ready" }));

        const QJsonObject env = QJsonDocument::fromJson(log.events[1].mid(4).toUtf8()).object();
        const QString venv = APP_SUPPORT_PATH() + QStringLiteral("/venv");
        QCOMPARE(env["PATH"].toString(), venv + "/bin:/opt/homebrew/bin:/opt/homebrew/sbin:/usr/local/bin:" + expectedTail);
        QCOMPARE(env["VIRTUAL_ENV"].toString(), venv);
        QCOMPARE(env["PYTHONUNBUFFERED"].toString(), "1");
        QCOMPARE(env["UV_PATH"].toString(), install_.resources.path() + "/uv");
        QCOMPARE(env["cwd"].toString(), QDir::homePath());
        QCOMPARE(env["argv"].toArray().size(), 1);
        QCOMPARE(env["argv"][0].toString(), install_.scriptPath());

        // A running start is a no-op: no clean-up, no status.
        QElapsedTimer clock;
        clock.start();
        manager.startServer();
        QVERIFY(clock.elapsed() < 300);

        const qint64 pid = env["pid"].toInteger();
        log.events.clear();
        clock.restart();
        manager.stopServer();
        QVERIFY2(clock.elapsed() < 500, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(log.events, QStringList { "status:stopped" });
        QVERIFY(!manager.isRunning());
        QVERIFY(!processAlive(pid));
        QTRY_COMPARE(log.count("status:stopped"), 2); // the exit itself, reported later
        manager.stopServer();
        QCOMPARE(log.count("status:stopped"), 2);
    }

    void childIgnoringSigtermIsKilledAfterOneSecond()
    {
        setMode("ignore_term");
        LocalServerManager manager(options_);
        ServerEventLog log;
        log.attach(manager);
        manager.startServer();
        QTRY_VERIFY(log.events.contains("status:ready"));
        QElapsedTimer clock;
        clock.start();
        manager.stopServer();
        const qint64 took = clock.elapsed();
        QVERIFY2(took >= 950 && took < 2000, qPrintable(QString::number(took)));
        QVERIFY(!manager.isRunning());
    }

    void childExitingByItselfIsReportedOnceAndRestarts()
    {
        setMode("exit_early");
        LocalServerManager manager(options_);
        ServerEventLog log;
        log.attach(manager);
        manager.startServer();
        QTRY_VERIFY(log.events.contains("status:stopped"));
        QCOMPARE(log.events, (QStringList { "status:checking", QStringLiteral("status:error:端口被占用"), "status:stopped" }));
        QVERIFY(!manager.isRunning());

        setMode("status");
        manager.startServer();
        QTRY_VERIFY(log.events.contains("status:ready"));
        QCOMPARE(log.count("status:stopped"), 1);
        manager.stopServer();
    }

    void floodArrivesWholeAndInOrder()
    {
        setMode("flood");
        LocalServerManager manager(options_);
        int received = 0;
        bool inOrder = true;
        manager.onProgress = [&](int current, int, const QString&) {
            inOrder = inOrder && current == received;
            ++received;
        };
        manager.startServer();
        QTRY_COMPARE_WITH_TIMEOUT(received, 20000, 20000);
        QVERIFY(inOrder);
        manager.stopServer();
    }

    void startupErrors_data()
    {
        QTest::addColumn<QString>("missing");
        QTest::addColumn<QString>("expected");
        QTest::newRow("script") << "script" << QStringLiteral("找不到服务器脚本");
        QTest::newRow("python") << "python" << QStringLiteral("找不到 Python 环境，请重新设置");
        QTest::newRow("uv") << "uv" << QStringLiteral("找不到 uv 工具");
        QTest::newRow("launch") << "launch" << QStringLiteral("启动服务器失败: ");
    }

    void startupErrors()
    {
        QFETCH(QString, missing);
        QFETCH(QString, expected);
        const QString hidden = QStringLiteral(".hidden");
        const QString file = missing == QLatin1String("script") ? install_.scriptPath()
            : missing == QLatin1String("uv")                     ? install_.resources.path() + "/uv"
                                                                 : install_.pythonPath();
        const QByteArray savedPath = qgetenv("PATH");
        QTemporaryDir emptyBin;
        qputenv("PATH", QFile::encodeName(emptyBin.path())); // no uv on PATH either
        QVERIFY(QFile::rename(file, file + hidden));
        if (missing == QLatin1String("launch")) {
            QFile notExecutable(file);
            QVERIFY(notExecutable.open(QIODevice::WriteOnly));
        }

        LocalServerManager manager(options_);
        ServerEventLog log;
        log.attach(manager);
        QElapsedTimer clock;
        clock.start();
        manager.startServer();
        if (missing == QLatin1String("script")) // the clean-up alone: nothing runs
            qInfo("orphan clean-up with nothing running blocked for %lld ms", clock.elapsed());

        QFile::remove(file);
        QFile::rename(file + hidden, file);
        qputenv("PATH", savedPath);
        QCOMPARE(log.events.size(), 1);
        QVERIFY2(log.events[0].startsWith(QStringLiteral("status:error:") + expected), qPrintable(log.events[0]));
        QVERIFY(!manager.isRunning());
    }

    void orphansAreKilledBeforeTheStart()
    {
        // An old server that ignores SIGTERM and holds the port, and our own open
        // connection to it: neither may hold the start up for the full port wait.
        const int port = freePort();
        QProcess orphan;
        orphan.setProgram(QStringLiteral("/usr/bin/python3"));
        orphan.setArguments({ QStringLiteral("-c"),
            QStringLiteral("import signal,socket,sys,time\n"
                           "signal.signal(signal.SIGTERM, signal.SIG_IGN)\n"
                           "s=socket.socket(); s.bind(('127.0.0.1',%1)); s.listen()\n"
                           "print('up', flush=True)\n"
                           "c=s.accept()\n"
                           "time.sleep(60)\n").arg(port),
            install_.scriptPath() });
        orphan.start();
        QVERIFY(orphan.waitForReadyRead(5000));
        QTcpSocket connection;
        connection.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(connection.waitForConnected(2000));

        LocalServerOptions options = options_;
        options.port = port;
        LocalServerManager manager(options);
        ServerEventLog log;
        log.attach(manager);
        setMode("status");
        QElapsedTimer clock;
        clock.start();
        manager.startServer();
        const qint64 took = clock.elapsed();
        QVERIFY(orphan.waitForFinished(0) || orphan.state() == QProcess::NotRunning);
        QCOMPARE(orphan.exitStatus(), QProcess::CrashExit); // SIGKILL: it ignored SIGTERM
        QVERIFY2(took < 2500, qPrintable(QString::number(took)));
        QCOMPARE(log.events.value(0), "status:checking");
        manager.stopServer();
    }

    void childDiesWithACrashedParent()
    {
        QProcess helper;
        helper.setProgram(QStringLiteral(PARLIX_PARENT_DEATH_HELPER));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HELPER_ORPHAN_PATTERN"), install_.scriptPath());
        env.insert(QStringLiteral("HELPER_PORT"), QString::number(options_.port));
        helper.setProcessEnvironment(env);
        helper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        helper.start();
        QVERIFY(helper.waitForStarted());
        QByteArray out;
        QTRY_VERIFY_WITH_TIMEOUT((out += helper.readAll()).contains('\n'), 10000);
        const qint64 child = out.trimmed().toLongLong();
        QVERIFY(child > 0);
        QVERIFY(processAlive(child));
        ::kill(qint64(helper.processId()), SIGKILL);
        QVERIFY(helper.waitForFinished(5000));
        QTRY_VERIFY_WITH_TIMEOUT(!processAlive(child), 5000);
    }
};

QTEST_GUILESS_MAIN(TestLocalServerManager)
#include "tst_local_server_manager.moc"
