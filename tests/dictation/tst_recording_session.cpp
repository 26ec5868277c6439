#include "app/dictation/recording_session.h"
#include "fake_platform.h"
#include "settings/settings.h"

#include <QtTest>

class RecordingSessionTest : public QObject {
    Q_OBJECT

private:
    double m_now = 0;
    bool m_serverReady = false;

private Q_SLOTS:
    void init()
    {
        m_now = 0;
        m_serverReady = false;
        Settings::shared().setUseLocalServer(false);
    }

    void localModeWaitsForTheServer_data()
    {
        QTest::addColumn<bool>("local");
        QTest::addColumn<bool>("ready");
        QTest::addColumn<bool>("records");
        QTest::newRow("local, not ready") << true << false << false;
        QTest::newRow("local, ready") << true << true << true;
        QTest::newRow("remote ignores readiness") << false << false << true;
    }

    void localModeWaitsForTheServer()
    {
        QFETCH(bool, local);
        QFETCH(bool, ready);
        QFETCH(bool, records);
        Settings::shared().setUseLocalServer(local);
        m_serverReady = ready;
        FakeUi ui;
        FakeRecorder recorder;
        RecordingSession session(
            ui, recorder, [this] { return m_serverReady; }, [this] { return m_now; });
        int finished = 0;
        session.onFinished = [&](const FinishedRecording&) { ++finished; };

        session.startRecording(QString());
        QCOMPARE(session.isRecording(), records);
        QCOMPARE(recorder.starts, records ? 1 : 0);
        if (!records) {
            QCOMPARE(ui.calls, (QStringList { "status 服务启动中... #ffffff", "hide 1.5" }));
        }
        session.stopRecordingAndRecognize(QString());
        QTRY_COMPARE(finished, records ? 1 : 0);
    }

    void targetShowsInIconAndToast_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("icon");
        QTest::addColumn<QString>("toast");
        QTest::newRow("plain") << QString() << "icon 1"
                               << "status 识别中... #ffffff";
        QTest::newRow("en") << "en"
                            << "icon 1 EN"
                            << "status 识别+翻译中... #ffffff";
        QTest::newRow("ja") << "ja"
                            << "icon 1 JA"
                            << "status 识别+翻译中... #ffffff";
    }

    void targetShowsInIconAndToast()
    {
        QFETCH(QString, target);
        QFETCH(QString, icon);
        QFETCH(QString, toast);
        FakeUi ui;
        FakeRecorder recorder;
        RecordingSession session(ui, recorder, {}, [this] { return m_now; });
        std::optional<FinishedRecording> finished;
        session.onFinished = [&](const FinishedRecording& f) { finished = f; };

        m_now = 10;
        session.startRecording(target);
        session.startRecording(target); // a second start while recording does nothing
        QCOMPARE(recorder.starts, 1);
        QCOMPARE(ui.calls, (QStringList { icon, "orderOut", "waveform show" }));
        ui.calls.clear();
        m_now = 12.5;
        session.stopRecordingAndRecognize(target);
        QCOMPARE(ui.calls, (QStringList { "icon 0", "waveform hide", toast }));
        QVERIFY(!finished); // handed over from the event loop, after the stop returned
        QTRY_VERIFY(finished);
        QCOMPARE(finished->duration, 2.5);
        QCOMPARE(finished->translationTarget, target);
        QCOMPARE(finished->wav->size(), recorder.bytesToWrite);
    }

    void recorderFailureAlerts()
    {
        FakeUi ui;
        FakeRecorder recorder;
        recorder.failWith = QStringLiteral("没有麦克风");
        RecordingSession session(ui, recorder, {}, [this] { return m_now; });
        session.startRecording(QString());
        QVERIFY(!session.isRecording());
        QCOMPARE(ui.calls, QStringList { "alert 录音失败 没有麦克风" });
    }

    // The next recording rewrites the shared file before the previous hand-over has run:
    // the previous request must still get its own audio.
    void nextRecordingCannotReachThePreviousOne()
    {
        FakeUi ui;
        FakeRecorder recorder;
        RecordingSession session(ui, recorder, {}, [this] { return m_now; });
        QList<QByteArray> handedOver;
        session.onFinished = [&](const FinishedRecording& f) { handedOver << *f.wav; };

        recorder.fill = 'A';
        recorder.bytesToWrite = 6000;
        session.startRecording(QString());
        session.stopRecordingAndRecognize(QString());
        recorder.fill = 'B';
        recorder.bytesToWrite = 7000;
        session.startRecording(QString());
        session.stopRecordingAndRecognize(QString());

        QTRY_COMPARE(handedOver.size(), 2);
        QCOMPARE(handedOver[0], QByteArray(6000, 'A'));
        QCOMPARE(handedOver[1], QByteArray(7000, 'B'));
        QVERIFY(QFile::exists(RecordingSession::recordingURL()));
    }
};

QTEST_GUILESS_MAIN(RecordingSessionTest)
#include "tst_recording_session.moc"
