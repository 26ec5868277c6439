#include "settings/notification_center.h"
#include "settings_window_test_support.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTimer>

class SettingsWindowTest : public QObject {
    Q_OBJECT

    QWidget* control(const char* name) const { return m_window.control(name); }
    void expectSaved(const QVariantMap& values)
    {
        QTRY_VERIFY(!m_window.controller->window()->isVisible());
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            QCOMPARE(stored(it.key()).toString(), it.value().toString());
    }
    OpenSettingsWindow m_window;

private Q_SLOTS:
    void cleanup() { m_window.controller.reset(); }

    void loadsAndSavesStoredValues_data()
    {
        QTest::addColumn<QVariantMap>("preset");
        QTest::addColumn<QString>("language"); // as the pop-up shows it
        QTest::addColumn<QVariantMap>("saved");
        QTest::addColumn<QByteArray>("focus"); // of the Return that saves
        QTest::newRow("fresh installation")
            << QVariantMap {} << "自动检测"
            << QVariantMap {{"useLocalServer", false}, {"serverURL", Settings::defaultRemoteServerURL()},
                   {"launchAtLogin", false}, {"language", "auto"}, {"triggerKey", "fn"},
                   {"enableFillerRemoval", true}, {"enableCJKSpacing", true}, {"enableHotwords", true},
                   {"translationServerURL", Settings::defaultTranslationServerURL()}}
            << QByteArray("saveButton");
        const QVariantMap all {{"useLocalServer", true},
            {"serverURL", " http://10.1.2.3:9000/api/transcribe "}, {"launchAtLogin", true},
            {"language", "ja"}, {"triggerKey", "rightCommand"}, {"enableFillerRemoval", false},
            {"enableCJKSpacing", false}, {"enableHotwords", false},
            {"translationServerURL", "http://10.1.2.3:5000/translate"}};
        QTest::newRow("everything changed") << all << "日本語" << all << QByteArray("launchAtLoginCheckbox");
        QTest::newRow("unknown language, capitalised key")
            << QVariantMap {{"language", "fr"}, {"triggerKey", "Control"}} << "自动检测"
            << QVariantMap {{"language", "auto"}, {"triggerKey", "fn"}} << QByteArray("testButton");
        QTest::newRow("empty URL") << QVariantMap {{"serverURL", ""}} << "自动检测"
                                   << QVariantMap {{"serverURL", ""}} << QByteArray("serverTextField");
    }
    void loadsAndSavesStoredValues()
    {
        QFETCH(QVariantMap, preset);
        QFETCH(QString, language);
        QFETCH(QVariantMap, saved);
        QFETCH(QByteArray, focus);
        QVERIFY(m_window.open(preset));
        QCOMPARE(m_window.control<QComboBox>("languagePopup")->currentText(), language);
        QCOMPARE(control("serverTextField")->isEnabled(), !preset.value("useLocalServer").toBool());
        control(focus)->setFocus();
        QTest::keyClick(control(focus), Qt::Key_Return);
        expectSaved(saved);
        QCOMPARE(m_window.status(), QString()); // no connection test on the way
    }

    void editsSurviveCloseAndApplyOnSave()
    {
        QSignalSpy posted(&NotificationCenter::shared(), &NotificationCenter::posted);
        QVERIFY(m_window.open({{"triggerKey", "control"}}));
        auto* hint = m_window.control<QLabel>("hintLabel");
        QCOMPARE(hint->text(), u"按住 Control 键说话，松开自动识别输入"_qs);
        // Two steps down each: Control becomes right ⌘, automatic becomes English.
        for (const char* popup : {"triggerKeyPopup", "triggerKeyPopup", "languagePopup", "languagePopup"})
            QTest::keyClick(control(popup), Qt::Key_Down);
        QCOMPARE(hint->text(), u"按住 右 ⌘ 键说话，松开自动识别输入"_qs);
        replaceText(control("serverTextField"), u"http://asr.example/api/transcribe"_qs);
        // On the indicators, where a click always counts; local mode goes on and off again.
        for (const char* name : {"launchAtLoginCheckbox", "localModeCheckbox"})
            QTest::mouseClick(control(name), Qt::LeftButton, {}, QPoint(6, 10));
        QVERIFY(!control("serverTextField")->isEnabled() && !control("testButton")->isEnabled());
        QVERIFY(control("translationServerTextField")->isEnabled());
        QTest::mouseClick(control("localModeCheckbox"), Qt::LeftButton, {}, QPoint(6, 10));

        m_window.controller->window()->close();
        m_window.controller->showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.controller->window()));
        QCOMPARE(
            m_window.control<QLineEdit>("serverTextField")->text(), u"http://asr.example/api/transcribe"_qs);
        QCOMPARE(stored(u"triggerKey"_qs).toString(), u"control"_qs);
        QCOMPARE(posted.size(), 0);

        QTest::mouseClick(control("saveButton"), Qt::LeftButton);
        expectSaved({{"serverURL", "http://asr.example/api/transcribe"}, {"language", "en"},
            {"triggerKey", "rightCommand"}, {"useLocalServer", false}, {"launchAtLogin", true}});
        QCOMPARE(posted.size(), 1);
        QCOMPARE(posted.at(0).at(0).toString(), u"TriggerKeyChanged"_qs);
    }

    void localStatusFollowsTheProbe()
    {
        std::function<void(bool)> reply;
        const auto probe = [&reply](auto done) { reply = std::move(done); };
        QVERIFY(m_window.open({{"useLocalServer", true}}, probe));
        QTimer::singleShot(0, [reply] { reply(false); }); // later, as a real probe's
        QTRY_COMPARE(m_window.status(), u"⚠️ 本地服务未启动"_qs);
        QVERIFY(m_window.open({{"useLocalServer", true}}, probe));
        m_window.controller.reset();
        reply(true); // after the window is gone: ignored
    }
};

QTEST_MAIN(SettingsWindowTest)
#include "tst_settings_window.moc"
