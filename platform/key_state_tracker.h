#pragma once

#include "platform/key_event.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <optional>
#include <utility>

// Turns press/release reports of physical keys (already named by their neutral code)
// into the neutral stream: edges only, modifier flags computed from every modifier key
// currently held. Keys are held per source (a keyboard device), so that the same key on
// two keyboards counts once and a keyboard that disappears can release what it held.
class KeyStateTracker {
public:
    struct Event {
        KeyEventType type;
        quint64 flags;
        int keyCode;
        bool operator==(const Event&) const = default;
    };

    static bool isModifier(int keyCode);

    std::optional<Event> press(int source, int keyCode);
    std::optional<Event> release(int source, int keyCode);
    // Releases every key the source still holds (the device went away).
    QList<Event> releaseSource(int source);
    void clear();

    quint64 flags() const { return flags_; }

private:
    std::optional<Event> edge(int keyCode, bool down);
    void recomputeFlags();

    QSet<std::pair<int, int>> held_; // (source, keyCode)
    QHash<int, int> holders_; // keyCode -> number of sources holding it
    quint64 flags_ = 0;
};
