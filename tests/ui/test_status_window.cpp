#include "ui/status_window.h"

#include <QtTest>
#include <QtWidgets>

class TestStatusWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Width by user-perceived characters; on the 1280 px test screen the toast grows to the
    // right of its place, never wider than the screen. It never takes the focus.
    void geometryAndFocus_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QRect>("frame");
        QTest::newRow("6 emoji") << "🇨🇳👍🏽👨‍👩‍👧1️⃣🐟✅"
                                 << QRect(590, 48, 114, 32);
        QTest::newRow("200") << QString(200, u'错') << QRect(0, 48, 1280, 32);
    }

    void geometryAndFocus()
    {
        QFETCH(QString, message);
        QFETCH(QRect, frame);
        QLineEdit editor;
        editor.show();
        editor.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&editor));
        StatusWindow toast;
        toast.showStatus(QStringLiteral("an earlier, longer message"));
        toast.showStatus(message);
        QTRY_COMPARE(toast.windowHandle()->geometry(), frame);
        QCOMPARE(QGuiApplication::focusWindow(), editor.windowHandle());
        QProcess xprop; // what a window manager reads
        xprop.start(QStringLiteral("xprop"),
            {QStringLiteral("-id"), QString::number(toast.winId()), QStringLiteral("WM_HINTS")});
        QVERIFY(xprop.waitForFinished());
        QVERIFY(xprop.readAllStandardOutput().contains("input focus: False"));
    }

    // An earlier hide is not cancelled by a later message.
    void earlierHideStillFires()
    {
        StatusWindow toast;
        toast.showStatus(QStringLiteral("first"));
        toast.hideAfterDelay(0.3);
        toast.showStatus(QStringLiteral("second"));
        toast.hideAfterDelay(60);
        QVERIFY(toast.isVisible());
        QTRY_VERIFY(!toast.isVisible());
    }
};

QTEST_MAIN(TestStatusWindow)
#include "test_status_window.moc"
