#include "platform/x11/x11_key_monitor.h"
#include "platform/x11/xtest_paste_keystroke.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

class TestXTestPasteKeystroke : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup()
    {
        QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("134")});
    }

    // Into a Qt field, or a Tk entry in its own process that reports the keystroke's state:
    // exactly Ctrl (4), or Ctrl+Shift (5) into a terminal, though right Super is held.
    void pastesWhileRightSuperHeld_data()
    {
        QTest::addColumn<QString>("tkClass"); // empty: a Qt line edit
        QTest::newRow("Qt line edit") << QString();
        QTest::newRow("Tk entry") << "receiver";
        QTest::newRow("Tk entry as a terminal") << "xterm";
    }

    void pastesWhileRightSuperHeld()
    {
        QFETCH(QString, tkClass);
        QLineEdit edit;
        QProcess tk;
        QString tkSaid;
        auto tkSays = [&](const QString& line) {
            return QTest::qWaitFor(
                [&] { return (tkSaid += tk.readAllStandardOutput()).contains(line + u'\n'); }, 10000);
        };
        if (tkClass.isEmpty()) {
            edit.show();
            edit.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&edit));
        } else {
            tk.start(
                QStringLiteral("/usr/bin/python3"), {qEnvironmentVariable("PARLIX_TK_RECEIVER"), tkClass});
            QVERIFY(tkSays(QStringLiteral("READY")));
        }
        X11KeyMonitor monitor;
        QString error;
        QVERIFY2(monitor.start(&error), qPrintable(error));
        QSignalSpy seen(&monitor, &KeyMonitor::keyEvent);
        QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("keydown"), QStringLiteral("134")});
        QTRY_COMPARE(seen.size(), 1);

        const QString text = QStringLiteral("粘贴 ") + QString::fromLatin1(QTest::currentDataTag());
        QApplication::clipboard()->setText(text);
        const bool terminal = tkClass == QLatin1String("xterm");
        QCOMPARE(paste_.focusIsTerminal(), terminal);
        QVERIFY(paste_.canSend() && paste_.send());
        if (tkClass.isEmpty())
            QTRY_COMPARE(edit.text(), text);
        else
            QVERIFY2(tkSays(terminal ? "KEY V 5" : "KEY v 4") && tkSays("TEXT " + text), qPrintable(tkSaid));
        QVERIFY(QGuiApplication::queryKeyboardModifiers() & Qt::MetaModifier); // the user still holds it

        cleanup();
        QTRY_COMPARE(seen.size(), 4);
        const quint64 r = ModifierFlag::Command | ModifierFlag::RightCommandDevice;
        for (int i : {1, 2}) // only the V key, under the held Super: no Ctrl edge, no Super released
            QCOMPARE(seen.at(i).mid(1), (QVariantList {r, KeyCode::OrdinaryKeyBase + 55}));
        tk.closeWriteChannel();
        tk.waitForFinished(3000);
    }

private:
    XTestPasteKeystroke paste_;
};

QTEST_MAIN(TestXTestPasteKeystroke)
#include "tst_xtest_paste_keystroke.moc"
