#include "app/dictation/dictation_controller.h"
#include "app/dictation/text_injector.h"
#include "fake_platform.h"
#include "settings/settings.h"
#include "test_http_server.h"
#include "translation/libre_translate_engine.h"

#include <QtTest>

// The whole core wired as the application wires it: key events in, pasted text out,
// against a real recognition server and a real translation engine on 127.0.0.1.
class DictationControllerTest : public QObject {
    Q_OBJECT

private:
    TestHttpServer m_server;
    double m_now = 1000;

    struct Rig {
        FakeUi ui;
        FakeRecorder recorder;
        FakePaste paste;
        LibreTranslateEngine engine;
        DictationController controller;
        explicit Rig(DictationControllerTest* test)
            : controller(
                ui, recorder, paste, engine, [] { return true; }, [test] { return test->m_now; })
        { }
    };

    void control(Rig& rig, double at, bool down)
    {
        m_now = at;
        rig.controller.handleEvent(
            KeyEventType::FlagsChanged, down ? ModifierFlag::Control : 0, KeyCode::Control);
        QCoreApplication::sendPostedEvents();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.start());
        Settings& settings = Settings::shared();
        settings.setTriggerKey(TriggerKey::control);
        settings.setUseLocalServer(false);
        settings.setRemoteServerURL(m_server.url(QStringLiteral("/echo")));
        settings.setTranslationServerURL(m_server.url(QStringLiteral("/translate")));
    }

    void dictation_data()
    {
        QTest::addColumn<QString>("gesture");
        QTest::addColumn<QString>("pasted");
        QTest::newRow("hold") << "hold"
                              << "hello world";
        QTest::newRow("tap, hold: English") << "tap hold"
                                            << "en:hello world";
        QTest::newRow("tap, tap, hold: Japanese") << "tap tap hold"
                                                  << "ja:hello world";
    }

    void dictation()
    {
        QFETCH(QString, gesture);
        QFETCH(QString, pasted);
        Rig rig(this);
        rig.recorder.bytesToWrite = 8000;
        rig.recorder.content = "hello world"; // the echo server answers with it, as if spoken
        QSignalSpy restored(&rig.controller.injector(), &TextInjector::clipboardRestored);
        for (const QString& step : gesture.split(QLatin1Char(' '))) {
            control(rig, m_now + 0.1, true);
            QVERIFY(rig.controller.isRecording());
            QVERIFY(rig.controller.averagePowerDb());
            control(rig, m_now + (step == QLatin1String("tap") ? 0.1 : 2), false);
        }
        QVERIFY(!rig.controller.isRecording());
        QTRY_COMPARE_WITH_TIMEOUT(rig.paste.pasted.size(), 1, 10000);
        QCOMPARE(rig.paste.pasted, QStringList { pasted });
        QVERIFY(restored.wait(3000));
    }
};

QTEST_MAIN(DictationControllerTest)
#include "tst_dictation_controller.moc"
