#pragma once

#include "platform/recorder.h"

#include <memory>

// Records the PulseAudio server's default source (PipeWire desktops: pipewire-pulse) on
// a capture thread in 20 ms fragments, so that the first fragment holds the audio from
// right after start() and stop() completes within about one fragment.
class PulseRecorder : public Recorder {
public:
    PulseRecorder();
    ~PulseRecorder() override;
    PulseRecorder(const PulseRecorder&) = delete;
    PulseRecorder& operator=(const PulseRecorder&) = delete;

    bool start(const QString& wavPath, QString* error) override;
    void stop() override;
    bool isRecording() const override;
    std::optional<float> averagePowerDb() const override;
    bool inputAvailable(QString* error) const override;

    // Nanoseconds from the last start() to its first captured fragment; -1 before it.
    qint64 firstFragmentDelayNs() const;

    // Average power of 16-bit samples in dBFS, floored at kSilenceDb.
    static float powerDb(const qint16* samples, qsizetype count);
    static constexpr float kSilenceDb = -160.0f;

private:
    struct Capture;
    std::shared_ptr<Capture> capture_;
};
