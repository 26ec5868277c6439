#include "platform/platform_factory.h"

#include "platform/evdev/evdev_key_monitor.h"
#include "platform/platform_log.h"
#include "platform/pulse/pulse_recorder.h"
#include "platform/uinput/uinput_paste_keystroke.h"
#include "platform/x11/x11_key_monitor.h"
#include "platform/x11/xtest_paste_keystroke.h"

#include <QGuiApplication>

namespace {
bool isX11Session()
{
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb"))
        return true;
    if (!platform.isEmpty() && platform != QLatin1String("offscreen") && platform != QLatin1String("minimal"))
        return false; // wayland, eglfs...
    return qEnvironmentVariableIsSet("DISPLAY") && !qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}
} // namespace

std::unique_ptr<KeyMonitor> createKeyMonitor()
{
    std::unique_ptr<KeyMonitor> x11 = std::make_unique<X11KeyMonitor>();
    std::unique_ptr<KeyMonitor> evdev = std::make_unique<EvdevKeyMonitor>();
    if (!isX11Session())
        std::swap(x11, evdev);
    for (auto* candidate : {&x11, &evdev}) {
        QString error;
        if ((*candidate)->start(&error))
            return std::move(*candidate);
        qCWarning(lcPlatform) << "key monitor" << (*candidate)->backendName() << "unavailable:" << error;
    }
    return nullptr;
}

std::unique_ptr<PasteKeystroke> createPasteKeystroke()
{
    if (isX11Session())
        return std::make_unique<XTestPasteKeystroke>();
    return std::make_unique<UinputPasteKeystroke>();
}

std::unique_ptr<Recorder> createRecorder()
{
    return std::make_unique<PulseRecorder>();
}
