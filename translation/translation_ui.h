#pragma once

#include <QColor>
#include <QString>

// What the translate-and-type pipeline shows of its progress: the status toast. The
// application implements it with the real toast; tests record the calls. GUI thread only.
class TranslationUi {
public:
    virtual ~TranslationUi() = default;

    virtual void showStatus(const QString& text, const QColor& color) = 0;
    virtual void hideStatusAfterDelay(double seconds) = 0;
    virtual void orderOutStatus() = 0;
};

// The toast colours of the dictation path.
inline QColor statusWhite()
{
    return QColor(255, 255, 255);
}
inline QColor statusRed()
{
    return QColor(255, 59, 48);
}
inline QColor statusOrange()
{
    return QColor(255, 149, 0);
}
