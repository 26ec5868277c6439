#include "app/platform_notice.h"
#include "platform/evdev/evdev_key_monitor.h"
#include "platform/platform_factory.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(std::optional<PlatformProblem>)

namespace {
using Problem = std::optional<PlatformProblem>;
}

// Backends follow the session, never Qt's window system, and every way they can fail ends
// in a message that names what is missing and how to get it.
class TestBackendChoice : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        qunsetenv("DISPLAY"); // no X server: the X11 backends fail, visibly
        QVERIFY(dir_.isValid());
        QVERIFY(QDir().mkpath(dir_.filePath(QStringLiteral("empty"))));
        QVERIFY(QDir().mkpath(dir_.filePath(QStringLiteral("nokeyboard"))));
        QFile notDevice(dir_.filePath(QStringLiteral("nokeyboard/event0")));
        QVERIFY(notDevice.open(QIODevice::WriteOnly));
        QFile plainFile(dir_.filePath(QStringLiteral("uinput-file")));
        QVERIFY(plainFile.open(QIODevice::WriteOnly));
    }

    void sessionKindFromEnvironment_data()
    {
        QTest::addColumn<QString>("sessionType");
        QTest::addColumn<QString>("waylandDisplay");
        QTest::addColumn<bool>("wayland");
        QTest::newRow("GNOME/KDE Wayland") << u"wayland"_qs << u"wayland-0"_qs << true;
        QTest::newRow("Wayland, Qt on XWayland") << u"wayland"_qs << QString() << true;
        QTest::newRow("X11 session") << u"x11"_qs << QString() << false;
        QTest::newRow("X11 type wins over a stray WAYLAND_DISPLAY") << u"x11"_qs << u"wayland-1"_qs << false;
        QTest::newRow("sway started from a console") << u"tty"_qs << u"wayland-1"_qs << true;
        QTest::newRow("startx from a console") << u"tty"_qs << QString() << false;
        QTest::newRow("nothing set") << QString() << QString() << false;
        QTest::newRow("case and spaces") << u" Wayland "_qs << QString() << true;
    }
    void sessionKindFromEnvironment()
    {
        QFETCH(QString, sessionType);
        QFETCH(QString, waylandDisplay);
        QFETCH(bool, wayland);
        QCOMPARE(sessionKind({sessionType, waylandDisplay}) == SessionKind::Wayland, wayland);
    }

    // Real backends on fake device paths.
    void backendsAndProblems_data()
    {
        QTest::addColumn<bool>("wayland");
        QTest::addColumn<QString>("inputDir");
        QTest::addColumn<QString>("uinput");
        QTest::addColumn<Problem>("keyProblem");
        QTest::addColumn<QString>("pasteBackend");
        QTest::addColumn<Problem>("pasteProblem");
        QTest::newRow("Wayland, no /dev/input, no uinput")
            << true << u"missing"_qs << u"missing"_qs << Problem(PlatformProblem::NoInputDevices)
            << u"uinput"_qs << Problem(PlatformProblem::UinputMissing);
        QTest::newRow("Wayland, empty /dev/input")
            << true << u"empty"_qs << u"missing"_qs << Problem(PlatformProblem::NoInputDevices)
            << u"uinput"_qs << Problem(PlatformProblem::UinputMissing);
        QTest::newRow("Wayland, nodes but no keyboard, uinput not a device")
            << true << u"nokeyboard"_qs << u"uinput-file"_qs << Problem(PlatformProblem::NoKeyboards)
            << u"uinput"_qs << Problem(PlatformProblem::UinputFailed);
        QTest::newRow("X11 never falls back to evdev")
            << false << u"nokeyboard"_qs << u"uinput-file"_qs
            << Problem(PlatformProblem::KeyEventsUnavailable) << u"XTest"_qs
            << Problem(PlatformProblem::KeystrokesUnavailable);
    }
    void backendsAndProblems()
    {
        QFETCH(bool, wayland);
        QFETCH(QString, inputDir);
        QFETCH(QString, uinput);
        QFETCH(Problem, keyProblem);
        QFETCH(QString, pasteBackend);
        QFETCH(Problem, pasteProblem);
        const PlatformPaths paths {dir_.filePath(inputDir), dir_.filePath(uinput)};
        const SessionKind session = wayland ? SessionKind::Wayland : SessionKind::X11;
        const KeyMonitorStart start = createKeyMonitor(session, paths);
        QVERIFY(!start.monitor); // zero keyboards is no start
        QCOMPARE(start.problem, keyProblem);
        const auto paste = createPasteKeystroke(session, paths);
        QCOMPARE(paste->backendName(), pasteBackend);
        QCOMPARE(::pasteProblem(*paste), pasteProblem);
    }

    // What the devices' owners and modes can do, which a test running as root cannot stage.
    void accessProblems_data()
    {
        QTest::addColumn<int>("nodes");
        QTest::addColumn<int>("denied");
        QTest::addColumn<int>("keyboards");
        QTest::addColumn<Problem>("problem");
        QTest::newRow("all denied (not in input)")
            << 5 << 5 << 0 << Problem(PlatformProblem::KeyboardsUnreadable);
        QTest::newRow("a joystick readable, keyboards denied")
            << 5 << 4 << 0 << Problem(PlatformProblem::KeyboardsUnreadable);
        QTest::newRow("readable, none a keyboard") << 3 << 0 << 0 << Problem(PlatformProblem::NoKeyboards);
        QTest::newRow("one keyboard readable") << 5 << 4 << 1 << Problem();
    }
    void accessProblems()
    {
        QFETCH(int, nodes);
        QFETCH(int, denied);
        QFETCH(int, keyboards);
        QFETCH(Problem, problem);
        QCOMPARE(EvdevKeyMonitor::problemOf({true, nodes, denied, keyboards}), problem);
    }

    void notices_data()
    {
        QTest::addColumn<QList<PlatformProblem>>("problems");
        QTest::addColumn<bool>("ruleInstalled");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("needles"); // in the body
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("no input group, no rule")
            << QList {PlatformProblem::KeyboardsUnreadable, PlatformProblem::UinputUnwritable} << false
            << "Parlix 的触发键和自动粘贴都不可用"
            << QStringList {"sudo usermod -aG input $USER", "注销并重新登录", "/dev/uinput",
                   "TAG+=\"uaccess\"", "/etc/udev/rules.d/70-parlix-uinput.rules"}
            << QStringList {"⚠️ 触发键不可用: 需要加入 input 用户组",
                   "⚠️ 不能自动粘贴: 无权写入 /dev/uinput"};
        QTest::newRow("rule installed, not yet logged in again")
            << QList {PlatformProblem::UinputUnwritable} << true << "Parlix 不能自动粘贴"
            << QStringList {"udev 规则已安装", "注销并重新登录", "Ctrl+V"}
            << QStringList {"⚠️ 不能自动粘贴: 无权写入 /dev/uinput"};
        QTest::newRow("module not loaded, no wl-clipboard")
            << QList {PlatformProblem::UinputMissing, PlatformProblem::WlClipboardMissing} << true
            << "Parlix 不能自动粘贴" << QStringList {"sudo modprobe uinput", "sudo apt install wl-clipboard"}
            << QStringList {"⚠️ 不能自动粘贴: 没有 /dev/uinput",
                   "⚠️ 不能粘贴到 Wayland 窗口: 需要安装 wl-clipboard"};
        QTest::newRow("no keyboard") << QList {PlatformProblem::NoKeyboards} << false
                                     << "Parlix 的触发键不可用" << QStringList {"没有可读取的键盘"}
                                     << QStringList {"⚠️ 触发键不可用: 没有找到键盘"};
    }
    void notices()
    {
        QFETCH(QList<PlatformProblem>, problems);
        QFETCH(bool, ruleInstalled);
        QFETCH(QString, title);
        QFETCH(QStringList, needles);
        QFETCH(QStringList, lines);
        const PlatformNotice notice = platformNotice(problems, ruleInstalled);
        QCOMPARE(notice.title, title);
        for (const QString& needle : needles)
            QVERIFY2(notice.body.contains(needle), qPrintable(needle + QStringLiteral(" / ") + notice.body));
        QCOMPARE(notice.statusLines, lines);
        // The rule text only where it is still missing.
        QCOMPARE(notice.body.contains(QStringLiteral("sudo tee /etc/udev")),
            !ruleInstalled && problems.contains(PlatformProblem::UinputUnwritable));
    }

private:
    QTemporaryDir dir_;
};

QTEST_GUILESS_MAIN(TestBackendChoice)
#include "tst_backend_choice.moc"
