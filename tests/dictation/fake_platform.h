#pragma once

#include "app/dictation/dictation_ui.h"
#include "platform/recorder.h"

#include <QStringList>
#include <QTimer>
#include <utility>

// Logs the toasts, e.g. "识别中... #ffffff", "hide 1.5", "orderOut".
class FakeUi : public DictationUi {
public:
    QStringList calls;
    void showStatus(const QString& text, const QColor& color) override { calls << text + ' ' + color.name(); }
    void hideStatusAfterDelay(double seconds) override { calls << QStringLiteral("hide %1").arg(seconds); }
    void orderOutStatus() override { calls << QStringLiteral("orderOut"); }
    void updateStatusIcon(bool, const QString&) override { }
    void showWaveformWindow() override { }
    void hideWaveformWindow() override { }
    void showAlert(const QString&, const QString&) override { }
};

// Hands `audio` over as the recording's WAV at the stop.
class FakeRecorder : public Recorder {
public:
    QByteArray audio = QByteArray(6000, '\0');
    bool start(QString*) override { return m_recording = true; }
    QByteArray stop() override { return std::exchange(m_recording, false) ? audio : QByteArray(); }
    bool isRecording() const override { return m_recording; }
    std::optional<float> averagePowerDb() const override { return std::nullopt; }
    void checkInput(std::function<void(const QString&)> done) override
    {
        QTimer::singleShot(0, [done = std::move(done)] { done({}); });
    }

private:
    bool m_recording = false;
};
