#pragma once

#include <QProcess>
#include <QString>
#include <QtTest>

// The canned-reply server of http_test_server.py, a real HTTP server on 127.0.0.1 on a
// free port, for the life of the test.
class TestHttpServer {
public:
    bool start()
    {
        m_process.setProgram(QStringLiteral("/usr/bin/python3"));
        m_process.setArguments({ QStringLiteral(PARLIX_TEST_SOURCE_DIR "/dictation/http_test_server.py") });
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        if (!m_process.waitForStarted(5000) || !m_process.waitForReadyRead(10000))
            return false;
        m_port = m_process.readLine().trimmed().toInt();
        return m_port > 0;
    }
    ~TestHttpServer()
    {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
    QString url(const QString& pathAndQuery) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(pathAndQuery);
    }
    int port() const { return m_port; }

private:
    QProcess m_process;
    int m_port = 0;
};
