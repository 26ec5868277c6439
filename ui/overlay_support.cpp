#include "overlay_support.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

QRect primaryScreenFrame()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        return screen->geometry();
    return QRect(0, 0, 800, 600);
}

QRect topCentredRect(const QRect& screen, int centringWidth, int width, int height, int topInset)
{
    // The screen's origin is added so that the overlay lands on the primary screen even
    // when another monitor sits left of or above it.
    const int x = screen.x() + int(std::floor((screen.width() - centringWidth) * 0.5));
    return QRect(x, screen.y() + topInset, width, height);
}

void makeOverlayWindow(QWidget* window)
{
    // WORKAROUND(X11): bypassing the window manager is the one way to be sure no manager
    // hands the overlay the focus; it also keeps it on every virtual desktop.
    window->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
        | Qt::WindowDoesNotAcceptFocus | Qt::X11BypassWindowManagerHint);
    window->setAttribute(Qt::WA_ShowWithoutActivating);
    window->setAttribute(Qt::WA_TranslucentBackground);
    window->setFocusPolicy(Qt::NoFocus);
}
