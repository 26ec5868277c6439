#include "app/dictation/recording_session.h"

#include "app/dictation/dictation_ui.h"
#include "app/dictation/recording_file.h"
#include "platform/recorder.h"
#include "settings/settings.h"

#include <QFile>

RecordingSession::RecordingSession(
    DictationUi& ui, Recorder& recorder, std::function<bool()> serverReady, Clock clock, QObject* parent)
    : QObject(parent)
    , m_ui(ui)
    , m_recorder(recorder)
    , m_serverReady(std::move(serverReady))
    , m_clock(std::move(clock))
{
    m_recorder.onFailed = [this](const QString& error) { recordingFailed(error); };
}

QString RecordingSession::recordingURL()
{
    return RecordingFile::path();
}

void RecordingSession::startRecording(const QString& translationTarget)
{
    if (m_isRecording)
        return;
    if (Settings::shared().useLocalServer() && !(m_serverReady && m_serverReady())) {
        m_ui.showStatus(QStringLiteral("服务启动中..."), statusWhite());
        m_ui.hideStatusAfterDelay(1.5);
        return;
    }
    QFile::remove(recordingURL());
    QString error;
    if (!m_recorder.start(&error)) {
        m_ui.showAlert(QStringLiteral("录音失败"), error);
        return;
    }
    m_isRecording = true;
    m_recordingStartTime = m_clock();

    QString label;
    if (translationTarget == QLatin1String("en"))
        label = QStringLiteral("EN");
    else if (!translationTarget.isEmpty())
        label = QStringLiteral("JA");
    m_ui.updateStatusIcon(true, label);
    m_ui.orderOutStatus();
    m_ui.showWaveformWindow();
}

void RecordingSession::stopRecordingAndRecognize(const QString& translationTarget)
{
    if (!m_isRecording)
        return;
    FinishedRecording finished;
    finished.duration = m_recordingStartTime ? m_clock() - *m_recordingStartTime : 0;
    finished.translationTarget = translationTarget;
    const QByteArray wav = m_recorder.stop();
    m_isRecording = false;
    // A recording that cannot be kept (a full disk) is a failed recording.
    if (!wav.isEmpty() && RecordingFile::write(wav))
        finished.wav = wav;

    auto afterSend = [this, translationTarget] {
        m_ui.updateStatusIcon(false, QString());
        m_ui.hideWaveformWindow();
        m_ui.showStatus(
            translationTarget.isEmpty() ? QStringLiteral("识别中...") : QStringLiteral("识别+翻译中..."),
            statusWhite());
    };
    if (onFinished)
        onFinished(finished, std::move(afterSend));
    else
        afterSend();
}

void RecordingSession::discardRecording()
{
    if (!m_isRecording)
        return;
    m_recorder.stop();
    m_isRecording = false;
    m_ui.updateStatusIcon(false, QString());
    m_ui.hideWaveformWindow();
}

void RecordingSession::recordingFailed(const QString& error)
{
    if (!m_isRecording)
        return;
    m_isRecording = false;
    m_ui.updateStatusIcon(false, QString());
    m_ui.hideWaveformWindow();
    m_ui.showAlert(QStringLiteral("录音失败"), error);
}
