#include "../dictation/fake_platform.h"
#include "../dictation/stdout_capture.h"
#include "../dictation/test_http_server.h"
#include "settings/settings.h"
#include "text/character_count.h"
#include "translation/libre_translate_engine.h"
#include "translation/translation_pipeline.h"
#include "translation/translation_service.h"

#include <QTcpServer>
#include <QtTest>

// The LibreTranslate client, the one-pending-request service and the translate-and-type
// race, against a real local HTTP engine.
class TranslationTest : public QObject {
    Q_OBJECT

private:
    TestHttpServer m_server;

    void useEngine(const QString& pathOrAddress)
    {
        Settings::shared().setTranslationServerURL(
            pathOrAddress.startsWith(QLatin1Char('/')) ? m_server.url(pathOrAddress) : pathOrAddress);
    }

    struct Result {
        int calls = 0;
        std::optional<QString> value;
        TranslationEngine::Callback callback()
        {
            return [this](std::optional<QString> r) {
                ++calls;
                value = std::move(r);
            };
        }
    };

    // Returns once a request answered `delay` seconds from now has come back: every reply
    // the server scheduled earlier has been delivered by then.
    void waitForProbe(double delay)
    {
        useEngine(QStringLiteral("/translate?delay=%1").arg(delay));
        LibreTranslateEngine probe;
        Result result;
        probe.translate(QStringLiteral("probe"), QStringLiteral("en"), result.callback());
        QTRY_COMPARE_WITH_TIMEOUT(result.calls, 1, 10000);
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_server.start()); }

    void engine_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QVariant>("expected"); // a string, or invalid for nullopt
        QTest::addColumn<QString>("printed");
        QTest::newRow("translated") << "/translate" << QVariant(QStringLiteral("en:你好")) << "";
        QTest::newRow("empty translation") << "/translate?mode=empty" << QVariant(QString()) << "";
        QTest::newRow("engine error")
            << "/translate?mode=error" << QVariant() << "翻译失败: language not supported\n";
        QTest::newRow("nonsense") << "/translate?mode=nonsense" << QVariant() << "翻译失败: ";
        QTest::newRow("no address") << "" << QVariant() << "翻译失败: ";
        QTest::newRow("not an http address") << "ftp://127.0.0.1/translate" << QVariant() << "翻译失败: ";
        QTest::newRow("address with spaces")
            << "http://127.0.0.1:5000/trans late" << QVariant() << "翻译失败: ";
        QTest::newRow("refused") << "refused" << QVariant() << "翻译失败: ";
    }

    void engine()
    {
        QFETCH(QString, address);
        QFETCH(QVariant, expected);
        QFETCH(QString, printed);
        if (address == QLatin1String("refused")) {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            address = QStringLiteral("http://127.0.0.1:%1/translate").arg(probe.serverPort());
        }
        useEngine(address);
        LibreTranslateEngine engine;
        Result result;
        StdoutCapture output;
        engine.translate(QStringLiteral("你好"), QStringLiteral("en"), result.callback());
        QCOMPARE(result.calls, 0); // never inside translate()
        QTRY_COMPARE(result.calls, 1);
        const QString out = QString::fromUtf8(output.text());
        QCOMPARE(result.value.has_value(), expected.isValid());
        if (expected.isValid())
            QCOMPARE(*result.value, expected.toString());
        if (printed.isEmpty())
            QCOMPARE(out, QString());
        else
            QVERIFY2(out.startsWith(printed) && out.endsWith(QLatin1Char('\n')), qPrintable(out));
    }

    void replacedRequestIsReleasedAtOnce()
    {
        LibreTranslateEngine engine;
        TranslationService service(engine);
        Result first;
        Result second;
        useEngine(QStringLiteral("/translate?delay=0.6"));
        service.translate(QStringLiteral("一"), QStringLiteral("en"), first.callback());
        useEngine(QStringLiteral("/translate?delay=0.1"));
        QElapsedTimer clock;
        clock.start();
        service.translate(QStringLiteral("二"), QStringLiteral("ja"), second.callback());
        QCOMPARE(service.pendingText(), QStringLiteral("二"));
        QCOMPARE(first.calls, 0);
        QTRY_COMPARE(first.calls, 1);
        QVERIFY(clock.elapsed() < 100); // before the engine has answered anything
        QCOMPARE(first.value, std::nullopt);
        QTRY_COMPARE(second.calls, 1);
        QCOMPARE(second.value, std::optional<QString>(QStringLiteral("ja:二")));
        QVERIFY(!service.isPending());

        // The first text's translation arrives later and reaches nobody.
        Result third;
        useEngine(QStringLiteral("/translate?delay=1.5"));
        service.translate(QStringLiteral("三"), QStringLiteral("en"), third.callback());
        // Answered after the replaced first translation came back.
        QTRY_COMPARE_WITH_TIMEOUT(third.calls, 1, 5000);
        QCOMPARE(first.calls, 1);
        QCOMPARE(second.calls, 1);
        QCOMPARE(third.value, std::optional<QString>(QStringLiteral("en:三")));
    }

    void race_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("early"); // decided well before the time limit
        QTest::newRow("in time") << "/translate?delay=0.2"
                                 << "en:我们用 Qt 写代码" << true;
        QTest::newRow("late") << "/translate?delay=2"
                              << "我们用 Qt 写代码" << false;
        QTest::newRow("error") << "/translate?mode=error"
                               << "我们用 Qt 写代码" << true;
        QTest::newRow("empty") << "/translate?mode=empty"
                               << "我们用 Qt 写代码" << true;
        QTest::newRow("nonsense") << "/translate?mode=nonsense"
                                  << "我们用 Qt 写代码" << true;
        QTest::newRow("no engine address") << ""
                                           << "我们用 Qt 写代码" << true;
    }

    void race()
    {
        QFETCH(QString, address);
        QFETCH(QString, typed);
        QFETCH(bool, early);
        const QString text = QStringLiteral("我们用 Qt 写代码");
        const int limitMs = 1500;
        useEngine(address);
        Settings& settings = Settings::shared();
        const double seconds = settings.totalRecordingSeconds();
        const qint64 characters = settings.totalCharactersTyped();
        const qint64 recognitions = settings.totalRecognitions();

        FakeUi ui;
        LibreTranslateEngine engine;
        TranslationService service(engine);
        QStringList typedTexts;
        TranslationPipeline pipeline(
            ui, service, [&](const QString& t) { typedTexts << t; }, limitMs);
        QSignalSpy finished(&pipeline, &TranslationPipeline::finished);
        QElapsedTimer clock;
        clock.start();
        pipeline.translateAndType(text, QStringLiteral("en"), 3.5);
        QCOMPARE(ui.calls, QStringList { "status 翻译中... #ffffff" });
        QVERIFY(typedTexts.isEmpty());
        QVERIFY(finished.wait(5000));
        const qint64 elapsed = clock.elapsed();
        if (early)
            QVERIFY2(elapsed < limitMs / 2, qPrintable(QString::number(elapsed)));
        else
            QVERIFY2(
                elapsed >= limitMs - 20 && elapsed < limitMs + 500, qPrintable(QString::number(elapsed)));

        const bool translated = typed != text;
        QCOMPARE(finished.first().first().toBool(), translated);
        QCOMPARE(typedTexts, QStringList { typed });
        const QStringList outcome = translated
            ? QStringList { "orderOut" }
            : QStringList { "status 翻译超时，输出原文 #ff9500", "hide 1.5" };
        QCOMPARE(ui.calls.mid(1), outcome);
        QCOMPARE(settings.totalRecordingSeconds(), seconds + 3.5);
        QCOMPARE(settings.totalCharactersTyped(), characters + characterCount(typed));
        QCOMPARE(settings.totalRecognitions(), recognitions + 1);

        if (!early) {
            // The late translation comes (before a later, slower probe) and is never typed.
            waitForProbe(2);
            QCOMPARE(typedTexts, QStringList { typed });
            QCOMPARE(finished.size(), 1);
        }
    }

    void overlappingDictationsEachEndOnce()
    {
        FakeUi ui;
        LibreTranslateEngine engine;
        TranslationService service(engine);
        QStringList typed;
        TranslationPipeline pipeline(
            ui, service, [&](const QString& t) { typed << t; }, 2000);
        QSignalSpy finished(&pipeline, &TranslationPipeline::finished);
        useEngine(QStringLiteral("/translate?delay=0.3"));
        pipeline.translateAndType(QStringLiteral("第一"), QStringLiteral("en"), 1);
        pipeline.translateAndType(QStringLiteral("第二"), QStringLiteral("ja"), 1);
        // The replaced first one falls back at once, the second is translated.
        QTRY_COMPARE(finished.size(), 2);
        QCOMPARE(typed, (QStringList { "第一", "ja:第二" }));
        waitForProbe(0.5);
        QCOMPARE(finished.size(), 2);
    }
};

QTEST_GUILESS_MAIN(TranslationTest)
#include "tst_translation.moc"
