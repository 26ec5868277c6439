#include "platform/pulse/pulse_recorder.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

class TestPulseRecorder : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Speech fed into the microphone lands in the file where it was spoken (32000 bytes a
    // second), over a longer stale recording; the silence before it stays silent.
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
        QFile file(path_);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(3'000'000, 'x')) > 0);
        file.close();
        auto pcmBytes = [&] { return QFileInfo(path_).size() - 44; };

        PulseRecorder recorder;
        QString error;
        QVERIFY2(recorder.start(path_, &error), qPrintable(error));
        QTRY_VERIFY(pcmBytes() >= 16000);
        QVERIFY(*recorder.averagePowerDb() < -100);
        const qint64 spokenAt = pcmBytes();
        QVERIFY(QFile::rename(raw + QStringLiteral(".tmp"), raw)); // the feeder plays it from its next tick
        QTRY_VERIFY_WITH_TIMEOUT(*recorder.averagePowerDb() > -50, 3000);
        QTRY_VERIFY_WITH_TIMEOUT(pcmBytes() >= spokenAt + speech + 16000, 15000);
        const QDeadlineTimer prompt(150);
        recorder.stop();
        QVERIFY2(!prompt.hasExpired(), "stop() must be prompt");
        QVERIFY(!recorder.isRecording() && !recorder.averagePowerDb());

        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray b = file.readAll();
        const auto u32 = [&](int at) { return qFromLittleEndian<quint32>(b.constData() + at); };
        QVERIFY(b.startsWith("RIFF") && u32(4) == b.size() - 8 && u32(40) == b.size() - 44);
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

    void readableErrorWithoutServer()
    {
        const QByteArray server = qgetenv("PULSE_SERVER");
        qputenv("PULSE_SERVER", "unix:/nonexistent/native");
        PulseRecorder recorder;
        QString error;
        const bool started = recorder.start(path_, &error);
        qputenv("PULSE_SERVER", server);
        QVERIFY(!started && !recorder.isRecording() && !QFile::exists(path_));
        QVERIFY2(error.startsWith(QStringLiteral("无法打开麦克风：无法连接音频服务")), qPrintable(error));
    }

private:
    QTemporaryDir dir_;
    const QString path_ = dir_.filePath(QStringLiteral("voice_input.wav"));
};

QTEST_GUILESS_MAIN(TestPulseRecorder)
#include "tst_pulse_recorder.moc"
