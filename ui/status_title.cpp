#include "status_title.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <algorithm>

namespace {
const QString kFish = QStringLiteral("🐟");
const QString kDot = QStringLiteral("● ");
const QColor kRed(255, 59, 48);
const QColor kBlue(0, 122, 255);

void drawFish(QPainter& painter, int size)
{
    QFont font(QStringLiteral("Noto Color Emoji"));
    font.setPixelSize(std::max(1, int(size * 0.8)));
    painter.setFont(font);
    painter.drawText(QRect(0, 0, size, size), Qt::AlignCenter, kFish);
}

void drawRecording(QPainter& painter, int size, const StatusTitle& title)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setWeight(QFont::DemiBold);
    font.setPixelSize(std::max(1, int(size * 0.5)));
    const QFontMetricsF metrics(font);
    const qreal dotWidth = metrics.horizontalAdvance(kDot);
    const qreal textWidth = dotWidth + metrics.horizontalAdvance(title.suffix());

    // A tray slot is square: a title wider than the slot is condensed, not cut.
    const qreal available = size * 0.94;
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
    return m_translation ? kBlue : QGuiApplication::palette().color(QPalette::WindowText);
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
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(render(size));
    return icon;
}
