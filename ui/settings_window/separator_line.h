#pragma once

#include <QWidget>

// A 1-pixel rule in the text colour, faded. A sunken frame line is drawn in the palette's
// light and dark shades, which flat themes make the same as the window's.
class SeparatorLine : public QWidget {
    Q_OBJECT
public:
    explicit SeparatorLine(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
