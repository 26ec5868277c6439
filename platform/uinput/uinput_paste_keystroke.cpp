#include "platform/uinput/uinput_paste_keystroke.h"

#include "platform/platform_log.h"
#include "platform/uinput/input_event_writer.h"

#include <QFile>
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
    return fd_ >= 0 || ::access(QFile::encodeName(path_).constData(), W_OK) == 0;
}

bool UinputPasteKeystroke::createDevice()
{
    if (fd_ >= 0)
        return true;
    const int fd = ::open(QFile::encodeName(path_).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
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
