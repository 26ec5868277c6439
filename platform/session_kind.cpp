#include "platform/session_kind.h"

SessionEnvironment SessionEnvironment::current()
{
    return {qEnvironmentVariable("XDG_SESSION_TYPE"), qEnvironmentVariable("WAYLAND_DISPLAY")};
}

SessionKind sessionKind(const SessionEnvironment& environment)
{
    const QString type = environment.sessionType.trimmed().toLower();
    if (type == QLatin1String("wayland"))
        return SessionKind::Wayland;
    if (type == QLatin1String("x11"))
        return SessionKind::X11;
    return environment.waylandDisplay.isEmpty() ? SessionKind::X11 : SessionKind::Wayland;
}
