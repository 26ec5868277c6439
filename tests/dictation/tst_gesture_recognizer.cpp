#include "app/dictation/gesture_recognizer.h"
#include "app/dictation/recording_session.h"
#include "fake_platform.h"

#include <QtTest>
#include <csignal>
#include <numeric>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// script: <key><time> steps, lower case presses, upper case releases: c Control, s Shift,
// a Alt, l/r left/right Super, k an ordinary key. outcome: the hints shown, then the
// targets sent to recognition ("-" for none).
void row(const char* name, const char* script, const char* outcome, TriggerKey trigger = TriggerKey::control)
{
    QTest::newRow(name) << trigger << QString::fromUtf8(script) << QString::fromUtf8(outcome);
}

const auto serverReady = [] { return true; };
const QHash<QChar, std::pair<quint64, int>> kModifiers {
    {'c', {ModifierFlag::Control, KeyCode::Control}},
    {'s', {ModifierFlag::Shift, KeyCode::Shift}},
    {'a', {ModifierFlag::Alternate, KeyCode::Option}},
    {'l', {ModifierFlag::Command | ModifierFlag::LeftCommandDevice, KeyCode::LeftCommand}},
    {'r', {ModifierFlag::Command | ModifierFlag::RightCommandDevice, KeyCode::RightCommand}},
};

} // namespace

// Key scripts through the gesture logic into a real recording session, on a hand-set clock.
class GestureRecognizerTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void gestures_data()
    {
        QTest::addColumn<TriggerKey>("trigger");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("outcome");
        row("hold", "c0 C1", "-");
        row("press of exactly 0.3 s is a hold", "c0 C0.3", "-");
        row("tap, hold 0.59 s later: English", "c0 C0.29 c0.88 C2", "English en");
        row("tap, hold exactly 0.6 s later: plain", "c-0.1 C0 c0.6 C2", "English -");
        row("two taps, hold: Japanese", "c0 C0.1 c0.3 C0.4 c0.6 C2", "English 日本語 ja");
        row("three taps, hold: plain", "c0 C0.1 c0.3 C0.4 c0.6 C0.7 c0.9 C2", "English 日本語 -");
        row("repeated edges are ignored", "c0 c0.1 C0.5 C0.6", "-");
        row("Ctrl+S is no dictation", "c0 k0.1 K0.12 C0.5 c0.6 C1.6", "-");
        row("quick Ctrl+C is no tap", "c0 k0.1 K0.12 C0.15 c0.25 C1.25", "-");
        row("Ctrl then Shift is no dictation", "c0 s0.1 S0.12 C0.5 c0.6 C1.6", "-");
        row("Shift held before Ctrl is no chord", "s0 c0.1 C1 S1.1", "-");
        row("other keys do not press Alt", "c0 C1 s2 S3 k4 K5 a6 A7", "-", TriggerKey::option);
        // Right Super goes up while left stays down: only the device bit tells.
        row("right Super while left is held", "l0 L1 l2 r3 R4 r4.1 R5 L6", "- -", TriggerKey::rightCommand);
    }

    void gestures()
    {
        QFETCH(TriggerKey, trigger);
        QFETCH(QString, script);
        QFETCH(QString, outcome);
        double now = 0;
        FakeUi ui;
        FakeRecorder recorder;
        const auto clock = [&] { return now; };
        RecordingSession session(ui, recorder, serverReady, clock);
        GestureRecognizer gestures(session, ui, clock, [&] { return trigger; });
        QStringList sent;
        session.onFinished = [&](const FinishedRecording& f, auto) {
            sent << (f.translationTarget.isEmpty() ? QStringLiteral("-") : f.translationTarget);
        };
        QHash<QChar, quint64> held;
        for (const QString& step : script.split(QLatin1Char(' '))) {
            const QChar key = step.at(0).toLower();
            const bool down = step.at(0).isLower();
            now = step.mid(1).toDouble();
            if (down && kModifiers.contains(key))
                held[key] = kModifiers[key].first;
            else if (!down)
                held.remove(key);
            const quint64 flags = std::accumulate(held.cbegin(), held.cend(), quint64(0), std::bit_or<>());
            const KeyEventType type = kModifiers.contains(key) ? KeyEventType::FlagsChanged
                : down                                         ? KeyEventType::KeyDown
                                                               : KeyEventType::KeyUp;
            gestures.handleEvent(type, flags, kModifiers.value(key, {0, KeyCode::OrdinaryKeyBase}).second);
            QCoreApplication::sendPostedEvents(); // the queued recording actions
            QCoreApplication::sendPostedEvents(); // the hand-over queued by a stop
        }
        QStringList hints = ui.calls.filter(QStringLiteral("→ "));
        for (QString& hint : hints)
            hint = hint.section(QLatin1Char(' '), 1, 1);
        QCOMPARE((hints + sent).join(QLatin1Char(' ')), outcome);
    }

    // The recording is kept as voice_input.wav, 0600, in a folder of ours that nobody else
    // may enter, and goes to recognition before the windows change; a link planted at that
    // name is replaced, never followed. A full disk fails the recording, leaving no file.
    void recordingFile_data()
    {
        QTest::addColumn<QString>("runtimeMode"); // of $XDG_RUNTIME_DIR; empty: unset
        QTest::addColumn<bool>("inRuntime");
        QTest::addColumn<bool>("diskFull");
        QTest::newRow("private runtime folder") << "0700" << true << false;
        QTest::newRow("runtime folder others may enter") << "0755" << false << false;
        QTest::newRow("no runtime folder") << "" << false << false;
        QTest::newRow("full disk") << "0700" << true << true;
    }

    void recordingFile()
    {
        QFETCH(QString, runtimeMode);
        QFETCH(bool, inRuntime);
        QFETCH(bool, diskFull);
        QTemporaryDir tmp;
        const QByteArray oldTmp = qgetenv("TMPDIR");
        const QByteArray oldRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("TMPDIR", QFile::encodeName(tmp.filePath("tmp")));
        QDir().mkdir(tmp.filePath("tmp"));
        const QString runtime = tmp.filePath("runtime");
        if (runtimeMode.isEmpty()) {
            qunsetenv("XDG_RUNTIME_DIR");
        } else {
            QDir().mkdir(runtime);
            ::chmod(QFile::encodeName(runtime), runtimeMode.toUInt(nullptr, 8));
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
        }
        const QString folder = inRuntime ? runtime : tmp.filePath("tmp/parlix-%1").arg(::getuid());
        QDir().mkdir(folder);
        const QString secret = tmp.filePath("secret");
        QFile(secret).open(QIODevice::WriteOnly);
        QFile::link(secret, folder + "/voice_input.wav");

        FakeUi ui;
        FakeRecorder recorder;
        recorder.audio = QByteArray(6000, 'A');
        RecordingSession session(ui, recorder, serverReady, [] { return 0.0; });
        QStringList order;
        session.onFinished = [&](const FinishedRecording& f, std::function<void()> afterSend) {
            order << "sent " + QString::number(f.wav.value_or("").size()) << ui.calls;
            afterSend();
            order << ui.calls;
        };
        session.startRecording(QString());
        ui.calls.clear();
        rlimit fileSize {};
        ::getrlimit(RLIMIT_FSIZE, &fileSize);
        if (diskFull) { // writes past 4 KB fail with EFBIG, as on a full disk
            ::signal(SIGXFSZ, SIG_IGN);
            rlimit small = fileSize;
            small.rlim_cur = 4096;
            ::setrlimit(RLIMIT_FSIZE, &small);
        }
        session.stopRecordingAndRecognize(QString());
        ::setrlimit(RLIMIT_FSIZE, &fileSize);
        qputenv("TMPDIR", oldTmp);
        qputenv("XDG_RUNTIME_DIR", oldRuntime);

        QCOMPARE(order, (QStringList {diskFull ? "sent 0" : "sent 6000", "识别中... #ffffff"}));
        const auto mode = [](const QString& path) {
            struct stat st { };
            return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode : 0u;
        };
        const QString path = folder + "/voice_input.wav";
        QCOMPARE(QFileInfo(secret).size(), 0);
        QCOMPARE(mode(path), diskFull ? 0u : S_IFREG | 0600u);
        if (diskFull)
            return;
        QCOMPARE(mode(folder), S_IFDIR | 0700u);
        QFile wav(path);
        QVERIFY(wav.open(QIODevice::ReadOnly));
        QCOMPARE(wav.readAll(), recorder.audio);
    }
};

QTEST_GUILESS_MAIN(GestureRecognizerTest)
#include "tst_gesture_recognizer.moc"
