#pragma once

#include "platform/paste_keystroke.h"

// Ctrl+V through a virtual keyboard on /dev/uinput, for sessions where XTest is not
// available. The compositor's focus is not visible from here, so terminals get Ctrl+V too.
// The evdev key monitor knows the keyboard by its name and never reads it.
class UinputPasteKeystroke : public PasteKeystroke {
public:
    explicit UinputPasteKeystroke(const QString& devicePath = QStringLiteral("/dev/uinput"));
    ~UinputPasteKeystroke() override;
    UinputPasteKeystroke(const UinputPasteKeystroke&) = delete;
    UinputPasteKeystroke& operator=(const UinputPasteKeystroke&) = delete;

    // The name of the virtual keyboard (the evdev monitor skips it).
    static QString deviceName();

    bool canSend() const override;
    PlatformProblem sendProblem() const override { return problem_; }
    // The problem behind a failed open() of the device, by its errno.
    static PlatformProblem problemForOpenError(int error);
    PasteMethod methodForFocus() const override { return PasteMethod::ControlV; }
    // The kernel drops a release of a key that this device did not press.
    bool releasesHeldModifiers() const override { return false; }
    bool send(PasteMethod method) override;
    QString backendName() const override;

private:
    bool createDevice();

    QString path_;
    int fd_ = -1;
    PlatformProblem problem_ = PlatformProblem::UinputFailed;
};
