#include "platform/pulse/pulse_recorder.h"
#include "platform/pulse/wav_writer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

namespace {
constexpr qint64 kBytesPerSecond = 32000;

quint32 u32(const QByteArray& b, int at)
{
    return qFromLittleEndian<quint32>(b.constData() + at);
}
quint16 u16(const QByteArray& b, int at)
{
    return qFromLittleEndian<quint16>(b.constData() + at);
}

qint64 dataBytesOnDisk(const QString& path)
{
    return QFileInfo(path).size() - WavWriter::kHeaderSize;
}

// Checks every header field of a finished file; returns the PCM data.
QByteArray checkedWav(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray b = f.readAll();
    const bool ok = b.size() >= 44 && b.mid(0, 4) == "RIFF" && u32(b, 4) == quint32(b.size() - 8)
        && b.mid(8, 8) == "WAVEfmt " && u32(b, 16) == 16 && u16(b, 20) == 1 && u16(b, 22) == 1
        && u32(b, 24) == 16000 && u32(b, 28) == 32000 && u16(b, 32) == 2 && u16(b, 34) == 16
        && b.mid(36, 4) == "data" && u32(b, 40) == quint32(b.size() - 44) && b.size() % 2 == 0;
    if (!ok)
        qWarning() << "bad WAV header" << b.left(44).toHex(' ') << "file size" << b.size();
    return ok ? b.mid(44) : QByteArray();
}

// Power of each 20 ms window.
QList<float> windowPowers(const QByteArray& pcm)
{
    QList<float> powers;
    const auto* samples = reinterpret_cast<const qint16*>(pcm.constData());
    for (qsizetype i = 0; i + 320 <= pcm.size() / 2; i += 320)
        powers.append(PulseRecorder::powerDb(samples + i, 320));
    return powers;
}

} // namespace

class TestPulseRecorder : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
            QSKIP("needs the test session's PulseAudio (PULSE_SERVER unset)");
        QVERIFY(dir_.isValid());
        server_ = qgetenv("PULSE_SERVER");
        path_ = dir_.filePath(QStringLiteral("voice_input.wav"));
    }

    void writesCompleteWavFile()
    {
        QFile stale(path_);
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write(QByteArray(100000, 'x')); // an earlier, longer recording
        stale.close();

        PulseRecorder recorder;
        QString error;
        QVERIFY2(recorder.inputAvailable(&error), qPrintable(error));
        QElapsedTimer t;
        t.start();
        QVERIFY2(recorder.start(path_, &error), qPrintable(error));
        const qint64 startNs = t.nsecsElapsed();
        QVERIFY(recorder.isRecording());
        QTRY_VERIFY(recorder.firstFragmentDelayNs() >= 0);
        const qint64 firstNs = recorder.firstFragmentDelayNs();
        QTRY_VERIFY(dataBytesOnDisk(path_) >= kBytesPerSecond / 2);
        QVERIFY(recorder.averagePowerDb().has_value());
        t.restart();
        recorder.stop();
        const qint64 stopNs = t.nsecsElapsed();
        QVERIFY(!recorder.isRecording());
        QVERIFY(!recorder.averagePowerDb());

        const QByteArray pcm = checkedWav(path_);
        QVERIFY(pcm.size() >= kBytesPerSecond / 2 && pcm.size() < 100000);
        qInfo("start() %.2f ms, start -> first fragment %.1f ms, stop() %.2f ms", startNs / 1e6,
            firstNs / 1e6, stopNs / 1e6);
        QVERIFY(startNs < 50'000'000);
        QVERIFY(firstNs < 250'000'000); // one 20 ms fragment, with slack for a loaded machine
        QVERIFY(stopNs < 150'000'000);
    }

    // Speech spliced into the microphone shows up in the file where it was spoken, and
    // in the level; the silence before it is silent.
    void speechLandsAtItsPlace()
    {
        const QString queue = qEnvironmentVariable("PARLIX_MIC_QUEUE");
        if (queue.isEmpty())
            QSKIP("needs the test session's microphone queue (PARLIX_MIC_QUEUE unset)");
        const QString wav = dir_.filePath(QStringLiteral("speech.wav"));
        const QString raw = dir_.filePath(QStringLiteral("speech.raw"));
        QCOMPARE(QProcess::execute(QStringLiteral("espeak-ng"),
                     { QStringLiteral("-v"), QStringLiteral("en-us+m3"), QStringLiteral("-s"),
                         QStringLiteral("140"), QStringLiteral("-w"), wav,
                         QStringLiteral("hello world testing one two three") }),
            0);
        QCOMPARE(
            QProcess::execute(QStringLiteral("sox"),
                { wav, QStringLiteral("-r"), QStringLiteral("16000"), QStringLiteral("-c"),
                    QStringLiteral("1"), QStringLiteral("-b"), QStringLiteral("16"), QStringLiteral("-e"),
                    QStringLiteral("signed-integer"), QStringLiteral("-t"), QStringLiteral("raw"), raw }),
            0);
        const qint64 speechBytes = QFileInfo(raw).size();
        QVERIFY(speechBytes > kBytesPerSecond);

        PulseRecorder recorder;
        QString error;
        QVERIFY2(recorder.start(path_, &error), qPrintable(error));
        QTRY_VERIFY(dataBytesOnDisk(path_) >= kBytesPerSecond / 2);
        QVERIFY(*recorder.averagePowerDb() < -100);

        const QString queued = QDir(queue).filePath(QStringLiteral("tst_pulse_recorder.raw"));
        QVERIFY(QFile::copy(raw, queued + QStringLiteral(".tmp")));
        const qint64 spokenAt = dataBytesOnDisk(path_);
        QVERIFY(QFile::rename(queued + QStringLiteral(".tmp"), queued));
        QTRY_VERIFY_WITH_TIMEOUT(*recorder.averagePowerDb() > -50, 3000);
        QTRY_VERIFY_WITH_TIMEOUT(
            dataBytesOnDisk(path_) >= spokenAt + speechBytes + kBytesPerSecond / 2, 15000);
        recorder.stop();

        const QList<float> powers = windowPowers(checkedWav(path_));
        QVERIFY(!powers.isEmpty());
        const auto loud = std::find_if(powers.begin(), powers.end(), [](float p) { return p > -45; });
        QVERIFY(loud != powers.end());
        const double onsetS = double(loud - powers.begin()) * 0.02;
        const double spokenS = double(spokenAt) / kBytesPerSecond;
        const auto last = std::find_if(powers.rbegin(), powers.rend(), [](float p) { return p > -45; });
        const double endS = double(powers.rend() - last) * 0.02;
        qInfo("queued at %.2f s, speech from %.2f s to %.2f s (%.2f s long in the source)", spokenS, onsetS,
            endS, double(speechBytes) / kBytesPerSecond);
        // The feeder starts the file at its next 20 ms tick; espeak's own lead-in is short.
        QVERIFY(onsetS >= spokenS - 0.02);
        QVERIFY(onsetS <= spokenS + 0.4);
        QVERIFY(endS - onsetS > double(speechBytes) / kBytesPerSecond * 0.7);
        const auto queuedAt = powers.begin() + qsizetype(spokenS / 0.02) - 1;
        QVERIFY(std::all_of(powers.begin(), queuedAt, [](float p) { return p < -100; }));
    }

    void unreachableMicrophone_data()
    {
        QTest::addColumn<QByteArray>("variable");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no server") << QByteArray("PULSE_SERVER") << QByteArray("unix:/nonexistent/native")
                                   << QStringLiteral("无法打开麦克风：无法连接音频服务");
        QTest::newRow("no such source") << QByteArray("PULSE_SOURCE") << QByteArray("no_such_source")
                                        << QStringLiteral("无法打开麦克风：找不到默认的音频输入设备");
    }

    void unreachableMicrophone()
    {
        QFETCH(QByteArray, variable);
        QFETCH(QByteArray, value);
        QFETCH(QString, reason);
        qputenv(variable.constData(), value);
        const auto restore = qScopeGuard([&] {
            if (variable == "PULSE_SERVER")
                qputenv("PULSE_SERVER", server_);
            else
                qunsetenv(variable.constData());
        });
        PulseRecorder recorder;
        QString error;
        QElapsedTimer t;
        t.start();
        QVERIFY(!recorder.start(path_, &error));
        QVERIFY2(t.elapsed() < 1000, "start() must not hang");
        QVERIFY2(error.startsWith(reason), qPrintable(error));
        QVERIFY(!recorder.isRecording());
        QVERIFY(!recorder.averagePowerDb());
        QVERIFY(!QFile::exists(path_));
        recorder.stop(); // harmless
        QString probeError;
        QVERIFY(!recorder.inputAvailable(&probeError));
        QCOMPARE(probeError, error);
    }

    void restartFinishesTheFirstFile()
    {
        const QString first = dir_.filePath(QStringLiteral("first.wav"));
        PulseRecorder recorder;
        QString error;
        QVERIFY(recorder.start(first, &error));
        QTRY_VERIFY(dataBytesOnDisk(first) >= 3200);
        QVERIFY(recorder.start(path_, &error));
        QVERIFY(checkedWav(first).size() >= 3200);
        QTRY_VERIFY(dataBytesOnDisk(path_) >= 3200);
        recorder.stop();
        QVERIFY(checkedWav(path_).size() >= 3200);
    }

    // Ten minutes of audio (19 MB) through the writer: sizes exact, odd tail trimmed.
    void longRecordingHeader()
    {
        WavWriter writer;
        QString error;
        QVERIFY(writer.open(path_, &error));
        const QByteArray fragment(640, '\x01');
        const qint64 fragments = 600 * kBytesPerSecond / fragment.size();
        for (qint64 i = 0; i < fragments; ++i)
            QVERIFY(writer.append(fragment.constData(), fragment.size()));
        QVERIFY(writer.append("\x02", 1)); // a torn sample
        QVERIFY(writer.finish());
        QCOMPARE(checkedWav(path_).size(), 600 * kBytesPerSecond);
    }

    void powerOfKnownSignals_data()
    {
        QTest::addColumn<QList<qint16>>("samples");
        QTest::addColumn<float>("expected");
        QTest::newRow("silence") << QList<qint16>(320, 0) << PulseRecorder::kSilenceDb;
        QTest::newRow("full scale square") << QList<qint16>(320, -32768) << 0.0f;
        QTest::newRow("half scale") << QList<qint16>(320, 16384) << -6.0206f;
        QTest::newRow("empty") << QList<qint16>() << PulseRecorder::kSilenceDb;
    }

    void powerOfKnownSignals()
    {
        QFETCH(QList<qint16>, samples);
        QFETCH(float, expected);
        QVERIFY(qAbs(PulseRecorder::powerDb(samples.constData(), samples.size()) - expected) < 0.01f);
    }

private:
    QTemporaryDir dir_;
    QString path_;
    QByteArray server_;
};

QTEST_GUILESS_MAIN(TestPulseRecorder)
#include "tst_pulse_recorder.moc"
