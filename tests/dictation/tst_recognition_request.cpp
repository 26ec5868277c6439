#include "app/dictation/recognition_request.h"
#include "fake_platform.h"
#include "settings/settings.h"
#include "test_http_server.h"

#include <QtTest>

namespace {

const QByteArray kBoundary = "0A1B2C3D-4E5F-6A7B-8C9D-0E1F2A3B4C5D";

QByteArray part(const QByteArray& name, const QByteArray& value)
{
    return "--" + kBoundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value
        + "\r\n";
}

} // namespace

// Requests to a real local HTTP server. The window calls and the text are logged in one
// list: "typed <text>" when typed, "<target>:<text> <duration>" when handed to translation.
class RecognitionRequestTest : public QObject {
    Q_OBJECT

    TestHttpServer m_server;

    struct Rig {
        FakeUi ui;
        RecognitionRequest request {ui, [this](const QString& text) { ui.calls << "typed " + text; },
            [this](const QString& text, const QString& target, double duration) {
                ui.calls << QStringLiteral("%1:%2 %3").arg(target, text).arg(duration);
            }};
        bool send(const QString& address, const QByteArray& wav)
        {
            request.setBoundaryGenerator([] { return QString::fromLatin1(kBoundary); });
            request.setTransferTimeout(3000); // the 30 s limit, shortened (a loaded sanitizer run is slow)
            Settings::shared().setRemoteServerURL(address);
            QSignalSpy done(&request, &RecognitionRequest::requestFinished);
            request.sendToASR(wav, 2);
            return request.requestsInFlight() == 0 || done.wait(10000);
        }
    };

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.start());
        Settings::shared().setUseLocalServer(false);
        Settings::shared().setLanguage(QStringLiteral("ja"));
        Settings::shared().setHotwords({QStringLiteral("通义"), QStringLiteral("B C")});
    }

    // The server answers with the hex of the Content-Type and body it received; it gets
    // nothing below 5000 bytes.
    void bodyAsReceived()
    {
        for (const bool optionsOn : {true, false}) {
            Settings::shared().setEnableFillerRemoval(optionsOn);
            Settings::shared().setEnableHotwords(optionsOn);
            Rig rig;
            const QByteArray wav(5000, 'w');
            QVERIFY(rig.send(m_server.url("/inspect"), wav));
            QCOMPARE(QByteArray::fromHex(rig.ui.calls.last().mid(6).toLatin1()),
                "multipart/form-data; boundary=" + kBoundary + "\n--" + kBoundary
                    + "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"audio.wav\"\r\n"
                      "Content-Type: audio/wav\r\n\r\n"
                    + wav + "\r\n" + part("language", "ja") + part("itn", "true")
                    + (optionsOn ? part("remove_filler", "true").append(part("hotwords", "通义,B C")) : "")
                    + "--" + kBoundary + "--\r\n");
        }
        Rig rig;
        QVERIFY(rig.send(m_server.url("/inspect"), QByteArray(4999, 'w')));
        QCOMPARE(rig.ui.calls, (QStringList {"录音太短 #ff9500", "hide 1.5"}));
    }

    void reply_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("outcome"); // a pattern over the log
        const TestHttpServer& s = m_server;
        const QString noAnswer = QStringLiteral("❌ 服务器无响应 #ff3b30, hide 2");
        const QString networkError = QStringLiteral("❌ 网络错误: %1 #ff3b30, hide 2");
        QTest::newRow("HTTP 500 with text")
            << s.reply(R"({"text": " 用Qt写 "})", 500) << "orderOut, typed 用 Qt 写";
        QTest::newRow("by name, not address")
            << s.reply(R"({"text": "x"})").replace("127.0.0.1", "localhost") << "orderOut, typed x";
        QTest::newRow("success as a string")
            << s.reply(R"({"success": "false", "text": "x"})") << "orderOut, typed x";
        QTest::newRow("HTML 500") << s.reply("<html>Internal error</html>", 500) << noAnswer;
        QTest::newRow("JSON array") << s.reply(R"([{"text": "x"}])") << noAnswer;
        QTest::newRow("empty body") << s.reply("") << noAnswer;
        QTest::newRow("huge body") << s.url("/huge") << noAnswer;
        QTest::newRow("success false")
            << s.reply(R"({"success": false, "text": "x"})") << "❌ 识别失败 #ff3b30, hide 2";
        QTest::newRow("empty text") << s.reply(R"({"text": ""})") << "❌ 识别无结果 #ff3b30, hide 2";
        // How the answer is framed; the connection stays open past the transfer limit.
        QTest::newRow("Content-Length")
            << s.raw("HTTP/1.1 200 OK\r\nContent-Length: 12\r\n\r\n{\"text\":\"a\"}", 3600)
            << "orderOut, typed a";
        QTest::newRow("chunked after a 100") << s.raw(
            "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
            "5;x=y\r\n{\"tex\r\n8\r\nt\":\"ab\"}\r\n0\r\nT: 1\r\n\r\n",
            3600) << "orderOut, typed ab";
        QTest::newRow("huge by Content-Length")
            << s.raw("HTTP/1.1 200 OK\r\nContent-Length: 99999999\r\n\r\n{", 3600) << noAnswer;
        QTest::newRow("redirect not followed")
            << s.raw("HTTP/1.1 307 X\r\nLocation: http://127.0.0.1:1/\r\nContent-Length: 0\r\n\r\n")
            << noAnswer;
        QTest::newRow("body cut short") << s.raw("HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\n{\"text\"")
                                        << networkError.arg("The remote host closed the connection");
        QTest::newRow("not HTTP") << s.raw("SSH-2.0-x\r\n")
                                  << networkError.arg("服务器的回复不是有效的 HTTP");
        QTest::newRow("connection closed")
            << s.url("/close?tag=reply") << networkError.arg("服务器未回复就断开了连接");
        QTest::newRow("never answers")
            << s.reply("", 200, 3600) << networkError.arg("Socket operation timed out");
        QTest::newRow("refused") << "http://127.0.0.1:1/" << networkError.arg("Connection refused");
    }

    void reply()
    {
        QFETCH(QString, address);
        QFETCH(QString, outcome);
        Rig rig;
        QVERIFY(rig.send(address, QByteArray(5000, '\0'))); // the minimum size
        const QString log = rig.ui.calls.join(QStringLiteral(", "));
        QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(outcome)).match(log).hasMatch(),
            qPrintable(log));
    }

    // Dropped without an answer: the recording was sent once, never resent.
    void droppedConnectionIsNotResent()
    {
        Rig rig;
        QVERIFY(rig.send(m_server.url("/close?tag=once"), QByteArray(6000, '\0')));
        QVERIFY(rig.send(m_server.url("/count?tag=once"), QByteArray(6000, '\0')));
        QCOMPARE(rig.ui.calls.mid(2), (QStringList {"orderOut", "typed 1"}));
    }

    // A late answer does not hold back an early one, and each delivers its own text.
    void overlappingRequestsDeliverTheirOwnText()
    {
        Rig rig;
        QSignalSpy done(&rig.request, &RecognitionRequest::requestFinished);
        Settings::shared().setRemoteServerURL(m_server.reply(R"({"text": "first"})", 200, 0.8));
        rig.request.sendToASR(QByteArray(6000, '\0'), 1, QStringLiteral("en"));
        QVERIFY(rig.send(m_server.reply(R"({"text": "second"})", 200, 0.1), QByteArray(6000, '\0')));
        QVERIFY(done.wait(10000));
        QCOMPARE(rig.ui.calls, (QStringList {"orderOut", "typed second", "en:first 1"}));
    }
};

QTEST_MAIN(RecognitionRequestTest)
#include "tst_recognition_request.moc"
