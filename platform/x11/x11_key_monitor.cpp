#include "platform/x11/x11_key_monitor.h"

#include "platform/platform_log.h"
#include "platform/x11/synthetic_key_ledger.h"
#include "platform/x11/x11_keysym_map.h"

#include <QSocketNotifier>

// clang-format off: Xlib after Qt, whose names its macros would break
#include "platform/x11/xlib.h"
// clang-format on

namespace {
constexpr int kSource = 0; // the master keyboard(s): one source for the tracker
}

X11KeyMonitor::X11KeyMonitor(QObject* parent)
    : KeyMonitor(parent)
{ }

X11KeyMonitor::~X11KeyMonitor()
{
    SyntheticKeyLedger::shared().unsubscribe(this);
    delete notifier_;
    if (display_)
        XCloseDisplay(display_);
}

QString X11KeyMonitor::backendName() const
{
    return QStringLiteral("XInput2");
}

bool X11KeyMonitor::start(QString* error)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        if (display_) {
            XCloseDisplay(display_);
            display_ = nullptr;
        }
        return false;
    };
    if (display_)
        return true;

    display_ = XOpenDisplay(nullptr);
    if (!display_)
        return fail(QStringLiteral("无法连接 X 服务器（DISPLAY=%1）").arg(qEnvironmentVariable("DISPLAY")));

    int event = 0;
    int err = 0;
    if (!XQueryExtension(display_, "XInputExtension", &xiOpcode_, &event, &err))
        return fail(QStringLiteral("X 服务器没有 XInput 扩展"));
    // 2.1 and later deliver raw events during grabs as well (menus, games, other hotkeys).
    int major = 2;
    int minor = 2;
    if (XIQueryVersion(display_, &major, &minor) != Success || (major == 2 && minor < 1))
        return fail(QStringLiteral("X 服务器的 XInput 版本过旧（需要 2.1）"));

    int xkbOpcode = 0;
    int xkbError = 0;
    int xkbMajor = XkbMajorVersion;
    int xkbMinor = XkbMinorVersion;
    if (XkbQueryExtension(display_, &xkbOpcode, &xkbEventBase_, &xkbError, &xkbMajor, &xkbMinor))
        XkbSelectEvents(display_, XkbUseCoreKbd, XkbMapNotifyMask | XkbNewKeyboardNotifyMask,
            XkbMapNotifyMask | XkbNewKeyboardNotifyMask);
    else
        xkbEventBase_ = -1;

    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_RawKeyPress);
    XISetMask(bits, XI_RawKeyRelease);
    XIEventMask mask {XIAllMasterDevices, sizeof(bits), bits};
    XISelectEvents(display_, DefaultRootWindow(display_), &mask, 1);
    refreshKeymap();
    findXTestDevices();
    SyntheticKeyLedger::shared().subscribe(this);
    XSync(display_, False);

    notifier_ = new QSocketNotifier(ConnectionNumber(display_), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &X11KeyMonitor::readEvents);
    // XSync may already have queued events that the socket will not announce again.
    QMetaObject::invokeMethod(this, &X11KeyMonitor::readEvents, Qt::QueuedConnection);
    qCDebug(lcPlatform) << "key monitor: XInput2" << major << minor;
    return true;
}

void X11KeyMonitor::refreshKeymap()
{
    for (int kc = 0; kc < int(neutralByKeycode_.size()); ++kc) {
        const KeySym sym = kc < 8 ? NoSymbol : XkbKeycodeToKeysym(display_, XKeyCode(kc), 0, 0);
        neutralByKeycode_[kc] = neutralModifierForKeysym(sym);
    }
}

void X11KeyMonitor::findXTestDevices()
{
    xtestDevices_.clear();
    int count = 0;
    XIDeviceInfo* devices = XIQueryDevice(display_, XIAllDevices, &count);
    for (int i = 0; i < count; ++i) {
        if (devices[i].use == XISlaveKeyboard && QByteArray(devices[i].name).endsWith(" XTEST keyboard"))
            xtestDevices_.append(devices[i].deviceid);
    }
    XIFreeDeviceInfo(devices);
}

void X11KeyMonitor::processRawKey(int xKeycode, bool press, bool fromXTest)
{
    if (xKeycode < 0 || xKeycode >= int(neutralByKeycode_.size()))
        return;
    if (fromXTest && SyntheticKeyLedger::shared().consume(this, xKeycode, press))
        return;
    const int modifier = neutralByKeycode_[xKeycode];
    const int code = modifier ? modifier : KeyCode::OrdinaryKeyBase + xKeycode;
    // WORKAROUND(XInput2): raw events repeat while a key is held; only edges count.
    const auto e = press ? tracker_.press(kSource, code) : tracker_.release(kSource, code);
    if (e)
        Q_EMIT keyEvent(e->type, e->flags, e->keyCode);
}

void X11KeyMonitor::readEvents()
{
    if (!display_)
        return;
    // Drain everything Xlib has read or can read now: the notifier only fires for new bytes.
    while (XPending(display_)) {
        XEvent ev;
        XNextEvent(display_, &ev);
        if (ev.type == MappingNotify) {
            XRefreshKeyboardMapping(&ev.xmapping);
            refreshKeymap();
            continue;
        }
        if (xkbEventBase_ >= 0 && ev.type == xkbEventBase_) {
            const int xkbType = reinterpret_cast<XkbAnyEvent*>(&ev)->xkb_type;
            if (xkbType == XkbMapNotify) {
                XkbRefreshKeyboardMapping(reinterpret_cast<XkbMapNotifyEvent*>(&ev));
                refreshKeymap();
            } else if (xkbType == XkbNewKeyboardNotify) {
                refreshKeymap();
            }
            continue;
        }
        XGenericEventCookie* cookie = &ev.xcookie;
        if (cookie->type != GenericEvent || cookie->extension != xiOpcode_
            || !XGetEventData(display_, cookie))
            continue;
        if (cookie->evtype == XI_RawKeyPress || cookie->evtype == XI_RawKeyRelease) {
            const auto* raw = static_cast<const XIRawEvent*>(cookie->data);
            processRawKey(
                raw->detail, cookie->evtype == XI_RawKeyPress, xtestDevices_.contains(raw->sourceid));
        }
        XFreeEventData(display_, cookie);
    }
}
