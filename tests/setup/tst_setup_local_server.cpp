#include "setup_test_bench.h"

// The local path with real child processes: the stand-in uv makes the environment, whose
// python3 runs the stand-in server on the contract's port.
class TestSetupLocalServer : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void reachesReady()
    {
        SetupTestBench bench;
        // A clean-up of orphans that reaches only this test's own servers.
        LocalServerOptions options;
        options.orphanPattern = bench.resources.filePath(u"local_server.py"_qs);
        LocalServerManager server(options);
        SetupWindowController wizard([] { return true; }, server);
        int completions = 0;
        wizard.onComplete = [&] { ++completions; };
        wizard.showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(wizard.window()));
        auto* action = wizard.window()->findChild<QPushButton*>(u"actionButton"_qs);
        QTest::mouseClick(action, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(
            wizard.window()->findChild<QLabel*>(u"statusLabel"_qs)->text(), u"✅ 设置完成！"_qs, 15000);
        QVERIFY(server.isRunning());
        QTest::mouseClick(action, Qt::LeftButton);
        QCOMPARE(completions, 1);
        QVERIFY(!wizard.window()->isVisible() && Settings::shared().useLocalServer());
    }
};

QTEST_MAIN(TestSetupLocalServer)
#include "tst_setup_local_server.moc"
