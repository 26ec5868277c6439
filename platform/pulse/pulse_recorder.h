#pragma once

#include "platform/recorder.h"

#include <QObject>
#include <memory>

// Records the PulseAudio server's default source (PipeWire desktops: pipewire-pulse)
// through libpulse's threaded main loop, in 10 ms fragments kept in memory. Opening the
// stream never blocks the caller: a stream that is not running within kOpenTimeoutMs
// fails the recording, and every failure tears the connection and its thread down.
class PulseRecorder : public Recorder {
public:
    static constexpr int kOpenTimeoutMs = 1500;

    PulseRecorder();
    ~PulseRecorder() override;
    PulseRecorder(const PulseRecorder&) = delete;
    PulseRecorder& operator=(const PulseRecorder&) = delete;

    bool start(QString* error) override;
    QByteArray stop() override;
    bool isRecording() const override;
    std::optional<float> averagePowerDb() const override;
    void checkInput(std::function<void(const QString& error)> done) override;

    // Nanoseconds from the last start() to its first captured fragment; -1 before it.
    qint64 firstFragmentDelayNs() const;
    // PCM bytes captured so far by the running recording.
    qint64 capturedBytes() const;

    // Average power of 16-bit samples in dBFS, floored at kSilenceDb.
    static float powerDb(const qint16* samples, qsizetype count);
    static constexpr float kSilenceDb = -160.0f;

private:
    struct Capture;
    void fail(quint64 generation, const QString& error);

    std::shared_ptr<Capture> m_capture;
    quint64 m_generation = 0;
    std::unique_ptr<QObject> m_context; // receives the capture's reports on the GUI thread
};
