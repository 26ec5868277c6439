#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class DictationUi;

// Posts a finished recording to the recognition server as multipart/form-data and turns
// the JSON reply into typed text (directly, or through the translate-and-type pipeline
// when a target is set). Any number of requests may be in flight; each one carries its
// own duration and target and delivers its own text. GUI thread only.
class RecognitionRequest : public QObject {
    Q_OBJECT
public:
    using TypeText = std::function<void(const QString& text)>;
    using TranslateAndType = std::function<void(const QString& text, const QString& target, double duration)>;

    static constexpr qint64 minimumFileSize = 5000;
    static constexpr int defaultTransferTimeoutMs = 30000;
    // A bigger reply is not a recognition result; it is refused rather than buffered.
    static constexpr qint64 maximumReplySize = 16 * 1024 * 1024;

    RecognitionRequest(
        DictationUi& ui, TypeText typeText, TranslateAndType translateAndType, QObject* parent = nullptr);
    ~RecognitionRequest() override;

    // wav: the recording's bytes, nullopt when the file could not be read.
    // translateTo: "en", "ja", or empty for plain dictation.
    // afterSend runs once the request is on its way (its body handed to the connection),
    // or before any refusal or outcome: the work that must not delay the request.
    // A dropped connection is never resent: it is a network error.
    void sendToASR(const std::optional<QByteArray>& wav, double recordingDuration,
        const QString& translateTo = QString(), std::function<void()> afterSend = {});

    // "❌ " + message in red for 2 s. Callable from any thread.
    void showError(const QString& message);

    // The multipart body; hotwords empty means no hotwords field.
    static QByteArray buildBody(const QByteArray& wav, const QString& boundary, const QString& language,
        bool removeFiller, const QStringList& hotwords);
    // A fresh upper-case UUID.
    static QString newBoundary();

    // What a reply body amounts to: the recognised text (not yet cleaned up), or the
    // error to show and, for a refusal, the server's reason to print. Any bytes.
    struct ReplyOutcome {
        QString text;
        QString error; // empty when text holds the result
        QString logLine;
    };
    static ReplyOutcome interpretReply(const QByteArray& body, bool tooLarge);

    // Seams for tests and the benchmark.
    void setBoundaryGenerator(std::function<QString()> generator);
    void setTransferTimeout(int milliseconds) { m_transferTimeoutMs = milliseconds; }
    int requestsInFlight() const { return m_inFlight; }

Q_SIGNALS:
    // A request ended, whatever its outcome (after its text was handed on).
    void requestFinished();

private:
    void handleReply(const QByteArray& body, bool tooLarge, const QString& transportError, double duration,
        const QString& target);

    DictationUi& m_ui;
    TypeText m_typeText;
    TranslateAndType m_translateAndType;
    std::function<QString()> m_boundary;
    int m_transferTimeoutMs = defaultTransferTimeoutMs;
    int m_inFlight = 0;
};
