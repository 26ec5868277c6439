#include "settings_window_test_support.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>

// HTTP on 127.0.0.1 answering with `status`, or holding the requests until answer() while 0.
struct StubHttpServer : QTcpServer {
    explicit StubHttpServer(int status)
    {
        connect(this, &QTcpServer::newConnection, this, [this, status] {
            QTcpSocket* socket = nextPendingConnection();
            connect(socket, &QTcpSocket::disconnected, this, [this] { ++closed; });
            connect(socket, &QTcpSocket::readyRead, this, [this, socket, status] {
                if (!socket->peek(4096).contains("\r\n\r\n"))
                    return;
                requests.append(QString::fromLatin1(socket->readLine().trimmed()));
                held.append(socket);
                if (status)
                    answer(status);
            });
        });
        listen(QHostAddress::LocalHost, 0);
        url = u"http://127.0.0.1:%1/api/transcribe"_qs.arg(serverPort());
    }
    void answer(int status)
    {
        for (QTcpSocket* socket : std::exchange(held, {})) {
            socket->write("HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Length: 0\r\n\r\n");
            socket->disconnectFromHost();
        }
    }

    QString url;
    QStringList requests;
    QList<QTcpSocket*> held;
    int closed = 0;
};

class ConnectionTestTest : public QObject {
    Q_OBJECT

    void test(const QString& url)
    {
        replaceText(m_window.control("serverTextField"), url);
        QTest::mouseClick(m_window.control("testButton"), Qt::LeftButton);
    }
    OpenSettingsWindow m_window;

private Q_SLOTS:
    void init() { QVERIFY(m_window.open()); }
    void cleanup() { m_window.controller.reset(); }

    void answers_data()
    {
        QTest::addColumn<int>("answer"); // 0: never, -1: the port refuses
        QTest::addColumn<QString>("text");
        QTest::newRow("200") << 200 << "✅ 连接成功";
        QTest::newRow("404") << 404 << "❌ 服务器异常";
        QTest::newRow("never, given up after 5 s") << 0 << "❌ 连接失败";
        QTest::newRow("refused port") << -1 << "❌ 连接失败";
    }
    void answers()
    {
        QFETCH(int, answer);
        QFETCH(QString, text);
        StubHttpServer server(answer);
        if (answer < 0)
            server.close();
        QElapsedTimer clock;
        clock.start();
        test(server.url);
        QCOMPARE(m_window.status(), u"测试中..."_qs);
        QTRY_COMPARE_WITH_TIMEOUT(m_window.status(), text, 9000);
        const QColor color = m_window.control("serverStatusLabel")->palette().color(QPalette::WindowText);
        QCOMPARE(color, answer == 200 ? QColor(0x1e, 0x8e, 0x3e) : QColor(0xd9, 0x30, 0x25));
        QCOMPARE(server.requests, answer < 0 ? QStringList() : QStringList {u"GET /health HTTP/1.1"_qs});
        QVERIFY(answer != 0 || clock.elapsed() >= 4700); // Qt's coarse timer: up to 5 % early
        QVERIFY(!Settings::shared().contains(u"serverURL"_qs));
    }

    void invalidAddressSendsNothing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QString();
        QTest::newRow("no scheme") << "127.0.0.1:%1/api/transcribe";
        QTest::newRow("other scheme") << "ftp://127.0.0.1:%1/api/transcribe";
        QTest::newRow("bad port") << "http://127.0.0.1:99999/api/transcribe";
    }
    void invalidAddressSendsNothing()
    {
        QFETCH(QString, text);
        StubHttpServer server(200);
        test(text.contains(u"%1"_qs) ? text.arg(server.serverPort()) : text);
        QCOMPARE(m_window.status(), u"❌ 无效 URL"_qs);
        test(server.url); // the only request the server ever sees
        QTRY_COMPARE(m_window.status(), u"✅ 连接成功"_qs);
        QCOMPARE(server.requests.size(), 1);
    }

    void lastAnswerWinsAndLateOnesAreIgnored()
    {
        StubHttpServer slow(0);
        StubHttpServer failing(404);
        test(slow.url);
        QTRY_COMPARE(slow.requests.size(), 1);
        test(failing.url);
        QTRY_COMPARE(m_window.status(), u"❌ 服务器异常"_qs);
        slow.answer(200);
        QTRY_COMPARE(m_window.status(), u"✅ 连接成功"_qs);

        test(slow.url);
        QTRY_COMPARE(slow.requests.size(), 2);
        m_window.controller.reset();
        slow.answer(200);
        QTRY_COMPARE(slow.closed, 2);
    }
};

QTEST_MAIN(ConnectionTestTest)
#include "tst_connection_test.moc"
