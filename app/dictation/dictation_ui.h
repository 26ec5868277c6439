#pragma once

#include <QColor>
#include <QString>

// The dictation core's view of the windows: the status toast, the tray icon, the waveform
// overlay and the modal alert. The application implements it with the real widgets; tests
// record the calls. Every call comes on the GUI thread.
class DictationUi {
public:
    virtual ~DictationUi() = default;

    virtual void showStatus(const QString& text, const QColor& color) = 0;
    virtual void hideStatusAfterDelay(double seconds) = 0;
    virtual void orderOutStatus() = 0;
    // translation: empty for a plain recording, "EN" or "JA" otherwise.
    virtual void updateStatusIcon(bool recording, const QString& translation) = 0;
    virtual void showWaveformWindow() = 0;
    virtual void hideWaveformWindow() = 0;
    virtual void showAlert(const QString& title, const QString& message) = 0;
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
