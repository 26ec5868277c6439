#include "platform/evdev/evdev_key_decoder.h"

#include <QTest>

// (device, evdev code, value): value 2 is the kernel's auto-repeat; kUnplug removes the device.
struct Record {
    int device;
    unsigned short code;
    int value;
};
using Event = KeyStateTracker::Event;
Q_DECLARE_METATYPE(QList<Record>)
Q_DECLARE_METATYPE(QList<Event>)

constexpr unsigned short kUnplug = 0xffff;

class TestKeyDecoding : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sequences_data()
    {
        constexpr auto F = KeyEventType::FlagsChanged, D = KeyEventType::KeyDown, U = KeyEventType::KeyUp;
        constexpr quint64 s = ModifierFlag::Shift;
        constexpr quint64 r = ModifierFlag::Command | ModifierFlag::RightCommandDevice;
        constexpr int rCmd = KeyCode::RightCommand, shift = KeyCode::Shift;
        const int a = EvdevKeyDecoder::neutralCode(KEY_A);
        QTest::addColumn<QList<Record>>("input");
        QTest::addColumn<QList<Event>>("expected");
        QTest::newRow("mouse button, release never pressed, right Meta repeated") << QList<Record> {
            {1, BTN_LEFT, 1}, {1, BTN_LEFT, 0}, {1, KEY_RIGHTMETA, 0}, {1, KEY_RIGHTMETA, 1},
            {1, KEY_RIGHTMETA, 2}, {1, KEY_RIGHTMETA, 0}} << QList<Event> {{F, r, rCmd}, {F, 0, rCmd}};
        // Shift is held on both keyboards: one edge, and it survives the unplugging of one.
        QTest::newRow("keyboard unplugged with keys held, then back")
            << QList<Record> {{1, KEY_LEFTSHIFT, 1}, {2, KEY_RIGHTMETA, 1}, {2, KEY_A, 1}, {2, KEY_A, 2},
                   {2, KEY_LEFTSHIFT, 1}, {2, kUnplug, 0}, {2, KEY_RIGHTMETA, 1}}
            << QList<Event> {{F, s, shift}, {F, s | r, rCmd}, {D, s | r, a}, {U, s | r, a}, {F, s, rCmd},
                   {F, s | r, rCmd}};
    }

    void sequences()
    {
        QFETCH(QList<Record>, input);
        QFETCH(QList<Event>, expected);
        EvdevKeyDecoder decoder;
        QList<Event> out;
        for (const Record& r : input) {
            if (r.code == kUnplug) {
                out += decoder.deviceRemoved(r.device);
                continue;
            }
            // Key records arrive between an EV_MSC scan and a SYN_REPORT, which yield nothing.
            QVERIFY(!decoder.decode(r.device, {{}, EV_MSC, MSC_SCAN, 0x700e7}));
            if (auto e = decoder.decode(r.device, {{}, EV_KEY, r.code, r.value}))
                out.append(*e);
            QVERIFY(!decoder.decode(r.device, {{}, EV_SYN, SYN_REPORT, 0}));
        }
        QCOMPARE(out, expected);
    }
};

QTEST_GUILESS_MAIN(TestKeyDecoding)
#include "tst_key_decoding.moc"
