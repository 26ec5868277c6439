#include "app/dictation/recording_session.h"

#include "app/dictation/dictation_ui.h"
#include "platform/recorder.h"
#include "settings/settings.h"

#include <QDir>
#include <QFile>
#include <QTimer>

RecordingSession::RecordingSession(
    DictationUi& ui, Recorder& recorder, std::function<bool()> serverReady, Clock clock, QObject* parent)
    : QObject(parent)
    , m_ui(ui)
    , m_recorder(recorder)
    , m_serverReady(std::move(serverReady))
    , m_clock(std::move(clock))
{ }

QString RecordingSession::recordingURL()
{
    return QDir::tempPath() + QStringLiteral("/voice_input.wav");
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
    if (!m_recorder.start(recordingURL(), &error)) {
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
    m_recorder.stop();
    m_isRecording = false;

    m_ui.updateStatusIcon(false, QString());
    m_ui.hideWaveformWindow();
    m_ui.showStatus(
        translationTarget.isEmpty() ? QStringLiteral("识别中...") : QStringLiteral("识别+翻译中..."),
        statusWhite());

    // Read now: the next start deletes and rewrites the same file.
    QFile file(recordingURL());
    if (file.open(QIODevice::ReadOnly)) {
        QByteArray bytes = file.readAll();
        if (file.error() == QFileDevice::NoError)
            finished.wav = std::move(bytes);
    }
    QTimer::singleShot(0, this, [this, finished = std::move(finished)] {
        if (onFinished)
            onFinished(finished);
    });
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
