#pragma once

#include <QString>
#include <array>
#include <optional>

// The key held to dictate. Raw values are what "triggerKey" stores.
enum class TriggerKey { fn, control, option, rightCommand };

inline constexpr std::array<TriggerKey, 4> allTriggerKeys
    = {TriggerKey::fn, TriggerKey::control, TriggerKey::option, TriggerKey::rightCommand};

QString rawValue(TriggerKey key);
// Exact, case-sensitive match of the four raw values; anything else has no value.
std::optional<TriggerKey> triggerKeyFromRawValue(const QString& raw);
// "fn 键", "Control 键", "Option 键", "右 Command 键": the settings window's menu.
QString displayName(TriggerKey key);
// "fn", "Control", "Option", "右 ⌘": put into sentences.
QString shortName(TriggerKey key);

// Whether the running key monitor can see the fn key (X11 never delivers it). Set by the
// application once its key monitor runs; true until then.
void setFnKeyVisible(bool visible);
bool isVisibleToKeyMonitor(TriggerKey key);
// The trigger while none is stored: fn where the key monitor sees it, else Control.
TriggerKey defaultTriggerKey();
// Empty, or a sentence saying that the running key monitor cannot see the key.
QString visibilityNote(TriggerKey key);
