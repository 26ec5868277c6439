#include "setup_test_bench.h"

#include "server/local_server_manager.h"

#include <QApplication>
#include <QFileInfo>
#include <QScopeGuard>

// The local path from the first click to "开始使用", with real child processes: the
// stand-in uv makes the environment, the stand-in local_server.py (run by that
// environment's python3) announces itself and answers /health on 127.0.0.1:19000.
class TestSetupLocalServer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void createsEnvironmentAndStartsServer();
    void modelPresentReadyThroughHealthLoop();

private:
    using Bench = SetupTestBench;
    // The production port, but a clean-up that only reaches this test's own servers.
    static LocalServerOptions options(const Bench& bench)
    {
        LocalServerOptions o;
        o.orphanPattern = bench.resources.filePath(u"local_server.py"_qs);
        return o;
    }
    // Finishes the ready wizard and checks that it completed exactly once.
    void finish(SetupWindowController& c, const int& completions);
};

void TestSetupLocalServer::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("needs an X server (DISPLAY unset): run inside tests/tools/test-session.sh");
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestSetupLocalServer::finish(SetupWindowController& c, const int& completions)
{
    QCOMPARE(Bench::actionButton(c)->text(), u"开始使用"_qs);
    QCOMPARE(Bench::detailLabel(c)->text(), u"本地 ASR 服务已就绪"_qs);
    QVERIFY(!Bench::progressBar(c)->isVisible());
    QVERIFY(!Settings::shared().contains(u"setupCompleted"_qs));
    QTest::mouseClick(Bench::actionButton(c), Qt::LeftButton);
    QCOMPARE(completions, 1);
    QVERIFY(!c.window()->isVisible());
    QCOMPARE(Settings::shared().setupCompleted(), true);
    QCOMPARE(Settings::shared().useLocalServer(), true);
}

void TestSetupLocalServer::createsEnvironmentAndStartsServer()
{
    Bench bench;
    QVERIFY(bench.prepare(Bench::Uv | Bench::ServerScript));
    LocalServerManager server(options(bench));
    const auto stop = qScopeGuard([&] { server.stopServer(); });
    SetupWindowController c([] { return true; }, server);
    int completions = 0;
    c.onComplete = [&] { ++completions; };
    c.showWindow();
    QVERIFY(QTest::qWaitForWindowExposed(c.window()));
    QCOMPARE(Bench::actionButton(c)->text(), u"下载并安装"_qs);

    QTest::mouseClick(Bench::actionButton(c), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(Bench::statusLabel(c)->text(), u"✅ 设置完成！"_qs, 15000);
    QVERIFY(QFileInfo(APP_SUPPORT_PATH() + u"/venv/bin/python3"_qs).isExecutable());
    QVERIFY(server.isRunning());
    finish(c, completions);
}

void TestSetupLocalServer::modelPresentReadyThroughHealthLoop()
{
    Bench bench;
    QVERIFY(bench.prepare(Bench::ServerScript | Bench::Uv));
    QVERIFY(Bench::makeVenv());
    QVERIFY(Bench::makeFile(u"Fun-ASR-Nano-2512/model.pt"_qs));
    // The script never prints "ready": only the wizard's own health probes can tell.
    qputenv("PARLIX_STANDIN_ANNOUNCE_READY", "0");
    // A uv that would be noticed if the environment were made again.
    qputenv("PARLIX_UV_STANDIN", "fail");
    LocalServerManager server(options(bench));
    const auto stop = qScopeGuard([&] { server.stopServer(); });
    SetupWindowController c([] { return true; }, server);
    int completions = 0;
    c.onComplete = [&] { ++completions; };
    c.showWindow();
    QVERIFY(QTest::qWaitForWindowExposed(c.window()));
    QCOMPARE(Bench::statusLabel(c)->text(), u"✅ 模型已下载，可以直接使用"_qs);
    QCOMPARE(Bench::actionButton(c)->text(), u"开始使用"_qs);

    QTest::mouseClick(Bench::actionButton(c), Qt::LeftButton);
    QVERIFY(server.isRunning());
    QTRY_COMPARE_WITH_TIMEOUT(Bench::statusLabel(c)->text(), u"正在加载模型..."_qs, 5000);
    QVERIFY(!Bench::actionButton(c)->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(Bench::statusLabel(c)->text(), u"✅ 设置完成！"_qs, 10000);
    finish(c, completions);
}

QTEST_MAIN(TestSetupLocalServer)
#include "tst_setup_local_server.moc"
