#include "../dictation/test_http_server.h"
#include "../server/stub_http_server.h"
#include "../ui/contrast.h"
#include "settings/settings.h"
#include "text/scalar_order.h"
#include "text/text_post_processor.h"
#include "ui/settings_window/settings_window_controller.h"

#include <QtTest>
#include <QtWidgets>

// Read through a second handle: what is really on disk.
static QVariant stored(const QString& key)
{
    return QSettings(Settings::shared().fileName(), QSettings::NativeFormat).value(key);
}

// QTest::keyClicks types Latin-1 only.
static void replaceText(QWidget* field, const QString& text)
{
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Backspace);
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// The dialog a click opens blocks in its own event loop: act from inside that loop.
static void whenModalAppears(std::function<void(QWidget*)> act)
{
    QTimer::singleShot(10, [act] {
        QVERIFY(QTest::qWaitFor([] { return QApplication::activeModalWidget(); }));
        act(QApplication::activeModalWidget());
    });
}

// Shown in scalar order of the normalised strings: capitals first, "É" after "z".
static const QStringList kStored = {u"alpha"_qs, u"Zeta"_qs, u"E\u0301cole"_qs, u"Beta"_qs};
static const QStringList kShown = {u"Beta"_qs, u"Zeta"_qs, u"alpha"_qs, u"E\u0301cole"_qs};

// A flat theme: every shade of the window's colour is the window's colour.
static QPalette flatPalette(QColor window, QColor text)
{
    QPalette palette(text, window, window, window, window, text, window);
    palette.setColor(QPalette::Base, window);
    palette.setColor(QPalette::AlternateBase, window.lighter(window.lightness() < 128 ? 130 : 95));
    return palette;
}

// The window on screen as the tray menu opens it, over a fresh store.
class SettingsWindowTest : public QObject {
    Q_OBJECT

    bool open(const QVariantMap& preset = {}, SettingsWindowController::HealthCheck probe = nullptr)
    {
        for (const QString& key : QSettings(Settings::shared().fileName(), QSettings::NativeFormat).allKeys())
            Settings::shared().remove(key);
        for (auto it = preset.cbegin(); it != preset.cend(); ++it)
            Settings::shared().setRawValue(it.key(), it.value());
        m_controller = std::make_unique<SettingsWindowController>(std::move(probe));
        m_controller->showWindow();
        return QTest::qWaitForWindowExposed(m_controller->window());
    }
    template <class T = QWidget> T* control(const char* name) const
    {
        return m_controller->window()->findChild<T*>(QString::fromLatin1(name));
    }
    QString status() const { return control<QLabel>("serverStatusLabel")->text(); }
    void click(const char* name) { QTest::mouseClick(control(name), Qt::LeftButton); }
    void expectSaved(const QVariantMap& values)
    {
        QTRY_VERIFY(!m_controller->window()->isVisible());
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            QCOMPARE(stored(it.key()).toString(), it.value().toString());
    }
    void testConnection(const QString& url)
    {
        replaceText(control("serverTextField"), url);
        click("testButton");
    }
    void showHotwords()
    {
        auto* tabs = control<QTabWidget>("tabView");
        QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(1).center());
        m_table = control<QTableView>("hotwordTableView");
    }
    void select(int row) { m_table->setCurrentIndex(m_table->model()->index(row, 0)); }
    // An untouched list stays unsorted on disk: loading writes nothing back.
    void expectHotwords(const QStringList& shown, const QStringList& onDisk)
    {
        QStringList rows;
        for (int row = 0; row < m_table->model()->rowCount(); ++row)
            rows.append(m_table->model()->index(row, 0).data().toString());
        QCOMPARE(rows, shown);
        QCOMPARE(stored(u"hotwords"_qs).toStringList(), onDisk);
        QCOMPARE(control<QLabel>("hotwordCountLabel")->text(), u"共 %1 个热词"_qs.arg(shown.size()));
    }
    std::unique_ptr<SettingsWindowController> m_controller;
    QTableView* m_table = nullptr;

private Q_SLOTS:
    void cleanup() { m_controller.reset(); }

    void loadsAndSavesStoredValues_data()
    {
        QTest::addColumn<QVariantMap>("preset");
        QTest::addColumn<QString>("language"); // as the pop-up shows it
        QTest::addColumn<QVariantMap>("saved");
        QTest::addColumn<QByteArray>("focus"); // of the Return that saves
        QTest::newRow("defaults; unknown language, capitalised key")
            << QVariantMap {{"language", "fr"}, {"triggerKey", "Control"}} << "自动检测"
            << QVariantMap {{"useLocalServer", false}, {"serverURL", Settings::defaultRemoteServerURL()},
                   {"launchAtLogin", false}, {"language", "auto"}, {"triggerKey", "fn"},
                   {"enableFillerRemoval", true}, {"enableCJKSpacing", true}, {"enableHotwords", true},
                   {"translationServerURL", ""}, {"translationAPIKey", ""}}
            << QByteArray("testButton");
        const QVariantMap all {{"useLocalServer", true},
            {"serverURL", " http://10.1.2.3:9000/api/transcribe "}, {"launchAtLogin", true},
            {"language", "ja"}, {"triggerKey", "rightCommand"}, {"enableFillerRemoval", false},
            {"enableCJKSpacing", false}, {"enableHotwords", false},
            {"translationServerURL", "http://10.1.2.3:5000/translate"}, {"translationAPIKey", "k 1"}};
        QTest::newRow("everything changed") << all << "日本語" << all << QByteArray("launchAtLoginCheckbox");
        QTest::newRow("empty URL") << QVariantMap {{"serverURL", ""}} << "自动检测"
                                   << QVariantMap {{"serverURL", ""}} << QByteArray("serverTextField");
    }
    void loadsAndSavesStoredValues()
    {
        QFETCH(QVariantMap, preset);
        QFETCH(QString, language);
        QFETCH(QVariantMap, saved);
        QFETCH(QByteArray, focus);
        QVERIFY(open(preset));
        QCOMPARE(control<QComboBox>("languagePopup")->currentText(), language);
        QCOMPARE(control("serverTextField")->isEnabled(), !preset.value("useLocalServer").toBool());
        control(focus)->setFocus();
        QTest::keyClick(control(focus), Qt::Key_Return);
        expectSaved(saved);
        QCOMPARE(status(), QString()); // no connection test on the way
    }

    void editsSurviveCloseAndApplyOnSave()
    {
        QVERIFY(open({{"triggerKey", "control"}}));
        // Two steps down each: Control becomes right ⌘, automatic becomes English.
        for (const char* popup : {"triggerKeyPopup", "triggerKeyPopup", "languagePopup", "languagePopup"})
            QTest::keyClick(control(popup), Qt::Key_Down);
        QCOMPARE(control<QLabel>("hintLabel")->text(), u"按住 右 ⌘ 键说话，松开自动识别输入"_qs);
        replaceText(control("serverTextField"), u"http://asr.example/api/transcribe"_qs);
        // On the indicators, where a click always counts; local mode goes on and off again.
        for (const char* name : {"launchAtLoginCheckbox", "localModeCheckbox"})
            QTest::mouseClick(control(name), Qt::LeftButton, {}, QPoint(6, 10));
        QVERIFY(!control("serverTextField")->isEnabled() && !control("testButton")->isEnabled());
        QVERIFY(control("translationServerTextField")->isEnabled());
        QTest::mouseClick(control("localModeCheckbox"), Qt::LeftButton, {}, QPoint(6, 10));

        m_controller->window()->close();
        m_controller->showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(m_controller->window()));
        QCOMPARE(stored(u"triggerKey"_qs).toString(), u"control"_qs);
        click("saveButton");
        expectSaved({{"serverURL", "http://asr.example/api/transcribe"}, {"language", "en"},
            {"triggerKey", "rightCommand"}, {"useLocalServer", false}, {"launchAtLogin", true}});
    }

    // On flat light and dark themes a status line stands out from the window, the rule
    // between the switches and the hotwords shows, and the table's header and banding reach
    // its right edge.
    void readableOnFlatThemes_data()
    {
        QTest::addColumn<QPalette>("palette");
        QTest::newRow("light") << flatPalette(QColor(0xef, 0xef, 0xef), Qt::black);
        QTest::newRow("dark") << flatPalette(QColor(0x2d, 0x2d, 0x30), QColor(0xe8, 0xe8, 0xe8));
    }
    void readableOnFlatThemes()
    {
        QFETCH(QPalette, palette);
        const QPalette original = QApplication::palette();
        QApplication::setPalette(palette);
        const auto restore = qScopeGuard([&] { QApplication::setPalette(original); });
        QVERIFY(open({{"hotwords", TextPostProcessor::defaultHotwords()}}));
        testConnection(QString());
        QCOMPARE(status(), u"❌ 无效 URL"_qs);
        const QPalette shown = control("serverStatusLabel")->palette();
        QVERIFY(contrast(shown.color(QPalette::WindowText).rgb(), shown.color(QPalette::Window).rgb()) >= 3);

        showHotwords();
        const QImage seen = control("textProcessing")->grab().toImage();
        const QPoint onRule = control("separator")->geometry().center();
        QVERIFY2(
            contrast(seen.pixel(onRule), seen.pixel(onRule - QPoint(0, 6))) >= 1.5, "the rule is not seen");
        const QHeaderView* header = m_table->horizontalHeader();
        QCOMPARE(header->length(), m_table->viewport()->width());
        QVERIFY(header->sectionSize(0) >= 330 - m_table->verticalScrollBar()->width());
    }

    void localStatusFollowsTheProbe()
    {
        std::function<void(bool)> reply;
        const auto probe = [&reply](auto done) { reply = std::move(done); };
        QVERIFY(open({{"useLocalServer", true}}, probe));
        QTimer::singleShot(0, [reply] { reply(false); }); // later, as a real probe's
        QTRY_COMPARE(status(), u"⚠️ 本地服务未启动"_qs);
        QVERIFY(open({{"useLocalServer", true}}, probe));
        m_controller.reset();
        reply(true); // after the window is gone: ignored
    }

    // "测试" asks the recognition server in the field for its health (after an invalid address,
    // which must send nothing: the server sees one request) and the translation engine in
    // the field for a translation, with the key.
    void testButtonAnswers_data()
    {
        QTest::addColumn<QString>("invalid");
        QTest::addColumn<int>("answer"); // 0: never, -1: the port refuses
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("engine"); // "echo" and "not ready": the test engine's
        QTest::addColumn<QString>("apiKey");
        QTest::addColumn<QString>("translation");
        const auto row = [](const char* name, const char* invalid, int answer, const char* text,
                             const char* engine, const char* apiKey, const char* translation) {
            QTest::newRow(name) << QString::fromUtf8(invalid) << answer << QString::fromUtf8(text)
                                << QString::fromUtf8(engine) << QString::fromUtf8(apiKey)
                                << QString::fromUtf8(translation);
        };
        row("no scheme, 200; translates, key sent", "127.0.0.1:%1/api/transcribe", 200, "✅ 连接成功", "echo",
            "k 1", "✅ 翻译可用：en:你好#k 1");
        row("other scheme, 404; engine not ready", "ftp://127.0.0.1:%1/api/transcribe", 404, "❌ 服务器异常",
            "not ready", "", "❌ 翻译服务异常：翻译模型正在准备中");
        row("bad port, never: 5 s; refused", "http://127.0.0.1:99999/api/transcribe", 0, "❌ 连接失败",
            "http://127.0.0.1:1/translate", "", "❌ 翻译服务连接失败");
        row("empty, refused; none chosen", "", -1, "❌ 连接失败", "", "",
            "⚠️ 未设置翻译服务：翻译时将输出原文");
    }
    void testButtonAnswers()
    {
        QFETCH(QString, invalid);
        QFETCH(int, answer);
        QFETCH(QString, text);
        QFETCH(QString, engine);
        QFETCH(QString, apiKey);
        QFETCH(QString, translation);
        StubHttpServer server(answer);
        if (answer < 0)
            server.close();
        TestHttpServer translator;
        QVERIFY(translator.start());
        QVERIFY(open());
        testConnection(invalid.contains(u"%1"_qs) ? invalid.arg(server.serverPort()) : invalid);
        QCOMPARE(status(), u"❌ 无效 URL"_qs);
        if (engine == u"echo")
            engine = translator.url(u"/translate"_qs);
        else if (engine == u"not ready")
            engine = translator.reply(uR"({"error": "翻译模型正在准备中"})"_qs, 503);
        replaceText(control("translationServerTextField"), engine);
        replaceText(control("translationAPIKeyTextField"), apiKey);
        const QDeadlineTimer nearlyFiveSeconds(4700); // Qt's coarse timer: up to 5 % early
        testConnection(server.url);
        QCOMPARE(status(), u"测试中..."_qs);
        QTRY_COMPARE_WITH_TIMEOUT(status(), text, 9000);
        const QColor color = control("serverStatusLabel")->palette().color(QPalette::WindowText);
        QCOMPARE(color, answer == 200 ? QColor(0x1e, 0x8e, 0x3e) : QColor(0xd9, 0x30, 0x25));
        QCOMPARE(server.requests, answer < 0 ? QStringList() : QStringList {u"GET /health HTTP/1.1"_qs});
        QVERIFY(answer != 0 || nearlyFiveSeconds.hasExpired());
        QTRY_COMPARE_WITH_TIMEOUT(control<QLabel>("translationStatusLabel")->text(), translation, 7000);
        QVERIFY(!Settings::shared().contains(u"serverURL"_qs));
        QVERIFY(!Settings::shared().contains(u"translationServerURL"_qs));
    }

    void lastAnswerWinsAndLateOnesAreIgnored()
    {
        StubHttpServer slow(0);
        StubHttpServer failing(404);
        QVERIFY(open());
        testConnection(slow.url);
        QTRY_COMPARE(slow.requests.size(), 1);
        testConnection(failing.url);
        QTRY_COMPARE(status(), u"❌ 服务器异常"_qs);
        slow.answer(200);
        QTRY_COMPARE(status(), u"✅ 连接成功"_qs);

        testConnection(slow.url);
        QTRY_COMPARE(slow.requests.size(), 2);
        m_controller.reset();
        slow.answer(200);
        QTRY_COMPARE(slow.closed, 2);
    }

    void hotwordAddOrEdit_data()
    {
        QTest::addColumn<int>("row"); // -1: a new word through "添加"
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("expected"); // empty: refused
        QTest::newRow("add, trimmed")
            << -1 << "\t\u3000 Qt\u00a0\u3000" << QStringList {"Beta", "Qt", "Zeta", "alpha", "E\u0301cole"};
        QTest::newRow("add a comma") << -1 << "a,b" << QStringList();
        QTest::newRow("add only spaces") << -1 << " \u3000\t " << QStringList();
        QTest::newRow("add a duplicate once trimmed") << -1 << "\u3000Zeta " << QStringList();
        QTest::newRow("edit, trimmed and re-sorted")
            << 1 << "\u3000 Gamma\t" << QStringList {"Beta", "Gamma", "alpha", "E\u0301cole"};
        QTest::newRow("edit to a duplicate")
            << 1 << "Beta" << QStringList {"Beta", "Beta", "alpha", "E\u0301cole"};
        QTest::newRow("edit to empty") << 1 << "" << QStringList();
        QTest::newRow("edit to a comma") << 1 << "Ze,ta" << QStringList();
    }
    void hotwordAddOrEdit()
    {
        QFETCH(int, row);
        QFETCH(QString, typed);
        QFETCH(QStringList, expected);
        QVERIFY(open({{"hotwords", kStored}}));
        showHotwords();
        const auto type = [&typed](QWidget* field) {
            QVERIFY(qobject_cast<QLineEdit*>(field)); // keys go wherever the focus is
            replaceText(field, typed);
            QTest::keyClick(field, Qt::Key_Return);
        };
        if (row < 0) {
            whenModalAppears([&](QWidget* dialog) { type(dialog->focusWidget()); });
            click("addButton");
        } else {
            select(row);
            QTest::keyClick(m_table, Qt::Key_F2);
            QPointer<QWidget> editor = m_controller->window()->focusWidget();
            type(editor);
            QTRY_VERIFY(!editor || !editor->isVisible());
        }
        QVERIFY(m_controller->window()->isVisible()); // Return ends the edit only
        expectHotwords(expected.isEmpty() ? kShown : expected, expected.isEmpty() ? kStored : expected);
    }

    void hotwordDeleteAndReset()
    {
        QVERIFY(open({{"hotwords", kStored}}));
        showHotwords();
        click("deleteButton"); // nothing selected
        expectHotwords(kShown, kStored);
        select(2);
        click("deleteButton");
        const QStringList left {u"Beta"_qs, u"Zeta"_qs, u"E\u0301cole"_qs};
        expectHotwords(left, left);
        // Escape chooses "取消", Return the default "恢复".
        for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
            whenModalAppears([key](QWidget* dialog) { QTest::keyClick(dialog, key); });
            click("resetButton");
            if (key == Qt::Key_Escape)
                expectHotwords(left, left);
        }
        QStringList defaults = TextPostProcessor::defaultHotwords();
        sortByUnicodeScalars(defaults);
        expectHotwords(defaults, defaults);
    }
};

QTEST_MAIN(SettingsWindowTest)
#include "tst_settings_window.moc"
