#include "waveform_view.h"

#include <QPainter>
#include <algorithm>

namespace {
const QColor kBackground = QColor::fromRgbF(0.1f, 0.1f, 0.15f, 0.9f);
constexpr qreal kBarWidth = 3;
constexpr qreal kBarPitch = 5; // bar plus a 2 px gap
constexpr qreal kMinimumBarHeight = 3;
} // namespace

WaveformView::WaveformView(QWidget* parent)
    : QWidget(parent)
    , m_levels(kBarCount, 0.0)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

void WaveformView::updateLevel(qreal level)
{
    // A NaN or negative level would draw a bar of undefined height and opacity.
    if (!(level >= 0))
        level = 0;
    m_levels.removeFirst();
    m_levels.append(std::min(level, qreal(1.0)));
    update();
}

void WaveformView::reset()
{
    m_levels.fill(0.0);
    update();
}

void WaveformView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kBackground);
    painter.drawRoundedRect(QRectF(rect()), 8, 8);

    const qsizetype n = m_levels.size();
    if (n == 0)
        return;
    const qreal totalWidth = qreal(n) * kBarPitch - (kBarPitch - kBarWidth);
    const qreal startX = (width() - totalWidth) * 0.5;
    const qreal maxHeight = height() - 8;
    for (qsizetype i = 0; i < n; ++i) {
        const qreal level = m_levels[i];
        const qreal h = std::max(maxHeight * level, kMinimumBarHeight);
        const qreal x = startX + qreal(i) * kBarPitch;
        const qreal y = (height() - h) * 0.5;
        painter.setBrush(QColor::fromRgbF(0.95f, 0.3f, 0.3f, float(0.7 + 0.3 * level)));
        painter.drawRoundedRect(QRectF(x, y, kBarWidth, h), 1.5, 1.5);
    }
}
