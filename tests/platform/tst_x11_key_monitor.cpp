#include "platform/x11/x11_key_monitor.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTest>

// clang-format off: Xlib after Qt, whose names its macros would break
#include "platform/x11/xlib.h"
// clang-format on

using Event = std::tuple<int, quint64, int>; // type, flags, key code
Q_DECLARE_METATYPE(QList<Event>)

namespace {
constexpr int kCmd = int(KeyEventType::FlagsChanged);
constexpr int kDown = int(KeyEventType::KeyDown);
constexpr int kUp = int(KeyEventType::KeyUp);
constexpr quint64 kRCmd = ModifierFlag::Command | ModifierFlag::RightCommandDevice;
constexpr quint64 kLCmd = ModifierFlag::Command | ModifierFlag::LeftCommandDevice;
constexpr int kSentinel = 52; // "z": ends every sequence so that nothing can trail unseen

int ordinary(int xKeycode)
{
    return KeyCode::OrdinaryKeyBase + xKeycode;
}

bool xdotool(const QStringList& args)
{
    return QProcess::execute(QStringLiteral("xdotool"), args) == 0;
}

// Presses the keys by keycode (names make xdotool add stray keys), then the sentinel,
// and returns everything the monitor reported before the sentinel.
QList<Event> record(X11KeyMonitor& monitor, const QStringList& steps)
{
    QList<Event> seen;
    bool sentinelUp = false;
    auto c = QObject::connect(&monitor, &KeyMonitor::keyEvent, [&](KeyEventType t, quint64 f, int code) {
        if (code == ordinary(kSentinel))
            sentinelUp = t == KeyEventType::KeyUp;
        else
            seen.append({ int(t), f, code });
    });
    QStringList args = steps;
    args << QStringLiteral("keydown") << QString::number(kSentinel) << QStringLiteral("keyup")
         << QString::number(kSentinel);
    if (!xdotool(args))
        qWarning("xdotool failed");
    if (!QTest::qWaitFor([&] { return sentinelUp; }, 5000))
        seen.append({ -1, 0, 0 }); // the sentinel never came: fails the comparison
    QObject::disconnect(c);
    return seen;
}

QStringList steps(const char* text)
{
    return QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}
} // namespace

class TestX11KeyMonitor : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X server (DISPLAY unset)");
        QString error;
        QVERIFY2(monitor_.start(&error), qPrintable(error));
        QCOMPARE(monitor_.backendName(), QStringLiteral("XInput2"));
    }

    void stream_data()
    {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QList<Event>>("expected");
        QTest::newRow("right Super") << steps("keydown 134 keyup 134")
                                     << QList<Event> { { kCmd, kRCmd, 54 }, { kCmd, 0, 54 } };
        QTest::newRow("left Super") << steps("keydown 133 keyup 133")
                                    << QList<Event> { { kCmd, kLCmd, 55 }, { kCmd, 0, 55 } };
        QTest::newRow("left Alt") << steps("keydown 64 keyup 64")
                                  << QList<Event> { { kCmd, ModifierFlag::Alternate, 58 }, { kCmd, 0, 58 } };
        QTest::newRow("both Ctrls overlap")
            << steps("keydown 37 keydown 105 keyup 37 keyup 105")
            << QList<Event> { { kCmd, ModifierFlag::Control, 59 }, { kCmd, ModifierFlag::Control, 62 },
                   { kCmd, ModifierFlag::Control, 59 }, { kCmd, 0, 62 } };
        // The release of the right Super while the left one is held must be visible as such.
        QTest::newRow("both Supers") << steps("keydown 133 keydown 134 keyup 134 keyup 133")
                                     << QList<Event> { { kCmd, kLCmd, 55 }, { kCmd, kLCmd | kRCmd, 54 },
                                            { kCmd, kLCmd, 54 }, { kCmd, 0, 55 } };
        QTest::newRow("Ctrl under Super")
            << steps("keydown 134 keydown 37 keyup 37 keyup 134")
            << QList<Event> { { kCmd, kRCmd, 54 }, { kCmd, kRCmd | ModifierFlag::Control, 59 },
                   { kCmd, kRCmd, 59 }, { kCmd, 0, 54 } };
        QTest::newRow("held key repeats once")
            << steps("keydown 134 keydown 134 keydown 134 keyup 134 keyup 134")
            << QList<Event> { { kCmd, kRCmd, 54 }, { kCmd, 0, 54 } };
        QTest::newRow("ordinary key") << steps(
            "keydown 38 keyup 38") << QList<Event> { { kDown, 0, ordinary(38) }, { kUp, 0, ordinary(38) } };
        QTest::newRow("ordinary key with Shift")
            << steps("keydown 50 keydown 38 keydown 38 keyup 38 keyup 50")
            << QList<Event> { { kCmd, ModifierFlag::Shift, 56 }, { kDown, ModifierFlag::Shift, ordinary(38) },
                   { kUp, ModifierFlag::Shift, ordinary(38) }, { kCmd, 0, 56 } };
    }

    void stream()
    {
        QFETCH(QStringList, keys);
        QFETCH(QList<Event>, expected);
        QCOMPARE(record(monitor_, keys), expected);
    }

    // A layout change (here: an unused keycode becomes right Super) takes effect at once.
    void followsKeymapChanges()
    {
        constexpr int kSpare = 250;
        Display* dpy = XOpenDisplay(nullptr);
        QVERIFY(dpy);
        int minCode = 0;
        int maxCode = 0;
        XDisplayKeycodes(dpy, &minCode, &maxCode);
        if (maxCode < kSpare)
            QSKIP("the server has no spare keycode");
        auto setSym = [&](KeySym sym) {
            XChangeKeyboardMapping(dpy, kSpare, 1, &sym, 1);
            XSync(dpy, False);
        };
        setSym(XK_Super_R);
        const auto remapped = record(monitor_,
            { QStringLiteral("keydown"), QString::number(kSpare), QStringLiteral("keyup"),
                QString::number(kSpare) });
        setSym(NoSymbol);
        const auto restored = record(monitor_,
            { QStringLiteral("keydown"), QString::number(kSpare), QStringLiteral("keyup"),
                QString::number(kSpare) });
        XCloseDisplay(dpy);
        QCOMPARE(remapped, (QList<Event> { { kCmd, kRCmd, 54 }, { kCmd, 0, 54 } }));
        QCOMPARE(restored, (QList<Event> { { kDown, 0, ordinary(kSpare) }, { kUp, 0, ordinary(kSpare) } }));
    }

    // The cost of one raw key event through the decoding (edge tracking, flags, signal).
    void decodingCost()
    {
        int received = 0;
        auto c = connect(&monitor_, &KeyMonitor::keyEvent, this, [&] { ++received; });
        QBENCHMARK
        {
            monitor_.processRawKey(134, true, false);
            monitor_.processRawKey(134, false, false);
        }
        disconnect(c);
        QVERIFY(received > 0 && received % 2 == 0);
    }

private:
    X11KeyMonitor monitor_;
};

QTEST_MAIN(TestX11KeyMonitor)
#include "tst_x11_key_monitor.moc"
