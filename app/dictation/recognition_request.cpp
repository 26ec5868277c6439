#include "app/dictation/recognition_request.h"

#include "app/dictation/dictation_ui.h"
#include "net/http_post.h"
#include "settings/settings.h"
#include "support/standard_output.h"
#include "text/character_count.h"
#include "text/text_post_processor.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QUrl>
#include <QUuid>
#include <cstdio>
#include <memory>
#include <utility>

namespace {

// An address that does not parse, has spaces, or is not http(s) to a host.
std::optional<QUrl> parseServerURL(const QString& text)
{
    for (const QChar c : text) {
        if (c.isSpace())
            return std::nullopt;
    }
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return std::nullopt;
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return std::nullopt;
    return url;
}

} // namespace

RecognitionRequest::RecognitionRequest(
    DictationUi& ui, TypeText typeText, TranslateAndType translateAndType, QObject* parent)
    : QObject(parent)
    , m_ui(ui)
    , m_typeText(std::move(typeText))
    , m_translateAndType(std::move(translateAndType))
    , m_boundary(&RecognitionRequest::newBoundary)
{ }

RecognitionRequest::~RecognitionRequest() = default;

void RecognitionRequest::setBoundaryGenerator(std::function<QString()> generator)
{
    m_boundary = generator ? std::move(generator) : &RecognitionRequest::newBoundary;
}

QString RecognitionRequest::newBoundary()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

QByteArray RecognitionRequest::buildBody(const QByteArray& wav, const QString& boundary,
    const QString& language, bool removeFiller, const QStringList& hotwords)
{
    const QByteArray b = boundary.toUtf8();
    const QByteArray languageBytes = language.toUtf8();
    const QByteArray hotwordBytes = hotwords.join(QLatin1Char(',')).toUtf8();

    QByteArray body;
    body.reserve(wav.size() + 512 + languageBytes.size() + hotwordBytes.size());
    body += "--" + b
        + "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"audio.wav\"\r\n"
          "Content-Type: audio/wav\r\n\r\n";
    body += wav;
    body += "\r\n--" + b + "\r\nContent-Disposition: form-data; name=\"language\"\r\n\r\n" + languageBytes
        + "\r\n";
    body += "--" + b + "\r\nContent-Disposition: form-data; name=\"itn\"\r\n\r\ntrue\r\n";
    if (removeFiller) {
        body += "--" + b + "\r\nContent-Disposition: form-data; name=\"remove_filler\"\r\n\r\ntrue\r\n";
    }
    if (!hotwords.isEmpty()) {
        body += "--" + b + "\r\nContent-Disposition: form-data; name=\"hotwords\"\r\n\r\n" + hotwordBytes
            + "\r\n";
    }
    body += "--" + b + "--\r\n";
    return body;
}

void RecognitionRequest::showError(const QString& message)
{
    QMetaObject::invokeMethod(this, [this, message] {
        m_ui.showStatus(QStringLiteral("❌ ") + message, statusRed());
        m_ui.hideStatusAfterDelay(2.0);
    });
}

void RecognitionRequest::sendToASR(const std::optional<QByteArray>& wav, double recordingDuration,
    const QString& translateTo, std::function<void()> afterSend)
{
    if (!wav) {
        if (afterSend)
            afterSend();
        showError(QStringLiteral("录音失败"));
        return;
    }
    if (wav->size() < minimumFileSize) {
        if (afterSend)
            afterSend();
        m_ui.showStatus(QStringLiteral("录音太短"), statusOrange());
        m_ui.hideStatusAfterDelay(1.5);
        return;
    }
    Settings& settings = Settings::shared();
    const std::optional<QUrl> url = parseServerURL(settings.serverURL());
    if (!url) {
        if (afterSend)
            afterSend();
        showError(QStringLiteral("无效的服务器地址"));
        return;
    }

    const QString boundary = m_boundary();
    const QStringList hotwords = settings.enableHotwords() ? settings.hotwords() : QStringList();
    auto* post = new HttpPost(*url, "multipart/form-data; boundary=" + boundary.toUtf8(),
        buildBody(*wav, boundary, settings.language(), settings.enableFillerRemoval(), hotwords), this);
    post->setTransferTimeout(m_transferTimeoutMs);
    post->setMaximumReplySize(maximumReplySize);
    if (afterSend)
        connect(post, &HttpPost::sent, this, std::move(afterSend));
    connect(post, &HttpPost::finished, this,
        [this, recordingDuration, translateTo](const HttpPost::Result& result) {
            --m_inFlight;
            // Only a failed transfer is an error here: an HTTP error status still has a
            // body, and the body alone is judged.
            handleReply(result.body, result.tooLarge, result.error, recordingDuration, translateTo);
            Q_EMIT requestFinished();
        });
    ++m_inFlight;
    post->start();
}

RecognitionRequest::ReplyOutcome RecognitionRequest::interpretReply(const QByteArray& body, bool tooLarge)
{
    QJsonParseError parseError {};
    const QJsonDocument document = tooLarge ? QJsonDocument() : QJsonDocument::fromJson(body, &parseError);
    if (tooLarge || body.isEmpty() || parseError.error != QJsonParseError::NoError || !document.isObject()) {
        return {{}, QStringLiteral("服务器无响应"), {}};
    }
    const QJsonObject reply = document.object();
    const QJsonValue success = reply.value(QLatin1String("success"));
    if (success.isBool() && !success.toBool()) {
        const QJsonValue error = reply.value(QLatin1String("error"));
        return {{}, QStringLiteral("识别失败"),
            QStringLiteral("ASR error: ")
                + (error.isString() ? error.toString() : QStringLiteral("未知错误"))};
    }
    const QJsonValue textValue = reply.value(QLatin1String("text"));
    if (!textValue.isString() || textValue.toString().isEmpty()) {
        return {{}, QStringLiteral("识别无结果"), {}};
    }

    return {textValue.toString(), {}, {}};
}

void RecognitionRequest::handleReply(const QByteArray& body, bool tooLarge, const QString& transportError,
    double duration, const QString& target)
{
    if (!transportError.isNull()) {
        showError(QStringLiteral("网络错误: ") + transportError);
        return;
    }
    const ReplyOutcome outcome = interpretReply(body, tooLarge);
    if (!outcome.error.isEmpty()) {
        showError(outcome.error);
        if (!outcome.logLine.isEmpty())
            printLine(outcome.logLine);
        return;
    }

    Settings& settings = Settings::shared();
    const QString text = TextPostProcessor::shared().process(outcome.text, settings.enableCJKSpacing());
    if (!target.isEmpty()) {
        if (m_translateAndType)
            m_translateAndType(text, target, duration);
        return;
    }
    // The paste first: the totals are written to disk, which the person must not wait for.
    m_ui.orderOutStatus();
    if (m_typeText)
        m_typeText(text);
    settings.addDictationLater(duration, characterCount(text));
}
