#include "platform/pulse/pulse_recorder.h"

#include <QDir>
#include <QLocalServer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <optional>

namespace {
int threadCount()
{
    return int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

// The launch's check of the input: its answer, which never comes inside the call.
QString checkInput(PulseRecorder& recorder)
{
    std::optional<QString> answer;
    recorder.checkInput([&](const QString& error) { answer = error; });
    if (answer)
        return QStringLiteral("answered inside the call");
    return QTest::qWaitFor([&] { return answer.has_value(); }, PulseRecorder::kOpenTimeoutMs + 3000)
        ? *answer
        : QStringLiteral("no answer");
}

enum Fault { NoServer, SilentServer, SourceUnplugged, ServerRestarted };

// An audio server of the test's own, its default source a sine wave: it can lose that
// source or restart without touching the session's microphone.
struct OwnAudioServer {
    QTemporaryDir dir;
    QProcess server;
    ~OwnAudioServer() { stop(); }
    QString address() const { return QStringLiteral("unix:") + dir.filePath(QStringLiteral("native")); }
    int pactl(const QString& args) const
    {
        return QProcess::execute(
            QStringLiteral("sh"), {"-c", "PULSE_SERVER=" + address() + " pactl " + args});
    }
    bool plugSource()
    {
        return pactl("load-module module-sine-source source_name=sine rate=16000 >/dev/null") == 0
            && pactl("set-default-source sine") == 0;
    }
    bool unplugSource() { return pactl("unload-module module-sine-source") == 0; }
    bool start()
    {
        server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server.start(QStringLiteral("sh"),
            {"-c",
                "PULSE_RUNTIME_PATH=$0 PULSE_STATE_PATH=$0 exec pulseaudio --daemonize=no -n --log-level=0 "
                "--exit-idle-time=-1 --use-pid-file=no --load=\"module-native-protocol-unix auth-anonymous=1 "
                "socket=$0/native\"",
                dir.path()});
        return QTest::qWaitFor([&] { return pactl("info >/dev/null 2>&1") == 0; }, 5000) && plugSource();
    }
    void stop()
    {
        server.terminate();
        server.waitForFinished();
    }
};
} // namespace

class TestPulseRecorder : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Speech fed into the microphone lands in the WAV where it was spoken (32000 bytes a
    // second); the silence before it stays silent; the WAV is complete and holds all that
    // was captured up to the stop.
    void speechLandsAtItsPlace()
    {
        if (qEnvironmentVariableIsEmpty("PULSE_SERVER") || qEnvironmentVariableIsEmpty("PARLIX_MIC_QUEUE"))
            QSKIP("needs the test session's PulseAudio and microphone queue");
        const QString raw
            = QDir(qEnvironmentVariable("PARLIX_MIC_QUEUE")).filePath(QStringLiteral("tst.raw"));
        const QString speak
            = QStringLiteral("espeak-ng --stdout 'hello world testing one two three' | sox -t wav - "
                             "-r 16000 -c 1 -b 16 -e signed-integer -t raw %1.tmp");
        QCOMPARE(QProcess::execute(QStringLiteral("sh"), {QStringLiteral("-c"), speak.arg(raw)}), 0);
        const qint64 speech = QFileInfo(raw + QStringLiteral(".tmp")).size();

        PulseRecorder recorder;
        QString error;
        QVERIFY2(recorder.start(&error), qPrintable(error));
        QTRY_VERIFY(recorder.capturedBytes() >= 16000);
        QVERIFY(*recorder.averagePowerDb() < -100);
        const qint64 spokenAt = recorder.capturedBytes();
        QVERIFY(QFile::rename(raw + QStringLiteral(".tmp"), raw)); // the feeder plays it from its next tick
        QTRY_VERIFY_WITH_TIMEOUT(*recorder.averagePowerDb() > -50, 3000);
        QTRY_VERIFY_WITH_TIMEOUT(recorder.capturedBytes() >= spokenAt + speech + 16000, 15000);
        const qint64 captured = recorder.capturedBytes();
        const QByteArray b = recorder.stop();
        QVERIFY(!recorder.isRecording() && !recorder.averagePowerDb());

        const auto u32 = [&](int at) { return qFromLittleEndian<quint32>(b.constData() + at); };
        QVERIFY(b.startsWith("RIFF") && u32(4) == b.size() - 8 && u32(40) == b.size() - 44);
        QVERIFY(b.size() - 44 >= captured);
        // "WAVEfmt ", PCM mono 16 kHz 16-bit, "data"
        QCOMPARE(b.mid(8, 32).toHex(),
            QByteArray("57415645666d74201000000001000100803e0000007d00000200100064617461"));
        QList<float> powers; // of each 20 ms window
        for (qsizetype i = 44; i + 640 <= b.size(); i += 640)
            powers.append(PulseRecorder::powerDb(reinterpret_cast<const qint16*>(b.constData() + i), 320));
        auto loud = [](float p) { return p > -45; };
        const qsizetype onset = std::find_if(powers.begin(), powers.end(), loud) - powers.begin();
        const qsizetype end = powers.rend() - std::find_if(powers.rbegin(), powers.rend(), loud);
        const qsizetype spoken = spokenAt / 640;
        QVERIFY(std::all_of(powers.begin(), powers.begin() + spoken - 1, [](float p) { return p < -100; }));
        QVERIFY2(onset <= spoken + 20, qPrintable(QString::number(onset))); // espeak's lead-in is short
        QVERIFY(end - onset > speech / 640 * 7 / 10);
    }

    // Without an audio server start() fails at once; with one that never answers it
    // returns at once and the failure comes after the time limit; a source that goes away
    // or a server that restarts ends the running recording. Each with a readable reason,
    // no thread left behind, and once the device is back the next recording works.
    void failureEndsTheRecording_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no server") << int(NoServer) << QStringLiteral("无法打开麦克风：无法连接音频服务");
        QTest::newRow("server never answers")
            << int(SilentServer) << QStringLiteral("无法打开麦克风：音频服务无响应");
        QTest::newRow("source unplugged")
            << int(SourceUnplugged) << QStringLiteral("录音中断：音频输入设备已断开");
        QTest::newRow("audio server restarted")
            << int(ServerRestarted) << QStringLiteral("录音中断：音频服务已断开");
    }

    void failureEndsTheRecording()
    {
        QFETCH(int, fault);
        QFETCH(QString, reason);
        const bool live = fault == SourceUnplugged || fault == ServerRestarted;
        QTemporaryDir dir;
        QLocalServer silent; // accepts, and never says a word
        OwnAudioServer audio;
        QString address = QStringLiteral("unix:/nonexistent/native");
        if (fault == SilentServer) {
            QVERIFY(silent.listen(dir.filePath(QStringLiteral("native"))));
            address = QStringLiteral("unix:") + silent.fullServerName();
        } else if (live) {
            if (QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty())
                QSKIP("needs pulseaudio");
            QVERIFY(audio.start());
            address = audio.address();
        }
        const QByteArray server = qgetenv("PULSE_SERVER");
        qputenv("PULSE_SERVER", QFile::encodeName(address));
        const int threadsBefore = threadCount();
        PulseRecorder recorder;
        QStringList failures;
        recorder.onFailed = [&](const QString& error) { failures << error; };
        QString error;
        const bool started = recorder.start(&error);
        QCOMPARE(started, fault != NoServer); // a silent server must not hold start() up
        if (!started)
            failures << error;
        if (live) {
            QTRY_VERIFY(recorder.capturedBytes() >= 3200);
            if (fault == ServerRestarted)
                audio.stop();
            else
                QVERIFY(audio.unplugSource());
        }
        QTRY_COMPARE_WITH_TIMEOUT(failures.size(), 1, PulseRecorder::kOpenTimeoutMs + 3000);
        QVERIFY2(failures.first().startsWith(reason), qPrintable(failures.first()));
        QVERIFY(!recorder.isRecording() && recorder.stop().isEmpty());
        if (!live) // the check says the same, and waits no more than the start
            QVERIFY(checkInput(recorder).startsWith(reason));
        QTRY_COMPARE(threadCount(), threadsBefore);

        if (live) {
            QVERIFY(fault == ServerRestarted ? audio.start() : audio.plugSource());
            QCOMPARE(checkInput(recorder), QString());
            QVERIFY2(recorder.start(&error), qPrintable(error));
            QTRY_VERIFY(recorder.capturedBytes() >= 3200);
            QVERIFY(*recorder.averagePowerDb() > -30); // the sine, not silence
            QVERIFY(recorder.stop().size() >= 44 + 3200);
            QCOMPARE(failures.size(), 1);
        }
        qputenv("PULSE_SERVER", server);
    }
};

QTEST_GUILESS_MAIN(TestPulseRecorder)
#include "tst_pulse_recorder.moc"
