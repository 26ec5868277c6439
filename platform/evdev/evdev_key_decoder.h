#pragma once

#include "platform/key_state_tracker.h"

#include <QList>
#include <linux/input.h>

// Decodes the input_event records of keyboards into the neutral stream. Ordinary keys
// carry OrdinaryKeyBase + (evdev code + 8), the same number the X11 backend reports for
// the same key.
class EvdevKeyDecoder {
public:
    static int neutralCode(unsigned int evdevCode);

    // Events of one device (source); repeats (value 2) and non-key records yield nothing.
    std::optional<KeyStateTracker::Event> decode(int source, const input_event& event);
    // The device is gone: release every key it still held.
    QList<KeyStateTracker::Event> deviceRemoved(int source);

private:
    KeyStateTracker tracker_;
};
