#include "../dictation/fake_platform.h"
#include "../dictation/test_http_server.h"
#include "settings/settings.h"
#include "translation/libre_translate_engine.h"
#include "translation/translation_pipeline.h"
#include "translation/translation_service.h"

#include <QtTest>

// Translate-and-type racing a real local engine against its time limit.
class TranslationTest : public QObject {
    Q_OBJECT

private:
    TestHttpServer m_server;
    static constexpr int limitMs = 1500;

    struct Rig {
        FakeUi ui;
        LibreTranslateEngine engine;
        TranslationService service {engine};
        TranslationPipeline pipeline {
            ui, service, [this](const QString& text) { ui.calls << text; }, limitMs};
        QSignalSpy finished {&pipeline, &TranslationPipeline::finished};
    };

    void useEngine(const QString& address)
    {
        Settings::shared().setTranslationServerURL(m_server.url(address));
    }

    // Returns once a reply sent `delay` seconds from now came: all replies due earlier came too.
    void waitForLaterReply(double delay)
    {
        useEngine(QStringLiteral("/translate?delay=%1").arg(delay));
        LibreTranslateEngine probe;
        bool answered = false;
        probe.translate(QStringLiteral("probe"), QStringLiteral("en"), [&](auto) { answered = true; });
        QTRY_VERIFY_WITH_TIMEOUT(answered, 10000);
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_server.start()); }

    void race_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("late");
        QTest::addColumn<bool>("translated");
        QTest::newRow("in time") << m_server.url("/translate?delay=0.2") << false << true;
        QTest::newRow("late") << m_server.url("/translate?delay=2") << true << false;
        QTest::newRow("engine error") << m_server.reply(R"({"error": "unsupported"})", 400) << false << false;
        QTest::newRow("HTTP 500 holding a translation")
            << m_server.reply(R"({"translatedText": "x"})", 500) << false << false;
        QTest::newRow("empty translation") << m_server.reply(R"({"translatedText": ""})") << false << false;
        QTest::newRow("not JSON") << m_server.reply("<html></html>") << false << false;
    }

    void race()
    {
        QFETCH(QString, address);
        QFETCH(bool, late);
        QFETCH(bool, translated);
        Settings::shared().setTranslationServerURL(address);
        Rig rig;
        QElapsedTimer clock;
        clock.start();
        rig.pipeline.translateAndType(QStringLiteral("我们用 Qt 写代码"), QStringLiteral("en"), 3.5);
        QVERIFY(rig.finished.wait(5000));
        // A failure falls back at once; a late translation no earlier than the limit.
        const qint64 elapsed = clock.elapsed();
        QVERIFY2(late ? elapsed >= limitMs : elapsed < limitMs / 2, qPrintable(QString::number(elapsed)));
        const QStringList fallback {"翻译超时，输出原文 #ff9500", "hide 1.5", "我们用 Qt 写代码"};
        const QStringList success {"orderOut", "en:我们用 Qt 写代码"};
        QCOMPARE(rig.ui.calls.mid(1), translated ? success : fallback);
        if (late) {
            waitForLaterReply(2); // the late translation came, and was not typed
            QCOMPARE(rig.ui.calls.mid(1), fallback);
            QCOMPARE(rig.finished.size(), 1);
        }
    }

    // The engine alone: what reaches the server, and why a translation failed.
    void engineOutcome_data()
    {
        QTest::addColumn<QString>("address"); // "" stores none, in remote mode
        QTest::addColumn<QString>("apiKey");
        QTest::addColumn<QString>("outcome"); // the translation, or the failure's kind
        QTest::newRow("key sent as api_key") << m_server.url("/translate") << u"k 1"_qs << u"en:文本#k 1"_qs;
        QTest::newRow("no key, no api_key") << m_server.url("/translate") << QString() << u"en:文本"_qs;
        QTest::newRow("remote mode, no address") << QString() << QString() << u"NoAddress"_qs;
        QTest::newRow("refused") << u"http://127.0.0.1:1/translate"_qs << QString() << u"NoAnswer"_qs;
        QTest::newRow("engine not ready")
            << m_server.reply(R"({"error": "翻译模型正在准备中"})", 503) << QString() << u"EngineError"_qs;
    }

    void engineOutcome()
    {
        QFETCH(QString, address);
        QFETCH(QString, apiKey);
        QFETCH(QString, outcome);
        Settings& settings = Settings::shared();
        settings.setUseLocalServer(false);
        settings.remove(u"translationServerURL"_qs);
        if (!address.isEmpty())
            settings.setTranslationServerURL(address);
        settings.setTranslationAPIKey(apiKey);
        LibreTranslateEngine engine;
        QStringList results;
        connect(&engine, &LibreTranslateEngine::failed, this, [&](LibreTranslateEngine::Failure failure) {
            results << QVariant::fromValue(failure).toString();
        });
        engine.translate(u"文本"_qs, u"en"_qs, [&](std::optional<QString> text) {
            if (text)
                results << *text;
        });
        QTRY_COMPARE_WITH_TIMEOUT(results, QStringList {outcome}, 5000);
        settings.setTranslationAPIKey(QString());
    }

    // A second translation replaces the pending one: the first is typed untranslated at once,
    // and its translation, when it comes, reaches no later request.
    void replacedRequestIsReleasedAtOnce()
    {
        Rig rig;
        useEngine(QStringLiteral("/translate?delay=0.6"));
        rig.pipeline.translateAndType(QStringLiteral("一"), QStringLiteral("en"), 1);
        useEngine(QStringLiteral("/translate?delay=0.1"));
        QElapsedTimer clock;
        clock.start();
        rig.pipeline.translateAndType(QStringLiteral("二"), QStringLiteral("ja"), 1);
        QVERIFY(rig.finished.wait(5000));
        QVERIFY(clock.elapsed() < 100); // before the engine answered anything
        QVERIFY(rig.ui.calls.endsWith(QStringLiteral("一")));
        QTRY_COMPARE(rig.finished.size(), 2);
        QVERIFY(rig.ui.calls.endsWith(QStringLiteral("ja:二")));
        useEngine(QStringLiteral("/translate?delay=1"));
        rig.pipeline.translateAndType(QStringLiteral("三"), QStringLiteral("en"), 1);
        QTRY_COMPARE_WITH_TIMEOUT(rig.finished.size(), 3, 5000);
        QVERIFY(rig.ui.calls.endsWith(QStringLiteral("en:三")));
    }
};

QTEST_GUILESS_MAIN(TranslationTest)
#include "tst_translation.moc"
