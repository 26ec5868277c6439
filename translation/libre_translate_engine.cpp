#include "translation/libre_translate_engine.h"

#include "net/http_post.h"
#include "settings/settings.h"
#include "support/standard_output.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QUrl>
#include <cstdio>

namespace {

constexpr qint64 maximumReplySize = 16 * 1024 * 1024;

} // namespace

LibreTranslateEngine::LibreTranslateEngine(QObject* parent)
    : QObject(parent)
{ }

void LibreTranslateEngine::fail(
    Failure failure, const QString& address, const QString& reason, Callback callback)
{
    printLine(QStringLiteral("翻译失败: ") + reason);
    Q_EMIT failed(failure, address, reason);
    // Never inside translate(): callers must not be re-entered.
    QTimer::singleShot(0, this, [callback = std::move(callback)] { callback(std::nullopt); });
}

void LibreTranslateEngine::translate(const QString& text, const QString& targetLanguage, Callback callback)
{
    const QString address = Settings::shared().translationServerURL().trimmed();
    if (address.isEmpty()) {
        fail(Failure::NoAddress, address, QStringLiteral("未设置翻译服务地址"), std::move(callback));
        return;
    }
    const QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        fail(Failure::NoAddress, address,
            QStringLiteral("无效的翻译服务地址 \"") + address + QLatin1Char('"'), std::move(callback));
        return;
    }

    QJsonObject payload;
    payload.insert(QLatin1String("q"), text);
    payload.insert(QLatin1String("source"), QStringLiteral("auto"));
    payload.insert(QLatin1String("target"), targetLanguage);
    payload.insert(QLatin1String("format"), QStringLiteral("text"));
    const QString apiKey = Settings::shared().translationAPIKey();
    if (!apiKey.isEmpty())
        payload.insert(QLatin1String("api_key"), apiKey);

    auto* post
        = new HttpPost(url, "application/json", QJsonDocument(payload).toJson(QJsonDocument::Compact), this);
    post->setTransferTimeout(m_transferTimeoutMs);
    post->setMaximumReplySize(maximumReplySize);
    connect(post, &HttpPost::finished, this,
        [this, address, callback = std::move(callback)](const HttpPost::Result& result) {
            if (!result.error.isNull()) {
                fail(Failure::NoAnswer, address, result.error, callback);
                return;
            }
            ReplyOutcome outcome = interpretReply(result.status, result.body);
            if (outcome.translation)
                callback(std::move(outcome.translation));
            else
                fail(Failure::EngineError, address, outcome.failure, callback);
        });
    post->start();
}

LibreTranslateEngine::ReplyOutcome LibreTranslateEngine::interpretReply(int code, const QByteArray& body)
{
    const QJsonObject object = QJsonDocument::fromJson(body).object();
    // Only a 2xx answer is a translation: an error page may well carry the field.
    const QJsonValue translated = object.value(QLatin1String("translatedText"));
    if (code >= 200 && code < 300 && translated.isString())
        return {translated.toString(), {}};
    const QJsonValue error = object.value(QLatin1String("error"));
    if (error.isString())
        return {std::nullopt, error.toString()};
    if (code < 200 || code >= 300)
        return {std::nullopt, QStringLiteral("HTTP %1").arg(code)};
    return {std::nullopt, QStringLiteral("无法识别的回复")};
}
