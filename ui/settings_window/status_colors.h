#pragma once

#include <QColor>
#include <QPalette>

// The settings window's status colours, in the tones that stay legible for small text on
// the window's own background: deeper ones on a light window (the pure system tones are
// too pale there), brighter ones on a dark window.
struct StatusColors {
    static bool isDark(const QPalette& palette) { return palette.color(QPalette::Window).lightness() < 128; }
    static QColor green(const QPalette& p)
    {
        return isDark(p) ? QColor(0x32, 0xd7, 0x4b) : QColor(0x1e, 0x8e, 0x3e);
    }
    static QColor orange(const QPalette& p)
    {
        return isDark(p) ? QColor(0xff, 0x9f, 0x0a) : QColor(0xe3, 0x74, 0x00);
    }
    static QColor red(const QPalette& p)
    {
        return isDark(p) ? QColor(0xff, 0x6b, 0x61) : QColor(0xd9, 0x30, 0x25);
    }
    // Secondary and tertiary text: progress lines and hints.
    static QColor secondary(const QPalette& p)
    {
        return isDark(p) ? QColor(0xae, 0xae, 0xb2) : QColor(0x6e, 0x6e, 0x73);
    }
    static QColor tertiary(const QPalette& p)
    {
        return isDark(p) ? QColor(0x98, 0x98, 0x9d) : QColor(0x8e, 0x8e, 0x93);
    }
};
