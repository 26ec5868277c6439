#pragma once

#include <QColor>

// The settings window's status colours, chosen to stay legible on a light window
// background (the pure system tones are too pale for small text).
struct StatusColors {
    static QColor green() { return QColor(0x1e, 0x8e, 0x3e); }
    static QColor orange() { return QColor(0xe3, 0x74, 0x00); }
    static QColor red() { return QColor(0xd9, 0x30, 0x25); }
    // Secondary and tertiary text: progress lines and hints.
    static QColor secondary() { return QColor(0x6e, 0x6e, 0x73); }
    static QColor tertiary() { return QColor(0x8e, 0x8e, 0x93); }
};
