#include "connection_tester.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

ConnectionTester::ConnectionTester(QObject* parent)
    : QObject(parent)
    , m_network(new QNetworkAccessManager(this))
{ }

QUrl ConnectionTester::probeUrl(const QString& serverText)
{
    QString probe = serverText;
    probe.replace(QStringLiteral("/api/transcribe"), QStringLiteral("/health"));
    const QUrl url(probe, QUrl::StrictMode);
    // A relative or schemeless text would only fail later as a "connection" problem;
    // it is an address the user has to fix, so it is reported as invalid up front.
    const bool usable = url.isValid() && !url.host().isEmpty()
        && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
    return usable ? url : QUrl();
}

void ConnectionTester::start(const QUrl& url)
{
    QNetworkRequest request(url);
    request.setTransferTimeout(kTimeoutMs);
    QNetworkReply* reply = m_network->get(request);
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        Q_EMIT finished(outcomeOf(*reply));
    });
}

ConnectionTester::Outcome ConnectionTester::outcomeOf(const QNetworkReply& reply)
{
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    // Errors 1-199 (network, proxy) and 301-399 (protocol) mean no usable answer came;
    // the others only mirror an HTTP status that did arrive.
    const int error = reply.error();
    const bool transportFailed = (error > 0 && error < QNetworkReply::ContentAccessDenied)
        || (error >= QNetworkReply::ProtocolUnknownError && error <= QNetworkReply::ProtocolFailure);
    if (transportFailed || !status.isValid())
        return Outcome::ConnectionFailed;
    return status.toInt() == 200 ? Outcome::Success : Outcome::ServerError;
}
