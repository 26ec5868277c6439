#pragma once

#include <QString>
#include <optional>

// A microphone recorder writing 16 kHz, mono, 16-bit little-endian PCM WAV files.
// All calls on the GUI thread.
class Recorder {
public:
    virtual ~Recorder() = default;

    // Opens the default input and starts writing wavPath (replacing it) at once.
    // False, with a readable reason, when the microphone cannot be opened.
    virtual bool start(const QString& wavPath, QString* error) = 0;
    // Stops at once; when it returns the WAV file is complete (header sizes filled in).
    virtual void stop() = 0;
    virtual bool isRecording() const = 0;
    // Average power of the latest captured buffer in dBFS (0 loudest, silence strongly
    // negative); nullopt when not recording.
    virtual std::optional<float> averagePowerDb() const = 0;
    // Whether the default audio input exists and opens (the microphone "permission").
    virtual bool inputAvailable(QString* error) const = 0;
};
