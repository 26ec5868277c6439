#include "ui/overlay_support.h"
#include "ui/status_window.h"
#include "x11_window_probe.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <algorithm>

class TestStatusWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X display (DISPLAY is unset)");
    }

    void geometry_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("width");
        QTest::newRow("empty") << QString() << 100;
        QTest::newRow("5 mixed") << QStringLiteral("识别中..") << 100;
        QTest::newRow("6 mixed") << QStringLiteral("识别中...") << 114;
        QTest::newRow("5 latin") << QStringLiteral("hello") << 100;
        QTest::newRow("6 latin") << QStringLiteral("hello!") << 114;
        QTest::newRow("10 cjk") << QStringLiteral("一二三四五六七八九十") << 170;
        QTest::newRow("20 mixed") << QStringLiteral("❌ 服务器返回错误 abcdefghij") << 310;
        // Flag, skin tone, family ZWJ sequence and a keycap: one character each.
        QTest::newRow("6 emoji") << QStringLiteral("🇨🇳👍🏽👨‍👩‍👧1️⃣🐟✅") << 114;
    }
    void geometry()
    {
        QFETCH(QString, message);
        QFETCH(int, width);

        StatusWindow toast;
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        const QPoint origin(screen.x() + (screen.width() - 100) / 2, screen.y() + 48);
        toast.showStatus(QStringLiteral("first message that is long"));
        toast.showStatus(message);
        QTRY_VERIFY(toast.isVisible());
        QCOMPARE(toast.text(), message);
        // Grows to the right: the left edge stays where the 100 px toast starts.
        QCOMPARE(toast.geometry(), QRect(origin, QSize(width, 32)));
        QTRY_COMPARE(toast.windowHandle()->geometry(), QRect(origin, QSize(width, 32)));
    }

    // A message too long for the rest of the screen stays on it instead of running off.
    void longMessageStaysOnScreen_data()
    {
        QTest::addColumn<int>("characters");
        QTest::addColumn<int>("width");
        QTest::newRow("fits") << 40 << 590;
        QTest::newRow("moves left") << 60 << 870;
        QTest::newRow("wider than the screen") << 200 << 0;
    }
    void longMessageStaysOnScreen()
    {
        QFETCH(int, characters);
        QFETCH(int, width);
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        if (width == 0)
            width = screen.width();
        const QString message = QString(characters, QChar(u'错'));
        StatusWindow toast;
        toast.showStatus(message);
        QCOMPARE(toast.text(), message);
        QCOMPARE(toast.width(), width);
        QVERIFY(toast.geometry().right() <= screen.right());
        QVERIFY(toast.x() >= screen.x());
        QCOMPARE(toast.x(), std::min(screen.x() + (screen.width() - 100) / 2, screen.right() + 1 - width));
    }

    void noScreenFallback()
    {
        // 800 x 600 in bottom-left coordinates puts the toast at (350, 520): 48 px from the top.
        QCOMPARE(topCentredRect(QRect(0, 0, 800, 600), 100, 100, 32, 48), QRect(350, 48, 100, 32));
        // A primary screen right of another monitor keeps the toast on that screen.
        QCOMPARE(topCentredRect(QRect(1920, 0, 1280, 800), 100, 310, 32, 48), QRect(2510, 48, 310, 32));
    }

    void colours()
    {
        StatusWindow toast;
        toast.showStatus(QStringLiteral("翻译中..."));
        QCOMPARE(toast.textColor(), QColor(Qt::white));
        toast.showStatus(QStringLiteral("❌ 失败"), Qt::red);
        QCOMPARE(toast.textColor(), QColor(Qt::red));
        QCOMPARE(toast.text(), QStringLiteral("❌ 失败"));

        // The label really draws in that colour over the dark background.
        const QImage image = toast.grab().toImage();
        bool sawRed = false;
        for (int y = 0; y < image.height() && !sawRed; ++y)
            for (int x = 0; x < image.width() && !sawRed; ++x) {
                const QColor c = image.pixelColor(x, y);
                sawRed = c.red() > 180 && c.green() < 80 && c.blue() < 80;
            }
        QVERIFY(sawRed);
    }

    void neverTakesFocus()
    {
        QLineEdit editor;
        editor.setWindowTitle(QStringLiteral("target"));
        editor.show();
        editor.activateWindow();
        // Other test programs on the same display may take the focus meanwhile; what
        // matters is that the toast never does.
        (void)QTest::qWaitForWindowActive(&editor);

        StatusWindow toast;
        toast.showStatus(QStringLiteral("识别中..."));
        QVERIFY(QTest::qWaitForWindowExposed(&toast));
        toast.showStatus(QStringLiteral("翻译中..."));
        QCoreApplication::processEvents();
        QVERIFY(!toast.isActiveWindow());
        QVERIFY(QGuiApplication::focusWindow() != toast.windowHandle());
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

    // An earlier hide is not cancelled by a later message: the second message goes when the
    // first hide falls due, and the second hide finds nothing left to hide.
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
            toast.showStatus(QStringLiteral("second"), Qt::yellow);
            toast.hideAfterDelay(1.2);
        });
        QTRY_VERIFY(secondShownAt >= 0);
        QVERIFY(toast.isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!toast.isVisible(), 3000);
        const qint64 hiddenAt = clock.elapsed();
        // Gone with the first hide, long before its own (which leaves room for a busy machine).
        QVERIFY2(hiddenAt >= 590 && hiddenAt < secondShownAt + 1000, qPrintable(QString::number(hiddenAt)));
        QCOMPARE(toast.text(), QStringLiteral("second"));

        // The second hide falls due with nothing left to hide and shows nothing again.
        QTRY_VERIFY_WITH_TIMEOUT(clock.elapsed() > secondShownAt + 1300, 3000);
        QVERIFY(!toast.isVisible());
    }
};

QTEST_MAIN(TestStatusWindow)
#include "test_status_window.moc"
