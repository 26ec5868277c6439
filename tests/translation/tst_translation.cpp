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

    // A translation in time is typed; a failure falls back to the text at once, the engine
    // saying why; a late translation falls back no earlier than the limit, and is not typed
    // when it comes.
    void race_data()
    {
        QTest::addColumn<QString>("address"); // "" stores none, in remote mode
        QTest::addColumn<QString>("apiKey");
        QTest::addColumn<QString>("outcome"); // the translation, the failure's kind (if any), or "late"
        const QString text = u"en:我们用 Qt 写代码"_qs, none;
        QTest::newRow("in time, no key: no api_key") << m_server.url("/translate?delay=0.2") << none << text;
        QTest::newRow("key sent as api_key") << m_server.url("/translate") << "k 1" << text + u"#k 1";
        QTest::newRow("late") << m_server.url("/translate?delay=2") << none << "late";
        QTest::newRow("engine error")
            << m_server.reply(R"({"error": "unsupported"})", 400) << none << "EngineError";
        QTest::newRow("HTTP 500 holding a translation")
            << m_server.reply(R"({"translatedText": "x"})", 500) << none << "EngineError";
        QTest::newRow("empty translation, no reason")
            << m_server.reply(R"({"translatedText": ""})") << none << none;
        QTest::newRow("not JSON") << m_server.reply("<html></html>") << none << "EngineError";
        QTest::newRow("refused") << "http://127.0.0.1:1/translate" << none << "NoAnswer";
        QTest::newRow("remote mode, no address") << none << none << "NoAddress";
    }

    void race()
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
        Rig rig;
        QStringList failures;
        connect(&rig.engine, &LibreTranslateEngine::failed, this, [&](LibreTranslateEngine::Failure failure) {
            failures << QVariant::fromValue(failure).toString();
        });
        QElapsedTimer clock;
        clock.start();
        rig.pipeline.translateAndType(QStringLiteral("我们用 Qt 写代码"), QStringLiteral("en"), 3.5);
        QTRY_COMPARE_WITH_TIMEOUT(rig.finished.size(), 1, 5000);
        const qint64 elapsed = clock.elapsed();
        const bool late = outcome == u"late", translated = outcome.startsWith(u"en:");
        QVERIFY2(late ? elapsed >= limitMs : elapsed < limitMs / 2, qPrintable(QString::number(elapsed)));
        const QStringList fallback {"翻译超时，输出原文 #ff9500", "hide 1.5", "我们用 Qt 写代码"};
        QCOMPARE(rig.ui.calls.mid(1), translated ? (QStringList {"orderOut", outcome}) : fallback);
        QCOMPARE(failures, translated || late || outcome.isEmpty() ? QStringList() : QStringList {outcome});
        settings.setTranslationAPIKey(QString());
        if (late) {
            waitForLaterReply(2); // the late translation came, and was not typed
            QCOMPARE(rig.ui.calls.mid(1), fallback);
            QCOMPARE(rig.finished.size(), 1);
        }
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
