#include "platform/platform_factory.h"

#include "platform/evdev/evdev_key_monitor.h"
#include "platform/platform_log.h"
#include "platform/pulse/pulse_recorder.h"
#include "platform/uinput/uinput_paste_keystroke.h"
#include "platform/wayland/data_control_probe.h"
#include "platform/wayland/wl_clipboard.h"
#include "platform/x11/x11_key_monitor.h"
#include "platform/x11/xtest_paste_keystroke.h"

#include <QStandardPaths>
#include <QTimer>

KeyMonitorStart createKeyMonitor(SessionKind session, const PlatformPaths& paths)
{
    std::unique_ptr<KeyMonitor> monitor;
    if (session == SessionKind::X11)
        monitor = std::make_unique<X11KeyMonitor>();
    else
        monitor = std::make_unique<EvdevKeyMonitor>(paths.inputDirectory);
    QString error;
    if (monitor->start(&error))
        return {std::move(monitor), std::nullopt};
    qCWarning(lcPlatform) << "key monitor" << monitor->backendName() << "unavailable:" << error;
    return {nullptr, monitor->startProblem()};
}

std::unique_ptr<PasteKeystroke> createPasteKeystroke(SessionKind session, const PlatformPaths& paths)
{
    if (session == SessionKind::X11)
        return std::make_unique<XTestPasteKeystroke>();
    return std::make_unique<UinputPasteKeystroke>(paths.uinputDevice);
}

std::optional<PlatformProblem> pasteProblem(const PasteKeystroke& paste)
{
    if (paste.canSend())
        return std::nullopt;
    return paste.sendProblem();
}

std::unique_ptr<Recorder> createRecorder()
{
    return std::make_unique<PulseRecorder>();
}

void findSessionClipboard(SessionKind session, QObject* context, std::function<void(ClipboardChoice)> done)
{
    if (session == SessionKind::X11) {
        QTimer::singleShot(0, context, [done] { done({}); });
        return;
    }
    auto* probe = new DataControlProbe(context);
    QObject::connect(probe, &DataControlProbe::finished, context, [probe, done](bool offered) {
        probe->deleteLater();
        // Without data-control (GNOME's Mutter) only XWayland's clipboard bridge is left.
        if (!offered) {
            done({});
            return;
        }
        const QString copy = QStandardPaths::findExecutable(QStringLiteral("wl-copy"));
        const QString paste = QStandardPaths::findExecutable(QStringLiteral("wl-paste"));
        if (copy.isEmpty() || paste.isEmpty())
            done({nullptr, PlatformProblem::WlClipboardMissing});
        else
            done({std::make_unique<WlClipboard>(copy, paste), std::nullopt});
    });
    probe->start(DataControlProbe::socketPath(
        qEnvironmentVariable("WAYLAND_DISPLAY"), qEnvironmentVariable("XDG_RUNTIME_DIR")));
}
