#pragma once

#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

// A tiny HTTP server on 127.0.0.1 and a free port: answers every request with a fixed
// status, or holds it unanswered until release().
class StubHttpServer : public QObject {
    Q_OBJECT
public:
    // status 0: accept and never answer.
    explicit StubHttpServer(int status)
        : m_status(status)
    {
        connect(&m_server, &QTcpServer::newConnection, this, &StubHttpServer::accept);
        m_server.listen(QHostAddress::LocalHost, 0);
    }

    quint16 port() const { return m_server.serverPort(); }
    QString url(const QString& path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path);
    }
    // Request lines ("GET /health HTTP/1.1") in order of arrival.
    const QStringList& requests() const { return m_requests; }
    int openConnections() const
    {
        int open = 0;
        for (const auto& socket : m_sockets)
            open += socket && socket->state() == QAbstractSocket::ConnectedState;
        return open;
    }

    void release(int status)
    {
        for (const auto& socket : m_sockets) {
            if (socket)
                respond(socket, status);
        }
    }

private:
    void accept()
    {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            m_sockets.append(socket);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        }
    }

    void read(QTcpSocket* socket)
    {
        m_buffer += socket->readAll();
        const qsizetype end = m_buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        m_requests.append(QString::fromLatin1(m_buffer.left(m_buffer.indexOf("\r\n"))));
        m_buffer.clear();
        if (m_status != 0)
            respond(socket, m_status);
    }

    static void respond(QTcpSocket* socket, int status)
    {
        const QByteArray body = "{}";
        socket->write("HTTP/1.1 " + QByteArray::number(status) + " Whatever\r\nContent-Type: application/json\r\n"
            "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    int m_status;
    QByteArray m_buffer;
    QStringList m_requests;
    QList<QPointer<QTcpSocket>> m_sockets;
};
