#include "net/http_post.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QSslSocket>
#include <QTcpSocket>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Our own server is on a loopback address, where a connection is made within microseconds:
// made here, the request is written at once rather than after whatever else this turn of
// the event loop holds (closing the recorder takes milliseconds). -1 when that is not so;
// the wait is bounded, and a name (which would be looked up) is never tried.
int connectToLoopback(const QString& host, quint16 port)
{
    const QHostAddress address(host);
    if (!address.isLoopback())
        return -1;
    sockaddr_storage storage {};
    socklen_t size = 0;
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        auto* in = reinterpret_cast<sockaddr_in*>(&storage);
        in->sin_family = AF_INET;
        in->sin_port = htons(port);
        in->sin_addr.s_addr = htonl(address.toIPv4Address());
        size = sizeof(sockaddr_in);
    } else {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&in6->sin6_addr, bytes.c, sizeof(bytes.c));
        size = sizeof(sockaddr_in6);
    }
    const int fd = ::socket(storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    int error = 0;
    socklen_t length = sizeof(error);
    pollfd writable {fd, POLLOUT, 0};
    const int result = ::connect(fd, reinterpret_cast<sockaddr*>(&storage), size);
    if (result == 0
        || (errno == EINPROGRESS && ::poll(&writable, 1, 2) == 1
            && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0))
        return fd;
    ::close(fd); // refused, or slow: Qt's own connection says why
    return -1;
}

} // namespace

HttpPost::HttpPost(const QUrl& url, const QByteArray& contentType, const QByteArray& body, QObject* parent)
    : QObject(parent)
    , m_url(url)
{
    const QByteArray head = HttpPost::head(url, contentType, body.size());
    m_request.reserve(head.size() + body.size());
    m_request += head;
    m_request += body;
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this,
        [this] { end(QCoreApplication::translate("QAbstractSocket", "Socket operation timed out")); });
}

HttpPost::~HttpPost() = default;

QByteArray HttpPost::head(const QUrl& url, const QByteArray& contentType, qint64 bodySize)
{
    QByteArray target = url.path(QUrl::FullyEncoded).toLatin1();
    if (target.isEmpty())
        target = "/";
    if (url.hasQuery())
        target += '?' + url.query(QUrl::FullyEncoded).toLatin1();
    const bool https = url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    QByteArray host = url.host(QUrl::FullyEncoded).toLatin1();
    if (host.contains(':'))
        host = '[' + host + ']';
    const int port = url.port();
    if (port >= 0 && port != (https ? 443 : 80))
        host += ':' + QByteArray::number(port);
    QByteArray head = "POST " + target + " HTTP/1.1\r\nHost: " + host + "\r\nContent-Type: " + contentType
        + "\r\nContent-Length: " + QByteArray::number(bodySize) + "\r\nConnection: close\r\n";
    if (!url.userInfo().isEmpty()) {
        head += "Authorization: Basic "
            + (url.userName(QUrl::FullyDecoded) + QLatin1Char(':') + url.password(QUrl::FullyDecoded))
                  .toUtf8()
                  .toBase64()
            + "\r\n";
    }
    return head + "\r\n";
}

void HttpPost::start()
{
    const bool https = m_url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    const quint16 port = quint16(m_url.port(https ? 443 : 80));
    if (https) {
        auto* socket = new QSslSocket(this);
        m_socket = socket;
        connect(socket, &QSslSocket::encrypted, this, [this] { connected(); });
        connect(socket, &QAbstractSocket::connected, this,
            [socket] { socket->setSocketOption(QAbstractSocket::LowDelayOption, 1); });
        socket->connectToHostEncrypted(m_url.host(), port);
    } else {
        m_socket = new QTcpSocket(this);
        connect(m_socket, &QAbstractSocket::connected, this, [this] {
            m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            connected();
        });
    }
    connect(m_socket, &QIODevice::bytesWritten, this, [this](qint64 bytes) {
        m_timer.start(m_timeoutMs);
        m_written += bytes;
        if (m_written >= m_request.size())
            markSent();
    });
    connect(m_socket, &QIODevice::readyRead, this, &HttpPost::received);
    connect(m_socket, &QAbstractSocket::disconnected, this, &HttpPost::closed);
    connect(m_socket, &QAbstractSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (error == QAbstractSocket::RemoteHostClosedError)
            closed();
        else
            end(m_socket->errorString());
    });
    m_timer.start(m_timeoutMs);
    if (https)
        return;
    m_starting = true;
    const int connectedNow = connectToLoopback(m_url.host(), port);
    if (connectedNow >= 0 && m_socket->setSocketDescriptor(connectedNow)) {
        m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connected();
    } else {
        if (connectedNow >= 0)
            ::close(connectedNow);
        m_socket->connectToHost(m_url.host(), port);
    }
    m_starting = false;
    if (m_pendingEnd)
        QTimer::singleShot(0, this, [this] { end(*m_pendingEnd); });
}

void HttpPost::connected()
{
    m_timer.start(m_timeoutMs);
    m_socket->write(m_request);
    m_socket->flush();
}

void HttpPost::markSent()
{
    if (!std::exchange(m_sent, true)) {
        m_request.clear();
        Q_EMIT sent();
    }
}

void HttpPost::received()
{
    m_timer.start(m_timeoutMs);
    const QByteArray bytes = m_socket->readAll();
    if (m_parser.feed(bytes) != HttpResponseParser::State::Incomplete)
        end({});
}

// The server closed: the end of a body that runs to the close, or of the answer.
void HttpPost::closed()
{
    if (m_ended)
        return;
    if (m_socket->bytesAvailable() > 0)
        m_parser.feed(m_socket->readAll());
    if (m_parser.finish() != HttpResponseParser::State::Incomplete)
        end({});
    else if (!m_parser.started())
        end(QStringLiteral("服务器未回复就断开了连接"));
    else
        end(QCoreApplication::translate("QAbstractSocket", "The remote host closed the connection"));
}

void HttpPost::end(const QString& error)
{
    if (m_starting) { // the caller is not re-entered from start()
        m_pendingEnd = error;
        return;
    }
    if (std::exchange(m_ended, true))
        return;
    m_timer.stop();
    markSent();
    Result result;
    if (error.isNull()) {
        switch (m_parser.state()) {
        case HttpResponseParser::State::Complete:
            result.status = m_parser.status();
            result.body = m_parser.body();
            break;
        case HttpResponseParser::State::TooLarge:
            result.status = m_parser.status();
            result.tooLarge = true;
            break;
        default:
            result.error = QStringLiteral("服务器的回复不是有效的 HTTP");
        }
    } else {
        result.error = error;
    }
    m_socket->disconnect(this);
    m_socket->abort();
    Q_EMIT finished(result);
    deleteLater();
}
