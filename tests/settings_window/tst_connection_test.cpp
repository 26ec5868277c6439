#include "settings_window_test_support.h"
#include "stub_http_server.h"

#include <QElapsedTimer>
#include <QLineEdit>

using namespace SettingsWindowTestSupport;

class ConnectionTestTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { skipWithoutDesktop(); }
    void init()
    {
        clearSettings();
        QVERIFY(m_window.open());
        m_field = m_window.control<QLineEdit>("serverTextField");
        m_status = m_window.control<QLabel>("serverStatusLabel");
        m_test = m_window.control<QPushButton>("testButton");
    }
    void cleanup() { m_window.controller.reset(); }

    void answers_data();
    void answers();
    void refusedPort();
    void silentServerTimesOutAfterFiveSeconds();
    void invalidAddressesSendNothing_data();
    void invalidAddressesSendNothing();
    void lastAnswerToArriveWins();
    void answerAfterTheWindowIsGoneIsIgnored();

private:
    void test(const QString& url)
    {
        replaceText(m_field, url);
        QTest::mouseClick(m_test, Qt::LeftButton);
    }

    OpenSettingsWindow m_window;
    QLineEdit* m_field = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_test = nullptr;
};

void ConnectionTestTest::answers_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("requested");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QColor>("color");
    QTest::newRow("200 on the transcribe path") << 200 << "/api/transcribe" << "GET /health HTTP/1.1"
                                                << "✅ 连接成功" << kGreen;
    QTest::newRow("replaced inside a longer path") << 200 << "/gw/api/transcribe?k=1"
                                                   << "GET /gw/health?k=1 HTTP/1.1" << "✅ 连接成功" << kGreen;
    QTest::newRow("case matters") << 404 << "/API/Transcribe" << "GET /API/Transcribe HTTP/1.1" << "❌ 服务器异常"
                                  << kRed;
    QTest::newRow("404") << 404 << "/api/transcribe" << "GET /health HTTP/1.1" << "❌ 服务器异常" << kRed;
    QTest::newRow("204") << 204 << "/api/transcribe" << "GET /health HTTP/1.1" << "❌ 服务器异常" << kRed;
}

void ConnectionTestTest::answers()
{
    QFETCH(int, status);
    QFETCH(QString, path);
    QFETCH(QString, requested);
    QFETCH(QString, text);
    QFETCH(QColor, color);
    StubHttpServer server(status);

    test(server.url(path));
    QCOMPARE(m_status->text(), QStringLiteral("测试中..."));
    QCOMPARE(textColor(m_status), kSecondary);
    QTRY_COMPARE(m_status->text(), text);
    QCOMPARE(textColor(m_status), color);
    QCOMPARE(server.requests(), QStringList{requested});
    // Testing stores nothing.
    QVERIFY(!Settings::shared().contains(QStringLiteral("serverURL")));
}

void ConnectionTestTest::refusedPort()
{
    quint16 port = 0;
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        port = closed.serverPort();
    }
    test(QStringLiteral("http://127.0.0.1:%1/api/transcribe").arg(port));
    QTRY_COMPARE(m_status->text(), QStringLiteral("❌ 连接失败"));
    QCOMPARE(textColor(m_status), kRed);
}

void ConnectionTestTest::silentServerTimesOutAfterFiveSeconds()
{
    StubHttpServer server(0);
    QElapsedTimer clock;
    clock.start();
    test(server.url(QStringLiteral("/api/transcribe")));
    QTRY_COMPARE(server.requests().size(), 1);
    QCOMPARE(m_status->text(), QStringLiteral("测试中..."));
    QTRY_COMPARE_WITH_TIMEOUT(m_status->text(), QStringLiteral("❌ 连接失败"), 9000);
    const qint64 elapsed = clock.elapsed();
    qInfo("silent server given up after %lld ms", elapsed);
    // Qt's transfer timer is a coarse one (5 % early at most).
    QVERIFY2(elapsed >= 4700 && elapsed < 7000, qPrintable(QString::number(elapsed)));
    QCOMPARE(textColor(m_status), kRed);
}

void ConnectionTestTest::invalidAddressesSendNothing_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("spaces") << "   ";
    QTest::newRow("no scheme") << "127.0.0.1:%1/api/transcribe";
    QTest::newRow("other scheme") << "ftp://127.0.0.1:%1/api/transcribe";
    QTest::newRow("no host") << "http:///api/transcribe";
    QTest::newRow("bad port") << "http://127.0.0.1:99999/api/transcribe";
}

void ConnectionTestTest::invalidAddressesSendNothing()
{
    QFETCH(QString, text);
    StubHttpServer server(200);
    test(text.contains(QLatin1String("%1")) ? text.arg(server.port()) : text);
    QCOMPARE(m_status->text(), QStringLiteral("❌ 无效 URL"));
    QCOMPARE(textColor(m_status), kRed);

    // A good address for the same server afterwards is the only request it ever sees.
    test(server.url(QStringLiteral("/api/transcribe")));
    QTRY_COMPARE(m_status->text(), QStringLiteral("✅ 连接成功"));
    QCOMPARE(server.requests().size(), 1);
}

void ConnectionTestTest::lastAnswerToArriveWins()
{
    StubHttpServer slow(0);
    StubHttpServer failing(404);
    test(slow.url(QStringLiteral("/api/transcribe")));
    QTRY_COMPARE(slow.requests().size(), 1);
    test(failing.url(QStringLiteral("/api/transcribe")));
    QTRY_COMPARE(m_status->text(), QStringLiteral("❌ 服务器异常"));

    slow.release(200);
    QTRY_COMPARE(m_status->text(), QStringLiteral("✅ 连接成功"));
}

void ConnectionTestTest::answerAfterTheWindowIsGoneIsIgnored()
{
    StubHttpServer slow(0);
    test(slow.url(QStringLiteral("/api/transcribe")));
    QTRY_COMPARE(slow.requests().size(), 1);
    m_window.controller.reset();
    slow.release(200);
    QTRY_COMPARE(slow.openConnections(), 0);
}

QTEST_MAIN(ConnectionTestTest)
#include "tst_connection_test.moc"
