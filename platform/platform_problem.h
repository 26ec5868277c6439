#pragma once

#include <QString>

// Why a key monitor or a paste keystroke cannot work here, in terms of what the person
// can change.
enum class PlatformProblem {
    KeyEventsUnavailable, // the X server gives no XInput2 key events
    NoInputDevices, // no /dev/input at all (a container, a remote desktop)
    KeyboardsUnreadable, // keyboards there, but not readable: not in the "input" group
    NoKeyboards, // nothing readable is a keyboard
    KeystrokesUnavailable, // the X server has no XTest
    UinputMissing, // no /dev/uinput: the module is not loaded
    UinputUnwritable, // /dev/uinput there, not writable by this user
    UinputFailed, // writable, but the kernel refused the virtual keyboard
    WlClipboardMissing, // the compositor has data-control, wl-copy/wl-paste are not installed
};

// Whether the problem leaves the trigger key dead (else: no automatic paste).
bool isKeyProblem(PlatformProblem problem);

// The menu's status line: short, one line.
QString problemStatusLine(PlatformProblem problem);

// What is missing and the command or step that grants it. `uinputRuleInstalled`: our udev
// rule for /dev/uinput is on the system (then logging in again is what is left to do).
QString problemMessage(PlatformProblem problem, bool uinputRuleInstalled);

// Where the package puts that rule, and where a person may put it by hand.
QStringList uinputRulePaths();
bool uinputRuleInstalled();
