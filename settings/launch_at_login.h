#pragma once

#include <QString>

// Starting Parlix at login through an XDG autostart entry
// ($XDG_CONFIG_HOME/autostart/parlix.desktop), made from the same desktop entry that is
// installed for the application menu, with Exec pointing at the running executable.
namespace LaunchAtLogin {

QString autostartFilePath();

// The autostart entry's text for the executable at exePath.
QString autostartEntry(const QString& exePath);

// Writes (enabled) or removes (disabled) the entry. On failure returns false and says why.
bool apply(bool enabled, QString* error);

} // namespace LaunchAtLogin
