#pragma once

#include <QColor>
#include <QWidget>

class QLabel;

// The one toast of the application: a small dark pill near the top centre of the primary
// screen with one line of text. Never takes the focus. GUI thread only.
// Width = max(characters x 14 + 30, 100), at most the screen's width.
class StatusWindow : public QWidget {
    Q_OBJECT
public:
    explicit StatusWindow(QWidget* parent = nullptr);

    // Shows the message in the colour and brings the toast to the front; schedules no hide.
    void showStatus(const QString& message, const QColor& color = Qt::white);
    // Hides the toast `seconds` from now. Earlier hides stay scheduled: each fires at its
    // own time and hides whatever is shown then.
    void hideAfterDelay(double seconds = 1.5);
    void orderOut();

    QString text() const;
    QColor textColor() const;

    static constexpr int kHeight = 32;
    static constexpr int kMinimumWidth = 100;
    static int widthForMessage(const QString& message);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void setTextColor(const QColor& color);

    QLabel* m_label;
    QString m_text;
    QColor m_textColor = Qt::white;
};
