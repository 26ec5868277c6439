#include "trigger_key.h"

QString rawValue(TriggerKey key)
{
    switch (key) {
    case TriggerKey::fn:
        return QStringLiteral("fn");
    case TriggerKey::control:
        return QStringLiteral("control");
    case TriggerKey::option:
        return QStringLiteral("option");
    case TriggerKey::rightCommand:
        return QStringLiteral("rightCommand");
    }
    return QStringLiteral("fn");
}

std::optional<TriggerKey> triggerKeyFromRawValue(const QString& raw)
{
    for (TriggerKey key : allTriggerKeys) {
        if (rawValue(key) == raw)
            return key;
    }
    return std::nullopt;
}

QString displayName(TriggerKey key)
{
    switch (key) {
    case TriggerKey::fn:
        return QStringLiteral("fn 键");
    case TriggerKey::control:
        return QStringLiteral("Control 键");
    case TriggerKey::option:
        return QStringLiteral("Option 键");
    case TriggerKey::rightCommand:
        return QStringLiteral("右 Command 键");
    }
    return {};
}

QString shortName(TriggerKey key)
{
    switch (key) {
    case TriggerKey::fn:
        return QStringLiteral("fn");
    case TriggerKey::control:
        return QStringLiteral("Control");
    case TriggerKey::option:
        return QStringLiteral("Option");
    case TriggerKey::rightCommand:
        return QStringLiteral("右 ⌘");
    }
    return {};
}

namespace {
bool fnKeyVisible = true;
} // namespace

void setFnKeyVisible(bool visible)
{
    fnKeyVisible = visible;
}

bool isVisibleToKeyMonitor(TriggerKey key)
{
    return key != TriggerKey::fn || fnKeyVisible;
}

TriggerKey defaultTriggerKey()
{
    return fnKeyVisible ? TriggerKey::fn : TriggerKey::control;
}

QString visibilityNote(TriggerKey key)
{
    if (isVisibleToKeyMonitor(key))
        return {};
    return QStringLiteral("当前的按键监听收不到 ") + shortName(key) + QStringLiteral(" 键，请换一个触发键");
}
