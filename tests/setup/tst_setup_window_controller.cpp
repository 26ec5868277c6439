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

    std::unique_ptr<SetupTestBench> m;

    QComboBox* selector() const { return m->get<QComboBox>("modeSelector"); }
    QString texts() const { return m->status() + u" | " + m->action()->text(); }
    // A uv that never finishes keeps the wizard waiting with its observers installed.
    bool startWaiting()
    {
        qputenv("PARLIX_UV_STANDIN", "hang");
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
        const QString missing = u"首次使用需要下载模型（约 2GB） | 下载并安装"_qs;
        QTest::newRow("model missing") << QString() << missing << QString();
        QTest::newRow("model present")
            << u"model"_qs << u"✅ 模型已下载，可以直接使用 | 开始使用"_qs << QString();
        QTest::newRow("completion drops the wizard") << u"drop"_qs << missing << QString();
        QTest::newRow("environment creation failed")
            << u"fail"_qs << u"❌ 出错了 | 重试"_qs << u"创建 Python 环境失败\nerror: No interpreter found"_qs;
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
        qputenv("PARLIX_UV_STANDIN", "fail");
        if (before == u"fail")
            QTest::mouseClick(m->action(), Qt::LeftButton);
        if (before == u"ready") {
            QVERIFY(startWaiting());
            auto* bar = m->get<QProgressBar>("progressBar");
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
        QTest::keyClick(selector(), Qt::Key_Down);
        QCOMPARE(texts(), u"请确保远程服务器已启动 | 完成设置"_qs);
        QTest::keyClick(selector(), Qt::Key_Return); // the pop-up ignores it; the main button takes it
        QCOMPARE(m->completions, 1);
        QVERIFY(!m->wizard || !m->wizard->window()->isVisible());
        const Settings& settings = Settings::shared();
        QVERIFY(settings.setupCompleted() && settings.contains(u"useLocalServer"_qs)
            && !settings.useLocalServer());
        QCOMPARE(QFileInfo::exists(APP_SUPPORT_PATH() + u"/venv"_qs), false);
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
