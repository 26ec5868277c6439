#pragma once

#include <QRect>

class QWidget;

// Frame of the primary screen, or an 800 x 600 rectangle when there is none.
QRect primaryScreenFrame();

// A window of the given size whose top edge is `topInset` pixels below the top of
// `screen`, horizontally centred for `centringWidth` (the initial width).
QRect topCentredRect(const QRect& screen, int centringWidth, int width, int height, int topInset);

// Frameless, always-on-top tool window that never takes the keyboard focus, so the
// application being dictated into keeps it.
void makeOverlayWindow(QWidget* window);
