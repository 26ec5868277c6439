#include "setup_test_bench.h"

#include "server/local_server_manager.h"

#include <QApplication>
#include <QFileInfo>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>

#include <memory>

using Kind = ServerStatus::Kind;
using B = SetupTestBench;

// The wizard driven through its real widgets under Xvfb. Where the local server would
// speak, the test speaks through the observer callbacks that the wizard installs on its
// manager; environment creation runs the stand-in uv.
class TestSetupWindowController : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void initialTexts_data();
    void initialTexts();
    void remoteCompletion_data();
    void remoteCompletion();
    void skip_data();
    void skip();
    void progressCallbacks();
    void errorThenRemoteRetry_data();
    void errorThenRemoteRetry();
    void readyAndFinish_data();
    void readyAndFinish();

private:
    SetupWindowController& open(std::function<bool()> trusted = {});
    // Starts the local preparation with a uv that never finishes, so that the wizard
    // waits with its observers installed.
    bool startWaiting();
    void chooseRemote() { QTest::keyClick(B::selector(*m_wizard), Qt::Key_Down); }

    std::unique_ptr<SetupTestBench> m_bench;
    std::unique_ptr<LocalServerManager> m_server;
    std::unique_ptr<SetupWindowController> m_wizard;
    int m_completions = 0;
};

void TestSetupWindowController::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("needs an X server (DISPLAY unset): run inside tests/tools/test-session.sh");
    // A tray application: a closing window must not end the event loop that a test runs.
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestSetupWindowController::init()
{
    m_bench = std::make_unique<SetupTestBench>();
    m_server = std::make_unique<LocalServerManager>();
    m_completions = 0;
}

void TestSetupWindowController::cleanup()
{
    m_wizard.reset();
    m_server.reset();
    m_bench.reset();
}

SetupWindowController& TestSetupWindowController::open(std::function<bool()> trusted)
{
    m_wizard = std::make_unique<SetupWindowController>(std::move(trusted), *m_server);
    m_wizard->onComplete = [this] { ++m_completions; };
    m_wizard->showWindow();
    if (!QTest::qWaitForWindowExposed(m_wizard->window()))
        qWarning("wizard window not exposed");
    B::selector(*m_wizard)->setFocus();
    return *m_wizard;
}

bool TestSetupWindowController::startWaiting()
{
    qputenv("PARLIX_UV_STANDIN", "hang");
    QTest::mouseClick(B::button(*m_wizard), Qt::LeftButton);
    return QTest::qWaitFor([this] { return B::status(*m_wizard) == u"正在创建 Python 环境..."_qs; });
}

void TestSetupWindowController::initialTexts_data()
{
    QTest::addColumn<bool>("modelPresent");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("button");
    QTest::newRow("model missing") << false << u"首次使用需要下载模型（约 2GB）"_qs << u"下载并安装"_qs;
    QTest::newRow("model present") << true << u"✅ 模型已下载，可以直接使用"_qs << u"开始使用"_qs;
}

void TestSetupWindowController::initialTexts()
{
    QFETCH(bool, modelPresent);
    QFETCH(QString, status);
    QFETCH(QString, button);
    if (modelPresent)
        QVERIFY(B::makeModel());
    Settings::shared().setTriggerKey(TriggerKey::rightCommand);
    auto& c = open();

    QCOMPARE(c.window()->windowTitle(), u"Parlix 设置"_qs);
    QCOMPARE(c.window()->size(), QSize(500, 320));
    QCOMPARE(c.window()->minimumSize(), c.window()->maximumSize());
    QVERIFY((c.window()->geometry().center() - c.window()->screen()->availableGeometry().center()).manhattanLength() <= 2);
    // Frames are given from the bottom left: the status line's (30, 130, 440, 22).
    QCOMPARE(B::control(c, "statusLabel")->geometry(), QRect(30, 168, 440, 22));
    const QStringList shown = [&] {
        QStringList texts;
        for (const QLabel* label : c.window()->findChildren<QLabel*>())
            texts << label->text();
        return texts;
    }();
    QVERIFY(shown.contains(u"按住 右 ⌘ 键说话，松开自动识别并输入文字"_qs));
    QVERIFY(!B::bar(c)->isVisible());

    QCOMPARE(B::status(c), status);
    QCOMPARE(B::button(c)->text(), button);
    chooseRemote();
    QCOMPARE(B::status(c), u"请确保远程服务器已启动"_qs);
    QCOMPARE(B::button(c)->text(), u"完成设置"_qs);
    QTest::keyClick(B::selector(c), Qt::Key_Up);
    QCOMPARE(B::status(c), status);
    QCOMPARE(B::button(c)->text(), button);
}

void TestSetupWindowController::remoteCompletion_data()
{
    QTest::addColumn<int>("key"); // 0: a mouse click on the main button
    QTest::addColumn<bool>("completionDropsWizard");
    QTest::newRow("click") << 0 << false;
    QTest::newRow("Return on the pop-up") << int(Qt::Key_Return) << false;
    QTest::newRow("Enter on the pop-up") << int(Qt::Key_Enter) << false;
    // The delegate's completion may replace its wizard while the click is handled.
    QTest::newRow("completion drops the wizard") << 0 << true;
}

void TestSetupWindowController::remoteCompletion()
{
    QFETCH(int, key);
    QFETCH(bool, completionDropsWizard);
    auto& c = open();
    QPointer<QWidget> window = c.window();
    if (completionDropsWizard)
        c.onComplete = [this] {
            ++m_completions;
            m_wizard.reset();
        };
    chooseRemote();
    if (key)
        QTest::keyClick(B::selector(c), Qt::Key(key));
    else
        QTest::mouseClick(B::button(c), Qt::LeftButton);

    QCOMPARE(m_completions, 1);
    QVERIFY(!window || !window->isVisible());
    QVERIFY(Settings::shared().contains(u"useLocalServer"_qs));
    QCOMPARE(Settings::shared().useLocalServer(), false);
    QCOMPARE(Settings::shared().setupCompleted(), true);
    // Nothing local was touched: no observer, no environment, no server.
    QVERIFY(!m_server->onStatusChange);
    QVERIFY(!m_server->isRunning());
    QVERIFY(!QFileInfo::exists(APP_SUPPORT_PATH() + u"/venv"_qs));
}

void TestSetupWindowController::skip_data()
{
    QTest::addColumn<bool>("preparing");
    QTest::newRow("while choosing") << false;
    QTest::newRow("while preparing") << true;
}

void TestSetupWindowController::skip()
{
    QFETCH(bool, preparing);
    auto& c = open();
    if (preparing)
        QVERIFY(startWaiting());
    QTest::mouseClick(B::control<QPushButton>(c, "skipButton"), Qt::LeftButton);
    QVERIFY(!c.window()->isVisible());
    QCOMPARE(m_completions, 0);
    QVERIFY(!Settings::shared().contains(u"setupCompleted"_qs));
    // Only the preparation writes the mode, and it has done so before the skip.
    QCOMPARE(Settings::shared().contains(u"useLocalServer"_qs), preparing);
}

void TestSetupWindowController::progressCallbacks()
{
    auto& c = open();
    QVERIFY(startWaiting());
    QVERIFY(B::bar(c)->isVisible());
    QVERIFY(!B::button(c)->isEnabled());
    QVERIFY(!B::selector(c)->isEnabled());
    QCOMPARE(Settings::shared().useLocalServer(), true);

    m_server->onDownloadProgress(42);
    QCOMPARE(B::status(c), u"正在下载模型... 42%"_qs);
    QCOMPARE(B::bar(c)->maximum(), 100);
    QCOMPARE(B::bar(c)->value(), 42);
    QCOMPARE(B::detail(c), QString());

    m_server->onStatusChange(ServerStatus::make(Kind::downloadingModel));
    QCOMPARE(B::status(c), u"正在下载模型..."_qs);
    QCOMPARE(B::bar(c)->maximum(), 0);

    // Without a total only the detail line moves.
    m_server->onProgress(3, 0, u"解压模型"_qs);
    QCOMPARE(B::detail(c), u"解压模型"_qs);
    QCOMPARE(B::status(c), u"正在下载模型..."_qs);
    QCOMPARE(B::bar(c)->maximum(), 0);

    m_server->onProgress(1, 3, u"安装依赖"_qs);
    QCOMPARE(B::bar(c)->value(), 33);
    // An overshooting server still gets a full bar, not a stale one.
    m_server->onProgress(5, 4, u"安装依赖"_qs);
    QCOMPARE(B::bar(c)->value(), 100);

    m_server->onStatusChange(ServerStatus::make(Kind::stopped));
    m_server->onStatusChange(ServerStatus::make(Kind::loadingModel));
    QCOMPARE(B::status(c), u"正在加载模型..."_qs);
    QCOMPARE(B::detail(c), u"首次加载模型可能需要较长时间，请耐心等待"_qs);
    m_server->onLog(u"Collecting torch"_qs);
    QCOMPARE(B::detail(c), u"Collecting torch"_qs);
}

void TestSetupWindowController::errorThenRemoteRetry_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("detail");
    QTest::newRow("uv missing") << u"uv missing"_qs << u"找不到 uv 工具，请重新安装应用"_qs;
    QTest::newRow("environment creation fails") << u"fail"_qs
        << u"创建 Python 环境失败\nerror: No interpreter found for Python 3.12\nhint: downloads are disabled\n"_qs;
    // "重试" must not finish the setup that the earlier ready offered.
    QTest::newRow("server error after ready") << u"after ready"_qs << u"端口被占用"_qs;
}

void TestSetupWindowController::errorThenRemoteRetry()
{
    QFETCH(QString, how);
    QFETCH(QString, detail);
    auto& c = open();
    if (how == u"after ready") {
        QVERIFY(startWaiting());
        m_server->onStatusChange(ServerStatus::make(Kind::ready));
        QCOMPARE(B::button(c)->text(), u"开始使用"_qs);
        m_server->onStatusChange(ServerStatus::error(detail));
    } else {
        if (how == u"uv missing") {
            if (!QStandardPaths::findExecutable(u"uv"_qs).isEmpty())
                QSKIP("a uv on PATH would be found");
            QVERIFY(QFile::remove(m_bench->resources.filePath(u"uv"_qs)));
        }
        qputenv("PARLIX_UV_STANDIN", how.toUtf8());
        QTest::mouseClick(B::button(c), Qt::LeftButton);
    }
    QTRY_COMPARE(B::status(c), u"❌ 出错了"_qs);
    QCOMPARE(B::detail(c), detail);
    QCOMPARE(B::button(c)->text(), u"重试"_qs);
    QVERIFY(B::button(c)->isEnabled());
    QVERIFY(!B::bar(c)->isVisible());
    QCOMPARE(Settings::shared().useLocalServer(), true);

    chooseRemote();
    QTest::mouseClick(B::button(c), Qt::LeftButton);
    QCOMPARE(m_completions, 1);
    QVERIFY(!c.window()->isVisible());
    QCOMPARE(Settings::shared().useLocalServer(), false);
    QCOMPARE(Settings::shared().setupCompleted(), true);
}

void TestSetupWindowController::readyAndFinish_data()
{
    QTest::addColumn<bool>("trusted");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("detail");
    QTest::newRow("trusted") << true << u"✅ 设置完成！"_qs << u"开始使用"_qs << u"本地 ASR 服务已就绪"_qs;
    QTest::newRow("not trusted") << false << u"⚠️ 需要重启 App"_qs << u"退出并重新打开"_qs
                                 << u"请先在「系统设置 → 辅助功能」中授权 Parlix，然后重新打开 App"_qs;
}

void TestSetupWindowController::readyAndFinish()
{
    QFETCH(bool, trusted);
    QFETCH(QString, status);
    QFETCH(QString, button);
    QFETCH(QString, detail);
    auto& c = open([trusted] { return trusted; });
    QVERIFY(startWaiting());

    // The script's ready line and the health loop can both report readiness.
    for (int i = 0; i < 2; ++i) {
        m_server->onStatusChange(ServerStatus::make(Kind::ready));
        QCOMPARE(B::status(c), status);
        QCOMPARE(B::button(c)->text(), button);
        QCOMPARE(B::detail(c), detail);
        QVERIFY(B::button(c)->isEnabled());
        QVERIFY(!B::bar(c)->isVisible());
    }
    QVERIFY(!Settings::shared().contains(u"setupCompleted"_qs));

    // Finish with Return inside the application's event loop: only a quit ends it with 0,
    // the exit(7) queued behind the key ends it otherwise.
    QPushButton* finish = B::button(c);
    QTimer::singleShot(0, finish, [finish] {
        QTest::keyClick(finish, Qt::Key_Return);
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(7); });
    });
    QCOMPARE(QCoreApplication::exec(), trusted ? 7 : 0);
    QCOMPARE(m_completions, trusted ? 1 : 0);
    QCOMPARE(Settings::shared().setupCompleted(), true);
    QVERIFY(!c.window()->isVisible());
}

QTEST_MAIN(TestSetupWindowController)
#include "tst_setup_window_controller.moc"
