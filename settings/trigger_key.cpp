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
