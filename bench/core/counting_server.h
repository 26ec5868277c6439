#pragma once

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <atomic>

// A minimal HTTP endpoint on 127.0.0.1 that counts a request's bytes, notes when the whole
// body is in, answers {"text":"hello"} replyDelayMs later (a recogniser is never quicker
// than that; an answer at once would race the client's own work after sending) and notes
// when the answer went out.
// Lives in its own thread so that it does not share the client's event loop.
class CountingServer : public QTcpServer {
    Q_OBJECT
public:
    explicit CountingServer(const QElapsedTimer& clock)
        : m_clock(clock)
    { }

    std::atomic<qint64> receivedAtNs {0};
    std::atomic<qint64> repliedAtNs {0};
    std::atomic<qint64> bytesReceived {0};
    static constexpr int replyDelayMs = 100;

protected:
    void incomingConnection(qintptr handle) override
    {
        auto* socket = new QTcpSocket(this);
        socket->setSocketDescriptor(handle);
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
            buffer->append(socket->readAll());
            const qsizetype headerEnd = buffer->indexOf("\r\n\r\n");
            if (headerEnd < 0)
                return;
            const QByteArray lower = buffer->left(headerEnd).toLower();
            const qsizetype at = lower.indexOf("content-length:");
            const qint64 length
                = lower.mid(at + 15, lower.indexOf("\r\n", at) - at - 15).trimmed().toLongLong();
            if (buffer->size() < headerEnd + 4 + length)
                return;
            receivedAtNs = m_clock.nsecsElapsed();
            bytesReceived = buffer->size();
            buffer->clear();
            QTimer::singleShot(replyDelayMs, socket, [this, socket] { reply(socket); });
        });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }

private:
    void reply(QTcpSocket* socket)
    {
        const QByteArray body = "{\"text\":\"hello\"}";
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n"
                      "Content-Length: "
            + QByteArray::number(body.size()) + "\r\n\r\n" + body);
        socket->flush();
        repliedAtNs = m_clock.nsecsElapsed();
        socket->disconnectFromHost();
    }

    const QElapsedTimer& m_clock;
};
