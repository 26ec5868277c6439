#include <QProcess>
#include <QTest>

// Without a tray (the demo inherits the offscreen platform) Parlix runs on and says so once.
class TestTrayFallback : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void noTrayMessage()
    {
        QProcess demo;
        demo.start(QStringLiteral(PARLIX_TRAY_MENU_DEMO), {QStringLiteral("--exit-after-setup")});
        QVERIFY(demo.waitForFinished(20000));
        QCOMPARE(demo.exitCode(), 0);
        QCOMPARE(demo.readAllStandardOutput(), QByteArray("未找到系统托盘，Parlix 将在后台继续运行\n"));
    }
};

QTEST_GUILESS_MAIN(TestTrayFallback)
#include "test_tray_fallback.moc"
