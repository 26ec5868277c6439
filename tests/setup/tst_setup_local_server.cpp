#include "setup_test_bench.h"

// The local path with real child processes: the stand-in uv makes the environment, whose
// python3 runs the stand-in server on the contract's port.
class TestSetupLocalServer : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void reachesReady()
    {
        SetupTestBench bench;
        QVERIFY(bench.open());
        QTest::mouseClick(bench.action(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(bench.status(), u"✅ 设置完成！"_qs, 15000);
        QVERIFY(bench.server.isRunning());
        QTest::mouseClick(bench.action(), Qt::LeftButton);
        QCOMPARE(bench.completions, 1);
        QVERIFY(!bench.wizard->window()->isVisible() && Settings::shared().useLocalServer());
    }
};

QTEST_MAIN(TestSetupLocalServer)
#include "tst_setup_local_server.moc"
