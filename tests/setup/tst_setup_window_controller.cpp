#include "setup_test_bench.h"

#include "server/local_server_manager.h"

#include <QApplication>
#include <QFileInfo>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>

// The wizard driven through its real widgets under Xvfb. Where the local server would
// speak, the test speaks through the manager's observer callbacks, which the wizard
// installs; environment creation runs the stand-in uv.
class TestSetupWindowController : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void layout_data();
    void layout();
    void window();
    void initialTexts_data();
    void initialTexts();
    void remoteCompletion_data();
    void remoteCompletion();
    void skip_data();
    void skip();
    void progressCallbacks();
    void statusTable_data();
    void statusTable();
    void missingUvThenLocalRetry();
    void errorThenRemoteRetry_data();
    void errorThenRemoteRetry();
    void readyAndFinish_data();
    void readyAndFinish();
    void completionMayDropTheController_data();
    void completionMayDropTheController();

private:
    using Bench = SetupTestBench;
    // Shows the wizard and starts the local preparation with a uv that never finishes, so
    // that the wizard waits with its observers installed.
    bool startWaitingPreparation(SetupWindowController& c);
};

void TestSetupWindowController::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("needs an X server (DISPLAY unset): run inside tests/tools/test-session.sh");
    // A tray application: the wizard's window closing must not end the event loop, and
    // a test that runs the loop must only end when the wizard asks for it.
    QApplication::setQuitOnLastWindowClosed(false);
}

bool TestSetupWindowController::startWaitingPreparation(SetupWindowController& c)
{
    qputenv("PARLIX_UV_STANDIN", "hang");
    c.showWindow();
    if (!QTest::qWaitForWindowExposed(c.window()))
        return false;
    QTest::mouseClick(Bench::actionButton(c), Qt::LeftButton);
    return QTest::qWaitFor([&] { return Bench::statusLabel(c)->text() == u"正在创建 Python 环境..."_qs; });
}

void TestSetupWindowController::layout_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("pixelSize"); // 0: the default font
    QTest::addColumn<int>("weight");

    const int normal = QFont::Normal;
    QTest::newRow("title") << 0 << u"QLabel"_qs << QRect(30, 30, 440, 30) << u"欢迎使用 Parlix"_qs << 20 << int(QFont::Bold);
    QTest::newRow("hint") << 1 << u"QLabel"_qs << QRect(30, 75, 440, 20)
                          << u"按住 右 ⌘ 键说话，松开自动识别并输入文字"_qs << 13 << normal;
    QTest::newRow("mode label") << 2 << u"QLabel"_qs << QRect(30, 120, 80, 20) << u"识别模式:"_qs << 0 << normal;
    QTest::newRow("pop-up") << 3 << u"QComboBox"_qs << QRect(115, 116, 350, 26)
                            << u"本地模式（推荐）- 首次需下载 ~2GB 模型"_qs << 0 << normal;
    QTest::newRow("status") << 4 << u"QLabel"_qs << QRect(30, 168, 440, 22) << u"首次使用需要下载模型（约 2GB）"_qs << 14
                            << int(QFont::Medium);
    QTest::newRow("bar") << 5 << u"QProgressBar"_qs << QRect(30, 200, 440, 20) << QString() << 0 << normal;
    QTest::newRow("detail") << 6 << u"QLabel"_qs << QRect(30, 227, 440, 18) << QString() << 11 << normal;
    QTest::newRow("main button") << 7 << u"QPushButton"_qs << QRect(380, 268, 100, 32) << u"下载并安装"_qs << 0 << normal;
    QTest::newRow("skip button") << 8 << u"QPushButton"_qs << QRect(280, 268, 90, 32) << u"稍后设置"_qs << 0 << normal;
}

void TestSetupWindowController::layout()
{
    QFETCH(int, index);
    QFETCH(QString, className);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(int, pixelSize);
    QFETCH(int, weight);

    Bench bench;
    QVERIFY(bench.prepare(Bench::Nothing));
    Settings::shared().setTriggerKey(TriggerKey::rightCommand);
    LocalServerManager server;
    SetupWindowController c({}, server);

    const QList<QWidget*> controls = c.window()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    QCOMPARE(controls.size(), 9);
    QWidget* control = controls.at(index);
    QCOMPARE(QString::fromLatin1(control->metaObject()->className()), className);
    QCOMPARE(control->geometry(), geometry);
    QString shown;
    if (auto* label = qobject_cast<QLabel*>(control))
        shown = label->text();
    else if (auto* button = qobject_cast<QPushButton*>(control))
        shown = button->text();
    else if (auto* combo = qobject_cast<QComboBox*>(control))
        shown = combo->currentText();
    QCOMPARE(shown, text);
    if (pixelSize)
        QCOMPARE(control->font().pixelSize(), pixelSize);
    QCOMPARE(int(control->font().weight()), weight);
}

void TestSetupWindowController::window()
{
    Bench bench;
    QVERIFY(bench.prepare(Bench::Nothing));
    LocalServerManager server;
    SetupWindowController c({}, server);
    c.showWindow();
    QVERIFY(QTest::qWaitForWindowExposed(c.window()));

    QWidget* w = c.window();
    QCOMPARE(w->windowTitle(), u"Parlix 设置"_qs);
    QCOMPARE(w->size(), QSize(500, 320));
    QCOMPARE(w->minimumSize(), w->maximumSize());
    QVERIFY(w->windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(!(w->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    const QPoint offset = w->geometry().center() - w->screen()->availableGeometry().center();
    QVERIFY2(offset.manhattanLength() <= 2, "the window is centred on the screen");

    QCOMPARE(Bench::modeSelector(c)->count(), 2);
    QCOMPARE(Bench::modeSelector(c)->itemText(1), u"远程模式 - 连接已部署的服务器"_qs);
    QVERIFY(!Bench::progressBar(c)->isVisible());
    QCOMPARE(Bench::progressBar(c)->maximum(), 0); // indeterminate until a percentage arrives
    QVERIFY(Bench::actionButton(c)->isEnabled());
    QVERIFY(Bench::modeSelector(c)->isEnabled());
}

void TestSetupWindowController::initialTexts_data()
{
    QTest::addColumn<bool>("modelPresent");
    QTest::addColumn<QString>("localStatus");
    QTest::addColumn<QString>("localButton");
    QTest::newRow("model missing") << false << u"首次使用需要下载模型（约 2GB）"_qs << u"下载并安装"_qs;
    QTest::newRow("model present") << true << u"✅ 模型已下载，可以直接使用"_qs << u"开始使用"_qs;
}

void TestSetupWindowController::initialTexts()
{
    QFETCH(bool, modelPresent);
    QFETCH(QString, localStatus);
    QFETCH(QString, localButton);

    Bench bench;
    QVERIFY(bench.prepare(Bench::Nothing));
    if (modelPresent)
        QVERIFY(Bench::makeFile(u"Fun-ASR-Nano-2512/model.pt"_qs));
    LocalServerManager server;
    SetupWindowController c({}, server);
    c.showWindow();
    QVERIFY(QTest::qWaitForWindowExposed(c.window()));

    QCOMPARE(Bench::statusLabel(c)->text(), localStatus);
    QCOMPARE(Bench::actionButton(c)->text(), localButton);

    QComboBox* selector = Bench::modeSelector(c);
    selector->setFocus();
    QTest::keyClick(selector, Qt::Key_Down);
    QCOMPARE(Bench::statusLabel(c)->text(), u"请确保远程服务器已启动"_qs);
    QCOMPARE(Bench::actionButton(c)->text(), u"完成设置"_qs);
    QTest::keyClick(selector, Qt::Key_Up);
    QCOMPARE(Bench::statusLabel(c)->text(), localStatus);
    QCOMPARE(Bench::actionButton(c)->text(), localButton);
    QCOMPARE(Bench::detailLabel(c)->text(), QString());
}

void TestSetupWindowController::remoteCompletion_data()
{
    QTest::addColumn<int>("key"); // 0: a mouse click on the main button
    QTest::newRow("click") << 0;
    QTest::newRow("Return on the pop-up") << int(Qt::Key_Return);
    QTest::newRow("Enter on the pop-up") << int(Qt::Key_Enter);
}

void TestSetupWindowController::remoteCompletion()
{
    QFETCH(int, key);

    Bench bench;
    QVERIFY(bench.prepare(Bench::Uv | Bench::ServerScript));
    LocalServerManager server;
    SetupWindowController c({}, server);
    int completions = 0;
    c.onComplete = [&] { ++completions; };
    c.showWindow();
    QVERIFY(QTest::qWaitForWindowExposed(c.window()));

    QComboBox* selector = Bench::modeSelector(c);
    selector->setFocus();
    QTest::keyClick(selector, Qt::Key_Down);
    QCOMPARE(Bench::actionButton(c)->text(), u"完成设置"_qs);
    if (key)
        QTest::keyClick(selector, Qt::Key(key));
    else
        QTest::mouseClick(Bench::actionButton(c), Qt::LeftButton);

    QCOMPARE(completions, 1);
    QVERIFY(!c.window()->isVisible());
    QVERIFY(Settings::shared().contains(u"useLocalServer"_qs));
    QCOMPARE(Settings::shared().useLocalServer(), false);
    QCOMPARE(Settings::shared().setupCompleted(), true);
    // Nothing local was prepared: no observer installed, no environment, no server.
    QVERIFY(!server.onStatusChange);
    QVERIFY(!server.isRunning());
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

    Bench bench;
    QVERIFY(bench.prepare(Bench::Uv));
    LocalServerManager server;
    SetupWindowController c({}, server);
    int completions = 0;
    c.onComplete = [&] { ++completions; };
    if (preparing) {
        QVERIFY(startWaitingPreparation(c));
    } else {
        c.showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(c.window()));
    }

    QTest::mouseClick(Bench::skipButton(c), Qt::LeftButton);
    QVERIFY(!c.window()->isVisible());
    QCOMPARE(completions, 0);
    QVERIFY(!Settings::shared().contains(u"setupCompleted"_qs));
    // Only the preparation writes the mode, and it has already done so when skipped.
    QCOMPARE(Settings::shared().contains(u"useLocalServer"_qs), preparing);
}

void TestSetupWindowController::progressCallbacks()
{
    Bench bench;
    QVERIFY(bench.prepare(Bench::Uv));
    LocalServerManager server;
    SetupWindowController c({}, server);
    QVERIFY(startWaitingPreparation(c));
    QLabel* status = Bench::statusLabel(c);
    QLabel* detail = Bench::detailLabel(c);
    QProgressBar* bar = Bench::progressBar(c);
    QCOMPARE(detail->text(), u"首次运行需要下载 Python（约 60MB）"_qs);
    QVERIFY(bar->isVisible());
    QVERIFY(!Bench::actionButton(c)->isEnabled());
    QVERIFY(!Bench::modeSelector(c)->isEnabled());
    QCOMPARE(Settings::shared().useLocalServer(), true);

    server.onDownloadProgress(42);
    QCOMPARE(status->text(), u"正在下载模型... 42%"_qs);
    QCOMPARE(bar->maximum(), 100);
    QCOMPARE(bar->value(), 42);
    QCOMPARE(detail->text(), QString());

    server.onStatusChange(ServerStatus::make(ServerStatus::Kind::downloadingModel));
    QCOMPARE(status->text(), u"正在下载模型..."_qs);
    QCOMPARE(bar->maximum(), 0);

    // Without a total only the detail line moves.
    server.onProgress(3, 0, u"解压模型"_qs);
    QCOMPARE(detail->text(), u"解压模型"_qs);
    QCOMPARE(status->text(), u"正在下载模型..."_qs);
    QCOMPARE(bar->maximum(), 0);

    server.onProgress(1, 3, u"安装依赖 1/3"_qs);
    QCOMPARE(bar->maximum(), 100);
    QCOMPARE(bar->value(), 33);
    QCOMPARE(detail->text(), u"安装依赖 1/3"_qs);

    // A server that overshoots still leaves a full bar rather than a stale one.
    server.onProgress(5, 4, u"x"_qs);
    QCOMPARE(bar->value(), 100);

    server.onLog(u"Collecting torch"_qs);
    QCOMPARE(detail->text(), u"Collecting torch"_qs);
    QCOMPARE(status->text(), u"正在下载模型..."_qs);
}

void TestSetupWindowController::statusTable_data()
{
    using Kind = ServerStatus::Kind;
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<bool>("indeterminate");

    const QString before = u"正在下载模型... 10%"_qs;
    const QString log = u"log line"_qs;
    QTest::newRow("stopped") << int(Kind::stopped) << before << log << false;
    QTest::newRow("checking") << int(Kind::checking) << u"正在检查环境..."_qs << log << false;
    QTest::newRow("installingDeps") << int(Kind::installingDeps) << u"正在安装依赖..."_qs << log << false;
    QTest::newRow("downloadingModel") << int(Kind::downloadingModel) << u"正在下载模型..."_qs << log << true;
    QTest::newRow("startingServer") << int(Kind::startingServer) << u"正在启动服务..."_qs
                                    << u"首次启动可能需要 1-2 分钟"_qs << false;
    QTest::newRow("loadingModel") << int(Kind::loadingModel) << u"正在加载模型..."_qs
                                  << u"首次加载模型可能需要较长时间，请耐心等待"_qs << false;
}

void TestSetupWindowController::statusTable()
{
    QFETCH(int, kind);
    QFETCH(QString, status);
    QFETCH(QString, detail);
    QFETCH(bool, indeterminate);

    Bench bench;
    QVERIFY(bench.prepare(Bench::Uv));
    LocalServerManager server;
    SetupWindowController c({}, server);
    QVERIFY(startWaitingPreparation(c));
    server.onDownloadProgress(10);
    server.onLog(u"log line"_qs);

    server.onStatusChange(ServerStatus::make(ServerStatus::Kind(kind)));
    QCOMPARE(Bench::statusLabel(c)->text(), status);
    QCOMPARE(Bench::detailLabel(c)->text(), detail);
    QCOMPARE(Bench::progressBar(c)->maximum() == 0, indeterminate);
    QVERIFY(Bench::progressBar(c)->isVisible());
    QVERIFY(!Bench::actionButton(c)->isEnabled());
}

void TestSetupWindowController::missingUvThenLocalRetry()
{
    if (!QStandardPaths::findExecutable(u"uv"_qs).isEmpty())
        QSKIP("a uv on PATH would be found; this test needs a machine without one");
    Bench bench;
    QVERIFY(bench.prepare(Bench::Nothing));
    LocalServerManager server;
    SetupWindowController c({}, server);
    c.showWindow();
    QVERIFY(QTest::qWaitForWindowExposed(c.window()));

    QTest::mouseClick(Bench::actionButton(c), Qt::LeftButton);
    QCOMPARE(Bench::statusLabel(c)->text(), u"❌ 出错了"_qs);
    QCOMPARE(Bench::detailLabel(c)->text(), u"找不到 uv 工具，请重新安装应用"_qs);
    QCOMPARE(Bench::actionButton(c)->text(), u"重试"_qs);
    QVERIFY(Bench::actionButton(c)->isEnabled());
    QVERIFY(Bench::modeSelector(c)->isEnabled());
    QVERIFY(!Bench::progressBar(c)->isVisible());
    QCOMPARE(Settings::shared().useLocalServer(), true);
    QVERIFY(!Settings::shared().contains(u"setupCompleted"_qs));

    // Once uv is there, "重试" prepares again.
    QVERIFY(bench.ship(u"uv"_qs));
    qputenv("PARLIX_UV_STANDIN", "hang");
    QTest::mouseClick(Bench::actionButton(c), Qt::LeftButton);
    QTRY_COMPARE(Bench::statusLabel(c)->text(), u"正在创建 Python 环境..."_qs);
    QVERIFY(!Bench::actionButton(c)->isEnabled());
    QVERIFY(Bench::progressBar(c)->isVisible());
}

void TestSetupWindowController::errorThenRemoteRetry_data()
{
    QTest::addColumn<bool>("afterReady");
    QTest::addColumn<QString>("detail");
    QTest::newRow("environment creation fails") << false
        << u"创建 Python 环境失败\nerror: No interpreter found for Python 3.12\nhint: downloads are disabled\n"_qs;
    QTest::newRow("server error after ready") << true << u"端口被占用"_qs;
}

void TestSetupWindowController::errorThenRemoteRetry()
{
    QFETCH(bool, afterReady);
    QFETCH(QString, detail);

    Bench bench;
    QVERIFY(bench.prepare(Bench::Uv));
    LocalServerManager server;
    SetupWindowController c({}, server);
    int completions = 0;
    c.onComplete = [&] { ++completions; };
    if (afterReady) {
        QVERIFY(startWaitingPreparation(c));
        server.onStatusChange(ServerStatus::make(ServerStatus::Kind::ready));
        QCOMPARE(Bench::actionButton(c)->text(), u"开始使用"_qs);
        server.onStatusChange(ServerStatus::error(detail));
    } else {
        qputenv("PARLIX_UV_STANDIN", "fail");
        c.showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(c.window()));
        QTest::mouseClick(Bench::actionButton(c), Qt::LeftButton);
    }
    QTRY_COMPARE(Bench::statusLabel(c)->text(), u"❌ 出错了"_qs);
    QCOMPARE(Bench::detailLabel(c)->text(), detail);
    QCOMPARE(Bench::actionButton(c)->text(), u"重试"_qs);
    QVERIFY(!Bench::progressBar(c)->isVisible());
    QCOMPARE(Settings::shared().useLocalServer(), true);

    QComboBox* selector = Bench::modeSelector(c);
    QVERIFY(selector->isEnabled());
    selector->setFocus();
    QTest::keyClick(selector, Qt::Key_Down);
    QCOMPARE(Bench::statusLabel(c)->text(), u"请确保远程服务器已启动"_qs);
    QTest::mouseClick(Bench::actionButton(c), Qt::LeftButton);

    QCOMPARE(completions, 1);
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

    Bench bench;
    QVERIFY(bench.prepare(Bench::Uv));
    LocalServerManager server;
    SetupWindowController c([trusted] { return trusted; }, server);
    int completions = 0;
    c.onComplete = [&] { ++completions; };
    QVERIFY(startWaitingPreparation(c));

    // The script's ready line and the health loop can both report readiness.
    for (int i = 0; i < 2; ++i) {
        server.onStatusChange(ServerStatus::make(ServerStatus::Kind::ready));
        QCOMPARE(Bench::statusLabel(c)->text(), status);
        QCOMPARE(Bench::actionButton(c)->text(), button);
        QCOMPARE(Bench::detailLabel(c)->text(), detail);
        QVERIFY(Bench::actionButton(c)->isEnabled());
        QVERIFY(!Bench::progressBar(c)->isVisible());
    }
    QVERIFY(!Settings::shared().contains(u"setupCompleted"_qs));

    // Finish inside the application's event loop: only a real quit ends it with 0; the
    // queued exit(7) behind the click ends it otherwise.
    QPushButton* finish = Bench::actionButton(c);
    QTimer::singleShot(0, finish, [finish] {
        QTest::keyClick(finish, Qt::Key_Return);
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(7); });
    });
    const int exitCode = QCoreApplication::exec();

    QCOMPARE(exitCode, trusted ? 7 : 0);
    QCOMPARE(completions, trusted ? 1 : 0);
    QCOMPARE(Settings::shared().setupCompleted(), true);
    QVERIFY(!c.window()->isVisible());
}

void TestSetupWindowController::completionMayDropTheController_data()
{
    QTest::addColumn<bool>("local");
    QTest::newRow("remote completion") << false;
    QTest::newRow("local finish") << true;
}

// The delegate's completion can replace its wizard (a local start that finds the model
// missing opens a new one), destroying the controller while its button is handled.
void TestSetupWindowController::completionMayDropTheController()
{
    QFETCH(bool, local);

    Bench bench;
    QVERIFY(bench.prepare(Bench::Uv));
    LocalServerManager server;
    auto c = std::make_unique<SetupWindowController>(std::function<bool()>(), server);
    int completions = 0;
    c->onComplete = [&] {
        ++completions;
        c.reset();
    };
    if (local) {
        QVERIFY(startWaitingPreparation(*c));
        server.onStatusChange(ServerStatus::make(ServerStatus::Kind::ready));
    } else {
        c->showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(c->window()));
        QTest::keyClick(Bench::modeSelector(*c), Qt::Key_Down);
    }
    QTest::mouseClick(Bench::actionButton(*c), Qt::LeftButton);
    QCOMPARE(completions, 1);
    QVERIFY(!c);
    QCOMPARE(Settings::shared().setupCompleted(), true);
    // Observers left with the manager do nothing once the wizard is gone.
    if (local) {
        server.onStatusChange(ServerStatus::make(ServerStatus::Kind::ready));
        server.onDownloadProgress(50);
    }
}

QTEST_MAIN(TestSetupWindowController)
#include "tst_setup_window_controller.moc"
