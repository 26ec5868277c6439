#pragma once

#include <QFont>
#include <QString>

class QColor;
class QLabel;
class QPushButton;
class QWidget;

// The settings window's geometry and the small helpers its pages share. The layout is
// drawn with the origin at the bottom left of each page; Qt's is at the top left.
namespace SettingsLayout {

inline constexpr int windowWidth = 520;
inline constexpr int windowHeight = 460;
inline constexpr int pageWidth = 480;
inline constexpr int pageHeight = 340;

void place(QWidget* widget, int x, int y, int width, int height, int parentHeight = pageHeight);
QFont pixelFont(const QFont& base, int pixelSize, bool bold = false);
void setTextColor(QWidget* widget, const QColor& color);
QLabel* makeLabel(QWidget* page, const QString& text, int x, int y, int width, int height);
// A side button: it never answers Return, which belongs to "保存".
QPushButton* makeButton(QWidget* page, const QString& text, int x, int y, int width, int height);

} // namespace SettingsLayout
