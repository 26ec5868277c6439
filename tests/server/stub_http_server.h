#pragma once

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

// HTTP on 127.0.0.1: GET /health gets `status` (other paths 404); while `status` is 0 the
// requests are held until answer(). Keeps each request's first line.
struct StubHttpServer : QTcpServer {
    int status;
    int openConnections = 0, closed = 0;
    QStringList requests;
    QList<QPointer<QTcpSocket>> held;
    QString url;

    explicit StubHttpServer(int initial, quint16 port = 0)
        : status(initial)
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection()) {
                ++openConnections;
                connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                    --openConnections, ++closed;
                    socket->deleteLater();
                });
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
                    if (!socket->peek(4096).contains("\r\n\r\n") || held.contains(socket))
                        return;
                    requests.append(QString::fromLatin1(socket->peek(4096).split('\r').first()));
                    held.append(socket);
                    if (status)
                        answer(status);
                });
            }
        });
        listen(QHostAddress::LocalHost, port);
        url = QStringLiteral("http://127.0.0.1:%1/api/transcribe").arg(serverPort());
    }
    void answer(int reply)
    {
        for (const QPointer<QTcpSocket>& socket : std::exchange(held, {})) {
            if (!socket)
                continue;
            const bool health = socket->peek(4096).startsWith("GET /health ");
            socket->write("HTTP/1.1 " + QByteArray::number(health ? reply : 404)
                + " X\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            socket->disconnectFromHost();
        }
    }
};
