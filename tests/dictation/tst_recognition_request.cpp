#include "app/dictation/recognition_request.h"
#include "fake_platform.h"
#include "settings/settings.h"
#include "stdout_capture.h"
#include "test_http_server.h"
#include "text/character_count.h"

#include <QTcpServer>
#include <QtTest>

namespace {

const QString kBoundary = QStringLiteral("0A1B2C3D-4E5F-6A7B-8C9D-0E1F2A3B4C5D");

QByteArray wavOf(qsizetype size, const QByteArray& text = QByteArray())
{
    QByteArray wav = text;
    wav.append(QByteArray(size - text.size(), '\0'));
    return wav;
}

} // namespace

class RecognitionRequestTest : public QObject {
    Q_OBJECT

private:
    TestHttpServer m_server;

    struct Rig {
        FakeUi ui;
        QStringList typed;
        QStringList translated; // "text|target|duration"
        RecognitionRequest request { ui, [this](const QString& text) { typed << text; },
            [this](const QString& text, const QString& target, double duration) {
                translated << QStringLiteral("%1|%2|%3").arg(text, target).arg(duration);
            } };
        Rig()
        {
            request.setBoundaryGenerator([] { return kBoundary; });
        }
        bool send(
            const std::optional<QByteArray>& wav, double duration = 2, const QString& target = QString())
        {
            QSignalSpy done(&request, &RecognitionRequest::requestFinished);
            request.sendToASR(wav, duration, target);
            return request.requestsInFlight() == 0 || done.wait(10000);
        }
    };

    static void useServer(const QString& url)
    {
        Settings::shared().setUseLocalServer(false);
        Settings::shared().setRemoteServerURL(url);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.start());
        Settings& settings = Settings::shared();
        settings.setEnableFillerRemoval(false);
        settings.setEnableHotwords(false);
        settings.setEnableCJKSpacing(true);
        settings.setLanguage(QStringLiteral("auto"));
    }

    void body_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<bool>("filler");
        QTest::addColumn<QStringList>("hotwords");
        QTest::addColumn<QByteArray>("expected");

        const QByteArray head = "--" + kBoundary.toUtf8()
            + "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"audio.wav\"\r\n"
              "Content-Type: audio/wav\r\n\r\nRIFF\r\n--"
            + kBoundary.toUtf8();
        const QByteArray b = "--" + kBoundary.toUtf8();
        const QByteArray itn = b + "\r\nContent-Disposition: form-data; name=\"itn\"\r\n\r\ntrue\r\n";
        const QByteArray filler
            = b + "\r\nContent-Disposition: form-data; name=\"remove_filler\"\r\n\r\ntrue\r\n";
        const QByteArray end = b + "--\r\n";
        auto language = [](const char* l) -> QByteArray {
            return QByteArray("\r\nContent-Disposition: form-data; name=\"language\"\r\n\r\n") + l + "\r\n";
        };

        QTest::newRow("four parts") << "auto" << false << QStringList()
                                    << head + language("auto") + itn + end;
        QTest::newRow("filler removal")
            << "zh" << true << QStringList() << head + language("zh") + itn + filler + end;
        QTest::newRow("hotwords with a space, in order") << "ja" << false << QStringList { "A", "B C" }
                                                         << head + language("ja") + itn + b
                + "\r\nContent-Disposition: form-data; name=\"hotwords\"\r\n\r\nA,B C\r\n" + end;
        QTest::newRow("everything, UTF-8") << "en" << true << QStringList { "通义", "Qt" }
                                           << head + language("en") + itn + filler + b
                + "\r\nContent-Disposition: form-data; name=\"hotwords\"\r\n\r\n"
                + QStringLiteral("通义,Qt").toUtf8() + "\r\n" + end;
    }

    void body()
    {
        QFETCH(QString, language);
        QFETCH(bool, filler);
        QFETCH(QStringList, hotwords);
        QFETCH(QByteArray, expected);
        QCOMPARE(RecognitionRequest::buildBody("RIFF", kBoundary, language, filler, hotwords), expected);
    }

    void boundaryIsAnUpperCaseUuid()
    {
        const QString a = RecognitionRequest::newBoundary();
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$"))
                    .match(a)
                    .hasMatch());
        QVERIFY(a != RecognitionRequest::newBoundary());
    }

    // What the server receives follows the settings at the time of the request.
    void requestAsReceived_data()
    {
        QTest::addColumn<bool>("filler");
        QTest::addColumn<bool>("hotwordsOn");
        QTest::addColumn<QStringList>("hotwords");
        QTest::addColumn<QString>("fields");
        QTest::newRow("both off") << false << false << QStringList { "A" } << "file,language,itn";
        QTest::newRow("hotwords on, empty list") << false << true << QStringList() << "file,language,itn";
        QTest::newRow("both on") << true << true << QStringList { "A" }
                                 << "file,language,itn,remove_filler,hotwords";
    }

    void requestAsReceived()
    {
        QFETCH(bool, filler);
        QFETCH(bool, hotwordsOn);
        QFETCH(QStringList, hotwords);
        QFETCH(QString, fields);
        Settings& settings = Settings::shared();
        settings.setEnableFillerRemoval(filler);
        settings.setEnableHotwords(hotwordsOn);
        settings.setHotwords(hotwords);
        settings.setLanguage(QStringLiteral("zh"));
        useServer(m_server.url(QStringLiteral("/inspect")));
        Rig rig;
        rig.request.setBoundaryGenerator({}); // the production boundary
        QVERIFY(rig.send(wavOf(5000)));
        settings.setEnableFillerRemoval(false);
        settings.setEnableHotwords(false);
        settings.setLanguage(QStringLiteral("auto"));
        QCOMPARE(rig.typed, QStringList { "5000|zh|multipart/form-data|" + fields });
    }

    void reply_data()
    {
        QTest::addColumn<QString>("address"); // a path on the test server, or "=" + an address
        QTest::addColumn<int>("fileSize");
        QTest::addColumn<QStringList>("statuses");
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QString>("printed");

        const QString noAnswer = QStringLiteral("❌ 服务器无响应 #ff3b30");
        const QString noResult = QStringLiteral("❌ 识别无结果 #ff3b30");
        auto reply = [](const char* body, int status = 200) {
            return QStringLiteral("/reply?status=%1&body=%2")
                .arg(status)
                .arg(QString::fromUtf8(QUrl::toPercentEncoding(QString::fromUtf8(body))));
        };
        QTest::newRow("success with text") << reply("{\"success\": true, \"text\": \"你好\"}") << 6000
                                           << QStringList() << QStringList { "你好" } << "";
        QTest::newRow("text without success")
            << reply("{\"text\": \"hello\"}") << 6000 << QStringList() << QStringList { "hello" } << "";
        QTest::newRow("success as a string") << reply("{\"success\": \"false\", \"text\": \"x\"}") << 6000
                                             << QStringList() << QStringList { "x" } << "";
        QTest::newRow("HTTP 500 with text")
            << reply("{\"text\": \"x\"}", 500) << 6000 << QStringList() << QStringList { "x" } << "";
        QTest::newRow("post-processed to nothing")
            << reply("{\"text\": \"，\"}") << 6000 << QStringList() << QStringList { "" } << "";
        QTest::newRow("post-processed") << reply("{\"text\": \"  用Qt写  \"}") << 6000 << QStringList()
                                        << QStringList { "用 Qt 写" } << "";
        QTest::newRow("HTML 500") << reply("<html><body>Internal error</body></html>", 500) << 6000
                                  << QStringList { noAnswer, "hide 2" } << QStringList() << "";
        QTest::newRow("JSON array") << reply("[{\"text\": \"x\"}]") << 6000
                                    << QStringList { noAnswer, "hide 2" } << QStringList() << "";
        QTest::newRow("empty body") << reply("") << 6000 << QStringList { noAnswer, "hide 2" }
                                    << QStringList() << "";
        QTest::newRow("huge body") << "/huge" << 6000 << QStringList { noAnswer, "hide 2" } << QStringList()
                                   << "";
        QTest::newRow("success false")
            << reply("{\"success\": false}") << 6000 << QStringList { "❌ 识别失败 #ff3b30", "hide 2" }
            << QStringList() << "ASR error: 未知错误\n";
        QTest::newRow("success false with error")
            << reply("{\"success\": false, \"error\": \"model crashed\", \"text\": \"x\"}") << 6000
            << QStringList { "❌ 识别失败 #ff3b30", "hide 2" } << QStringList()
            << "ASR error: model crashed\n";
        QTest::newRow("empty text") << reply("{\"success\": true, \"text\": \"\"}") << 6000
                                    << QStringList { noResult, "hide 2" } << QStringList() << "";
        QTest::newRow("text not a string")
            << reply("{\"text\": 5}") << 6000 << QStringList { noResult, "hide 2" } << QStringList() << "";
        QTest::newRow("5000 bytes are sent")
            << reply("{\"text\": \"ok\"}") << 5000 << QStringList() << QStringList { "ok" } << "";
        QTest::newRow("4999 bytes are too short")
            << reply("{\"text\": \"ok\"}") << 4999 << QStringList { "录音太短 #ff9500", "hide 1.5" }
            << QStringList() << "";
        QTest::newRow("unreadable recording")
            << reply("{\"text\": \"ok\"}") << -1 << QStringList { "❌ 录音失败 #ff3b30", "hide 2" }
            << QStringList() << "";
        for (const char* address : { "=http://127.0.0.1:1/a b", "=", "=ftp://127.0.0.1/x",
                 "=127.0.0.1:19000/api", "=http:///nohost" }) {
            QTest::addRow("invalid address %s", address)
                << QString::fromUtf8(address) << 6000
                << QStringList { "❌ 无效的服务器地址 #ff3b30", "hide 2" } << QStringList() << "";
        }
    }

    void reply()
    {
        QFETCH(QString, address);
        QFETCH(int, fileSize);
        QFETCH(QStringList, statuses);
        QFETCH(QStringList, typed);
        QFETCH(QString, printed);

        useServer(address.startsWith(QLatin1Char('=')) ? address.mid(1) : m_server.url(address));
        Settings& settings = Settings::shared();
        const double seconds = settings.totalRecordingSeconds();
        const qint64 characters = settings.totalCharactersTyped();
        const qint64 recognitions = settings.totalRecognitions();

        Rig rig;
        StdoutCapture output;
        QVERIFY(rig.send(fileSize < 0 ? std::nullopt : std::optional(wavOf(fileSize)), 2.5));
        QCOMPARE(QString::fromUtf8(output.text()), printed);

        QStringList shown = rig.ui.calls;
        shown.removeAll(QStringLiteral("orderOut"));
        for (QString& call : shown) {
            if (call.startsWith(QLatin1String("status ")))
                call = call.mid(7);
        }
        QCOMPARE(shown, statuses);
        QCOMPARE(rig.typed, typed);
        // Totals move exactly when text is typed.
        const bool counted = !typed.isEmpty();
        QCOMPARE(rig.ui.calls.contains(QStringLiteral("orderOut")), counted);
        QCOMPARE(settings.totalRecognitions(), recognitions + (counted ? 1 : 0));
        QCOMPARE(settings.totalRecordingSeconds(), seconds + (counted ? 2.5 : 0));
        QCOMPARE(settings.totalCharactersTyped(), characters + (counted ? characterCount(typed.first()) : 0));
    }

    void transportErrors_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("connection closed") << "/close";
        QTest::newRow("never answers") << "/hang";
        QTest::newRow("refused") << "refused";
    }

    void transportErrors()
    {
        QFETCH(QString, path);
        QString address = m_server.url(path);
        if (path == QLatin1String("refused")) {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            address = QStringLiteral("http://127.0.0.1:%1/api").arg(probe.serverPort());
        }
        useServer(address);
        Rig rig;
        rig.request.setTransferTimeout(400); // the 30 s limit, shortened
        QVERIFY(rig.send(wavOf(6000)));
        QCOMPARE(rig.ui.calls.size(), 2);
        QVERIFY2(
            rig.ui.calls[0].startsWith(QStringLiteral("status ❌ 网络错误: ")), qPrintable(rig.ui.calls[0]));
        QVERIFY(rig.ui.calls[0].size() > QStringLiteral("status ❌ 网络错误:  #ff3b30").size());
        QCOMPARE(rig.ui.calls[1], QStringLiteral("hide 2"));
        QVERIFY(rig.typed.isEmpty());
    }

    // A late answer does not hold back an early one, and each types its own text.
    void overlappingRequestsDeliverTheirOwnText()
    {
        Rig rig;
        QSignalSpy done(&rig.request, &RecognitionRequest::requestFinished);
        useServer(m_server.url(QStringLiteral("/echo?delay=0.8")));
        rig.request.sendToASR(wavOf(6000, "first"), 1, QStringLiteral("en"));
        useServer(m_server.url(QStringLiteral("/echo?delay=0.1")));
        rig.request.sendToASR(wavOf(7000, "second"), 2);
        QCOMPARE(rig.request.requestsInFlight(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 2, 10000);
        QCOMPARE(rig.typed, QStringList { "second" });
        QCOMPARE(rig.translated, QStringList { "first|en|1" });
    }
};

QTEST_MAIN(RecognitionRequestTest)
#include "tst_recognition_request.moc"
