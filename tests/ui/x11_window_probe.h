#pragma once

#include <QProcess>
#include <QString>
#include <QWidget>

// What a window manager would read from the X server: whether the window asks for the
// keyboard focus (WM_HINTS input) and whether it bypasses the manager altogether.
struct X11WindowProbe {
    bool acceptsInput = true;
    bool overrideRedirect = false;

    static X11WindowProbe of(const QWidget& window)
    {
        const QString id = QStringLiteral("0x") + QString::number(window.winId(), 16);
        X11WindowProbe probe;
        QProcess xprop;
        xprop.start(QStringLiteral("xprop"), {QStringLiteral("-id"), id, QStringLiteral("WM_HINTS")});
        xprop.waitForFinished(5000);
        probe.acceptsInput = !QString::fromUtf8(xprop.readAllStandardOutput()).contains(QStringLiteral("input focus: False"));
        QProcess xwininfo;
        xwininfo.start(QStringLiteral("xwininfo"), {QStringLiteral("-id"), id});
        xwininfo.waitForFinished(5000);
        probe.overrideRedirect = QString::fromUtf8(xwininfo.readAllStandardOutput()).contains(QStringLiteral("Override Redirect State: yes"));
        return probe;
    }
};
