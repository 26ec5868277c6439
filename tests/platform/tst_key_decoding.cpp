#include "platform/evdev/evdev_key_decoder.h"

#include <QTest>

// Recorded keyboard sequences (device, evdev code, value) and the neutral stream they
// must give. Value 2 is the kernel's auto-repeat.
struct Record {
    int device;
    unsigned short code;
    int value;
};
using Event = KeyStateTracker::Event;
Q_DECLARE_METATYPE(QList<Record>)
Q_DECLARE_METATYPE(QList<Event>)

namespace {
constexpr auto F = KeyEventType::FlagsChanged;
constexpr auto D = KeyEventType::KeyDown;
constexpr auto U = KeyEventType::KeyUp;
constexpr quint64 kRCmd = ModifierFlag::Command | ModifierFlag::RightCommandDevice;
constexpr quint64 kLCmd = ModifierFlag::Command | ModifierFlag::LeftCommandDevice;

int ordinary(int evdevCode)
{
    return KeyCode::OrdinaryKeyBase + evdevCode + 8;
}

input_event ev(unsigned short type, unsigned short code, int value)
{
    input_event e {};
    e.type = type;
    e.code = code;
    e.value = value;
    return e;
}
} // namespace

class TestKeyDecoding : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sequences_data()
    {
        QTest::addColumn<QList<Record>>("input");
        QTest::addColumn<QList<Event>>("expected");

        QTest::newRow("right Meta held with repeats") << QList<Record> {
            { 1, KEY_RIGHTMETA, 1 }, { 1, KEY_RIGHTMETA, 2 }, { 1, KEY_RIGHTMETA, 2 }, { 1, KEY_RIGHTMETA, 0 }
        } << QList<Event> { { F, kRCmd, KeyCode::RightCommand }, { F, 0, KeyCode::RightCommand } };
        QTest::newRow("Fn") << QList<Record> { { 1, KEY_FN, 1 }, { 1, KEY_FN, 0 } }
                            << QList<Event> { { F, ModifierFlag::SecondaryFn, KeyCode::Function },
                                   { F, 0, KeyCode::Function } };
        QTest::newRow("both Ctrls") << QList<Record> { { 1, KEY_LEFTCTRL, 1 }, { 1, KEY_RIGHTCTRL, 1 },
            { 1, KEY_LEFTCTRL, 0 }, { 1, KEY_RIGHTCTRL, 0 } }
                                    << QList<Event> { { F, ModifierFlag::Control, KeyCode::Control },
                                           { F, ModifierFlag::Control, KeyCode::RightControl },
                                           { F, ModifierFlag::Control, KeyCode::Control },
                                           { F, 0, KeyCode::RightControl } };
        QTest::newRow("both Metas, right released first")
            << QList<Record> { { 1, KEY_LEFTMETA, 1 }, { 1, KEY_RIGHTMETA, 1 }, { 1, KEY_RIGHTMETA, 0 },
                   { 1, KEY_LEFTMETA, 0 } }
            << QList<Event> { { F, kLCmd, KeyCode::LeftCommand }, { F, kLCmd | kRCmd, KeyCode::RightCommand },
                   { F, kLCmd, KeyCode::RightCommand }, { F, 0, KeyCode::LeftCommand } };
        QTest::newRow("right Alt under left Shift")
            << QList<Record> { { 1, KEY_LEFTSHIFT, 1 }, { 1, KEY_RIGHTALT, 1 }, { 1, KEY_RIGHTALT, 0 },
                   { 1, KEY_LEFTSHIFT, 0 } }
            << QList<Event> { { F, ModifierFlag::Shift, KeyCode::Shift },
                   { F, ModifierFlag::Shift | ModifierFlag::Alternate, KeyCode::RightOption },
                   { F, ModifierFlag::Shift, KeyCode::RightOption }, { F, 0, KeyCode::Shift } };
        QTest::newRow("ordinary keys carry the flags, repeats dropped")
            << QList<Record> { { 1, KEY_LEFTCTRL, 1 }, { 1, KEY_V, 1 }, { 1, KEY_V, 2 }, { 1, KEY_V, 0 },
                   { 1, KEY_LEFTCTRL, 0 } }
            << QList<Event> { { F, ModifierFlag::Control, KeyCode::Control },
                   { D, ModifierFlag::Control, ordinary(KEY_V) },
                   { U, ModifierFlag::Control, ordinary(KEY_V) }, { F, 0, KeyCode::Control } };
        QTest::newRow("Caps Lock is an edge without a flag")
            << QList<Record> { { 1, KEY_CAPSLOCK, 1 }, { 1, KEY_CAPSLOCK, 0 } }
            << QList<Event> { { F, 0, KeyCode::CapsLock }, { F, 0, KeyCode::CapsLock } };
        QTest::newRow("release never pressed is dropped")
            << QList<Record> { { 1, KEY_RIGHTMETA, 0 }, { 1, KEY_A, 0 } } << QList<Event> {};
        QTest::newRow("same key on two keyboards counts once") << QList<Record> {
            { 1, KEY_LEFTCTRL, 1 }, { 2, KEY_LEFTCTRL, 1 }, { 1, KEY_LEFTCTRL, 0 }, { 2, KEY_LEFTCTRL, 0 }
        } << QList<Event> { { F, ModifierFlag::Control, KeyCode::Control }, { F, 0, KeyCode::Control } };
        QTest::newRow("modifiers combine across keyboards")
            << QList<Record> { { 1, KEY_LEFTCTRL, 1 }, { 2, KEY_RIGHTMETA, 1 }, { 2, KEY_RIGHTMETA, 0 },
                   { 1, KEY_LEFTCTRL, 0 } }
            << QList<Event> { { F, ModifierFlag::Control, KeyCode::Control },
                   { F, ModifierFlag::Control | kRCmd, KeyCode::RightCommand },
                   { F, ModifierFlag::Control, KeyCode::RightCommand }, { F, 0, KeyCode::Control } };
        QTest::newRow("mouse buttons are not keys")
            << QList<Record> { { 1, BTN_LEFT, 1 }, { 1, BTN_LEFT, 0 } } << QList<Event> {};
    }

    void sequences()
    {
        QFETCH(QList<Record>, input);
        QFETCH(QList<Event>, expected);
        EvdevKeyDecoder decoder;
        QList<Event> out;
        for (const Record& r : input) {
            // Every key record arrives between EV_MSC scans and a SYN_REPORT.
            QVERIFY(!decoder.decode(r.device, ev(EV_MSC, MSC_SCAN, 0x700e7)));
            if (auto e = decoder.decode(r.device, ev(EV_KEY, r.code, r.value)))
                out.append(*e);
            QVERIFY(!decoder.decode(r.device, ev(EV_SYN, SYN_REPORT, 0)));
        }
        QCOMPARE(out, expected);
    }

    // A keyboard unplugged while the trigger is held must not leave it pressed forever.
    void unpluggedKeyboardReleasesItsKeys()
    {
        EvdevKeyDecoder decoder;
        decoder.decode(1, ev(EV_KEY, KEY_LEFTSHIFT, 1));
        decoder.decode(2, ev(EV_KEY, KEY_RIGHTMETA, 1));
        decoder.decode(2, ev(EV_KEY, KEY_A, 1));
        decoder.decode(2, ev(EV_KEY, KEY_LEFTSHIFT, 1));
        const QList<Event> released = decoder.deviceRemoved(2);
        QCOMPARE(released,
            (QList<Event> { { U, ModifierFlag::Shift | kRCmd, ordinary(KEY_A) },
                { F, ModifierFlag::Shift, KeyCode::RightCommand } }));
        // The Shift still held on keyboard 1 stays down; the device can come back.
        QCOMPARE(decoder.decode(2, ev(EV_KEY, KEY_RIGHTMETA, 1)),
            (std::optional<Event> { { F, ModifierFlag::Shift | kRCmd, KeyCode::RightCommand } }));
    }
};

QTEST_GUILESS_MAIN(TestKeyDecoding)
#include "tst_key_decoding.moc"
