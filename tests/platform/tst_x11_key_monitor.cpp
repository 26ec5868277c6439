#include "platform/x11/x11_key_monitor.h"

#include <QProcess>
#include <QTest>

using Event = std::tuple<int, quint64, int>; // type, flags, key code
Q_DECLARE_METATYPE(QList<Event>)

class TestX11KeyMonitor : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // xdotool gets keycodes: with key names it adds stray modifiers. A trailing "z"
    // (keycode 52) ends every run, so that nothing can trail unseen.
    void stream_data()
    {
        constexpr int F = int(KeyEventType::FlagsChanged);
        constexpr quint64 r = ModifierFlag::Command | ModifierFlag::RightCommandDevice;
        constexpr quint64 l = ModifierFlag::Command | ModifierFlag::LeftCommandDevice;
        constexpr quint64 rc = r | ModifierFlag::Control;
        constexpr int e = KeyCode::OrdinaryKeyBase + 26;
        QTest::addColumn<QString>("keyboardMap"); // setxkbmap's arguments, once the monitor runs
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QList<Event>>("expected");
        QTest::newRow("both Supers, right up first")
            << ""
            << "keydown 133 keydown 134 keyup 134 keyup 133"
            << QList<Event> {{F, l, 55}, {F, l | r, 54}, {F, l, 54}, {F, 0, 55}};
        QTest::newRow("Ctrl and a key under right Super, repeated")
            << ""
            << "keydown 134 keydown 134 keydown 37 keydown 26 keydown 26 keyup 26 keyup 37 keyup 134"
            << QList<Event> {{F, r, 54}, {F, rc, 59}, {int(KeyEventType::KeyDown), rc, e},
                   {int(KeyEventType::KeyUp), rc, e}, {F, r, 59}, {F, 0, 54}};
        QTest::newRow("left Alt and Super swapped while running")
            << "us -option altwin:swap_lalt_lwin"
            << "keydown 64 keyup 64" << QList<Event> {{F, l, 55}, {F, 0, 55}};
    }

    void stream()
    {
        QFETCH(QString, keyboardMap);
        QFETCH(QString, keys);
        QFETCH(QList<Event>, expected);
        X11KeyMonitor monitor;
        QString error;
        QVERIFY2(monitor.start(&error), qPrintable(error));
        if (!keyboardMap.isEmpty()) // its events reach the monitor before the keys'
            QCOMPARE(QProcess::execute(QStringLiteral("setxkbmap"), keyboardMap.split(u' ')), 0);
        QList<Event> seen;
        connect(&monitor, &KeyMonitor::keyEvent, this, [&](KeyEventType t, quint64 f, int code) {
            seen.append({int(t), f, code});
        });
        QCOMPARE(
            QProcess::execute(QStringLiteral("xdotool"), QString(keys + " keydown 52 keyup 52").split(u' ')),
            0);
        const Event zUp {int(KeyEventType::KeyUp), 0, KeyCode::OrdinaryKeyBase + 52};
        QTRY_VERIFY(!seen.isEmpty() && seen.last() == zUp);
        QProcess::execute(QStringLiteral("setxkbmap"), {"us", "-option", ""});
        QCOMPARE(seen.mid(0, seen.size() - 2), expected);
    }
};

QTEST_MAIN(TestX11KeyMonitor)
#include "tst_x11_key_monitor.moc"
