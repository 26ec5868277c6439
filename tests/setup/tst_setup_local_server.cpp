#include "setup_test_bench.h"

#include "server/local_server_manager.h"

#include <QApplication>
#include <QFileInfo>
#include <QScopeGuard>

using B = SetupTestBench;

// The local path from the first click to the finish, with real child processes: the
// stand-in uv makes the environment, the stand-in local_server.py (run by that
// environment's python3) announces itself and answers /health on 127.0.0.1:19000.
class TestSetupLocalServer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void reachesReady_data();
    void reachesReady();
};

void TestSetupLocalServer::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("needs an X server (DISPLAY unset): run inside tests/tools/test-session.sh");
}

void TestSetupLocalServer::reachesReady_data()
{
    QTest::addColumn<bool>("installed");
    // uv makes the environment; the script announces "ready" itself.
    QTest::newRow("first run") << false;
    // Environment and model present; the script never says "ready", so only the wizard's
    // own health probes (every 3 s) can tell, and a uv run would fail.
    QTest::newRow("model present") << true;
}

void TestSetupLocalServer::reachesReady()
{
    QFETCH(bool, installed);
    B bench;
    if (installed) {
        QVERIFY(B::makeVenv() && B::makeModel());
        qputenv("PARLIX_STANDIN_ANNOUNCE_READY", "0");
        qputenv("PARLIX_UV_STANDIN", "fail");
    }
    // The production port, but a clean-up that only reaches this test's own servers.
    LocalServerOptions options;
    options.orphanPattern = bench.resources.filePath(u"local_server.py"_qs);
    LocalServerManager server(options);
    const auto stop = qScopeGuard([&] { server.stopServer(); });
    SetupWindowController c([] { return true; }, server);
    int completions = 0;
    c.onComplete = [&] { ++completions; };
    c.showWindow();
    QVERIFY(QTest::qWaitForWindowExposed(c.window()));
    QCOMPARE(B::button(c)->text(), installed ? u"开始使用"_qs : u"下载并安装"_qs);

    QTest::mouseClick(B::button(c), Qt::LeftButton);
    if (installed)
        QTRY_COMPARE(B::status(c), u"正在加载模型..."_qs);
    QTRY_COMPARE_WITH_TIMEOUT(B::status(c), u"✅ 设置完成！"_qs, 15000);
    QVERIFY(server.isRunning());
    QVERIFY(QFileInfo(APP_SUPPORT_PATH() + u"/venv/bin/python3"_qs).isExecutable());
    QCOMPARE(B::detail(c), u"本地 ASR 服务已就绪"_qs);

    QTest::mouseClick(B::button(c), Qt::LeftButton);
    QCOMPARE(completions, 1);
    QVERIFY(!c.window()->isVisible());
    QCOMPARE(Settings::shared().setupCompleted(), true);
    QCOMPARE(Settings::shared().useLocalServer(), true);
}

QTEST_MAIN(TestSetupLocalServer)
#include "tst_setup_local_server.moc"
