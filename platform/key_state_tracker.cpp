#include "platform/key_state_tracker.h"

#include <algorithm>

bool KeyStateTracker::isModifier(int keyCode)
{
    return keyCode >= KeyCode::RightCommand && keyCode <= KeyCode::Function;
}

std::optional<KeyStateTracker::Event> KeyStateTracker::press(int source, int keyCode)
{
    if (held_.contains({source, keyCode}))
        return std::nullopt; // auto-repeat
    held_.insert({source, keyCode});
    if (holders_[keyCode]++ > 0)
        return std::nullopt; // already down on another keyboard
    return edge(keyCode, true);
}

std::optional<KeyStateTracker::Event> KeyStateTracker::release(int source, int keyCode)
{
    // A release never seen pressed (held before we started) changes nothing we reported.
    if (!held_.remove({source, keyCode}))
        return std::nullopt;
    if (--holders_[keyCode] > 0)
        return std::nullopt;
    holders_.remove(keyCode);
    return edge(keyCode, false);
}

QList<KeyStateTracker::Event> KeyStateTracker::releaseSource(int source)
{
    QList<int> codes;
    for (const auto& [s, code] : std::as_const(held_)) {
        if (s == source)
            codes.append(code);
    }
    // Ordinary keys first, so the modifier releases come last as on a real keyboard.
    std::sort(codes.begin(), codes.end(),
        [](int a, int b) { return isModifier(a) == isModifier(b) ? a < b : !isModifier(a); });
    QList<Event> events;
    for (int code : codes) {
        if (auto e = release(source, code))
            events.append(*e);
    }
    return events;
}

void KeyStateTracker::clear()
{
    held_.clear();
    holders_.clear();
    flags_ = 0;
}

std::optional<KeyStateTracker::Event> KeyStateTracker::edge(int keyCode, bool down)
{
    if (!isModifier(keyCode))
        return Event {down ? KeyEventType::KeyDown : KeyEventType::KeyUp, flags_, keyCode};
    recomputeFlags();
    return Event {KeyEventType::FlagsChanged, flags_, keyCode};
}

void KeyStateTracker::recomputeFlags()
{
    auto down = [this](int code) { return holders_.contains(code); };
    quint64 f = 0;
    if (down(KeyCode::Shift) || down(KeyCode::RightShift))
        f |= ModifierFlag::Shift;
    if (down(KeyCode::Control) || down(KeyCode::RightControl))
        f |= ModifierFlag::Control;
    if (down(KeyCode::Option) || down(KeyCode::RightOption))
        f |= ModifierFlag::Alternate;
    if (down(KeyCode::LeftCommand))
        f |= ModifierFlag::Command | ModifierFlag::LeftCommandDevice;
    if (down(KeyCode::RightCommand))
        f |= ModifierFlag::Command | ModifierFlag::RightCommandDevice;
    if (down(KeyCode::Function))
        f |= ModifierFlag::SecondaryFn;
    flags_ = f;
}
