#include "platform/x11/x11_key_monitor.h"
#include "platform/x11/xtest_paste_keystroke.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

// clang-format off: Xlib after Qt, whose names its macros would break
#include "platform/x11/xlib.h"
// clang-format on

namespace {
constexpr int kSuperR = 134;

bool xdotool(const QString& action, int keycode)
{
    return QProcess::execute(QStringLiteral("xdotool"), { action, QString::number(keycode) }) == 0;
}

bool keyIsDown(int keycode)
{
    Display* dpy = XOpenDisplay(nullptr);
    char keys[32] = {};
    XQueryKeymap(dpy, keys);
    XCloseDisplay(dpy);
    return keys[keycode / 8] & (1 << (keycode % 8));
}

// A Tk entry in its own process: a receiver that shares nothing with Qt.
class TkReceiver {
public:
    explicit TkReceiver(const QString& wmClass)
    {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(
            QStringLiteral("/usr/bin/python3"), { qEnvironmentVariable("PARLIX_TK_RECEIVER"), wmClass });
    }
    ~TkReceiver()
    {
        process_.closeWriteChannel();
        if (!process_.waitForFinished(3000))
            process_.kill();
        process_.waitForFinished(1000);
    }
    bool waitFor(const QString& line)
    {
        return QTest::qWaitFor([&] { return lines().contains(line); }, 10000);
    }
    QStringList lines()
    {
        output_ += QString::fromUtf8(process_.readAllStandardOutput());
        return output_.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private:
    QProcess process_;
    QString output_;
};
} // namespace

class TestXTestPasteKeystroke : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X server (DISPLAY unset)");
        QVERIFY(paste_.canSend());
    }

    void cleanup() { xdotool(QStringLiteral("keyup"), kSuperR); }

    void pastesIntoQtLineEdit_data()
    {
        QTest::addColumn<bool>("holdSuper");
        QTest::newRow("no key held") << false;
        QTest::newRow("right Super held") << true;
    }

    void pastesIntoQtLineEdit()
    {
        QFETCH(bool, holdSuper);
        QLineEdit edit;
        edit.setWindowTitle(QStringLiteral("receiver"));
        edit.show();
        edit.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&edit));
        QTRY_VERIFY(edit.hasFocus());
        const QString text = QStringLiteral("粘贴 test %1").arg(holdSuper);
        QApplication::clipboard()->setText(text);
        if (holdSuper) {
            QVERIFY(xdotool(QStringLiteral("keydown"), kSuperR));
            QTRY_VERIFY(keyIsDown(kSuperR));
        }
        QVERIFY(!paste_.focusIsTerminal());
        QVERIFY(paste_.send());
        QTRY_COMPARE(edit.text(), text);
        // The user's key is down again afterwards, as the user still holds it.
        QCOMPARE(keyIsDown(kSuperR), holdSuper);
    }

    // Tk reports the state of the keystroke itself: exactly Ctrl (4), or Ctrl+Shift (5)
    // into a terminal, whatever else is held. Tk fetches the clipboard from this process.
    void keystrokeCarriesOnlyItsModifiers_data()
    {
        QTest::addColumn<QString>("wmClass");
        QTest::addColumn<bool>("holdSuper");
        QTest::addColumn<QString>("expectedKey");
        QTest::newRow("entry") << QStringLiteral("receiver") << false << QStringLiteral("KEY v 4");
        QTest::newRow("entry, Super held") << QStringLiteral("receiver") << true << QStringLiteral("KEY v 4");
        QTest::newRow("terminal") << QStringLiteral("xterm") << false << QStringLiteral("KEY V 5");
        QTest::newRow("terminal, Super held") << QStringLiteral("xterm") << true << QStringLiteral("KEY V 5");
    }

    void keystrokeCarriesOnlyItsModifiers()
    {
        QFETCH(QString, wmClass);
        QFETCH(bool, holdSuper);
        QFETCH(QString, expectedKey);
        TkReceiver tk(wmClass);
        QVERIFY(tk.waitFor(QStringLiteral("READY")));
        const QString text = QStringLiteral("hello from the clipboard %1").arg(QTest::currentDataTag());
        QApplication::clipboard()->setText(text);
        if (holdSuper)
            QVERIFY(xdotool(QStringLiteral("keydown"), kSuperR));
        QCOMPARE(paste_.focusIsTerminal(), wmClass == QLatin1String("xterm"));
        QVERIFY(paste_.send());
        QVERIFY2(tk.waitFor(expectedKey), qPrintable(tk.lines().join(QLatin1Char('|'))));
        if (!paste_.focusIsTerminal()) // Tk's entry has no Ctrl+Shift+V binding
            QVERIFY2(
                tk.waitFor(QStringLiteral("TEXT ") + text), qPrintable(tk.lines().join(QLatin1Char('|'))));
    }

    // Our own keystroke must not read as trigger-key activity: no Ctrl edge (a Control
    // trigger would count a tap), no release and re-press of a held right Super.
    void monitorSeesOnlyTheVKey()
    {
        X11KeyMonitor monitor;
        QString error;
        QVERIFY2(monitor.start(&error), qPrintable(error));
        QSignalSpy spy(&monitor, &KeyMonitor::keyEvent);
        QVERIFY(xdotool(QStringLiteral("keydown"), kSuperR));
        QTRY_COMPARE(spy.count(), 1);
        QVERIFY(paste_.send());
        QVERIFY(xdotool(QStringLiteral("keyup"), kSuperR));
        QTRY_COMPARE(spy.count(), 4);
        const int v = KeyCode::OrdinaryKeyBase + 55;
        const quint64 rcmd = ModifierFlag::Command | ModifierFlag::RightCommandDevice;
        const QList<QList<QVariant>> expected = {
            { QVariant::fromValue(KeyEventType::FlagsChanged), rcmd, KeyCode::RightCommand },
            { QVariant::fromValue(KeyEventType::KeyDown), rcmd, v },
            { QVariant::fromValue(KeyEventType::KeyUp), rcmd, v },
            { QVariant::fromValue(KeyEventType::FlagsChanged), quint64(0), KeyCode::RightCommand },
        };
        QCOMPARE(QList<QList<QVariant>>(spy), expected);
    }

private:
    XTestPasteKeystroke paste_;
};

QTEST_MAIN(TestXTestPasteKeystroke)
#include "tst_xtest_paste_keystroke.moc"
