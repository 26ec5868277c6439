#pragma once

#include "net/http_response_parser.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <optional>

class QTcpSocket;

// One HTTP/1.1 POST on a connection of its own, for requests on the person's critical
// path: no Nagle delay (headers and body leave in one write, the last segment at once),
// and never a resend, so a server that drops the connection has received the body once.
// Redirects are not followed: a 3xx is an answer like any other status.
// Deletes itself after finished(). GUI thread (or any one thread with an event loop).
class HttpPost : public QObject {
    Q_OBJECT
public:
    struct Result {
        int status = 0; // 0 when no answer came
        QByteArray body;
        bool tooLarge = false; // the body was refused, unread
        QString error; // null when an answer came; the reason otherwise
    };

    // url: http or https, already checked.
    HttpPost(
        const QUrl& url, const QByteArray& contentType, const QByteArray& body, QObject* parent = nullptr);
    ~HttpPost() override;

    // Bounds the wait for each next byte sent or received, as a transfer time-out.
    void setTransferTimeout(int milliseconds) { m_timeoutMs = milliseconds; }
    void setMaximumReplySize(qint64 bytes) { m_parser = HttpResponseParser(bytes); }
    void start();

    // The request's text, as sent.
    static QByteArray head(const QUrl& url, const QByteArray& contentType, qint64 bodySize);

Q_SIGNALS:
    // The whole request was handed to the connection (or the request ended before).
    void sent();
    void finished(const HttpPost::Result& result);

private:
    void connected();
    void received();
    void closed();
    void end(const QString& error);
    void markSent();

    QUrl m_url;
    QByteArray m_request;
    qint64 m_written = 0;
    bool m_sent = false;
    bool m_ended = false;
    bool m_starting = false;
    std::optional<QString> m_pendingEnd; // reached within start()
    int m_timeoutMs = 30000;
    QTcpSocket* m_socket = nullptr;
    QTimer m_timer;
    HttpResponseParser m_parser {16 * 1024 * 1024};
};
