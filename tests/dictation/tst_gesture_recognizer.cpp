#include "app/dictation/gesture_recognizer.h"
#include "app/dictation/recording_session.h"
#include "fake_platform.h"
#include "settings/settings.h"

#include <QtTest>

namespace {

constexpr quint64 rightCommandFlags = ModifierFlag::Command | ModifierFlag::RightCommandDevice;
constexpr quint64 leftCommandFlags = ModifierFlag::Command | ModifierFlag::LeftCommandDevice;

} // namespace

// The gesture state machine driven by a hand-set clock, through a real recording session
// on a fake recorder: what reaches the recorder, the toast and recognition is observed.
class GestureRecognizerTest : public QObject {
    Q_OBJECT

private:
    struct Rig {
        double now = 100;
        TriggerKey trigger = TriggerKey::control;
        FakeUi ui;
        FakeRecorder recorder;
        RecordingSession session { ui, recorder, [] { return true; }, [this] { return now; } };
        GestureRecognizer gestures { session, ui, [this] { return now; }, [this] { return trigger; } };
        QStringList recognized; // targets handed to recognition, "-" for none

        Rig()
        {
            session.onFinished = [this](const FinishedRecording& finished) {
                recognized << (finished.translationTarget.isEmpty() ? QStringLiteral("-")
                                                                    : finished.translationTarget);
            };
        }
        void event(double at, KeyEventType type, quint64 flags, int keyCode)
        {
            now = at;
            gestures.handleEvent(type, flags, keyCode);
            QCoreApplication::sendPostedEvents();
            QCoreApplication::sendPostedEvents(); // the hand-over queued by a stop
        }
        void control(double at, bool down)
        {
            event(at, KeyEventType::FlagsChanged, down ? ModifierFlag::Control : 0, KeyCode::Control);
        }
        QStringList hints() const
        {
            QStringList out;
            for (const QString& status : ui.statuses()) {
                if (status.startsWith(QStringLiteral("→")))
                    out << status.section(QLatin1Char(' '), 0, 1);
            }
            return out;
        }
    };

private Q_SLOTS:
    void initTestCase() { Settings::shared().setUseLocalServer(false); }

    void gestureTable_data()
    {
        QTest::addColumn<QString>("script"); // d<time> press, u<time> release of Control
        QTest::addColumn<QStringList>("hints");
        QTest::addColumn<QStringList>("recognized");
        QTest::addColumn<int>("tapCount");

        const QString en = QStringLiteral("→ English");
        const QString ja = QStringLiteral("→ 日本語");
        QTest::newRow("hold") << "d0 u1" << QStringList() << QStringList { "-" } << 0;
        QTest::newRow("press of exactly 0.3 s is a hold")
            << "d0 u0.3" << QStringList() << QStringList { "-" } << 0;
        QTest::newRow("0.29 s tap, hold 0.59 s later: English")
            << "d0 u0.29 d0.88 u2" << QStringList { en } << QStringList { "en" } << 0;
        QTest::newRow("tap, hold exactly 0.6 s later: plain")
            << "d-0.1 u0 d0.6 u2" << QStringList { en } << QStringList { "-" } << 0;
        QTest::newRow("two taps then hold: Japanese")
            << "d0 u0.1 d0.3 u0.4 d0.6 u2" << QStringList { en, ja } << QStringList { "ja" } << 0;
        QTest::newRow("three taps then hold: plain, no third hint")
            << "d0 u0.1 d0.3 u0.4 d0.6 u0.7 d0.9 u2" << QStringList { en, ja } << QStringList { "-" } << 0;
        QTest::newRow("four taps: two hints, nothing recognised")
            << "d0 u0.1 d0.3 u0.4 d0.6 u0.7 d0.9 u1" << QStringList { en, ja } << QStringList() << 4;
        QTest::newRow("single tap, hold 10 s later: plain")
            << "d0 u0.2 d10.2 u11" << QStringList { en } << QStringList { "-" } << 0;
        QTest::newRow("lone tap keeps its count") << "d0 u0.2" << QStringList { en } << QStringList() << 1;
        QTest::newRow("repeated press and release edges are ignored")
            << "d0 d0.1 u0.5 u0.6" << QStringList() << QStringList { "-" } << 0;
    }

    void gestureTable()
    {
        QFETCH(QString, script);
        QFETCH(QStringList, hints);
        QFETCH(QStringList, recognized);
        QFETCH(int, tapCount);

        Rig rig;
        int presses = 0;
        for (const QString& step : script.split(QLatin1Char(' '))) {
            const bool down = step.startsWith(QLatin1Char('d'));
            if (down && !rig.gestures.fnKeyPressed())
                ++presses;
            rig.control(step.mid(1).toDouble(), down);
        }
        QCOMPARE(rig.hints(), hints);
        QCOMPARE(rig.recognized, recognized);
        QCOMPARE(rig.gestures.tapCount(), tapCount);
        QCOMPARE(rig.recorder.starts, presses); // every press records at once
        QVERIFY(!rig.session.isRecording());
        QCOMPARE(rig.ui.calls.count(QStringLiteral("hide 0.8")), hints.size());
    }

    void tapDiscardsItsRecording()
    {
        Rig rig;
        rig.control(0, true);
        QVERIFY(rig.session.isRecording());
        QCOMPARE(rig.ui.calls.mid(0, 3), (QStringList { "icon 1", "orderOut", "waveform show" }));
        rig.ui.calls.clear();
        rig.control(0.1, false);
        QCOMPARE(rig.recorder.stops, 1);
        QCOMPARE(rig.ui.calls,
            (QStringList { "icon 0", "waveform hide", "status → English #ffffff", "hide 0.8" }));
        QVERIFY(rig.recognized.isEmpty());
    }

    void otherModifiersDoNotPressTheTrigger()
    {
        Rig rig;
        rig.trigger = TriggerKey::option;
        rig.event(0, KeyEventType::FlagsChanged, ModifierFlag::Shift, KeyCode::Shift);
        rig.event(1, KeyEventType::FlagsChanged, 0, KeyCode::Shift);
        rig.event(2, KeyEventType::KeyDown, 0, KeyCode::OrdinaryKeyBase + 38);
        rig.event(2.1, KeyEventType::KeyUp, 0, KeyCode::OrdinaryKeyBase + 38);
        QCOMPARE(rig.recorder.starts, 0);
        QVERIFY(rig.ui.calls.isEmpty());

        rig.event(3, KeyEventType::FlagsChanged, ModifierFlag::Alternate, KeyCode::Option);
        rig.event(4, KeyEventType::FlagsChanged, 0, KeyCode::Option);
        QCOMPARE(rig.recognized, QStringList { "-" });
    }

    void rightCommandIsToldFromLeft()
    {
        Rig rig;
        rig.trigger = TriggerKey::rightCommand;
        // Left Super alone does nothing.
        rig.event(0, KeyEventType::FlagsChanged, leftCommandFlags, KeyCode::LeftCommand);
        rig.event(1, KeyEventType::FlagsChanged, 0, KeyCode::LeftCommand);
        QCOMPARE(rig.recorder.starts, 0);

        // Left held first, then right pressed and released while left stays down.
        rig.event(2, KeyEventType::FlagsChanged, leftCommandFlags, KeyCode::LeftCommand);
        rig.event(3, KeyEventType::FlagsChanged, leftCommandFlags | rightCommandFlags, KeyCode::RightCommand);
        QVERIFY(rig.session.isRecording());
        rig.event(4, KeyEventType::FlagsChanged, leftCommandFlags, KeyCode::RightCommand);
        QVERIFY(!rig.session.isRecording());
        QCOMPARE(rig.recognized, QStringList { "-" });
        rig.event(5, KeyEventType::FlagsChanged, 0, KeyCode::LeftCommand);
        QCOMPARE(rig.recorder.starts, 1);
    }

    void triggerChangeTakesEffectAtTheNextEvent()
    {
        Rig rig;
        rig.trigger = TriggerKey::option;
        rig.control(0, true);
        rig.control(0.5, false);
        QCOMPARE(rig.recorder.starts, 0);
        rig.trigger = TriggerKey::control;
        rig.control(1, true);
        QVERIFY(rig.session.isRecording());
        rig.control(2, false);
        QCOMPARE(rig.recognized, QStringList { "-" });
    }

    void chordIsNotADictation_data()
    {
        QTest::addColumn<double>("releaseAt");
        QTest::addColumn<bool>("byModifier");
        QTest::newRow("Ctrl+S held half a second") << 0.5 << false;
        QTest::newRow("quick Ctrl+C is no tap") << 0.15 << false;
        QTest::newRow("Ctrl then Shift") << 0.5 << true;
    }

    void chordIsNotADictation()
    {
        QFETCH(double, releaseAt);
        QFETCH(bool, byModifier);
        Rig rig;
        rig.control(0, true);
        QVERIFY(rig.session.isRecording());
        if (byModifier) {
            rig.event(
                0.1, KeyEventType::FlagsChanged, ModifierFlag::Control | ModifierFlag::Shift, KeyCode::Shift);
        } else {
            rig.event(0.1, KeyEventType::KeyDown, ModifierFlag::Control, KeyCode::OrdinaryKeyBase + 39);
        }
        // Dropped at once, before the release.
        QVERIFY(!rig.session.isRecording());
        QCOMPARE(rig.recorder.stops, 1);
        QVERIFY(rig.ui.calls.contains(QStringLiteral("waveform hide")));
        QCOMPARE(rig.ui.calls.last(), QStringLiteral("waveform hide"));
        if (byModifier)
            rig.event(0.12, KeyEventType::FlagsChanged, ModifierFlag::Control, KeyCode::Shift);
        else
            rig.event(0.12, KeyEventType::KeyUp, ModifierFlag::Control, KeyCode::OrdinaryKeyBase + 39);
        rig.control(releaseAt, false);

        QVERIFY(rig.recognized.isEmpty());
        QVERIFY(rig.hints().isEmpty());
        QCOMPARE(rig.gestures.tapCount(), 0);
        QVERIFY(!rig.gestures.lastKeyUpTime());

        // The next hold is an ordinary dictation, not a translated one.
        rig.control(releaseAt + 0.1, true);
        rig.control(releaseAt + 1.1, false);
        QCOMPARE(rig.recognized, QStringList { "-" });
    }

    void modifierHeldBeforeTheTriggerIsNoChord()
    {
        Rig rig;
        rig.event(0, KeyEventType::FlagsChanged, ModifierFlag::Shift, KeyCode::Shift);
        rig.event(
            0.1, KeyEventType::FlagsChanged, ModifierFlag::Shift | ModifierFlag::Control, KeyCode::Control);
        rig.event(1, KeyEventType::FlagsChanged, ModifierFlag::Shift, KeyCode::Control);
        QCOMPARE(rig.recognized, QStringList { "-" });
    }
};

QTEST_GUILESS_MAIN(GestureRecognizerTest)
#include "tst_gesture_recognizer.moc"
