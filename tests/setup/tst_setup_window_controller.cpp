#include "settings/app_paths.h"
#include "settings/settings.h"
#include "setup/setup_window_controller.h"

#include <QtTest>
#include <QtWidgets>

using Kind = ServerStatus::Kind;

// Clean settings and data folder, and a stand-in for the system python3 that fails or hangs
// (PARLIX_PYTHON_STANDIN). The real local run is the end-to-end first-run wizard test's.
struct SetupTestBench {
    QTemporaryDir resources;
    // Orphan clean-up reaches only this bench's own servers.
    LocalServerManager server {
        LocalServerOptions {.orphanPattern = resources.filePath(u"local_server.py"_qs)}};
    std::unique_ptr<SetupWindowController> wizard;
    int completions = 0;

    SetupTestBench()
    {
        Settings::shared().remove(u"useLocalServer"_qs);
        Settings::shared().remove(u"setupCompleted"_qs);
        QDir(APP_SUPPORT_PATH()).removeRecursively();
        qputenv("PARLIX_RESOURCES_DIR", resources.path().toUtf8());
        qputenv("PARLIX_PYTHON_RELEASE", resources.filePath(u"release"_qs).toUtf8());
        qputenv("PARLIX_SYSTEM_PYTHON", PARLIX_TEST_SOURCE_DIR "/server/standin_python.sh");
        qputenv("PARLIX_PYTHON_STANDIN", "fail");
    }
    ~SetupTestBench() { QFile(resources.filePath(u"release"_qs)).open(QIODevice::WriteOnly); }

    bool open(std::function<bool()> trusted = {})
    {
        wizard = std::make_unique<SetupWindowController>(std::move(trusted), server);
        wizard->onComplete = [this] { ++completions; };
        wizard->showWindow();
        return QTest::qWaitForWindowActive(wizard->window()); // Return is a window shortcut
    }
    template <class T = QLabel> T* get(const char* name) const
    {
        return wizard->window()->findChild<T*>(QString::fromLatin1(name));
    }
    QString status() const { return get("statusLabel")->text(); }
    QPushButton* action() const { return get<QPushButton>("actionButton"); }
};

// Where the local server would speak, the test speaks through the observers the wizard installs.
class TestSetupWindowController : public QObject {
    Q_OBJECT

    std::unique_ptr<SetupTestBench> m;

    QString texts() const { return m->status() + u" | " + m->action()->text(); }
    // A venv creation that never finishes keeps the wizard waiting with its observers installed.
    bool startWaiting()
    {
        qputenv("PARLIX_PYTHON_STANDIN", "hang");
        QTest::mouseClick(m->action(), Qt::LeftButton);
        return QTest::qWaitFor([this] { return m->status() == u"正在创建 Python 环境..."_qs; });
    }

private Q_SLOTS:
    // A tray application: a closing window must not end the event loop a test runs.
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init() { m = std::make_unique<SetupTestBench>(); }
    void cleanup() { m.reset(); }

    void remoteCompletion_data()
    {
        QTest::addColumn<QString>("before"); // what happens before remote is chosen
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("detail"); // its start
        QTest::newRow("model present")
            << u"model"_qs << u"✅ 模型已下载，可以直接使用 | 开始使用"_qs << QString();
        QTest::newRow("model missing, completion drops the wizard")
            << u"drop"_qs << u"首次使用需要下载模型（约 2GB） | 下载并安装"_qs << QString();
        QTest::newRow("environment creation failed")
            << u"fail"_qs << u"❌ 出错了 | 重试"_qs
            << u"创建 Python 环境失败\nError: ensurepip is not available.\n  apt install"_qs;
        // Progress, then ready; "重试" must not finish the setup that the ready offered.
        QTest::newRow("server error after ready") << u"ready"_qs << u"❌ 出错了 | 重试"_qs << u"端口被占用"_qs;
    }
    void remoteCompletion()
    {
        QFETCH(QString, before);
        QFETCH(QString, shown);
        QFETCH(QString, detail);
        const QString model = APP_SUPPORT_PATH() + u"/Fun-ASR-Nano-2512"_qs;
        if (before == u"model")
            QVERIFY(QDir().mkpath(model) && QFile(model + u"/model.pt"_qs).open(QIODevice::WriteOnly));
        QVERIFY(m->open());
        if (before == u"drop")
            m->wizard->onComplete = [this] { ++m->completions, m->wizard.reset(); };
        qputenv("PARLIX_PYTHON_STANDIN", "fail");
        if (before == u"fail")
            QTest::mouseClick(m->action(), Qt::LeftButton);
        if (before == u"ready") {
            QVERIFY(startWaiting());
            auto* bar = m->get<QProgressBar>("progressBar");
            m->server.onStatusChange(ServerStatus::make(Kind::installingDeps)); // pip's progress
            m->server.onProgress(3, 12, u"正在安装 torch"_qs);
            QVERIFY(m->status() == u"正在安装依赖..."_qs && bar->value() == 25);
            QCOMPARE(m->get("detailLabel")->text(), u"正在安装 torch"_qs);
            m->server.onDownloadProgress(42);
            QVERIFY(m->status() == u"正在下载模型... 42%"_qs && bar->value() == 42);
            m->server.onStatusChange(ServerStatus::make(Kind::downloadingModel));
            QCOMPARE(bar->maximum(), 0); // indeterminate again
            m->server.onProgress(5, 4, QString()); // an overshooting count still fills the bar
            QCOMPARE(bar->value(), 100);
            m->server.onStatusChange(ServerStatus::make(Kind::ready));
            m->server.onStatusChange(ServerStatus::error(detail));
        }
        QTRY_COMPARE(texts(), shown);
        QVERIFY(m->get("detailLabel")->text().startsWith(detail));
        auto* selector = m->get<QComboBox>("modeSelector");
        QTest::keyClick(selector, Qt::Key_Down);
        QCOMPARE(texts(), u"请确保远程服务器已启动 | 完成设置"_qs);
        QTest::keyClick(selector, Qt::Key_Return); // the pop-up ignores it; the main button takes it
        QCOMPARE(m->completions, 1);
        QVERIFY(!m->wizard || !m->wizard->window()->isVisible());
        QVERIFY(Settings::shared().setupCompleted() && Settings::shared().contains(u"useLocalServer"_qs)
            && !Settings::shared().useLocalServer());
        QVERIFY(!QFile::exists(APP_SUPPORT_PATH() + u"/venv"_qs));
    }

    void untrustedFinishQuits()
    {
        QVERIFY(m->open([] { return false; }));
        QVERIFY(startWaiting());
        m->server.onStatusChange(ServerStatus::make(Kind::ready));
        QCOMPARE(texts(), u"⚠️ 需要重启 App | 退出并重新打开"_qs);
        // Inside the application's loop: only a quit ends it before the exit(7) queued behind.
        QTimer::singleShot(0, this, [this] {
            QTest::keyClick(m->action(), Qt::Key_Return);
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(7); });
        });
        QCOMPARE(QCoreApplication::exec(), 0);
        QCOMPARE(m->completions, 0);
        QVERIFY(Settings::shared().setupCompleted() && !m->wizard->window()->isVisible());
    }
};

QTEST_MAIN(TestSetupWindowController)
#include "tst_setup_window_controller.moc"
