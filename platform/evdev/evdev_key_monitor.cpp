#include "platform/evdev/evdev_key_monitor.h"

#include "platform/platform_log.h"
#include "platform/uinput/uinput_paste_keystroke.h"

#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <fcntl.h>
#include <libevdev/libevdev.h>
#include <unistd.h>

struct EvdevKeyMonitor::Device {
    int fd = -1;
    int source = 0;
    libevdev* dev = nullptr;
    std::unique_ptr<QSocketNotifier> notifier;

    ~Device()
    {
        // Often destroyed from the notifier's own signal (the device vanished mid-read).
        if (notifier) {
            notifier->setEnabled(false);
            notifier.release()->deleteLater();
        }
        if (dev)
            libevdev_free(dev);
        if (fd >= 0)
            ::close(fd);
    }
};

namespace {
bool isKeyboard(libevdev* dev)
{
    if (!libevdev_has_event_type(dev, EV_KEY))
        return false;
    if (libevdev_has_event_code(dev, EV_KEY, KEY_LEFTCTRL) || libevdev_has_event_code(dev, EV_KEY, KEY_FN))
        return true;
    for (unsigned int code = KEY_Q; code <= KEY_M; ++code) {
        if (libevdev_has_event_code(dev, EV_KEY, code))
            return true;
    }
    return false;
}
} // namespace

EvdevKeyMonitor::EvdevKeyMonitor(const QString& inputDirectory, QObject* parent)
    : KeyMonitor(parent)
    , directory_(inputDirectory)
{
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] {
        rescan();
        // udev gives a new node its group permissions a moment after creating it.
        QTimer::singleShot(1000, this, &EvdevKeyMonitor::rescan);
    });
}

EvdevKeyMonitor::~EvdevKeyMonitor() = default;

QString EvdevKeyMonitor::backendName() const
{
    return QStringLiteral("evdev");
}

std::optional<PlatformProblem> EvdevKeyMonitor::problemOf(const Scan& scan)
{
    if (scan.keyboards > 0)
        return std::nullopt;
    if (!scan.directoryExists || scan.nodes == 0)
        return PlatformProblem::NoInputDevices;
    // One unreadable node may be the keyboard; the readable rest (a joystick, say) is not.
    return scan.denied > 0 ? PlatformProblem::KeyboardsUnreadable : PlatformProblem::NoKeyboards;
}

bool EvdevKeyMonitor::start(QString* error)
{
    if (started_)
        return true;
    const QDir dir(directory_);
    Scan scan;
    scan.directoryExists = dir.exists();
    const QStringList nodes = dir.entryList({QStringLiteral("event*")}, QDir::System | QDir::Files);
    scan.nodes = int(nodes.size());
    for (const QString& name : nodes) {
        if (attach(dir.filePath(name)) == AttachResult::NoAccess)
            ++scan.denied;
    }
    scan.keyboards = int(devices_.size());
    if (const auto problem = problemOf(scan)) {
        problem_ = *problem;
        if (error)
            *error = QStringLiteral("%1: %2 event nodes, %3 not readable, no keyboard")
                         .arg(directory_)
                         .arg(scan.nodes)
                         .arg(scan.denied);
        devices_.clear();
        return false;
    }
    watcher_.addPath(directory_);
    started_ = true;
    qCInfo(lcPlatform) << "key monitor: evdev," << devices_.size() << "keyboards";
    return true;
}

void EvdevKeyMonitor::rescan()
{
    const QDir dir(directory_);
    const QStringList nodes = dir.entryList({QStringLiteral("event*")}, QDir::System | QDir::Files);
    QSet<QString> present;
    for (const QString& name : nodes)
        present.insert(dir.filePath(name));
    for (const QString& path : devices_.keys()) {
        if (!present.contains(path))
            detach(path);
    }
    for (const QString& path : std::as_const(present)) {
        if (!devices_.contains(path))
            attach(path);
    }
}

EvdevKeyMonitor::AttachResult EvdevKeyMonitor::attach(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == EACCES || errno == EPERM ? AttachResult::NoAccess : AttachResult::Failed;
    auto device = std::make_shared<Device>();
    device->fd = fd;
    if (libevdev_new_from_fd(fd, &device->dev) < 0) {
        device->dev = nullptr;
        return AttachResult::Failed;
    }
    // Our own paste keyboard must not feed the gestures (its Ctrl would read as a tap).
    if (!isKeyboard(device->dev)
        || QString::fromUtf8(libevdev_get_name(device->dev)) == UinputPasteKeystroke::deviceName())
        return AttachResult::NotKeyboard;
    device->source = nextSource_++;
    device->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(device->notifier.get(), &QSocketNotifier::activated, this, [this, path] { readDevice(path); });
    devices_.insert(path, device);
    qCInfo(lcPlatform) << "evdev: attached" << path << libevdev_get_name(device->dev);
    return AttachResult::Attached;
}

void EvdevKeyMonitor::detach(const QString& path)
{
    const auto device = devices_.take(path);
    if (!device)
        return;
    qCInfo(lcPlatform) << "evdev: detached" << path;
    const auto released = decoder_.deviceRemoved(device->source);
    for (const auto& e : released)
        Q_EMIT keyEvent(e.type, e.flags, e.keyCode);
}

void EvdevKeyMonitor::deliver(const std::optional<KeyStateTracker::Event>& event)
{
    if (event)
        Q_EMIT keyEvent(event->type, event->flags, event->keyCode);
}

void EvdevKeyMonitor::readDevice(const QString& path)
{
    const auto device = devices_.value(path); // keeps it alive while signals run
    if (!device)
        return;
    input_event ev;
    unsigned int flags = LIBEVDEV_READ_FLAG_NORMAL;
    for (;;) {
        const int rc = libevdev_next_event(device->dev, flags, &ev);
        if (rc == LIBEVDEV_READ_STATUS_SYNC) {
            // The kernel dropped events: libevdev replays the state difference.
            flags = LIBEVDEV_READ_FLAG_SYNC;
            deliver(decoder_.decode(device->source, ev));
        } else if (rc == LIBEVDEV_READ_STATUS_SUCCESS) {
            deliver(decoder_.decode(device->source, ev));
        } else if (rc == -EAGAIN && flags == LIBEVDEV_READ_FLAG_SYNC) {
            flags = LIBEVDEV_READ_FLAG_NORMAL;
        } else if (rc == -EAGAIN) {
            return;
        } else {
            detach(path); // -ENODEV: unplugged
            return;
        }
        if (!devices_.contains(path))
            return;
    }
}
