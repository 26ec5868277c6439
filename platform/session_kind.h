#pragma once

#include <QString>

// Which kind of desktop session Parlix runs in. It decides the key monitor and the paste
// keystroke, whatever window system Qt itself talks to: under XWayland, Qt speaks X11,
// but the X11 backends only see XWayland windows.
enum class SessionKind { X11, Wayland };

struct SessionEnvironment {
    QString sessionType; // XDG_SESSION_TYPE
    QString waylandDisplay; // WAYLAND_DISPLAY
    static SessionEnvironment current();
};

// XDG_SESSION_TYPE when it names a window system, else WAYLAND_DISPLAY: a compositor
// started from a text console runs in a session of type "tty".
SessionKind sessionKind(const SessionEnvironment& environment);
