#include "server/local_server_manager.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

// A real HTTP server on a free loopback port whose answer the test picks: a status
// code, or none at all (the connection is accepted and left hanging).
class TinyHttpServer : public QObject {
    Q_OBJECT
public:
    int status = 200; // 0: never answer
    int requests = 0;
    int openConnections = 0;
    QByteArray lastRequestLine;
    QTcpServer server;

    TinyHttpServer()
    {
        server.listen(QHostAddress::LocalHost, 0);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server.nextPendingConnection()) {
                ++openConnections;
                connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                    --openConnections;
                    socket->deleteLater();
                });
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
            }
        });
    }
    int port() const { return server.serverPort(); }

private:
    void answer(QTcpSocket* socket)
    {
        QByteArray& buffer = buffers_[socket];
        buffer += socket->readAll();
        if (!buffer.contains("\r\n\r\n"))
            return;
        ++requests;
        lastRequestLine = buffer.left(buffer.indexOf("\r\n"));
        buffers_.remove(socket);
        if (status == 0)
            return;
        const int code = lastRequestLine.startsWith("GET /health ") ? status : 404;
        socket->write("HTTP/1.1 " + QByteArray::number(code) + " X\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok");
        socket->disconnectFromHost();
    }
    QHash<QTcpSocket*, QByteArray> buffers_;
};

namespace {

LocalServerOptions optionsFor(int port)
{
    LocalServerOptions options;
    options.port = port;
    return options;
}

int closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace

class TestServerHealth : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void probe_data()
    {
        QTest::addColumn<int>("status"); // -1: nobody listens
        QTest::addColumn<bool>("healthy");
        QTest::addColumn<int>("minMs");
        QTest::addColumn<int>("maxMs");
        QTest::newRow("200") << 200 << true << 0 << 1000;
        QTest::newRow("500") << 500 << false << 0 << 1000;
        QTest::newRow("503") << 503 << false << 0 << 1000;
        QTest::newRow("refused") << -1 << false << 0 << 500;
        QTest::newRow("never answers") << 0 << false << 1900 << 3500;
    }

    void probe()
    {
        QFETCH(int, status);
        QFETCH(bool, healthy);
        QFETCH(int, minMs);
        QFETCH(int, maxMs);
        TinyHttpServer server;
        server.status = status;
        LocalServerManager manager(optionsFor(status < 0 ? closedPort() : server.port()));

        int calls = 0;
        bool result = !healthy;
        QElapsedTimer clock;
        clock.start();
        manager.checkServerHealth([&](bool h) {
            ++calls;
            result = h;
        });
        QCOMPARE(calls, 0);
        QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 5000);
        const qint64 took = clock.elapsed();
        QCOMPARE(result, healthy);
        QVERIFY2(took >= minMs && took <= maxMs, qPrintable(QString::number(took)));
        if (status >= 0)
            QCOMPARE(server.lastRequestLine, QByteArray("GET /health HTTP/1.1"));
    }

    void readyWaitSeesAServerThatComesUpLate()
    {
        TinyHttpServer server;
        server.status = 503;
        QTimer::singleShot(2500, &server, [&] { server.status = 200; });
        LocalServerManager manager(optionsFor(server.port()));
        std::optional<bool> outcome;
        QElapsedTimer clock;
        clock.start();
        manager.waitForServerReady(120, [&](bool ready) { outcome = ready; });
        QTRY_VERIFY_WITH_TIMEOUT(outcome.has_value(), 6000);
        QVERIFY(*outcome);
        QVERIFY2(clock.elapsed() >= 2500 && clock.elapsed() < 4000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(server.requests, 4); // at 0 (not 1), 1, 2 and 3 s
    }

    void readyWaitGivesUpAfterTheTimeoutOnce_data()
    {
        QTest::addColumn<int>("status");
        QTest::newRow("refused") << -1;
        QTest::newRow("never answers") << 0; // probes overlap; the late ones must stay silent
    }

    void readyWaitGivesUpAfterTheTimeoutOnce()
    {
        QFETCH(int, status);
        TinyHttpServer server;
        server.status = status;
        LocalServerManager manager(optionsFor(status < 0 ? closedPort() : server.port()));
        int calls = 0;
        QElapsedTimer clock;
        clock.start();
        manager.waitForServerReady(3, [&](bool ready) {
            QVERIFY(!ready);
            ++calls;
        });
        QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 8000);
        const qint64 took = clock.elapsed();
        QVERIFY2(took > 3000 && took < 5500, qPrintable(QString::number(took)));
        if (status == 0) {
            // Wait for the probes still in flight to end, then count again.
            QTRY_COMPARE_WITH_TIMEOUT(server.openConnections, 0, 5000);
            QCOMPARE(calls, 1);
        }
    }
};

QTEST_GUILESS_MAIN(TestServerHealth)
#include "tst_server_health.moc"
