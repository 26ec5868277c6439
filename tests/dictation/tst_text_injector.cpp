#include "app/dictation/text_injector.h"
#include "platform/key_event.h"
#include "platform/paste_keystroke.h"
#include "platform/platform_factory.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QtTest>
#include <pwd.h>
#include <unistd.h>

// clang-format off: Xlib after Qt, whose names its macros would break
#include "platform/x11/xlib.h"

#include <X11/extensions/Xfixes.h>
// clang-format on

namespace {

QByteArray run(const QString& program, const QStringList& arguments, const QByteArray& input = {})
{
    QProcess process;
    QSignalSpy done(&process, &QProcess::finished);
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    return done.wait(5000) ? process.readAllStandardOutput() : "<no answer>";
}

// A headless sway, as "nobody" when we are root: sway refuses to run as root.
class HeadlessSway {
public:
    QString socket; // empty when sway could not start
    HeadlessSway()
    {
        const QString rt = m_dir.filePath(QStringLiteral("rt"));
        if (QStandardPaths::findExecutable(QStringLiteral("sway")).isEmpty() || !QDir().mkdir(rt))
            return;
        QFile(rt).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QFile(m_dir.path()).setPermissions(QFile(m_dir.path()).permissions() | QFileDevice::ExeOther);
        QStringList command {QStringLiteral("sway"), QStringLiteral("-c"), QStringLiteral("/dev/null")};
        if (::geteuid() == 0) {
            const passwd* nobody = ::getpwnam("nobody");
            if (!nobody || ::chown(QFile::encodeName(rt).constData(), nobody->pw_uid, nobody->pw_gid) != 0)
                return;
            command = QStringList {QStringLiteral("setpriv"), QStringLiteral("--reuid=nobody"),
                          QStringLiteral("--regid=nogroup"), QStringLiteral("--clear-groups")}
                + command;
        }
        QProcessEnvironment env;
        env.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
        env.insert(QStringLiteral("HOME"), m_dir.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), rt);
        env.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
        env.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
        env.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
        m_sway.setProcessEnvironment(env);
        m_sway.start(command.takeFirst(), command);
        const QString path = rt + QStringLiteral("/wayland-1");
        if (QTest::qWaitFor(
                [&] { return QFile::exists(path) || m_sway.state() == QProcess::NotRunning; }, 10000)
            && m_sway.state() == QProcess::Running)
            socket = path;
    }
    ~HeadlessSway()
    {
        m_sway.terminate();
        m_sway.waitForFinished(3000);
    }

private:
    QTemporaryDir m_dir;
    QProcess m_sway;
};

// A window that follows the clipboard as GTK 3 applications do: whenever the clipboard
// changes hands it asks for its formats, and until the answer comes it cannot read the
// clipboard, so that a paste keystroke in the meantime is lost (gnome-terminal).
class ClipboardWatcher {
public:
    ClipboardWatcher()
        : m_display(XOpenDisplay(nullptr))
    {
        int error = 0;
        if (!m_display || !XFixesQueryExtension(m_display, &m_fixesEvent, &error))
            return;
        m_window = XCreateSimpleWindow(m_display, DefaultRootWindow(m_display), 0, 0, 1, 1, 0, 0, 0);
        m_clipboard = XInternAtom(m_display, "CLIPBOARD", False);
        XFixesSelectSelectionInput(m_display, m_window, m_clipboard, XFixesSetSelectionOwnerNotifyMask);
        XFlush(m_display);
        m_notifier.emplace(ConnectionNumber(m_display), QSocketNotifier::Read);
        QObject::connect(&*m_notifier, &QSocketNotifier::activated, [this] { handleEvents(); });
    }
    ~ClipboardWatcher()
    {
        m_notifier.reset();
        if (m_display)
            XCloseDisplay(m_display);
    }
    ClipboardWatcher(const ClipboardWatcher&) = delete;
    ClipboardWatcher& operator=(const ClipboardWatcher&) = delete;

    // Whether a paste keystroke arriving now would be lost.
    bool asking()
    {
        if (!m_notifier)
            return false;
        XSync(m_display, False);
        handleEvents();
        return m_asking > 0;
    }

private:
    void handleEvents()
    {
        while (XPending(m_display)) {
            XEvent event;
            XNextEvent(m_display, &event);
            if (event.type == m_fixesEvent + XFixesSelectionNotify) {
                XConvertSelection(m_display, m_clipboard, XInternAtom(m_display, "TARGETS", False),
                    XInternAtom(m_display, "PARLIX_TEST_TARGETS", False), m_window, CurrentTime);
                ++m_asking;
            } else if (event.type == SelectionNotify) {
                --m_asking;
            }
        }
        XFlush(m_display);
    }

    Display* m_display;
    Window m_window = 0;
    Atom m_clipboard = 0;
    int m_fixesEvent = 0;
    int m_asking = 0;
    std::optional<QSocketNotifier> m_notifier;
};

// A target application: at each keystroke it reads the clipboard a moment later, in a
// process of its own, as a real window does.
class ReadingPaste : public PasteKeystroke {
public:
    QStringList reader;
    QStringList pasted;
    ClipboardWatcher* watcher = nullptr; // the window also follows the clipboard
    int sent = 0;
    bool releases = true;
    bool canSend() const override { return true; }
    PasteMethod methodForFocus() const override { return PasteMethod::ControlV; }
    bool releasesHeldModifiers() const override { return releases; }
    bool send(PasteMethod) override
    {
        ++sent;
        if (reader.isEmpty() || (watcher && watcher->asking()))
            return true;
        auto* process = new QProcess;
        QObject::connect(process, &QProcess::finished, process, [this, process] {
            pasted << QString::fromUtf8(process->readAllStandardOutput());
            process->deleteLater();
        });
        process->start(QStringLiteral("sh"), QStringList {"-c", "sleep 0.05; exec \"$@\"", "sh"} + reader);
        return true;
    }
    QString backendName() const override { return {}; }
};

QByteArray pngBytes()
{
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data();
}

} // namespace

class TextInjectorTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pastesInOrderAndGivesTheContentBack_data()
    {
        QTest::addColumn<bool>("wayland");
        QTest::addColumn<QStringList>("copy"); // the person's copy, then its read
        QTest::addColumn<QStringList>("read");
        QTest::addColumn<QByteArray>("content");
        const QStringList xclip {"xclip", "-selection", "clipboard"};
        const QStringList png {"--type", "image/png"};
        QTest::newRow("X11, Qt's clipboard")
            << false << xclip + QStringList {"-i"} << xclip + QStringList {"-o"} << QByteArray("keep me");
        QTest::newRow("sway, wl-clipboard, text")
            << true << QStringList {"wl-copy"} << QStringList {"wl-paste", "-n"} << QByteArray("keep me");
        QTest::newRow("sway, wl-clipboard, image")
            << true << QStringList {"wl-copy"} + png << QStringList {"wl-paste", "-n"} + png << pngBytes();
    }
    // Three dictations finishing together: a native client reads each text, in order; the
    // person's content is never pasted and comes back once, after the last paste. On X11
    // the window follows the clipboard's changes of hands, as GTK windows do.
    void pastesInOrderAndGivesTheContentBack()
    {
        QFETCH(bool, wayland);
        QFETCH(QStringList, copy);
        QFETCH(QStringList, read);
        QFETCH(QByteArray, content);
        if (QStandardPaths::findExecutable(copy[0]).isEmpty()
            || (!wayland && qEnvironmentVariableIsEmpty("DISPLAY")))
            QSKIP("needs an X server and xclip, or wl-clipboard");
        ReadingPaste paste;
        paste.reader = wayland ? read.mid(0, 2) : read; // as text
        std::optional<ClipboardWatcher> watcher;
        if (!wayland)
            paste.watcher = &watcher.emplace();
        TextInjector injector(paste);
        std::optional<HeadlessSway> sway;
        if (wayland) {
            sway.emplace();
            if (sway->socket.isEmpty())
                QSKIP("sway cannot start here");
            qputenv("WAYLAND_DISPLAY", sway->socket.toUtf8());
            bool chosen = false;
            QObject context;
            findSessionClipboard(SessionKind::Wayland, &context, [&](ClipboardChoice choice) {
                QVERIFY(choice.clipboard); // sway offers data-control
                injector.useClipboard(std::move(choice.clipboard));
                chosen = true;
            });
            QTRY_VERIFY(chosen);
        }
        run(copy.takeFirst(), copy, content); // a process of its own owns the selection
        if (!wayland)
            QTRY_COMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("keep me"));
        QSignalSpy restored(&injector, &TextInjector::clipboardRestored);
        injector.prefetch();
        for (const char* text : {"听写的文字", "two", "three"})
            injector.typeText(QString::fromUtf8(text));
        QVERIFY(restored.wait(8000));
        QCOMPARE(paste.pasted, (QStringList {"听写的文字", "two", "three"}));
        QCOMPARE(run(read.takeFirst(), read), content);
        QCOMPARE(restored.size(), 1);
        qunsetenv("WAYLAND_DISPLAY");
    }

    void waitsForTheHeldModifiers_data()
    {
        QTest::addColumn<bool>("releases"); // the keystroke lifts them itself
        QTest::addColumn<quint64>("held");
        QTest::addColumn<bool>("letGo");
        QTest::addColumn<int>("sentAtOnce");
        using namespace ModifierFlag;
        QTest::newRow("Shift held, then let go") << false << Shift << true << 0;
        QTest::newRow("Super and Alt held on") << false << (Command | Alternate) << false << 0;
        QTest::newRow("Ctrl is the paste's own") << false << Control << false << 1;
        QTest::newRow("the keystroke lifts them") << true << Shift << false << 1;
    }
    // Where the keystroke cannot lift them, the paste waits for the person's modifiers, at
    // most modifierWaitMs; the next text waits behind it.
    void waitsForTheHeldModifiers()
    {
        QFETCH(bool, releases);
        QFETCH(quint64, held);
        QFETCH(bool, letGo);
        QFETCH(int, sentAtOnce);
        ReadingPaste paste;
        paste.releases = releases;
        TextInjector injector(paste);
        injector.modifiersChanged(held | ModifierFlag::SecondaryFn);
        injector.typeText(QStringLiteral("one"));
        injector.typeText(QStringLiteral("two"));
        QTest::qWait(TextInjector::questionWaitMs * 3);
        QCOMPARE(paste.sent, sentAtOnce);
        QElapsedTimer waited;
        waited.start();
        if (letGo) {
            QTest::qWait(100);
            injector.modifiersChanged(ModifierFlag::SecondaryFn);
            QCOMPARE(paste.sent, 1);
        }
        QTRY_COMPARE(paste.sent, 2);
        QCOMPARE(waited.elapsed() >= TextInjector::modifierWaitMs, sentAtOnce == 0 && !letGo);
    }
};

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY")) // xcb would abort before the test can skip
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    TextInjectorTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_text_injector.moc"
