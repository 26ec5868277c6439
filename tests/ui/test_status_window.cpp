#include "ui/overlay_support.h"
#include "ui/status_window.h"
#include "x11_window_probe.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <QTimer>

class TestStatusWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X display (DISPLAY is unset)");
        QCOMPARE(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 1280, 800)); // the test session
    }

    // Width by user-perceived characters; the toast grows to the right of its 100 px place
    // (x 590) and moves left only where it would leave the screen.
    void geometry_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QRect>("frame");
        QTest::newRow("empty") << QString() << QRect(590, 48, 100, 32);
        QTest::newRow("5") << QStringLiteral("识别中..") << QRect(590, 48, 100, 32);
        QTest::newRow("6") << QStringLiteral("识别中...") << QRect(590, 48, 114, 32);
        QTest::newRow("6 emoji") << QStringLiteral("🇨🇳👍🏽👨‍👩‍👧1️⃣🐟✅") << QRect(590, 48, 114, 32);
        QTest::newRow("20") << QStringLiteral("❌ 服务器返回错误 abcdefghij") << QRect(590, 48, 310, 32);
        QTest::newRow("60") << QString(60, u'错') << QRect(410, 48, 870, 32);
        QTest::newRow("200") << QString(200, u'错') << QRect(0, 48, 1280, 32);
    }
    void geometry()
    {
        QFETCH(QString, message);
        QFETCH(QRect, frame);
        StatusWindow toast;
        toast.showStatus(QStringLiteral("an earlier, longer message"));
        toast.showStatus(message);
        QCOMPARE(toast.text(), message);
        QTRY_COMPARE(toast.windowHandle()->geometry(), frame);
    }

    void noScreenFallback()
    {
        // (350, 520) in the bottom-left coordinates of an 800 x 600 screen.
        QCOMPARE(topCentredRect(QRect(0, 0, 800, 600), 100, 100, 32, 48), QRect(350, 48, 100, 32));
        QCOMPARE(topCentredRect(QRect(1920, 0, 1280, 800), 100, 310, 32, 48), QRect(2510, 48, 310, 32));
    }

    void colourAndFocus()
    {
        QLineEdit editor;
        editor.show();
        editor.activateWindow();
        (void)QTest::qWaitForWindowActive(&editor); // other tests on the display may take it

        StatusWindow toast;
        toast.showStatus(QStringLiteral("翻译中..."));
        QCOMPARE(toast.textColor(), QColor(Qt::white));
        toast.showStatus(QStringLiteral("❌ 失败"), Qt::red);
        QCOMPARE(toast.textColor(), QColor(Qt::red));
        QVERIFY(QTest::qWaitForWindowExposed(&toast));
        QCoreApplication::processEvents();
        QVERIFY(QGuiApplication::focusWindow() != toast.windowHandle());
        // What a window manager reads: no input focus wanted, not managed at all.
        const X11WindowProbe x11 = X11WindowProbe::of(toast);
        QVERIFY(!x11.acceptsInput);
        QVERIFY(x11.overrideRedirect);
    }

    void zeroDelayHidesAtNextTurn()
    {
        StatusWindow toast;
        toast.showStatus(QStringLiteral("done"));
        toast.hideAfterDelay(0);
        QVERIFY(toast.isVisible());
        QTRY_VERIFY(!toast.isVisible());
    }

    // Earlier hides are not cancelled: a later message goes when the first hide falls due.
    void earlierHideStillFires()
    {
        StatusWindow toast;
        QElapsedTimer clock;
        clock.start();
        toast.showStatus(QStringLiteral("first"));
        toast.hideAfterDelay(0.6);
        qint64 secondShownAt = -1;
        QTimer::singleShot(300, Qt::PreciseTimer, &toast, [&] {
            secondShownAt = clock.elapsed();
            toast.showStatus(QStringLiteral("second"));
            toast.hideAfterDelay(1.2);
        });
        QTRY_VERIFY(secondShownAt >= 0);
        QVERIFY(toast.isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!toast.isVisible(), 3000);
        // Long before its own hide, which leaves room for a busy machine.
        const qint64 hiddenAt = clock.elapsed();
        QVERIFY2(hiddenAt >= 590 && hiddenAt < secondShownAt + 1000, qPrintable(QString::number(hiddenAt)));
        // Its own hide then finds nothing to hide.
        QTRY_VERIFY_WITH_TIMEOUT(clock.elapsed() > secondShownAt + 1300, 3000);
        QVERIFY(!toast.isVisible());
    }
};

QTEST_MAIN(TestStatusWindow)
#include "test_status_window.moc"
