#pragma once

#include <QObject>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

// Probes a remote recognition server's health endpoint. Every probe runs on its own and
// reports once; nothing is cancelled, so with several in flight the last answer wins.
class ConnectionTester : public QObject {
    Q_OBJECT
public:
    enum class Outcome { Success, ServerError, ConnectionFailed };
    Q_ENUM(Outcome)

    static constexpr int kTimeoutMs = 5000;

    explicit ConnectionTester(QObject* parent = nullptr);

    // The health address for what the user typed: every "/api/transcribe" becomes
    // "/health". Invalid (no request must be made) unless it is an http or https URL
    // with a host.
    static QUrl probeUrl(const QString& serverText);

    void start(const QUrl& url);

Q_SIGNALS:
    void finished(ConnectionTester::Outcome outcome);

private:
    static Outcome outcomeOf(const QNetworkReply& reply);

    QNetworkAccessManager* m_network;
};
