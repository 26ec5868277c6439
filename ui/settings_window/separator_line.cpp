#include "ui/settings_window/separator_line.h"

#include <QPainter>

SeparatorLine::SeparatorLine(QWidget* parent)
    : QWidget(parent)
{ }

void SeparatorLine::paintEvent(QPaintEvent*)
{
    QColor color = palette().color(QPalette::WindowText);
    color.setAlphaF(0.3);
    QPainter(this).fillRect(rect(), color);
}
