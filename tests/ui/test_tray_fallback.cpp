#include <QProcess>
#include <QTest>

// Without a system tray Parlix keeps running and says so once.
class TestTrayFallback : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void noTrayMessage()
    {
        QProcess demo;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        demo.setProcessEnvironment(env);
        demo.start(QStringLiteral(PARLIX_TRAY_MENU_DEMO), {QStringLiteral("--exit-after-setup")});
        QVERIFY(demo.waitForFinished(20000));
        QCOMPARE(demo.exitStatus(), QProcess::NormalExit);
        QCOMPARE(demo.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(demo.readAllStandardOutput()), QStringLiteral("未找到系统托盘，Parlix 将在后台继续运行\n"));
    }
};

QTEST_GUILESS_MAIN(TestTrayFallback)
#include "test_tray_fallback.moc"
