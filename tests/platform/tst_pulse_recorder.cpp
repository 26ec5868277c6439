#include "platform/pulse/pulse_recorder.h"

#include <QDir>
#include <QLocalServer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

namespace {
int threadCount()
{
    return int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}
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
        QTemporaryDir dir;
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
        QVERIFY2(b.size() - 44 >= captured,
            qPrintable(QStringLiteral("%1 < %2").arg(b.size() - 44).arg(captured)));
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
    // returns at once and the failure comes after the time limit. Either way with a
    // readable reason, and no thread is left behind, press after press.
    void failureLeavesNothingRunning_data()
    {
        QTest::addColumn<bool>("silentServer");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no server") << false << QStringLiteral("无法打开麦克风：无法连接音频服务");
        QTest::newRow("server never answers") << true << QStringLiteral("无法打开麦克风：音频服务无响应");
    }

    void failureLeavesNothingRunning()
    {
        QFETCH(bool, silentServer);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QLocalServer silent; // accepts, and never says a word
        const QString socket = dir.filePath(QStringLiteral("native"));
        if (silentServer)
            QVERIFY(silent.listen(socket));
        const QByteArray server = qgetenv("PULSE_SERVER");
        qputenv("PULSE_SERVER", "unix:" + QFile::encodeName(silentServer ? socket : "/nonexistent/native"));
        const int threadsBefore = threadCount();
        PulseRecorder recorder;
        QStringList failures;
        recorder.onFailed = [&](const QString& error) { failures << error; };
        QString error;
        for (int press = 0; press < 3; ++press) {
            if (recorder.start(&error)) {
                QVERIFY(failures.size() == press && recorder.isRecording());
                QTRY_COMPARE_WITH_TIMEOUT(failures.size(), press + 1, PulseRecorder::kOpenTimeoutMs + 3000);
            } else {
                QVERIFY(!silentServer); // a silent server must not hold start() up
                failures << error;
            }
            QVERIFY(!recorder.isRecording());
        }
        qputenv("PULSE_SERVER", server);
        QVERIFY2(failures.last().startsWith(reason), qPrintable(failures.last()));
        QCOMPARE(recorder.stop(), QByteArray());
        QCOMPARE(threadCount(), threadsBefore);
    }
};

QTEST_GUILESS_MAIN(TestPulseRecorder)
#include "tst_pulse_recorder.moc"
