#include "platform/evdev/evdev_key_decoder.h"

namespace {
bool isButton(unsigned int code)
{
    return (code >= BTN_MISC && code < KEY_OK) || (code >= BTN_DPAD_UP && code <= BTN_DPAD_RIGHT)
        || code >= BTN_TRIGGER_HAPPY;
}
} // namespace

int EvdevKeyDecoder::neutralCode(unsigned int evdevCode)
{
    switch (evdevCode) {
    case KEY_RIGHTMETA:
        return KeyCode::RightCommand;
    case KEY_LEFTMETA:
        return KeyCode::LeftCommand;
    case KEY_LEFTSHIFT:
        return KeyCode::Shift;
    case KEY_RIGHTSHIFT:
        return KeyCode::RightShift;
    case KEY_CAPSLOCK:
        return KeyCode::CapsLock;
    case KEY_LEFTALT:
        return KeyCode::Option;
    case KEY_RIGHTALT:
        return KeyCode::RightOption;
    case KEY_LEFTCTRL:
        return KeyCode::Control;
    case KEY_RIGHTCTRL:
        return KeyCode::RightControl;
    case KEY_FN:
        return KeyCode::Function;
    default:
        return KeyCode::OrdinaryKeyBase + int(evdevCode) + 8;
    }
}

std::optional<KeyStateTracker::Event> EvdevKeyDecoder::decode(int source, const input_event& event)
{
    // Buttons (BTN_*) share EV_KEY with keys; a mouse click is not a keyboard key.
    if (event.type != EV_KEY || isButton(event.code))
        return std::nullopt;
    if (event.value == 1)
        return tracker_.press(source, neutralCode(event.code));
    if (event.value == 0)
        return tracker_.release(source, neutralCode(event.code));
    return std::nullopt; // 2: auto-repeat
}

QList<KeyStateTracker::Event> EvdevKeyDecoder::deviceRemoved(int source)
{
    return tracker_.releaseSource(source);
}
