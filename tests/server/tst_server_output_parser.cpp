#include "server/server_output_parser.h"
#include "server_event_log.h"

#include <QTest>

class TestServerOutputParser : public QObject {
    Q_OBJECT

    static QByteArray paddedLog(qsizetype length)
    {
        QByteArray line = R"({"type":"log","message":"big"})";
        line.append(QByteArray(length - line.size(), ' '));
        return line;
    }

private Q_SLOTS:
    void lines_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QList<int>>("eventsAfterChunk");
        QTest::addColumn<QStringList>("expected");

        const QByteArray ready = R"({"type":"status","state":"ready"})";
        QTest::newRow("two lines and a half") << QList<QByteArray> { ready + "\n" + R"({"type":"log","message":"a"})" "\n{\"type\":\"lo" }
                                              << QList<int> { 2 } << QStringList { "status:ready", "log:a" };
        QTest::newRow("one line in three chunks") << QList<QByteArray> { "{\"type\":", "\"status\",\"state\"", ":\"ready\"}\n" }
                                                  << QList<int> { 0, 0, 1 } << QStringList { "status:ready" };
        QTest::newRow("CRLF") << QList<QByteArray> { ready + "\r\n" } << QList<int> { 1 } << QStringList { "status:ready" };
        QTest::newRow("character split across chunks") << QList<QByteArray> { "{\"type\":\"log\",\"message\":\"caf\xc3", "\xa9\"}\n" }
                                                       << QList<int> { 0, 1 } << QStringList { QStringLiteral("log:café") };
        QTest::newRow("non-UTF-8 line dropped alone") << QList<QByteArray> { "{\"type\":\"log\",\"message\":\"\xff\"}\n" + ready + "\n" }
                                                      << QList<int> { 1 } << QStringList { "status:ready" };

        QTest::newRow("error without message") << QList<QByteArray> { R"({"type":"status","state":"error"})" "\n" }
                                               << QList<int> { 1 } << QStringList { QStringLiteral("status:error:未知错误") };
        QTest::newRow("error with message") << QList<QByteArray> { R"({"type":"status","state":"error","message":"x"})" "\n" }
                                            << QList<int> { 1 } << QStringList { "status:error:x" };
        QTest::newRow("every state") << QList<QByteArray> { R"({"type":"status","state":"checking"}
{"type":"status","state":"installing_deps","message":"ignored"}
{"type":"status","state":"downloading_model"}
{"type":"status","state":"starting_server"}
{"type":"status","state":"loading_model"}
)" } << QList<int> { 5 } << QStringList { "status:checking", "status:installingDeps", "status:downloadingModel", "status:startingServer", "status:loadingModel" };
        QTest::newRow("states are case-sensitive, state required")
            << QList<QByteArray> { R"({"type":"status","state":"READY"}
{"type":"status"}
{"type":"status","state":7}
)" } << QList<int> { 0 } << QStringList {};
        QTest::newRow("progress needs all three, integral")
            << QList<QByteArray> { R"({"type":"progress","current":3,"total":10}
{"type":"progress","current":3.5,"total":10,"stage":"s"}
{"type":"progress","current":"3","total":10,"stage":"s"}
{"type":"progress","current":3.0,"total":10,"stage":"s","extra":[1]}
)" } << QList<int> { 1 } << QStringList { "progress:3/10:s" };
        QTest::newRow("download percent integral")
            << QList<QByteArray> { R"({"type":"download_progress","percent":42.5}
{"type":"download_progress","percent":1e20}
{"type":"download_progress","percent":42}
)" } << QList<int> { 1 } << QStringList { "download:42" };
        QTest::newRow("log and what is not a message")
            << QList<QByteArray> { "Traceback (most recent call last):\n\n[1,2]\n\"log\"\n{\"type\":5}\n{\"message\":\"m\"}\n{\"type\":\"other\"}\n{\"type\":\"log\"}\n{\"type\":\"log\",\"message\":\"x\"}\n" }
            << QList<int> { 1 } << QStringList { "log:x" };

        const QByteArray atLimit = paddedLog(ServerOutputParser::maxLineBytes);
        QTest::newRow("line at the limit kept") << QList<QByteArray> { atLimit.left(1000), atLimit.mid(1000) + "\n" }
                                                << QList<int> { 0, 1 } << QStringList { "log:big" };
        const QByteArray overLimit = paddedLog(ServerOutputParser::maxLineBytes + 1);
        QTest::newRow("line over the limit dropped") << QList<QByteArray> { overLimit.left(1000), overLimit.mid(1000), "\n" + ready + "\n" }
                                                     << QList<int> { 0, 0, 1 } << QStringList { "status:ready" };
    }

    void lines()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QList<int>, eventsAfterChunk);
        QFETCH(QStringList, expected);

        ServerOutputParser parser;
        ServerEventLog log;
        for (qsizetype i = 0; i < chunks.size(); ++i) {
            for (const QJsonObject& message : parser.feed(chunks[i])) {
                ServerOutputParser::dispatch(message,
                    [&](const ServerStatus& s) { log.onStatus(s); },
                    [&](int c, int t, const QString& st) { log.onProgress(c, t, st); },
                    [&](int p) { log.onDownload(p); },
                    [&](const QString& m) { log.onLog(m); });
            }
            QCOMPARE(log.events.size(), eventsAfterChunk[i]);
        }
        QCOMPARE(log.events, expected);
    }

    void unsetObserversSwallowMessages()
    {
        ServerOutputParser parser;
        const auto messages = parser.feed(R"({"type":"status","state":"ready"})" "\n" R"({"type":"log","message":"x"})" "\n");
        QCOMPARE(messages.size(), 2);
        for (const QJsonObject& m : messages)
            ServerOutputParser::dispatch(m, {}, {}, {}, {});
    }

    void endlessLineKeepsMemoryBounded()
    {
        ServerOutputParser parser;
        const QByteArray block(64 * 1024, 'x');
        for (int i = 0; i < 64; ++i) {
            QVERIFY(parser.feed(block).isEmpty());
            QVERIFY(parser.bufferedBytes() <= ServerOutputParser::maxLineBytes);
        }
        QCOMPARE(parser.feed("tail\n{\"type\":\"log\",\"message\":\"ok\"}\n").size(), 1);
        QCOMPARE(parser.bufferedBytes(), 0);
    }
};

QTEST_GUILESS_MAIN(TestServerOutputParser)
#include "tst_server_output_parser.moc"
