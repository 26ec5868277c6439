#include "server/local_server_manager.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

// A real HTTP server on a free loopback port: /health answers with `status`; with 0 the
// connection is accepted and left hanging.
class TinyHttpServer : public QTcpServer {
public:
    int status = 200;
    int openConnections = 0;

    TinyHttpServer()
    {
        listen(QHostAddress::LocalHost, 0);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection()) {
                ++openConnections;
                connect(socket, &QTcpSocket::disconnected, this,
                    [this, socket] { --openConnections, socket->deleteLater(); });
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
                    if (status == 0 || !socket->peek(socket->bytesAvailable()).contains("\r\n\r\n"))
                        return;
                    const int code = socket->readAll().startsWith("GET /health ") ? status : 404;
                    socket->write("HTTP/1.1 " + QByteArray::number(code)
                        + " X\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                    socket->disconnectFromHost();
                });
            }
        });
    }
};

class TestServerHealth : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Each row: one probe, then a 3 s readiness wait, for which the 503 server turns healthy.
    void probeThenReadyWait_data()
    {
        QTest::addColumn<int>("status"); // -1: nobody listens; 0: never answers
        QTest::addColumn<int>("probeMs"); // the probe's end, at least
        QTest::addColumn<int>("readyMs"); // the wait's end, at least; -1: not ready, after 3 s
        QTest::newRow("200") << 200 << 0 << 0;
        QTest::newRow("500") << 500 << 0 << -1;
        QTest::newRow("refused") << -1 << 0 << -1;
        QTest::newRow("never answers") << 0 << 1900 << -1; // probes overlap; the late ones must stay silent
        QTest::newRow("503, healthy after 1.5 s") << 503 << 0 << 1500;
    }

    void probeThenReadyWait()
    {
        QFETCH(int, status);
        QFETCH(int, probeMs);
        QFETCH(int, readyMs);
        TinyHttpServer server;
        server.status = status;
        LocalServerOptions options;
        options.port = server.serverPort();
        if (status < 0)
            server.close();
        LocalServerManager manager(options);
        QList<bool> results;
        QElapsedTimer clock;
        clock.start();
        manager.checkServerHealth([&](bool healthy) { results << healthy; });
        QTRY_COMPARE_WITH_TIMEOUT(results.size(), 1, 5000);
        QVERIFY2(clock.elapsed() >= probeMs && clock.elapsed() < probeMs + 1500,
            qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(results[0], status == 200);

        if (readyMs > 0)
            QTimer::singleShot(readyMs, &server, [&] { server.status = 200; });
        clock.restart();
        manager.waitForServerReady(3, [&](bool ready) { results << ready; });
        QTRY_COMPARE_WITH_TIMEOUT(results.size(), 2, 8000);
        QCOMPARE(results[1], readyMs >= 0);
        const int minMs = readyMs >= 0 ? readyMs : 3000;
        QVERIFY2(clock.elapsed() >= minMs && clock.elapsed() < minMs + 2500,
            qPrintable(QString::number(clock.elapsed())));
        QTRY_COMPARE_WITH_TIMEOUT(server.openConnections, 0, 5000);
        QCOMPARE(results.size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestServerHealth)
#include "tst_server_health.moc"
