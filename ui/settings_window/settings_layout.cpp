#include "ui/settings_window/settings_layout.h"

#include <QColor>
#include <QLabel>
#include <QPalette>
#include <QPushButton>

namespace SettingsLayout {

void place(QWidget* widget, int x, int y, int width, int height, int parentHeight)
{
    widget->setGeometry(x, parentHeight - y - height, width, height);
}

QFont pixelFont(const QFont& base, int pixelSize, bool bold)
{
    QFont font = base;
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

void setTextColor(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

QLabel* makeLabel(QWidget* page, const QString& text, int x, int y, int width, int height)
{
    auto* label = new QLabel(text, page);
    place(label, x, y, width, height);
    return label;
}

QPushButton* makeButton(QWidget* page, const QString& text, int x, int y, int width, int height)
{
    auto* button = new QPushButton(text, page);
    // Only "保存" may answer Return; a focused side button must not take it over.
    button->setAutoDefault(false);
    place(button, x, y, width, height);
    return button;
}

} // namespace SettingsLayout
