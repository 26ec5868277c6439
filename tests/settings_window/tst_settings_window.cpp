#include "settings_window_test_support.h"

#include "settings/notification_center.h"
#include "settings/settings.h"
#include "ui/settings_window/settings_window_controller.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

#include <memory>

using namespace SettingsWindowTestSupport;

// Stands in for the local server's health probe: answers only when the test says so.
struct FakeHealthCheck {
    std::shared_ptr<QList<std::function<void(bool)>>> pending = std::make_shared<QList<std::function<void(bool)>>>();

    SettingsWindowController::HealthCheck probe() const
    {
        return [list = pending](std::function<void(bool)> completion) { list->append(std::move(completion)); };
    }
};

class SettingsWindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { skipWithoutDesktop(); }
    void init() { clearSettings(); }
    void cleanup() { m_controller.reset(); }

    void layout_data();
    void layout();
    void loadsAndSavesStoredValues_data();
    void loadsAndSavesStoredValues();
    void savesWhatWasEdited_data();
    void savesWhatWasEdited();
    void hintFollowsThePopUpBeforeSaving();
    void returnSaves_data();
    void returnSaves();
    void closingKeepsUnsavedEdits();
    void everySavePostsTriggerKeyChanged();
    void localModeSwitchesTheRemoteControls();
    void localStatusLine_data();
    void localStatusLine();
    void healthAnswerAfterTheControllerIsGoneIsIgnored();

private:
    SettingsWindowController* open(const FakeHealthCheck& health = {})
    {
        m_controller = std::make_unique<SettingsWindowController>(health.probe());
        m_controller->showWindow();
        if (!QTest::qWaitForWindowExposed(m_controller->window()))
            qWarning("settings window not exposed");
        return m_controller.get();
    }
    template <class T>
    T* control(const char* name) const
    {
        return m_controller->window()->findChild<T*>(QString::fromLatin1(name));
    }
    void choose(QComboBox* popup, int index)
    {
        popup->setFocus();
        QTest::keyClick(popup, Qt::Key_Home);
        for (int i = 0; i < index; ++i)
            QTest::keyClick(popup, Qt::Key_Down);
    }
    void clickSave() { QTest::mouseClick(control<QPushButton>("saveButton"), Qt::LeftButton); }

    std::unique_ptr<SettingsWindowController> m_controller;
};

void SettingsWindowTest::layout_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QString>("text");
    // Top-left frames of the bottom-left layout: tab pages are 340 high, the window 460.
    QTest::newRow("tabs") << "tabView" << QRect(10, 10, 500, 400) << QString();
    QTest::newRow("save") << "saveButton" << QRect(420, 416, 80, 32) << "保存";
    QTest::newRow("local mode") << "localModeCheckbox" << QRect(15, 10, 300, 20) << "使用本地 ASR（推荐，完全离线）";
    QTest::newRow("status") << "serverStatusLabel" << QRect(310, 10, 150, 20) << QString();
    QTest::newRow("server") << "serverTextField" << QRect(105, 44, 275, 24) << QString();
    QTest::newRow("test") << "testButton" << QRect(385, 44, 75, 24) << "测试";
    QTest::newRow("language") << "languagePopup" << QRect(105, 82, 150, 26) << QString();
    QTest::newRow("trigger key") << "triggerKeyPopup" << QRect(105, 120, 150, 26) << QString();
    QTest::newRow("login") << "launchAtLoginCheckbox" << QRect(15, 162, 200, 20) << "开机时自动启动";
    QTest::newRow("translation") << "translationServerTextField" << QRect(105, 196, 275, 24) << QString();
    QTest::newRow("hint") << "hintLabel" << QRect(15, 314, 400, 16) << "按住 fn 键说话，松开自动识别输入";
    QTest::newRow("filler") << "fillerRemovalCheckbox" << QRect(15, 38, 400, 20)
                            << "去除语气词和口头禅（由 ASR 模型智能过滤）";
    QTest::newRow("table") << "hotwordTableView" << QRect(15, 175, 370, 120) << QString();
    QTest::newRow("add") << "addButton" << QRect(395, 151, 70, 24) << "添加";
    QTest::newRow("delete") << "deleteButton" << QRect(395, 181, 70, 24) << "删除";
    QTest::newRow("reset") << "resetButton" << QRect(395, 221, 70, 24) << "恢复默认";
    QTest::newRow("count") << "hotwordCountLabel" << QRect(15, 301, 200, 14) << "共 0 个热词";
}

void SettingsWindowTest::layout()
{
    QFETCH(QString, name);
    QFETCH(QRect, frame);
    QFETCH(QString, text);
    open();
    QWidget* window = m_controller->window();
    QCOMPARE(window->windowTitle(), QStringLiteral("Parlix 设置"));
    QCOMPARE(window->size(), QSize(520, 460));
    QCOMPARE(window->minimumSize(), window->maximumSize());

    auto* tabs = qobject_cast<QTabWidget*>(window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).value(0));
    QVERIFY(tabs);
    QCOMPARE(tabs->count(), 2);
    QCOMPARE(tabs->tabText(0), QStringLiteral("通用"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("文本处理"));
    QCOMPARE(tabs->widget(0)->size(), QSize(480, 340));
    QCOMPARE(tabs->widget(1)->size(), QSize(480, 340));

    QWidget* widget = window->findChild<QWidget*>(name);
    QVERIFY(widget);
    QCOMPARE(widget->geometry(), frame);
    if (!text.isEmpty())
        QCOMPARE(widget->property("text").toString(), text);
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
    QTest::newRow("option key, English") << QVariantMap{{"language", "en"}, {"triggerKey", "option"}} << 2 << 2
                                         << QVariantMap{{"language", "en"}, {"triggerKey", "option"}};
    QTest::newRow("French shows automatic") << QVariantMap{{"language", "fr"}, {"triggerKey", "control"}} << 0 << 1
                                            << QVariantMap{{"language", "auto"}, {"triggerKey", "control"}};
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

    open();
    QCOMPARE(control<QLineEdit>("serverTextField")->text(), settings.remoteServerURL());
    QCOMPARE(control<QLineEdit>("translationServerTextField")->text(), settings.translationServerURL());
    QCOMPARE(control<QCheckBox>("localModeCheckbox")->isChecked(), settings.useLocalServer());
    QCOMPARE(control<QCheckBox>("launchAtLoginCheckbox")->isChecked(), settings.launchAtLogin());
    QCOMPARE(control<QCheckBox>("fillerRemovalCheckbox")->isChecked(), settings.enableFillerRemoval());
    QCOMPARE(control<QCheckBox>("cjkSpacingCheckbox")->isChecked(), settings.enableCJKSpacing());
    QCOMPARE(control<QCheckBox>("hotwordCheckbox")->isChecked(), settings.enableHotwords());
    QCOMPARE(control<QComboBox>("languagePopup")->currentIndex(), languageIndex);
    QCOMPARE(control<QComboBox>("triggerKeyPopup")->currentIndex(), keyIndex);

    clickSave();
    QTRY_VERIFY(!m_controller->window()->isVisible());
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
    QTest::newRow("spaces kept, automatic, option") << "  not even a url  " << 0 << 2 << "auto" << "option";
}

void SettingsWindowTest::savesWhatWasEdited()
{
    QFETCH(QString, url);
    QFETCH(int, languageIndex);
    QFETCH(int, keyIndex);
    QFETCH(QString, language);
    QFETCH(QString, key);

    open();
    replaceText(control<QLineEdit>("serverTextField"), url);
    replaceText(control<QLineEdit>("translationServerTextField"), QStringLiteral("http://mt.example/translate"));
    choose(control<QComboBox>("languagePopup"), languageIndex);
    choose(control<QComboBox>("triggerKeyPopup"), keyIndex);
    for (const char* name : {"localModeCheckbox", "launchAtLoginCheckbox", "fillerRemovalCheckbox",
             "cjkSpacingCheckbox", "hotwordCheckbox"})
        clickCheckBox(control<QCheckBox>(name));
    // Nothing is stored before "保存".
    QVERIFY(!Settings::shared().contains(QStringLiteral("language")));
    QVERIFY(!Settings::shared().contains(QStringLiteral("useLocalServer")));

    clickSave();
    QTRY_VERIFY(!m_controller->window()->isVisible());
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
    open();
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
    QTest::newRow("translation field") << "translationServerTextField";
    QTest::newRow("language pop-up") << "languagePopup";
    QTest::newRow("check box") << "launchAtLoginCheckbox";
    QTest::newRow("test button") << "testButton";
}

void SettingsWindowTest::returnSaves()
{
    QFETCH(QString, focus);
    open();
    replaceText(control<QLineEdit>("serverTextField"), QStringLiteral("http://typed.example/api/transcribe"));
    QSignalSpy posted(&NotificationCenter::shared(), &NotificationCenter::posted);

    QWidget* target = m_controller->window()->findChild<QWidget*>(focus);
    target->setFocus();
    QTest::keyClick(target, Qt::Key_Return);

    QTRY_VERIFY(!m_controller->window()->isVisible());
    QCOMPARE(posted.count(), 1);
    QCOMPARE(stored(QStringLiteral("serverURL")).toString(), QStringLiteral("http://typed.example/api/transcribe"));
    // Return must not have run a connection test on the way.
    QCOMPARE(control<QLabel>("serverStatusLabel")->text(), QString());
}

void SettingsWindowTest::closingKeepsUnsavedEdits()
{
    open();
    replaceText(control<QLineEdit>("serverTextField"), QStringLiteral("http://unsaved.example"));
    choose(control<QComboBox>("languagePopup"), 2);
    clickCheckBox(control<QCheckBox>("cjkSpacingCheckbox"));

    m_controller->window()->close(); // what the close button does
    QTRY_VERIFY(!m_controller->window()->isVisible());
    QVERIFY(!Settings::shared().contains(QStringLiteral("serverURL")));
    QVERIFY(!Settings::shared().contains(QStringLiteral("enableCJKSpacing")));

    m_controller->showWindow();
    QVERIFY(QTest::qWaitForWindowExposed(m_controller->window()));
    QCOMPARE(control<QLineEdit>("serverTextField")->text(), QStringLiteral("http://unsaved.example"));
    QCOMPARE(control<QComboBox>("languagePopup")->currentIndex(), 2);
    QVERIFY(!control<QCheckBox>("cjkSpacingCheckbox")->isChecked());
}

void SettingsWindowTest::everySavePostsTriggerKeyChanged()
{
    QSignalSpy posted(&NotificationCenter::shared(), &NotificationCenter::posted);
    open();
    clickSave();
    QTRY_VERIFY(!m_controller->window()->isVisible());
    m_controller->showWindow();
    QVERIFY(QTest::qWaitForWindowExposed(m_controller->window()));
    clickSave();
    QTRY_VERIFY(!m_controller->window()->isVisible());

    QCOMPARE(posted.count(), 2);
    for (const QList<QVariant>& arguments : posted)
        QCOMPARE(arguments.at(0).toString(), QStringLiteral("TriggerKeyChanged"));
}

void SettingsWindowTest::localModeSwitchesTheRemoteControls()
{
    open();
    auto* local = control<QCheckBox>("localModeCheckbox");
    auto* url = control<QLineEdit>("serverTextField");
    auto* test = control<QPushButton>("testButton");
    QVERIFY(url->isEnabled() && test->isEnabled());

    clickCheckBox(local);
    QVERIFY(!url->isEnabled() && !test->isEnabled());
    QVERIFY(control<QComboBox>("languagePopup")->isEnabled());
    // A disabled button cannot start a test.
    QTest::mouseClick(test, Qt::LeftButton);
    QCOMPARE(control<QLabel>("serverStatusLabel")->text(), QString());

    clickCheckBox(local);
    QVERIFY(url->isEnabled() && test->isEnabled());
    QVERIFY(!Settings::shared().contains(QStringLiteral("useLocalServer")));
}

void SettingsWindowTest::localStatusLine_data()
{
    QTest::addColumn<bool>("local");
    QTest::addColumn<bool>("running");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QColor>("color");
    QTest::newRow("remote mode asks nothing") << false << false << QString() << QColor();
    QTest::newRow("local, running") << true << true << "✅ 本地服务运行中" << QColor(0x1e, 0x8e, 0x3e);
    QTest::newRow("local, not running") << true << false << "⚠️ 本地服务未启动" << QColor(0xe3, 0x74, 0x00);
}

void SettingsWindowTest::localStatusLine()
{
    QFETCH(bool, local);
    QFETCH(bool, running);
    QFETCH(QString, text);
    QFETCH(QColor, color);
    Settings::shared().setUseLocalServer(local);
    FakeHealthCheck health;
    open(health);
    auto* status = control<QLabel>("serverStatusLabel");
    QCOMPARE(status->text(), QString());
    QCOMPARE(health.pending->size(), local ? 1 : 0);
    if (!local)
        return;

    // The answer arrives later, as a real probe's does.
    const auto answer = health.pending->takeFirst();
    QTimer::singleShot(0, m_controller.get(), [answer, running] { answer(running); });
    QTRY_COMPARE(status->text(), text);
    QCOMPARE(textColor(status), color);

    // Toggling, reopening and saving do not ask again.
    clickCheckBox(control<QCheckBox>("localModeCheckbox"));
    m_controller->window()->close();
    m_controller->showWindow();
    clickSave();
    QCOMPARE(health.pending->size(), 0);
}

void SettingsWindowTest::healthAnswerAfterTheControllerIsGoneIsIgnored()
{
    Settings::shared().setUseLocalServer(true);
    FakeHealthCheck health;
    open(health);
    QCOMPARE(health.pending->size(), 1);
    m_controller.reset();
    health.pending->takeFirst()(true);
}

QTEST_MAIN(SettingsWindowTest)
#include "tst_settings_window.moc"
