#include "platform/x11/x11_key_monitor.h"
#include "platform/x11/xtest_paste_keystroke.h"

#include <QtTest>
#include <QtWidgets>

class TestXTestPasteKeystroke : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup()
    {
        QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("134")});
    }

    // A Tk entry in its own process that reports the keystroke's state: exactly Ctrl (4), or
    // Ctrl+Shift (5) into a terminal, though right Super is held; and a real xterm, which
    // pastes PRIMARY with Shift+Insert and nothing with Ctrl(+Shift)+V. Neither the faked
    // keys nor the Control taps that keep the held Super from acting alone reach the monitor.
    void pastesWhileRightSuperHeld_data()
    {
        QTest::addColumn<QString>("receiver"); // "xterm", or the Tk window's class
        QTest::addColumn<int>("method");
        QTest::newRow("Tk entry") << "receiver" << int(PasteMethod::ControlV);
        QTest::newRow("Tk entry as a terminal") << "gnome-terminal" << int(PasteMethod::ControlShiftV);
        QTest::newRow("xterm") << "xterm" << int(PasteMethod::ShiftInsert);
    }

    void pastesWhileRightSuperHeld()
    {
        QFETCH(QString, receiver);
        QFETCH(int, method);
        const bool xterm = receiver == QLatin1String("xterm");
        QProcess other;
        QString said;
        QTemporaryDir dir;
        const QString typed = dir.filePath(QStringLiteral("typed"));
        auto says = [&](const QString& line) {
            return QTest::qWaitFor(
                [&] { return (said += other.readAllStandardOutput()).contains(line + u'\n'); }, 10000);
        };
        if (xterm) {
            // The terminal's program writes every byte it gets: ^V would show up as \x16.
            other.start(QStringLiteral("xterm"),
                {"-geometry", "40x5+0+0", "-e", "sh", "-c",
                    "stty raw -echo; echo ready >" + typed + ".r; exec cat >" + typed});
            QVERIFY(QTest::qWaitFor([&] { return QFile::exists(typed + ".r"); }, 10000));
            QCOMPARE(QProcess::execute(QStringLiteral("xdotool"),
                         {"search", "--sync", "--classname", "xterm", "windowfocus", "--sync"}),
                0);
        } else {
            other.start(
                QStringLiteral("/usr/bin/python3"), {qEnvironmentVariable("PARLIX_TK_RECEIVER"), receiver});
            QVERIFY(says(QStringLiteral("READY")));
        }
        QCOMPARE(int(paste_.methodForFocus()), method);
        X11KeyMonitor monitor;
        QString error;
        QVERIFY2(monitor.start(&error), qPrintable(error));
        QSignalSpy seen(&monitor, &KeyMonitor::keyEvent);
        QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("keydown"), QStringLiteral("134")});
        QTRY_COMPARE(seen.size(), 1);
        // Super is not let go of alone (a launcher would open): a Control tap makes it a combination.
        paste_.maskLoneModifier();
        QVERIFY2(xterm || says(QStringLiteral("KEY Control_L 64")), qPrintable(said));

        const QString text = QStringLiteral("粘贴 ") + QString::fromLatin1(QTest::currentDataTag());
        const auto mode
            = pastesFromPrimary(PasteMethod(method)) ? QClipboard::Selection : QClipboard::Clipboard;
        QApplication::clipboard()->setText(text, mode);
        QVERIFY(paste_.canSend() && paste_.send(PasteMethod(method)));
        if (xterm) {
            auto content = [&] {
                QFile file(typed);
                return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
            };
            QTRY_COMPARE(content(), text);
        } else {
            const bool shift = PasteMethod(method) == PasteMethod::ControlShiftV;
            QVERIFY2(says(shift ? "KEY V 5" : "KEY v 4") && says("TEXT " + text), qPrintable(said));
        }
        QVERIFY(QGuiApplication::queryKeyboardModifiers() & Qt::MetaModifier); // the user still holds it

        cleanup();
        QTRY_COMPARE(seen.size(), 2);
        // Only the person's Super: none of the faked keys, not even V, reached the monitor.
        QCOMPARE(seen.at(1).at(1).toULongLong(), 0u);
        other.closeWriteChannel();
        other.terminate();
        other.waitForFinished(3000);
    }

private:
    XTestPasteKeystroke paste_;
};

QTEST_MAIN(TestXTestPasteKeystroke)
#include "tst_xtest_paste_keystroke.moc"
