#include "ui/settings_window/translation_tester.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>

TranslationTester::TranslationTester(QObject* parent)
    : QObject(parent)
    , m_network(new QNetworkAccessManager(this))
{ }

void TranslationTester::start(const QUrl& url, const QString& apiKey)
{
    QJsonObject payload {{QStringLiteral("q"), QStringLiteral("你好")},
        {QStringLiteral("source"), QStringLiteral("auto")}, {QStringLiteral("target"), QStringLiteral("en")},
        {QStringLiteral("format"), QStringLiteral("text")}};
    if (!apiKey.isEmpty())
        payload.insert(QStringLiteral("api_key"), apiKey);
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    request.setTransferTimeout(kTimeoutMs);
    QNetworkReply* reply = m_network->post(request, QJsonDocument(payload).toJson(QJsonDocument::Compact));
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (!status.isValid()) {
            Q_EMIT finished(Outcome::ConnectionFailed, reply->errorString());
            return;
        }
        const int code = status.toInt();
        const QJsonObject object = QJsonDocument::fromJson(reply->readAll()).object();
        const QJsonValue translated = object.value(QStringLiteral("translatedText"));
        if (code >= 200 && code < 300 && translated.isString() && !translated.toString().isEmpty()) {
            Q_EMIT finished(Outcome::Translated, translated.toString());
            return;
        }
        const QJsonValue error = object.value(QStringLiteral("error"));
        Q_EMIT finished(
            Outcome::EngineError, error.isString() ? error.toString() : QStringLiteral("HTTP %1").arg(code));
    });
}
