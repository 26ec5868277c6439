#pragma once

#include <QProcess>
#include <QUrl>

// http_test_server.py, a real HTTP server on a free 127.0.0.1 port, killed with this object.
class TestHttpServer {
public:
    bool start()
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral("python3"), {PARLIX_TEST_SOURCE_DIR "/dictation/http_test_server.py"});
        return m_process.waitForReadyRead(10000) && (m_port = m_process.readLine().trimmed().toInt()) > 0;
    }
    ~TestHttpServer() { m_process.close(); }
    QString url(const QString& path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
    }
    // Answers `body` with `status` after `delay` seconds.
    QString reply(const QString& body, int status = 200, double delay = 0) const
    {
        const QString query = QStringLiteral("/reply?status=%1&delay=%2&body=").arg(status).arg(delay);
        return url(query + QString::fromLatin1(QUrl::toPercentEncoding(body)));
    }

    // Answers exactly `bytes`, then holds the connection open for `hold` seconds.
    QString raw(const QByteArray& bytes, double hold = 0) const
    {
        return url(
            QStringLiteral("/raw?hold=%1&bytes=").arg(hold) + QString::fromLatin1(bytes.toPercentEncoding()));
    }

private:
    QProcess m_process;
    int m_port = 0;
};
