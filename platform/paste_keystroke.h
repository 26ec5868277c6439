#pragma once

#include "platform/platform_problem.h"

#include <QString>

// How the focused window pastes: Ctrl+V, Ctrl+Shift+V in terminal emulators, and
// Shift+Insert from the PRIMARY selection in the xterm family, which binds no key to the
// CLIPBOARD by default.
enum class PasteMethod { ControlV, ControlShiftV, ShiftInsert };

inline bool pastesFromPrimary(PasteMethod method)
{
    return method == PasteMethod::ShiftInsert;
}

// Sends the paste keystroke to the focused window. The keystroke carries only its own
// modifiers, even while the user still holds others (the trigger key, Shift...), where
// the backend can lift them, and never reaches the key monitors: it is not the person's
// typing.
class PasteKeystroke {
public:
    virtual ~PasteKeystroke() = default;

    // Whether keystrokes can be sent at all (the "accessibility trust" of the desktop).
    virtual bool canSend() const = 0;
    // While canSend() is false: what the person can do about it.
    virtual PlatformProblem sendProblem() const { return PlatformProblem::KeystrokesUnavailable; }
    // The keystroke the window that has the keyboard focus now pastes with.
    virtual PasteMethod methodForFocus() const = 0;
    // Whether send() lifts the modifiers the person still holds for its keystroke. Where it
    // cannot, the caller waits for the person to let go of them.
    virtual bool releasesHeldModifiers() const { return true; }
    // False when the keystroke could not be sent.
    virtual bool send(PasteMethod method) = 0;
    // Called as a trigger that is Alt or Super goes down: many programs open their menu bar
    // (Alt) or launcher (Super) when such a key is pressed and released alone, and the
    // person's next keys would go there. A tap of another modifier while it is held makes
    // it a combination. Never reaches the key monitors.
    virtual void maskLoneModifier() { }
    virtual QString backendName() const = 0;
};
