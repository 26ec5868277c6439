#include "waveform_window.h"

#include "ui/overlay_support.h"

namespace {
constexpr int kTopInset = 52; // bottom edge 80 px below the screen top, minus the height
} // namespace

WaveformWindow::WaveformWindow(QWidget* parent)
    : QWidget(parent)
{
    makeOverlayWindow(this);
    setGeometry(frameForScreen(primaryScreenFrame()));
    setFixedSize(kWidth, kHeight);
}

QRect WaveformWindow::frameForScreen(const QRect& screen)
{
    return topCentredRect(screen, kWidth, kWidth, kHeight, kTopInset);
}
