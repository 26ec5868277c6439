#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

// A microphone recorder producing 16 kHz, mono, 16-bit little-endian PCM WAV files.
// All calls on the GUI thread; none of them waits for the audio server.
class Recorder {
public:
    virtual ~Recorder() = default;

    // Starts capturing the default input at once. False, with a readable reason, only
    // when that cannot even begin; a stream that fails or does not start in time ends
    // the recording later through onFailed.
    virtual bool start(QString* error) = 0;
    // Stops at once and returns the complete WAV file (header sizes filled in) of
    // everything the audio server delivered up to now; empty when not recording.
    virtual QByteArray stop() = 0;
    virtual bool isRecording() const = 0;
    // Average power of the latest captured buffer in dBFS (0 loudest, silence strongly
    // negative); nullopt when not recording.
    virtual std::optional<float> averagePowerDb() const = 0;
    // Whether the default audio input exists and opens (the microphone "permission"):
    // `done` gets an empty text, or the reason. It is called from the event loop, never
    // inside checkInput(), within the open time limit however the audio server behaves.
    virtual void checkInput(std::function<void(const QString& error)> done) = 0;

    // The running recording failed (its stream broke or never started; nothing of it is
    // left running). Called from the event loop, never inside start().
    std::function<void(const QString& error)> onFailed;
};
