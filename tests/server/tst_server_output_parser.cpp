#include "server/server_output_parser.h"
#include "server_fixture.h"

#include <QTest>

class TestServerOutputParser : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void lines_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("cut across reads, inside a character; CRLF")
            << QList<QByteArray> {"{\"type\":\"log\",\"mess", "age\":\"caf\xc3",
                   "\xa9\"}\r\n{\"type\":\"status\",\"state\":\"ready\"}\n{\"ty"}
            << QStringList {QStringLiteral("log:café"), "status:ready"};
        // The script's own names for its states.
        QTest::newRow("every state") << QList<QByteArray> {R"({"type":"status","state":"checking"}
{"type":"status","state":"installing_deps"}
{"type":"status","state":"downloading_model"}
{"type":"status","state":"starting_server"}
{"type":"status","state":"loading_model"}
)"}
                                     << QStringList {"status:checking", "status:installingDeps",
                                            "status:downloadingModel", "status:startingServer",
                                            "status:loadingModel"};
        QTest::newRow("integral numbers only")
            << QList<QByteArray> {R"({"type":"progress","current":3.5,"total":10,"stage":"s"}
{"type":"progress","current":"3","total":10,"stage":"s"}
{"type":"progress","current":3,"total":10}
{"type":"progress","current":3.0,"total":10,"stage":"s"}
{"type":"download_progress","percent":42.5}
{"type":"download_progress","percent":1e20}
{"type":"download_progress","percent":42}
)"} << QStringList {"progress:3/10:s", "download:42"};
        // A line that is not UTF-8 is dropped alone.
        QTest::newRow("error without message; the rest ignored")
            << QList<QByteArray> {"{\"type\":\"log\",\"message\":\"\xff\"}\n"
                                  R"({"type":"status","state":"READY"}
{"type":"status"}
{"type":"other"}
[1,2]
Traceback (most recent call last):
{"type":"status","state":"error"}
)"} << QStringList {QStringLiteral("status:error:未知错误")};
    }

    void lines()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QStringList, expected);
        ServerOutputParser parser;
        ServerEventLog log;
        for (const QByteArray& chunk : chunks)
            for (const QJsonObject& message : parser.feed(chunk)) {
                ServerOutputParser::dispatch(message, log.status, log.progress, log.download, log.log);
                ServerOutputParser::dispatch(message, {}, {}, {}, {}); // unset observers swallow it
            }
        QCOMPARE(log.events, expected);
    }

    void endlessLineKeepsMemoryBounded()
    {
        ServerOutputParser parser;
        for (int i = 0; i < 32; ++i) {
            QVERIFY(parser.feed(QByteArray(64 * 1024, 'x')).isEmpty());
            QVERIFY(parser.bufferedBytes() <= ServerOutputParser::maxLineBytes);
        }
        QCOMPARE(parser.feed("tail\n{\"type\":\"log\",\"message\":\"ok\"}\n").size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestServerOutputParser)
#include "tst_server_output_parser.moc"
