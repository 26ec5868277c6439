#pragma once

#include <QFile>
#include <QString>

// Writes a 16 kHz mono 16-bit PCM WAV file as the audio arrives; the RIFF and data sizes
// are patched in by finish(), so the file is complete once finish() returns.
class WavWriter {
public:
    static constexpr int kSampleRate = 16000;
    static constexpr int kChannels = 1;
    static constexpr int kBitsPerSample = 16;
    static constexpr int kHeaderSize = 44;

    bool open(const QString& path, QString* error);
    // False when the data could not be written (disk full...); the file stays consistent.
    bool append(const char* data, qint64 size);
    bool finish();
    bool isOpen() const { return file_.isOpen(); }
    qint64 dataSize() const { return dataSize_; }

private:
    bool writeHeader(quint32 dataSize);

    QFile file_;
    qint64 dataSize_ = 0;
};
