#include "platform/uinput/uinput_paste_keystroke.h"

#include "platform/platform_log.h"
#include "platform/uinput/input_event_writer.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <unistd.h>

UinputPasteKeystroke::UinputPasteKeystroke(const QString& devicePath)
    : path_(devicePath)
{
    // Created now rather than at the first paste: a compositor needs a moment to adopt a
    // new keyboard and would drop a keystroke sent right after its creation.
    createDevice();
}

UinputPasteKeystroke::~UinputPasteKeystroke()
{
    if (fd_ >= 0) {
        ioctl(fd_, UI_DEV_DESTROY);
        ::close(fd_);
    }
}

QString UinputPasteKeystroke::deviceName()
{
    return QStringLiteral("Parlix virtual keyboard");
}

QString UinputPasteKeystroke::backendName() const
{
    return QStringLiteral("uinput");
}

bool UinputPasteKeystroke::canSend() const
{
    // Access may be granted while we run (udev applies a new rule to the device).
    return fd_ >= 0
        || (problem_ != PlatformProblem::UinputFailed
            && ::access(QFile::encodeName(path_).constData(), W_OK) == 0);
}

PlatformProblem UinputPasteKeystroke::problemForOpenError(int error)
{
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return PlatformProblem::UinputMissing;
    case EACCES:
    case EPERM:
    case EROFS:
        return PlatformProblem::UinputUnwritable;
    default:
        return PlatformProblem::UinputFailed;
    }
}

bool UinputPasteKeystroke::createDevice()
{
    if (fd_ >= 0)
        return true;
    const int fd = ::open(QFile::encodeName(path_).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        problem_ = problemForOpenError(errno);
        return false;
    }
    bool ok = ioctl(fd, UI_SET_EVBIT, EV_KEY) == 0 && ioctl(fd, UI_SET_EVBIT, EV_SYN) == 0;
    for (int key : {KEY_LEFTCTRL, KEY_LEFTSHIFT, KEY_V})
        ok = ok && ioctl(fd, UI_SET_KEYBIT, key) == 0;
    uinput_setup setup {};
    setup.id.bustype = BUS_VIRTUAL;
    setup.id.vendor = 0x1209; // pid.codes test vendor
    setup.id.product = 0x0001;
    const QByteArray name = deviceName().toUtf8();
    std::strncpy(setup.name, name.constData(), UINPUT_MAX_NAME_SIZE - 1);
    ok = ok && ioctl(fd, UI_DEV_SETUP, &setup) == 0 && ioctl(fd, UI_DEV_CREATE) == 0;
    if (!ok) {
        qCWarning(lcPlatform) << "uinput: cannot create the virtual keyboard on" << path_;
        ::close(fd);
        problem_ = PlatformProblem::UinputFailed;
        return false;
    }
    fd_ = fd;
    return true;
}

bool UinputPasteKeystroke::send(PasteMethod method)
{
    if (!createDevice())
        return false;
    // Shift+Insert is not among the keys of the device: a focus we cannot see gets Ctrl+V.
    return InputEventWriter(fd_).write(InputEventWriter::pasteSequence(method == PasteMethod::ControlShiftV));
}
