#pragma once

#include <QWidget>

// The borderless 120 x 28 pill that carries the level bars, 52 px below the top of the
// primary screen and horizontally centred. It never takes the focus.
class WaveformWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 120;
    static constexpr int kHeight = 28;

    explicit WaveformWindow(QWidget* parent = nullptr);
    // The window's frame for a screen of this geometry.
    static QRect frameForScreen(const QRect& screen);
};
