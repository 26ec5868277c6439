#include "status_title.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <algorithm>
#include <cmath>

namespace {
const QString kFish = QStringLiteral("🐟");
const QString kDot = QStringLiteral("● ");
// The recording title sits on a dark badge of its own: the panel may be dark or light, and
// text in the panel's colours vanishes on one of them. The tones are the red and blue that
// stay legible on dark ground; the thin light rim sets the badge off a dark panel.
const QColor kBadge(28, 28, 36);
const QColor kRim(255, 255, 255, 150);
const QColor kRed(255, 69, 58);
const QColor kBlue(64, 156, 255);
const QColor kWhite(255, 255, 255);

void drawFish(QPainter& painter, int size)
{
    QFont font(QStringLiteral("Noto Color Emoji"));
    font.setPixelSize(std::max(1, int(size * 0.8)));
    painter.setFont(font);
    painter.drawText(QRect(0, 0, size, size), Qt::AlignCenter, kFish);
}

void drawRecording(QPainter& painter, int size, const StatusTitle& title)
{
    const qreal rim = std::max(1.0, size / 24.0);
    const qreal badgeHeight = std::round(size * 0.66);
    const QRectF badge(rim / 2, (size - badgeHeight) / 2, size - rim, badgeHeight);
    painter.setPen(QPen(kRim, rim));
    painter.setBrush(kBadge);
    painter.drawRoundedRect(badge, badgeHeight * 0.25, badgeHeight * 0.25);

    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setWeight(QFont::Bold);
    font.setPixelSize(std::max(1, int(badgeHeight * 0.72)));
    const QFontMetricsF metrics(font);
    const qreal dotWidth = metrics.horizontalAdvance(kDot);
    const qreal textWidth = dotWidth + metrics.horizontalAdvance(title.suffix());

    // The badge is square: a title wider than it is condensed, not cut.
    const qreal available = badge.width() - 2 * rim;
    const qreal scale = textWidth > available ? available / textWidth : 1.0;
    painter.translate((size - textWidth * scale) / 2, 0);
    painter.scale(scale, 1.0);

    painter.setFont(font);
    const qreal baseline = (size + metrics.ascent() - metrics.descent()) / 2;
    painter.setPen(title.dotColor());
    painter.drawText(QPointF(0, baseline), kDot);
    painter.setPen(title.suffixColor());
    painter.drawText(QPointF(dotWidth, baseline), title.suffix());
}

// Draws the title afresh at whatever size and pixel ratio the tray asks for (QIcon asks
// pixmap() for device pixels), so that no size is a scaled copy of another.
class StatusTitleIconEngine : public QIconEngine {
public:
    explicit StatusTitleIconEngine(const StatusTitle& title)
        : m_title(title)
    { }
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        const int side = std::min(rect.width(), rect.height());
        QPixmap pixmap = m_title.render(int(std::lround(side * ratio)));
        pixmap.setDevicePixelRatio(ratio);
        painter->drawPixmap(QRectF(rect.x() + (rect.width() - side) / 2.0,
                                rect.y() + (rect.height() - side) / 2.0, side, side),
            pixmap, QRectF(pixmap.rect()));
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        return m_title.render(std::min(size.width(), size.height()));
    }
    // Trays that take pixmaps (the D-Bus ones) send these sizes.
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (int side : {16, 22, 24, 32, 48, 64})
            sizes.append(QSize(side, side));
        return sizes;
    }
    QIconEngine* clone() const override { return new StatusTitleIconEngine(m_title); }
    QString key() const override { return QStringLiteral("StatusTitle"); }

private:
    StatusTitle m_title;
};
} // namespace

StatusTitle StatusTitle::idle()
{
    return StatusTitle();
}

StatusTitle StatusTitle::recording(const QString& translation)
{
    StatusTitle title;
    title.m_recording = true;
    title.m_translation = !translation.isEmpty();
    title.m_suffix = title.m_translation ? translation : QStringLiteral("REC");
    return title;
}

QString StatusTitle::text() const
{
    return m_recording ? kDot + m_suffix : kFish;
}

QColor StatusTitle::dotColor() const
{
    return m_recording ? kRed : QColor();
}

QColor StatusTitle::suffixColor() const
{
    if (!m_recording)
        return QColor();
    return m_translation ? kBlue : kWhite;
}

QPixmap StatusTitle::render(int size) const
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHints(
        QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    if (m_recording)
        drawRecording(painter, size, *this);
    else
        drawFish(painter, size);
    return pixmap;
}

QIcon StatusTitle::icon() const
{
    return QIcon(new StatusTitleIconEngine(*this));
}
