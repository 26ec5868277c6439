#include "settings_window_test_support.h"

#include "settings/notification_center.h"
#include "ui/settings_window/settings_window_controller.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTabWidget>

using namespace SettingsWindowTestSupport;

class SettingsWindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { skipWithoutDesktop(); }
    void init() { clearSettings(); }
    void cleanup() { m_window.controller.reset(); }

    void layout();
    void loadsAndSavesStoredValues_data();
    void loadsAndSavesStoredValues();
    void savesWhatWasEdited_data();
    void savesWhatWasEdited();
    void hintFollowsThePopUpBeforeSaving();
    void returnSaves_data();
    void returnSaves();
    void closingKeepsEditsAndEverySavePosts();
    void localStatusLine_data();
    void localStatusLine();

private:
    template <class T>
    T* control(const char* name) const { return m_window.control<T>(name); }
    void clickSave() { QTest::mouseClick(control<QPushButton>("saveButton"), Qt::LeftButton); }

    OpenSettingsWindow m_window;
};

void SettingsWindowTest::layout()
{
    QVERIFY(m_window.open());
    QWidget* window = m_window.controller->window();
    QCOMPARE(window->windowTitle(), QStringLiteral("Parlix 设置"));
    QCOMPARE(window->size(), QSize(520, 460));
    QCOMPARE(window->minimumSize(), window->maximumSize());
    // The tabs come first: the hotword count label is found through them.
    auto* tabs = qobject_cast<QTabWidget*>(window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).value(0));
    QVERIFY(tabs);
    QCOMPARE(tabs->tabText(0), QStringLiteral("通用"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("文本处理"));
    QCOMPARE(tabs->widget(1)->size(), QSize(480, 340));

    // Top-left frames of the bottom-left layout: tab pages are 340 high, the window 460.
    const QList<std::pair<const char*, QRect>> frames = {{"tabView", {10, 10, 500, 400}},
        {"saveButton", {420, 416, 80, 32}}, {"localModeCheckbox", {15, 10, 300, 20}},
        {"serverTextField", {105, 44, 275, 24}}, {"triggerKeyPopup", {105, 120, 150, 26}},
        {"translationServerTextField", {105, 196, 275, 24}}, {"hintLabel", {15, 314, 400, 16}},
        {"hotwordTableView", {15, 175, 370, 120}}, {"addButton", {395, 151, 70, 24}},
        {"hotwordCountLabel", {15, 301, 200, 14}}};
    for (const auto& [name, frame] : frames)
        QCOMPARE(control<QWidget>(name)->geometry(), frame);
    QCOMPARE(control<QLabel>("hintLabel")->text(), QStringLiteral("按住 fn 键说话，松开自动识别输入"));
    QCOMPARE(control<QLabel>("hotwordCountLabel")->text(), QStringLiteral("共 0 个热词"));
}

void SettingsWindowTest::loadsAndSavesStoredValues_data()
{
    QTest::addColumn<QVariantMap>("preset");
    QTest::addColumn<int>("languageIndex");
    QTest::addColumn<int>("keyIndex");
    QTest::addColumn<QVariantMap>("saved");

    QTest::newRow("fresh installation")
        << QVariantMap{} << 0 << 0
        << QVariantMap{{"useLocalServer", false}, {"serverURL", Settings::defaultRemoteServerURL()},
               {"launchAtLogin", false}, {"language", "auto"}, {"triggerKey", "fn"},
               {"enableFillerRemoval", true}, {"enableCJKSpacing", true}, {"enableHotwords", true},
               {"translationServerURL", Settings::defaultTranslationServerURL()}};
    const QVariantMap everything{{"useLocalServer", true}, {"serverURL", " http://10.1.2.3:9000/api/transcribe "},
        {"launchAtLogin", true}, {"language", "ja"}, {"triggerKey", "rightCommand"},
        {"enableFillerRemoval", false}, {"enableCJKSpacing", false}, {"enableHotwords", false},
        {"translationServerURL", "http://10.1.2.3:5000/translate"}};
    QTest::newRow("everything changed") << everything << 3 << 3 << everything;
    QTest::newRow("French shows automatic") << QVariantMap{{"language", "fr"}, {"triggerKey", "option"}} << 0 << 2
                                            << QVariantMap{{"language", "auto"}, {"triggerKey", "option"}};
    QTest::newRow("capitalised key shows fn") << QVariantMap{{"language", "zh"}, {"triggerKey", "Control"}} << 1 << 0
                                              << QVariantMap{{"language", "zh"}, {"triggerKey", "fn"}};
    QTest::newRow("empty URL stays empty") << QVariantMap{{"serverURL", ""}} << 0 << 0
                                           << QVariantMap{{"serverURL", ""}};
}

void SettingsWindowTest::loadsAndSavesStoredValues()
{
    QFETCH(QVariantMap, preset);
    QFETCH(int, languageIndex);
    QFETCH(int, keyIndex);
    QFETCH(QVariantMap, saved);
    for (auto it = preset.cbegin(); it != preset.cend(); ++it)
        Settings::shared().setRawValue(it.key(), it.value());
    const Settings& settings = Settings::shared();

    QVERIFY(m_window.open());
    QCOMPARE(control<QLineEdit>("serverTextField")->text(), settings.remoteServerURL());
    QCOMPARE(control<QLineEdit>("translationServerTextField")->text(), settings.translationServerURL());
    QCOMPARE(control<QCheckBox>("localModeCheckbox")->isChecked(), settings.useLocalServer());
    QCOMPARE(control<QCheckBox>("launchAtLoginCheckbox")->isChecked(), settings.launchAtLogin());
    QCOMPARE(control<QCheckBox>("fillerRemovalCheckbox")->isChecked(), settings.enableFillerRemoval());
    QCOMPARE(control<QCheckBox>("cjkSpacingCheckbox")->isChecked(), settings.enableCJKSpacing());
    QCOMPARE(control<QCheckBox>("hotwordCheckbox")->isChecked(), settings.enableHotwords());
    QCOMPARE(control<QComboBox>("languagePopup")->currentIndex(), languageIndex);
    QCOMPARE(control<QComboBox>("triggerKeyPopup")->currentIndex(), keyIndex);
    QCOMPARE(control<QLineEdit>("serverTextField")->isEnabled(), !settings.useLocalServer());

    clickSave();
    QTRY_VERIFY(!m_window.controller->window()->isVisible());
    for (auto it = saved.cbegin(); it != saved.cend(); ++it)
        QCOMPARE(stored(it.key()).toString(), it.value().toString());
}

void SettingsWindowTest::savesWhatWasEdited_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<int>("languageIndex");
    QTest::addColumn<int>("keyIndex");
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("key");
    QTest::newRow("typed URL, Chinese, Control") << "http://asr.example:9000/api/transcribe" << 1 << 1 << "zh"
                                                 << "control";
    QTest::newRow("empty URL, Japanese, right Command") << "" << 3 << 3 << "ja" << "rightCommand";
    QTest::newRow("spaces kept, English, option") << "  not even a url  " << 2 << 2 << "en" << "option";
}

void SettingsWindowTest::savesWhatWasEdited()
{
    QFETCH(QString, url);
    QFETCH(int, languageIndex);
    QFETCH(int, keyIndex);
    QFETCH(QString, language);
    QFETCH(QString, key);
    QVERIFY(m_window.open());
    replaceText(control<QLineEdit>("serverTextField"), url);
    replaceText(control<QLineEdit>("translationServerTextField"), QStringLiteral("http://mt.example/translate"));
    choose(control<QComboBox>("languagePopup"), languageIndex);
    choose(control<QComboBox>("triggerKeyPopup"), keyIndex);
    for (const char* name : {"launchAtLoginCheckbox", "fillerRemovalCheckbox", "cjkSpacingCheckbox", "hotwordCheckbox"})
        clickCheckBox(control<QCheckBox>(name));

    // Local mode switches the remote controls at once, and only them.
    clickCheckBox(control<QCheckBox>("localModeCheckbox"));
    QVERIFY(!control<QLineEdit>("serverTextField")->isEnabled());
    QVERIFY(!control<QPushButton>("testButton")->isEnabled());
    QVERIFY(control<QLineEdit>("translationServerTextField")->isEnabled());
    QVERIFY(control<QComboBox>("languagePopup")->isEnabled());
    QVERIFY(!Settings::shared().contains(QStringLiteral("useLocalServer")));
    QVERIFY(!Settings::shared().contains(QStringLiteral("language")));

    clickSave();
    QTRY_VERIFY(!m_window.controller->window()->isVisible());
    QCOMPARE(stored(QStringLiteral("serverURL")).toString(), url);
    QCOMPARE(stored(QStringLiteral("translationServerURL")).toString(), QStringLiteral("http://mt.example/translate"));
    QCOMPARE(stored(QStringLiteral("language")).toString(), language);
    QCOMPARE(stored(QStringLiteral("triggerKey")).toString(), key);
    QCOMPARE(stored(QStringLiteral("useLocalServer")).toBool(), true);
    QCOMPARE(stored(QStringLiteral("launchAtLogin")).toBool(), true);
    QCOMPARE(stored(QStringLiteral("enableFillerRemoval")).toBool(), false);
    QCOMPARE(stored(QStringLiteral("enableCJKSpacing")).toBool(), false);
    QCOMPARE(stored(QStringLiteral("enableHotwords")).toBool(), false);
}

void SettingsWindowTest::hintFollowsThePopUpBeforeSaving()
{
    Settings::shared().setTriggerKey(TriggerKey::control);
    QVERIFY(m_window.open());
    auto* hint = control<QLabel>("hintLabel");
    QCOMPARE(hint->text(), QStringLiteral("按住 Control 键说话，松开自动识别输入"));
    choose(control<QComboBox>("triggerKeyPopup"), 3);
    QCOMPARE(hint->text(), QStringLiteral("按住 右 ⌘ 键说话，松开自动识别输入"));
    choose(control<QComboBox>("triggerKeyPopup"), 2);
    QCOMPARE(hint->text(), QStringLiteral("按住 Option 键说话，松开自动识别输入"));
    QCOMPARE(Settings::shared().triggerKey(), TriggerKey::control);
    clickSave();
    QCOMPARE(Settings::shared().triggerKey(), TriggerKey::option);
}

void SettingsWindowTest::returnSaves_data()
{
    QTest::addColumn<QString>("focus");
    QTest::newRow("URL field") << "serverTextField";
    QTest::newRow("language pop-up") << "languagePopup";
    QTest::newRow("check box") << "launchAtLoginCheckbox";
    QTest::newRow("test button") << "testButton";
}

void SettingsWindowTest::returnSaves()
{
    QFETCH(QString, focus);
    QVERIFY(m_window.open());
    replaceText(control<QLineEdit>("serverTextField"), QStringLiteral("http://typed.example/api/transcribe"));
    QSignalSpy posted(&NotificationCenter::shared(), &NotificationCenter::posted);
    auto* target = control<QWidget>(qPrintable(focus));
    target->setFocus();
    QTest::keyClick(target, Qt::Key_Return);

    QTRY_VERIFY(!m_window.controller->window()->isVisible());
    QCOMPARE(posted.count(), 1);
    QCOMPARE(stored(QStringLiteral("serverURL")).toString(), QStringLiteral("http://typed.example/api/transcribe"));
    // Return must not have started a connection test on the way.
    QCOMPARE(control<QLabel>("serverStatusLabel")->text(), QString());
}

void SettingsWindowTest::closingKeepsEditsAndEverySavePosts()
{
    QSignalSpy posted(&NotificationCenter::shared(), &NotificationCenter::posted);
    QVERIFY(m_window.open());
    replaceText(control<QLineEdit>("serverTextField"), QStringLiteral("http://unsaved.example"));
    choose(control<QComboBox>("languagePopup"), 2);
    clickCheckBox(control<QCheckBox>("cjkSpacingCheckbox"));
    m_window.controller->window()->close(); // what the close button does
    QTRY_VERIFY(!m_window.controller->window()->isVisible());
    QVERIFY(!Settings::shared().contains(QStringLiteral("serverURL")));

    QVERIFY(m_window.reopen());
    QCOMPARE(control<QLineEdit>("serverTextField")->text(), QStringLiteral("http://unsaved.example"));
    QCOMPARE(control<QComboBox>("languagePopup")->currentIndex(), 2);
    QVERIFY(!control<QCheckBox>("cjkSpacingCheckbox")->isChecked());
    QCOMPARE(posted.count(), 0);

    // Saving twice, the second time without any change, posts twice.
    clickSave();
    QTRY_VERIFY(!m_window.controller->window()->isVisible());
    QVERIFY(m_window.reopen());
    clickSave();
    QTRY_VERIFY(!m_window.controller->window()->isVisible());
    QCOMPARE(posted.count(), 2);
    for (const QList<QVariant>& arguments : posted)
        QCOMPARE(arguments.at(0).toString(), QStringLiteral("TriggerKeyChanged"));
    QCOMPARE(stored(QStringLiteral("language")).toString(), QStringLiteral("en"));
}

void SettingsWindowTest::localStatusLine_data()
{
    QTest::addColumn<bool>("local");
    QTest::addColumn<int>("answer"); // -1: the window is gone before the answer
    QTest::addColumn<QString>("text");
    QTest::addColumn<QColor>("color");
    QTest::newRow("remote mode asks nothing") << false << 0 << QString() << QColor();
    QTest::newRow("local, running") << true << 1 << "✅ 本地服务运行中" << kGreen;
    QTest::newRow("local, not running") << true << 0 << "⚠️ 本地服务未启动" << kOrange;
    QTest::newRow("answer after the window is gone") << true << -1 << QString() << QColor();
}

void SettingsWindowTest::localStatusLine()
{
    QFETCH(bool, local);
    QFETCH(int, answer);
    QFETCH(QString, text);
    QFETCH(QColor, color);
    Settings::shared().setUseLocalServer(local);
    FakeHealthCheck health;
    QVERIFY(m_window.open(health.probe()));
    auto* status = control<QLabel>("serverStatusLabel");
    QCOMPARE(status->text(), QString());
    QCOMPARE(health.pending->size(), local ? 1 : 0);
    if (!local)
        return;
    const auto completion = health.pending->takeFirst();
    if (answer < 0) {
        m_window.controller.reset();
        completion(true); // must do nothing
        return;
    }
    // The answer arrives later, as a real probe's does.
    QTimer::singleShot(0, [completion, answer] { completion(answer == 1); });
    QTRY_COMPARE(status->text(), text);
    QCOMPARE(textColor(status), color);
    // Toggling, reopening and saving do not ask again.
    clickCheckBox(control<QCheckBox>("localModeCheckbox"));
    QVERIFY(m_window.reopen());
    clickSave();
    QCOMPARE(health.pending->size(), 0);
}

QTEST_MAIN(SettingsWindowTest)
#include "tst_settings_window.moc"
