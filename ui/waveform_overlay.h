#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

class WaveformView;
class WaveformWindow;

// The level overlay shown while recording: the window, its bars, and the 20 Hz timer that
// feeds them from the recorder. The timer only runs while the overlay is shown, so an
// idle Parlix never wakes up for it.
class WaveformOverlay : public QObject {
    Q_OBJECT
public:
    // `averagePowerDb`: the recorder's latest average power in dBFS, or nothing when no
    // recording is running.
    explicit WaveformOverlay(std::function<std::optional<float>()> averagePowerDb, QObject* parent = nullptr);
    ~WaveformOverlay() override;

    void showWaveformWindow();
    void hideWaveformWindow();
    // One tick of the level timer.
    void updateWaveform();

    // dBFS to bar level: -50 dB and below (and NaN) is 0, 0 dB is 1.
    static float levelForPower(float decibels);

    WaveformWindow* waveformWindow() const { return m_window.get(); }
    WaveformView* waveformView() const { return m_view; }
    bool isSampling() const { return m_levelTimer.isActive(); }

private:
    std::function<std::optional<float>()> m_averagePowerDb;
    std::unique_ptr<WaveformWindow> m_window;
    WaveformView* m_view; // owned by m_window
    QTimer m_levelTimer;
};
