#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class DictationUi;
class Recorder;

// What a finished recording hands to recognition: the recorder's WAV itself, so a later
// recording can never reach this one's request.
struct FinishedRecording {
    std::optional<QByteArray> wav; // nullopt: the recorder gave nothing, or it could not be kept
    double duration = 0;
    QString translationTarget; // "en", "ja" or empty
};

// The stretch between a press of the trigger key and its release: starts the recorder,
// stops it, and hands the finished recording on. At the release the recording is kept in
// the recording file and goes to recognition; the windows follow once the request is on
// its way (the afterSend that the hand-over runs). GUI thread only.
class RecordingSession : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<double()>;

    // serverReady is asked only in local mode, before each start.
    RecordingSession(DictationUi& ui, Recorder& recorder, std::function<bool()> serverReady, Clock clock,
        QObject* parent = nullptr);

    static QString recordingURL();

    void startRecording(const QString& translationTarget);
    void stopRecordingAndRecognize(const QString& translationTarget);
    // A tap or a chord: the recording is dropped and never sent.
    void discardRecording();

    bool isRecording() const { return m_isRecording; }
    Recorder& recorder() { return m_recorder; }
    const Recorder& recorder() const { return m_recorder; }

    // Called inside the stop, once per finished recording; the receiver runs afterSend
    // once its request is on its way (or at once, when there is none).
    std::function<void(const FinishedRecording&, std::function<void()> afterSend)> onFinished;

private:
    void recordingFailed(const QString& error);

    DictationUi& m_ui;
    Recorder& m_recorder;
    std::function<bool()> m_serverReady;
    Clock m_clock;
    bool m_isRecording = false;
    std::optional<double> m_recordingStartTime;
};
