#include "setup_test_bench.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QProgressBar>
#include <QTimer>

using Kind = ServerStatus::Kind;

// The wizard through its real widgets; where the local server would speak, the test speaks
// through the observers the wizard installs on its manager.
class TestSetupWindowController : public QObject {
    Q_OBJECT

    template <class T = QLabel> T* get(const char* name) const
    {
        return m_wizard->window()->findChild<T*>(QString::fromLatin1(name));
    }
    QPushButton* action() const { return get<QPushButton>("actionButton"); }
    QComboBox* selector() const { return get<QComboBox>("modeSelector"); }
    void open(std::function<bool()> trusted = {})
    {
        m_wizard = std::make_unique<SetupWindowController>(std::move(trusted), *m_server);
        m_wizard->onComplete = [this] { ++m_completions; };
        m_wizard->showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(m_wizard->window()));
    }
    // A uv that never finishes keeps the wizard waiting with its observers installed.
    bool startWaiting()
    {
        qputenv("PARLIX_UV_STANDIN", "hang");
        QTest::mouseClick(action(), Qt::LeftButton);
        return QTest::qWaitFor(
            [this] { return get("statusLabel")->text() == u"正在创建 Python 环境..."_qs; });
    }
    void expectRemoteCompletion()
    {
        QCOMPARE(m_completions, 1);
        QVERIFY(!m_wizard || !m_wizard->window()->isVisible());
        QVERIFY(Settings::shared().setupCompleted() && Settings::shared().contains(u"useLocalServer"_qs));
        QVERIFY(!Settings::shared().useLocalServer());
    }

    std::unique_ptr<SetupTestBench> m_bench;
    std::unique_ptr<LocalServerManager> m_server;
    std::unique_ptr<SetupWindowController> m_wizard;
    int m_completions = 0;

private Q_SLOTS:
    // A tray application: a closing window must not end the event loop a test runs.
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init()
    {
        m_bench = std::make_unique<SetupTestBench>();
        m_server = std::make_unique<LocalServerManager>();
        m_completions = 0;
    }
    void cleanup()
    {
        m_wizard.reset();
        m_server.reset();
        m_bench.reset();
    }

    void modeTexts_data()
    {
        QTest::addColumn<bool>("modelPresent");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("button");
        QTest::newRow("model missing") << false << u"首次使用需要下载模型（约 2GB）"_qs << u"下载并安装"_qs;
        QTest::newRow("model present") << true << u"✅ 模型已下载，可以直接使用"_qs << u"开始使用"_qs;
    }
    void modeTexts()
    {
        QFETCH(bool, modelPresent);
        QFETCH(QString, status);
        QFETCH(QString, button);
        const QString model = APP_SUPPORT_PATH() + u"/Fun-ASR-Nano-2512"_qs;
        QVERIFY(!modelPresent
            || (QDir().mkpath(model) && QFile(model + u"/model.pt"_qs).open(QIODevice::WriteOnly)));
        open();
        const auto expect = [this](const QString& shown, const QString& label) {
            QCOMPARE(get("statusLabel")->text(), shown);
            QCOMPARE(action()->text(), label);
        };
        expect(status, button);
        QTest::keyClick(selector(), Qt::Key_Down);
        expect(u"请确保远程服务器已启动"_qs, u"完成设置"_qs);
        QTest::keyClick(selector(), Qt::Key_Up);
        expect(status, button);
    }

    void remoteCompletion_data()
    {
        QTest::addColumn<bool>("byReturn");
        QTest::addColumn<bool>("dropsWizard"); // the delegate may replace its wizard meanwhile
        QTest::newRow("click") << false << false;
        QTest::newRow("Return on the pop-up") << true << false;
        QTest::newRow("completion drops the wizard") << false << true;
    }
    void remoteCompletion()
    {
        QFETCH(bool, byReturn);
        QFETCH(bool, dropsWizard);
        open();
        if (dropsWizard)
            m_wizard->onComplete = [this] { ++m_completions, m_wizard.reset(); };
        QTest::keyClick(selector(), Qt::Key_Down);
        if (byReturn)
            QTest::keyClick(selector(), Qt::Key_Return);
        else
            QTest::mouseClick(action(), Qt::LeftButton);
        expectRemoteCompletion();
        QVERIFY(!m_server->onStatusChange && !QFileInfo::exists(APP_SUPPORT_PATH() + u"/venv"_qs));
    }

    void downloadProgress()
    {
        open();
        QVERIFY(startWaiting());
        auto* bar = get<QProgressBar>("progressBar");
        m_server->onDownloadProgress(42);
        QCOMPARE(get("statusLabel")->text(), u"正在下载模型... 42%"_qs);
        QCOMPARE(bar->value(), 42);
        m_server->onStatusChange(ServerStatus::make(Kind::downloadingModel));
        QCOMPARE(bar->maximum(), 0);
        m_server->onProgress(5, 4, u"安装依赖"_qs); // an overshooting count still fills the bar
        QCOMPARE(bar->value(), 100);
    }

    void errorThenRemoteRetry_data()
    {
        QTest::addColumn<bool>("afterReady"); // "重试" must not finish what the ready offered
        QTest::addColumn<QString>("detail");
        QTest::newRow("environment creation fails")
            << false
            << u"创建 Python 环境失败\nerror: No interpreter found for Python 3.12\nhint: downloads are disabled\n"_qs;
        QTest::newRow("server error after ready") << true << u"端口被占用"_qs;
    }
    void errorThenRemoteRetry()
    {
        QFETCH(bool, afterReady);
        QFETCH(QString, detail);
        open();
        qputenv("PARLIX_UV_STANDIN", "fail");
        if (afterReady) {
            QVERIFY(startWaiting());
            m_server->onStatusChange(ServerStatus::make(Kind::ready));
            m_server->onStatusChange(ServerStatus::error(detail));
        } else {
            QTest::mouseClick(action(), Qt::LeftButton);
        }
        QTRY_COMPARE(get("statusLabel")->text(), u"❌ 出错了"_qs);
        QCOMPARE(get("detailLabel")->text(), detail);
        QCOMPARE(action()->text(), u"重试"_qs);
        QTest::keyClick(selector(), Qt::Key_Down);
        QTest::mouseClick(action(), Qt::LeftButton);
        expectRemoteCompletion();
    }

    void untrustedFinishQuits()
    {
        open([] { return false; });
        QVERIFY(startWaiting());
        m_server->onStatusChange(ServerStatus::make(Kind::ready));
        QCOMPARE(get("statusLabel")->text(), u"⚠️ 需要重启 App"_qs);
        QCOMPARE(action()->text(), u"退出并重新打开"_qs);
        // Inside the application's loop: only a quit ends it before the exit(7) queued behind.
        QTimer::singleShot(0, this, [this] {
            QTest::keyClick(action(), Qt::Key_Return);
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(7); });
        });
        QCOMPARE(QCoreApplication::exec(), 0);
        QCOMPARE(m_completions, 0);
        QVERIFY(Settings::shared().setupCompleted() && !m_wizard->window()->isVisible());
    }
};

QTEST_MAIN(TestSetupWindowController)
#include "tst_setup_window_controller.moc"
