#pragma once

#include <QString>

// Sends the paste keystroke to the focused window: Ctrl+V, or Ctrl+Shift+V when that
// window is a terminal emulator. The keystroke carries only its own modifiers, even while
// the user still holds others (the trigger key, Shift...).
class PasteKeystroke {
public:
    virtual ~PasteKeystroke() = default;

    // Whether keystrokes can be sent at all (the "accessibility trust" of the desktop).
    virtual bool canSend() const = 0;
    // False when the keystroke could not be sent.
    virtual bool send() = 0;
    virtual QString backendName() const = 0;
};
