#pragma once

#include "translation/translation_ui.h"

#include <QString>

// The dictation core's view of the windows: the status toast (shared with the translation
// pipeline), the tray icon, the waveform overlay and the modal alert. The application
// implements it with the real widgets; tests record the calls. Every call comes on the GUI
// thread.
class DictationUi : public TranslationUi {
public:
    // translation: empty for a plain recording, "EN" or "JA" otherwise.
    virtual void updateStatusIcon(bool recording, const QString& translation) = 0;
    virtual void showWaveformWindow() = 0;
    virtual void hideWaveformWindow() = 0;
    virtual void showAlert(const QString& title, const QString& message) = 0;
};
