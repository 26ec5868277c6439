#include "platform/evdev/evdev_key_monitor.h"
#include "platform/platform_factory.h"

#include <QTest>

namespace {
void setEnv(const char* name, const QString& value)
{
    if (value.isNull())
        qunsetenv(name);
    else
        qputenv(name, value.toLocal8Bit());
}
} // namespace

class TestPlatformFactory : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        display_ = qEnvironmentVariable("DISPLAY");
        wayland_ = qEnvironmentVariable("WAYLAND_DISPLAY");
    }

    void cleanup()
    {
        setEnv("DISPLAY", display_.isEmpty() ? QString() : display_);
        setEnv("WAYLAND_DISPLAY", wayland_.isEmpty() ? QString() : wayland_);
    }

    // Here there is no /dev/input nor /dev/uinput: a session without X11 falls back to
    // XInput2 when an X server is reachable (XWayland), and gets no monitor otherwise.
    void picksBackendsBySession_data()
    {
        QTest::addColumn<bool>("withDisplay");
        QTest::addColumn<QString>("wayland");
        QTest::addColumn<QString>("monitor");
        QTest::addColumn<QString>("paste");
        QTest::newRow("X11") << true << QString() << QStringLiteral("XInput2") << QStringLiteral("XTest");
        QTest::newRow("Wayland with XWayland")
            << true << QStringLiteral("wayland-0") << QStringLiteral("XInput2") << QStringLiteral("uinput");
        QTest::newRow("nothing reachable")
            << false << QStringLiteral("wayland-0") << QString() << QStringLiteral("uinput");
    }

    void picksBackendsBySession()
    {
        QFETCH(bool, withDisplay);
        QFETCH(QString, wayland);
        QFETCH(QString, monitor);
        QFETCH(QString, paste);
        if (withDisplay && display_.isEmpty())
            QSKIP("needs an X server (DISPLAY unset)");
        if (QFile::exists(QStringLiteral("/dev/input")))
            QSKIP("this machine has /dev/input: the evdev backend would win");
        setEnv("DISPLAY", withDisplay ? display_ : QString());
        setEnv("WAYLAND_DISPLAY", wayland);

        const auto keyMonitor = createKeyMonitor();
        QCOMPARE(keyMonitor ? keyMonitor->backendName() : QString(), monitor);
        QCOMPARE(createPasteKeystroke()->backendName(), paste);
        QVERIFY(createRecorder());
    }

    void evdevStartFailsWithReason()
    {
        EvdevKeyMonitor monitor(QStringLiteral("/nonexistent/input"));
        QString error;
        QVERIFY(!monitor.start(&error));
        QVERIFY(error.contains(QStringLiteral("/nonexistent/input")));
    }

private:
    QString display_;
    QString wayland_;
};

QTEST_GUILESS_MAIN(TestPlatformFactory)
#include "tst_platform_factory.moc"
