#pragma once

#include <QList>
#include <QWidget>

// A row of 20 red level bars that scroll from right to left: index 0 is the oldest level
// (drawn at the left), index 19 the newest.
class WaveformView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kBarCount = 20;

    explicit WaveformView(QWidget* parent = nullptr);

    const QList<qreal>& levels() const { return m_levels; }
    // Drops the oldest level and appends this one, kept within 0...1.
    void updateLevel(qreal level);
    void reset();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QList<qreal> m_levels;
};
